#pragma once
// The library's index: every medium found on the shelf with its presentations, and every
// passage they hold (titles, slide titles, each transcript section in each language, the
// details, the free text) in a full-text index, so that a search across all of them answers
// while it is typed, with no medium present.
//
// It is an SQLite file in the user's cache folder (never on a medium) or a PostgreSQL database
// that the workstations of an archive share (IndexDatabase.h); either holds our own terms
// (TextTerms.h), so a search finds the same on both. A medium is known by what it holds, with
// the places (host and folder) it was seen at. The index carries a schema version: an SQLite
// cache of an older one, damaged or no SQLite at all is made anew; one of a newer version is
// refused and left alone. Several programs may use it at once: a medium one of them reads is not
// read by another at the same moment (it waits, then finds it written), and each medium goes in
// with one transaction, so a program stopped while it writes leaves that medium as it was. When
// the cache folder cannot be written the index is kept in memory for this run (InMemory(), said
// by Notice()).
//
// How the window uses it:
//   LibraryIndex index;                    // one object per thread: Qt SQL connections belong
//   index.Open();                          // to the thread that opened them
//   index.Update(roots, progress, &cancel) // on a worker thread, with its own LibraryIndex
//   index.Media(roots)                     // what the window lists
//   index.Search(text, roots)              // as the user types (LibrarySearch.h)
//
// An update reads the media it needs on threads of their own, as many at once as the machine
// has cores, while it writes the one read before; nothing else in the process waits for it.

#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>
#include <memory>
#include <vector>

#include "library/IndexDatabase.h"
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

class LibraryIndex {
 public:
  // index: "sqlite:PATH", a file's path, or a PostgreSQL URI (IndexDatabase.h); empty for
  // DefaultFile().
  explicit LibraryIndex(const QString& index = QString());
  ~LibraryIndex();
  LibraryIndex(const LibraryIndex&) = delete;
  LibraryIndex& operator=(const LibraryIndex&) = delete;

  // <cache folder>/Ambrel/library.sqlite (XDG_CACHE_HOME or ~/.cache on Linux).
  static QString DefaultFile();
  // SQLite's FTS5 is there through Qt's SQLite driver; false with the reason otherwise.
  static bool Available(QString* why = nullptr);

  // Opens the index, making it when there is none and anew when it is of an older schema,
  // damaged or not SQLite. False only when not even an index in memory could be made.
  bool Open();
  bool IsOpen() const;
  bool InMemory() const;
  // "sqlite:/home/ana/.cache/Ambrel/library.sqlite" or the PostgreSQL URI: the index used.
  QString Location() const;
  // Why Open() failed, or why the last listing failed (the server gone, a newer schema...).
  QString Error() const;
  // The index's server was out of reach at the last attempt (asked again, it is tried again).
  bool Unreachable() const;
  // What the user should be told about the index, or empty: "The cache folder ... cannot be
  // written: the index is kept in memory for this run." or "The index ... was damaged (...) and
  // has been made anew."
  QString Notice() const;
  QString File() const;

  // Finds the media at the roots and below, reads those that are new or changed and marks those
  // no longer found as absent. A set cancel flag stops at once: the media written before it are
  // done, and those being read are left as the index held them, to be read at the next update.
  UpdateResult Update(const QStringList& roots, const ProgressFn& progress = {},
                      const std::atomic<bool>* cancel = nullptr);

  // The media of the index at the roots or below them on this workstation, and those never seen
  // here (all when roots is empty), by path. Empty with Error() set when it cannot be read.
  std::vector<MediumEntry> Media(const QStringList& roots = {}) const;

  // Searches the passages of the media at the roots or below (all when roots is empty); at most
  // limit hits, best first.
  SearchResult Search(const QString& text, const QStringList& roots = {}, int limit = 100) const;

  // Every passage of a presentation, in the order it was read.
  void Passages(qint64 presentationId, const std::function<void(const StoredPassage&)>& take) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> d_;
  // Mends an index found damaged by a failed statement (SQLite's quick check), from the media.
  bool MendIfDamaged(const DbError& error) const;
};

// The folders of the library as last given, from the user's config folder (Ambrel/library.conf).
QStringList RememberedFolders();
// Keeps them (absolute, each once) for the next bare "--library".
void RememberFolders(const QStringList& folders);

}  // namespace library
