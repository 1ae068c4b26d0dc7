#pragma once
// Reading the index: the media with their presentations, the search, a presentation's passages.
// Free functions over the database, the same SQL on both backends apart from the full-text match
// the database gives; the facade (LibraryIndex.h) calls them and mends a damaged index when one
// of them fails.

#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

#include "library/IndexDatabase.h"
#include "library/IndexTypes.h"
#include "library/LibrarySearch.h"

namespace library {

// The media of the index seen on this host at the roots or below, and those never seen here (all
// when roots is empty), by path, with their presentations. False with the error when the index
// cannot be read.
bool ListMedia(IndexDatabase& db, const QString& host, const QStringList& roots,
               std::vector<MediumEntry>* media, DbError* error);

// Searches the passages of those media for text; at most limit hits, best first. When the index
// cannot be read, the result carries no hits and the error (also in *error).
SearchResult SearchIndex(IndexDatabase& db, const QString& host, const QString& text,
                         const QStringList& roots, int limit, DbError* error);

// Every passage of a presentation, in the order it was read, a passage kept in pieces given
// whole.
bool ReadPassages(IndexDatabase& db, qint64 presentationId,
                  const std::function<void(const StoredPassage&)>& take, DbError* error);

}  // namespace library
