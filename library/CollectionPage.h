#pragma once
// The page of a whole exported collection, OUTDIR/index.html: every talk with its first slide's
// picture, its length and its medium, a hundred to a page of the listing, each linked to its
// exported page; and a search box that finds words in every title, slide title, transcript
// section, details and free text, as the library's search does: case- and accent-blind, all
// words in any order, the last one as a prefix, the same hits in the same order.
//
// It is a static site that works from the file system with no server as well as from any web
// server, however large the collection: everything beside the page is a script (loaded by a
// script tag, never fetched, which file:// forbids), and the page loads only the scripts it
// needs: the list of media, the page of the listing shown, the pictures as they come into view,
// and for a search the few files of the index that hold its words (SiteIndex.h). Below
// OUTDIR/collection:
//   collection.js, collection.css  the page's script and style
//   data.js                        the media (with what could not be read of them), the counts
//   list/N.js                      the talks of the N-th page of the listing
//   pictures/N.jpg                 the N-th talk's first slide's thumbnail, copied from the medium
//   search/                        the search index
// A hit opens the talk's page at its moment (#t=SECONDS).

#include <QString>
#include <QStringList>
#include <vector>

#include "library/LibraryIndex.h"
#include "library/SiteIndex.h"

namespace library {

// Talks on one page of the listing.
inline constexpr int kListingPageTalks = 100;

class CollectionExport {
 public:
  explicit CollectionExport(QString outDir) : outDir_(std::move(outDir)) {}

  // Makes OUTDIR (refused when it lies on one of the media) and gives each medium a folder
  // name in it: its own folder's name, with "-2", "-3" ... where two media share one, or where
  // one is named as the site's own folder ("collection").
  bool Prepare(const std::vector<MediumEntry>& media, QString* error);
  QString OutDir() const { return outDir_; }
  QString MediumFolder(size_t medium) const { return outDir_ + u'/' + names_[medium]; }

  // Writes index.html and the site beside it. Reads each present medium's first slide
  // thumbnails (the process-wide medium folder is set to each medium in turn, and set back).
  bool Write(const LibraryIndex& index, const std::vector<MediumEntry>& media, QString* error);

  // What the last Write wrote of the search.
  SiteStats Stats() const { return stats_; }

 private:
  QString outDir_;
  QStringList names_;
  SiteStats stats_;
};

}  // namespace library
