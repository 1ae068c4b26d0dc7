#pragma once
// What the library's index lists and reports, apart from the index itself: a medium with its
// places and presentations, a passage as it is kept, where an update stands and what it did.
// The readers of a medium (MediumReading.h), the writer and the queries use these without the
// facade (LibraryIndex.h), which hands them on.

#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

#include "library/LibrarySearch.h"
#include "library/MediaDiscovery.h"
#include "presentation/MediumLayout.h"

namespace library {

// One presentation as the library lists it.
struct PresentationEntry {
  qint64 id = 0;
  QString title;  // the name config.txt gives it
  QString folder;
  qint64 lengthMs = -1;  // the recording's length (stated, else FFmpeg's estimate); -1 unknown
  int slides = 0;
  int sections = 0;  // transcript cues
  QStringList languages;
  bool tavisco = false;   // a recording Tavisco plays is there (media.wma or media.wmv)
  bool norvanta = false;  // media.rm is there
  // The player that opens it.
  PlayerBuild Player() const { return layout::PreferredPlayer(tavisco, norvanta); }
};

// Where a medium was seen: on which workstation, in which folder, when last.
struct MediumPlace {
  QString host;
  QString path;
  qint64 seenMs = 0;
  bool present = false;  // found there at that host's last look
};

struct MediumEntry {
  qint64 id = 0;
  QString path;          // its folder on this workstation (native); else where it was last seen
  QString name;          // its last part
  bool present = false;  // found here at the last update
  QStringList problems;  // what could not be read when it was indexed ("Data/config.txt: ...")
  std::vector<PresentationEntry> presentations;  // in the order of config.txt
  QString identity;                              // what it is known by (a hash of its text files)
  std::vector<MediumPlace> places;               // every place it was seen, latest first
  qint64 replacedBy = 0;  // a medium read later at its place, with other content
  // "seen on HOST at PATH, 2026-12-10 14:03" for a medium not here; empty otherwise.
  QString SeenElsewhere() const;
};

// One passage as it is kept, for whoever builds a search of its own (the collection's page).
struct StoredPassage {
  Place place = Place::Title;
  QString language;
  qint64 atMs = 0;
  QString text;
};

// Where an update stands, for a progress line or a progress bar.
struct IndexProgress {
  int medium = 0;  // 1-based
  int media = 0;
  QString mediumPath;
  int presentation = 0;  // 1-based; 0 while the medium's list is looked at
  int presentations = 0;
  bool unchanged = false;  // the medium was found as it was indexed and is not read again
  // The share done, from 0 to 1.
  double Fraction() const;
  // "Indexing 3/20 /media/disc3: 12/50" for a terminal.
  QString Line() const;
};
using ProgressFn = std::function<void(const IndexProgress&)>;

struct UpdateResult {
  QStringList read;       // media read now (new or changed)
  QStringList unchanged;  // media found as they were indexed
  QStringList absent;     // media indexed under the roots but not found now; kept, marked absent
  std::vector<SkippedFolder> skipped;  // folders the search for media could not enter
  QStringList problems;                // "<medium>: <file>: <problem>" for what could not be read
  bool cancelled = false;
  QString error;             // the index could not be written (then nothing was changed)
  bool unreachable = false;  // the index's server could not be reached or went away
  QString notice;            // said about the index during the update ("made anew: damaged ...")
  QStringList waitedFor;     // media another program was reading; waited for, then taken as written
};

}  // namespace library
