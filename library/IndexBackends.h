#pragma once
// The two kinds of index database, made by IndexDatabase::Make: an SQLite file (or an index in
// memory) through Qt SQL, and a PostgreSQL database through libpq.

#include <memory>

#include "library/IndexDatabase.h"

namespace library {

std::unique_ptr<IndexDatabase> MakeSqliteIndex(const IndexLocation& location);
std::unique_ptr<IndexDatabase> MakePostgresIndex(const IndexLocation& location);

// A number for a text that is the same in every program on every machine (FNV-1a over UTF-8),
// for the locks two programs agree on.
qint32 StableHash(const QString& text);

// Inside a write transaction: waits while another program writes a medium of this identity
// (PostgreSQL; an SQLite file has one writer at a time anyway).
bool LockIdentityFor(IndexDatabase& db, const QString& identity, DbError* error);

}  // namespace library
