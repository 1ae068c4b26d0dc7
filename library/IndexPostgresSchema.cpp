#include "library/IndexPostgresSchema.h"

#include <algorithm>
#include <limits>

#include "library/Postings.h"

namespace library {

namespace {

// Each medium's lists by term, in a table of their own: a medium is written in one transaction
// of its own, so that writers never wait for one another's rows, and a search reads a term's
// lists through the key without a look at a passage. A list of up to a page stays in its row:
// moved out from 2 kB on (the server's default), a common word's list of each medium cost a
// look-up in the out-of-line table and a page for each 2 kB of it (eight searchers at once:
// p95 141 ms for one word, 119 ms kept in the row).
const QLatin1String kPostingsTable(
    "CREATE TABLE postings(term TEXT COLLATE \"C\" NOT NULL, medium BIGINT NOT NULL, list BYTEA "
    "NOT NULL, PRIMARY KEY(term, medium)) WITH (toast_tuple_target = 8160)");

// Lists shorter than this are merged into their block's row (kMediaPerBlock says why).
constexpr int kMergedListBytes = 1024;
const QLatin1String kBlocksTable(
    "CREATE TABLE postings_blocks(term TEXT COLLATE \"C\" NOT NULL, block BIGINT NOT NULL, list "
    "BYTEA NOT NULL, PRIMARY KEY(term, block)) WITH (toast_tuple_target = 8160)");
const QLatin1String kBlocksStored(
    "ALTER TABLE postings_blocks ALTER COLUMN list SET STORAGE EXTERNAL");
// The lists of a block not yet merged are found by their media.
const QLatin1String kPostingsByMedium("CREATE INDEX postings_medium ON postings(medium)");

// 5 to 6: each medium's lists by term made from its passages' terms and repeats, medium by
// medium; then the terms leave the passages, and their index with them.
bool UpgradeTo6(IndexDatabase& db, DbError* error) {
  std::vector<DbRow> media;
  if (!db.Exec(kPostingsTable, {}, error) ||
      !db.Query(QStringLiteral("SELECT id FROM media ORDER BY id"), {}, &media, error))
    return false;
  for (const DbRow& m : media) {
    const qint64 medium = m.value(0).toLongLong();
    // Through its presentations: the passages have no index by medium, and a scan of them all
    // for each medium would take hours at ten thousand talks.
    std::vector<DbRow> passages;
    if (!db.Query(
            QStringLiteral("SELECT id, words, place, repeats, array_to_string("
                           "tsvector_to_array(terms), ' ') FROM passages WHERE presentation IN "
                           "(SELECT id FROM presentations WHERE medium = ?) AND medium = ? "
                           "ORDER BY id"),
            {medium, medium}, &passages, error))
      return false;
    PostingsBuilder lists(medium);
    for (const DbRow& p : passages) {
      // "term:count" of the terms it holds more than once.
      QHash<QString, int> repeats;
      for (const QString& r : p.value(3).toString().split(u' ', Qt::SkipEmptyParts)) {
        const qsizetype colon = r.lastIndexOf(u':');
        if (colon > 0) repeats.insert(r.left(colon), r.mid(colon + 1).toInt());
      }
      for (const QString& term : p.value(4).toString().split(u' ', Qt::SkipEmptyParts)) {
        lists.Add(p.value(0).toLongLong(), p.value(1).toInt(), p.value(2).toInt(), term,
                  std::max(1, repeats.value(term)));
      }
    }
    if (!db.InsertPostings(lists.Take(), error)) return false;
  }
  return db.Exec(QStringLiteral("ALTER TABLE passages DROP COLUMN terms, DROP COLUMN repeats"), {},
                 error);
}

// 6 to 7: every term's short lists merged into their blocks, in one statement.
bool UpgradeTo7(IndexDatabase& db, DbError* error) {
  return db.Exec(kPostingsByMedium, {}, error) && db.Exec(kBlocksTable, {}, error) &&
         db.Exec(kBlocksStored, {}, error) &&
         MergePostgresLists(db, 0, std::numeric_limits<qint64>::max(), error);
}

}  // namespace

bool MergePostgresLists(IndexDatabase& db, qint64 first, qint64 last, DbError* error) {
  return db.Exec(
      QStringLiteral(
          "WITH gone AS (DELETE FROM postings WHERE medium BETWEEN ? AND ? AND "
          "octet_length(list) < ? RETURNING term, medium, list) INSERT INTO postings_blocks(term, "
          "block, list) SELECT term, medium / %1, string_agg(set_byte(decode('00', 'hex'), 0, "
          "CAST(medium % %1 AS int)) || int4send(octet_length(list)) || list, ''::bytea ORDER BY "
          "medium) FROM gone GROUP BY term, medium / %1 ON CONFLICT (term, block) DO UPDATE SET "
          "list = postings_blocks.list || excluded.list")
          .arg(kMediaPerBlock),
      {first, last, kMergedListBytes}, error);
}

int PostgresSchemaVersion(IndexDatabase& db, DbError* error) {
  std::vector<DbRow> rows;
  // From the catalog itself: to_regclass answers from this session's cache of names, which can
  // miss the tables another program has just made.
  if (!db.Query(QStringLiteral("SELECT count(*) FROM pg_catalog.pg_tables WHERE tablename = 'meta' "
                               "AND schemaname = current_schema()"),
                {}, &rows, error))
    return -1;
  if (rows.empty() || rows.front().value(0).toInt() == 0) return 0;
  rows.clear();
  if (!db.Query(QStringLiteral("SELECT value FROM meta WHERE key = 'schema'"), {}, &rows, error))
    return -1;
  return rows.empty() ? 0 : rows.front().value(0).toInt();
}

bool MakePostgresSchema(IndexDatabase& db, DbError* error) {
  return db.Transaction(error, [&](DbError* e) {
    // Two programs opening a new database at once: the second waits and finds the tables.
    if (!db.Exec(QStringLiteral("SELECT pg_advisory_xact_lock(?, 0)"), {kLockSchema}, e))
      return false;
    const int version = PostgresSchemaVersion(db, e);
    if (version < 0) return false;
    if (version != 0) return true;
    QStringList schema = CommonSchema(true);
    schema << QStringLiteral("CREATE TABLE meta(key TEXT PRIMARY KEY, value TEXT)")
           << QStringLiteral(
                  "CREATE TABLE passages(id BIGSERIAL PRIMARY KEY, medium BIGINT NOT NULL, "
                  "presentation BIGINT NOT NULL, place INTEGER NOT NULL, language TEXT, at_ms "
                  "BIGINT NOT NULL, piece INTEGER NOT NULL, words INTEGER NOT NULL, text TEXT)")
           << QStringLiteral("CREATE INDEX passages_presentation ON passages(presentation)")
           << kPostingsTable << kPostingsByMedium << kBlocksTable << kBlocksStored;
    for (const QString& sql : schema) {
      if (!db.Exec(sql, {}, e)) return false;
    }
    return db.Exec(QStringLiteral("INSERT INTO meta(key, value) VALUES ('schema', ?)"),
                   {QString::number(kSchemaVersion)}, e);
  });
}

// A shared index is no cache to throw away: it is brought to this version's schema in place, one
// step per version, in one transaction, by the first program of the new version that opens it
// (the others wait for it and find it done).
bool UpgradePostgresSchema(IndexDatabase& db, int from, DbError* error) {
  if (from < 4) {
    // Schema 4 is the first one kept on a server.
    *error = DbError{DbFailure::Failed,
                     QStringLiteral("the index %1 is of schema %2, which this version cannot "
                                    "upgrade")
                         .arg(db.Location().uri)
                         .arg(from)};
    return false;
  }
  const bool ok = db.Transaction(error, [&](DbError* e) {
    if (!db.Exec(QStringLiteral("SELECT pg_advisory_xact_lock(?, 0)"), {kLockSchema}, e))
      return false;
    const int now = PostgresSchemaVersion(db, e);
    if (now < 0) return false;
    if (now >= kSchemaVersion) return true;
    if (now < 5) {
      // 4 to 5: the ranking's statistics, counted from what the index holds. A passage written
      // before counts each of its words once (its repeats were not kept).
      const QStringList steps = {
          QStringLiteral("ALTER TABLE media ADD COLUMN pieces BIGINT NOT NULL DEFAULT 0, ADD "
                         "COLUMN words BIGINT NOT NULL DEFAULT 0"),
          QStringLiteral("ALTER TABLE passages ADD COLUMN repeats TEXT"),
          QStringLiteral("CREATE TABLE terms(term TEXT COLLATE \"C\" PRIMARY KEY, pieces BIGINT "
                         "NOT NULL)"),
          QStringLiteral("INSERT INTO terms(term, pieces) SELECT word, ndoc FROM ts_stat('SELECT "
                         "terms FROM passages')"),
          QStringLiteral("UPDATE media SET pieces = s.pieces, words = s.words FROM (SELECT "
                         "medium, count(*) AS pieces, sum(words) AS words FROM passages GROUP BY "
                         "medium) s WHERE s.medium = media.id"),
          QStringLiteral("DROP INDEX IF EXISTS vocabulary_term"),
      };
      for (const QString& sql : steps) {
        if (!db.Exec(sql, {}, e)) return false;
      }
    }
    if (now < 6 && !UpgradeTo6(db, e)) return false;
    if (!UpgradeTo7(db, e)) return false;
    return db.Exec(QStringLiteral("UPDATE meta SET value = ? WHERE key = 'schema'"),
                   {QString::number(kSchemaVersion)}, e);
  });
  if (!ok) {
    error->text = QStringLiteral("the index %1 could not be upgraded from schema %2: %3")
                      .arg(db.Location().uri)
                      .arg(from)
                      .arg(error->text);
  }
  return ok;
}

}  // namespace library
