#pragma once
// The search of the exported collection's site: an index in many small scripts, of which a
// search loads only the few it needs, so that a collection of tens of thousands of talks stays
// a static site that works from file:// (where nothing may be fetched, but a script tag may load
// a script) and from any web server.
//
// It finds what the library's search finds, in the same order: the passages are cut into words
// and folded as the index's tokenizer does (SQLite FTS5, unicode61, remove_diacritics 2), and
// ranked by the same bm25 with the same weights, statistics and tie order (the older passage
// first); words found in more than kRankAll passages are not ranked, and the first hits found
// are shown, titles first, as the program does.
//
// Every file is a script that calls collectionPart(NAME, DATA), NAME being its path below the
// page without ".js". Below OUTDIR/collection/search:
//   d/KEY.js   the dictionary: every word (and every beginning of a word shared by several) that
//              begins with KEY (the first two letters; a large one split by the next letter),
//              each with how many passages hold it, its best hits or where they are, and where
//              its passage lists are
//   h/N.js     the best hits of a word or a beginning of one, with a snippet of each: a search
//              of one word, typed letter by letter, loads one such file per letter
//   l/N.js     passage lists of consecutive words: each passage as its step from the one before
//              and its shape (place, length in words, times the word stands in it), for the
//              searches of several words
//   x/B/N.js   the passages themselves, 64 to a file, for the snippets of such searches
// The files' layout is read by collection.js alone, written here alone.

#include <QByteArray>
#include <QString>
#include <QStringView>
#include <functional>
#include <memory>
#include <vector>

#include "exporter/ScriptText.h"
#include "library/LibraryIndex.h"
#include "library/SiteWords.h"

namespace library {

// Words found in more passages than this are not ranked (LibraryIndex: kRankAll).
inline constexpr int kSiteRankAll = 20000;
// Hits a search shows.
inline constexpr int kSiteHits = 50;

// A talk of the collection as the site names it in a hit.
struct SiteTalk {
  int listing = 0;  // its number in the page's listing
  QString title;
  QString folder;
  QString href;  // its page, relative to index.html; empty when it was not exported
};

// What was written, for the page and the bench.
struct SiteStats {
  qint64 passages = 0;
  qint64 words = 0;  // in every passage, each time it stands there
  int terms = 0;
  int files = 0;
  double averageLength() const { return passages ? double(words) / double(passages) : 0; }
};

class SiteIndexWriter {
 public:
  // folder: OUTDIR/collection/search; name: the same relative to OUTDIR ("collection/search"),
  // as the scripts name themselves.
  SiteIndexWriter(QString folder, QString name, std::vector<SiteTalk> talks);
  ~SiteIndexWriter();
  SiteIndexWriter(const SiteIndexWriter&) = delete;
  SiteIndexWriter& operator=(const SiteIndexWriter&) = delete;

  // The passages in the library's order: by presentation id, then as read. talk: an index
  // into talks.
  bool Add(int talk, const StoredPassage& passage, QString* error);
  // Writes the dictionary, the best hits and the passage lists.
  bool Finish(QString* error);
  SiteStats Stats() const;
  // The transcripts' languages, as the passages number them.
  QStringList Languages() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> d_;
};

}  // namespace library
