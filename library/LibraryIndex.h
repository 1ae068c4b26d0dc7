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

#include "library/IndexTypes.h"

namespace library {

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
  // Qt's SQLite driver is there; false with the reason otherwise.
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
};

// The folders of the library as last given, from the user's config folder (Ambrel/library.conf).
QStringList RememberedFolders();
// Keeps them (absolute, each once) for the next bare "--library".
void RememberFolders(const QStringList& folders);

}  // namespace library
