#pragma once
// Writing the index: each medium read whole goes in with one transaction, so that a program
// killed while it writes, or two programs writing at once, leave the index with that medium as
// it was before or as it is now, never half of it. A medium is known by its identity (what it
// holds); the folder it was found in is one of its places, one per workstation and folder.

#include <QHash>
#include <QSet>
#include <QString>

#include "library/IndexDatabase.h"
#include "library/MediumReading.h"

namespace library {

// One place of a medium on this workstation, as the index holds it.
struct StoredPlace {
  qint64 medium = 0;
  QString path;
  QString stamps;  // the files of its last complete reading
  bool present = false;
};

// The name this workstation is known by in a shared index: AMBREL_HOST where it is set (two
// workstations of one name, or tests that play two), else the machine's host name.
QString HostName();

// Every place of this host the index holds, by path.
QHash<QString, StoredPlace> StoredPlaces(IndexDatabase& db, const QString& host, DbError* error);
// The one place, read again (another program may have written it meanwhile).
std::optional<StoredPlace> StoredPlaceAt(IndexDatabase& db, const QString& host,
                                         const QString& path, DbError* error);

// The words the index knows, so that a writer sends only new ones.
struct KnownWords {
  bool loaded = false;
  QSet<QString> pairs;  // "word<TAB>term"
};

// The medium by its identity (made when it is new, with its presentations, passages and words),
// and this host's place for it, seen now; a place that held another medium before marks that
// one replaced by this.
bool WriteMedium(IndexDatabase& db, const MediumContent& content, const QString& host,
                 KnownWords& known, DbError* error);

// Marks this host's places as found now (present) or not found (absent).
bool MarkPlaces(IndexDatabase& db, const QString& host, const QStringList& paths, bool present,
                DbError* error);

}  // namespace library
