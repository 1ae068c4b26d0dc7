#pragma once
// The page of a whole exported collection, OUTDIR/index.html: every medium with its talks, each
// linked to its exported page, and a search box that finds words in every title, slide title,
// transcript section, details and free text, as the library's search does: case- and
// accent-blind, all words in any order, the last one as a prefix, best hits first. It works from
// the file system with no server: the search index is in scripts beside the page (one per
// medium: the passages and a sorted list of folded words, each with the passages that hold it),
// loaded by script tags, never fetched. A hit opens the talk's page at its moment (#t=SECONDS).

#include <QString>
#include <QStringList>
#include <vector>

#include "library/LibraryIndex.h"

namespace library {

class CollectionExport {
 public:
  explicit CollectionExport(QString outDir) : outDir_(std::move(outDir)) {}

  // Makes OUTDIR (refused when it lies on one of the media) and gives each medium a folder
  // name in it: its own folder's name, with "-2", "-3" ... where two media share one.
  bool Prepare(const std::vector<MediumEntry>& media, QString* error);
  QString OutDir() const { return outDir_; }
  QString MediumFolder(size_t medium) const { return outDir_ + u'/' + names_[medium]; }

  // Writes index.html, its script and style, the collection's data and the search scripts.
  bool Write(const LibraryIndex& index, const std::vector<MediumEntry>& media, QString* error);

 private:
  QString outDir_;
  QStringList names_;
};

// The words of a text as the search sees them: folded (case, accents, compatibility forms),
// split at everything that is no letter or digit.
QStringList FoldedWords(const QString& text);

}  // namespace library
