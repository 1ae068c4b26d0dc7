#pragma once
// Writing the index: each medium read whole goes in with one transaction, so that a program
// killed while it writes, or two programs writing the same medium at once, leave the index with
// that medium as it was before or as it is now, never half of it.

#include <QHash>
#include <QSqlError>
#include <QString>

#include "library/IndexDatabase.h"
#include "library/MediumReading.h"

namespace library {

struct StoredMedium {
  qint64 id = 0;
  QString path;
  QString stamps;  // the files of its last complete reading; empty when it never was
};

// Every medium the index holds, by path.
QHash<QString, StoredMedium> StoredMedia(IndexDatabase& db, QSqlError* error);

// The medium's row (made when it is new), its presentations and passages in place of those it
// had, its problems and its files' stamps, present.
bool WriteMedium(IndexDatabase& db, const MediumContent& content, QSqlError* error);

// Marks a medium found (or not found) at this update.
bool MarkPresent(IndexDatabase& db, qint64 id, bool present, QSqlError* error = nullptr);

}  // namespace library
