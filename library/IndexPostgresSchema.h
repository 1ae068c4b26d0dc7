#pragma once
// The shared index's tables on a PostgreSQL server: made by the first program that opens a new
// database, brought up from an older schema in place, and the lists by term merged into blocks of
// media after an update. They speak to the server through IndexDatabase's statements alone, so
// that the connection (IndexPostgres.cpp) and the tables it holds are read and changed apart.

#include <QtGlobal>

#include "library/IndexDatabase.h"

namespace library {

// The two numbers of PostgreSQL's advisory locks that belong to the library: the first names
// what is locked, the second is a hash of which one.
inline constexpr int kLockSchema = 0x416d6200;
inline constexpr int kLockPlace = 0x416d6201;
inline constexpr int kLockIdentity = 0x416d6202;
inline constexpr int kLockBlock = 0x416d6203;

// After an update, a term's short lists of a block of media (by id: 0 to 15, 16 to 31, ...) are
// merged into one row: a search of two words reads the lists of some thirty terms (their stems,
// the words the last one begins) in every medium, and the server's time went with the rows read
// (3,600 rows, 13 ms; the same lists as 230 rows, 3 ms). A long list stays in its row: a common
// word is found in a medium or two, and its block's row would be sixteen times what is needed
// (a beginning of three letters read 1.6 MB instead of 100 kB). The row holds, for each medium
// of the block, its place in the block (a byte), the length of its list (four bytes,
// big-endian) and the list, in the order merged. Stored as it is: compressed, reading it took
// half as long again.
inline constexpr int kMediaPerBlock = 16;

// The schema this index has: 0 for a database without the library's tables, -1 when it cannot
// be asked.
int PostgresSchemaVersion(IndexDatabase& db, DbError* error);
// Makes the tables when there are none (two programs opening a new database at once make them
// once).
bool MakePostgresSchema(IndexDatabase& db, DbError* error);
// Brings an index of schema from (4 or later) to this version's, in one transaction.
bool UpgradePostgresSchema(IndexDatabase& db, int from, DbError* error);
// The short lists of the media first to last leave their rows for their blocks' rows in one
// statement (one snapshot: a list is in one place or the other), appended to a block merged
// before.
bool MergePostgresLists(IndexDatabase& db, qint64 first, qint64 last, DbError* error);

}  // namespace library
