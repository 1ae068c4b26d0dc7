#pragma once
// Reading one medium for the library, with the players' own loader and no index in sight: every
// presentation with what the library lists of it and every passage it holds, what could not be
// read, and the sizes and times of the files read, by which a later update knows an unchanged
// medium without reading it. Nothing here touches the database or any process-wide state, so
// several media are read at once, each on a thread of its own, while the index writes another.

#include <QHash>
#include <QString>
#include <QStringList>
#include <atomic>
#include <vector>

#include "library/IndexTypes.h"

namespace library {

// A passage is indexed in pieces of at most this many characters, cut between words, each with
// the passage's moment: a transcript section of megabytes then costs a search no more than any
// other, and no piece outgrows what either backend keeps of one row's terms.
inline constexpr int kPieceChars = 2000;

struct TermTimes {
  QString term;
  int times = 0;
};

// One piece of a passage of a presentation as it goes into the index, with its terms.
struct PassageRecord {
  Place place = Place::Title;
  QString text;
  QString language;
  qint64 atMs = 0;
  int piece = 0;  // 0: a passage's first piece; 1, 2...: the pieces that follow it
  int words = 0;  // the piece's words: its length, by which the ranking weighs a word found
  // The terms of its words, each once in the order they first stand, with how often it stands
  // there: the passage's entries in the lists of its terms.
  std::vector<TermTimes> terms;
};

struct PresentationRecord {
  PresentationEntry entry;
  std::vector<PassageRecord> passages;
};

struct MediumContent {
  QString path;  // native, as discovery found it
  // What the medium is known by wherever it is: a hash of its text files (config.txt and every
  // presentation's files the library reads), their names taken case-blind.
  QString identity;
  QStringList vocabulary;  // "word<TAB>term" for every word of its passages, once each
  QStringList stemmers;    // the stemmers its passages were cut with
  // For the ranking's statistics: how many pieces hold each term, and the pieces and words of
  // the whole medium.
  QHash<QString, qint64> termPieces;
  qint64 pieces = 0;
  qint64 words = 0;
  std::vector<PresentationRecord> presentations;  // in the order of config.txt
  QStringList problems;    // at most kMaxProblemsPerMedium, then "... and n more"
  QString stamps;          // the files read, "size<TAB>modified<TAB>path" a line each
  bool vanished = false;   // the medium went away while it was read: nothing of it is kept
  bool cancelled = false;  // the cancel flag was set: nothing of it is kept
};

// Where a reading stands, for a progress line while another thread reads.
struct ReadingProgress {
  std::atomic<int> presentation{0};
  std::atomic<int> presentations{0};
};

// More problems than this per medium are counted, not listed.
inline constexpr int kMaxProblemsPerMedium = 50;

// Reads the medium at path (native) whole.
MediumContent ReadMediumContent(const QString& path, const std::atomic<bool>* cancel = nullptr,
                                ReadingProgress* progress = nullptr);

// Whether the files noted at the last reading are all there with their size and time.
bool StampsUnchanged(const QString& stamps);

// text cut into pieces of at most kPieceChars, between words where it can be.
QStringList PiecesOf(const QString& text);

}  // namespace library
