// The index as a PostgreSQL database that every workstation of an archive shares, through libpq
// itself rather than Qt's PostgreSQL driver: the address is handed to libpq whole, so its own
// means for the password (~/.pgpass, PGPASSFILE, PGPASSWORD, a service file) and sslmode apply
// as the user set them; values travel as parameters of prepared statements, never inside the
// SQL; the passages go in with COPY; and every error carries its SQLSTATE, by which a deadlock
// between two writers is told from a server that went away.

#include <libpq-fe.h>

#include <QSet>
#include <QThread>
#include <QtEndian>
#include <algorithm>
#include <optional>
#include <unordered_map>

#include "library/IndexDatabase.h"
#include "library/IndexPostgresSchema.h"

namespace library {

namespace {

// A server that answers nothing within this many seconds is taken to be out of reach.
constexpr const char* kConnectTimeout = "10";

// A number for a text that is the same in every program on every machine (FNV-1a over UTF-8),
// for the locks two programs agree on.
qint32 StableHash(const QString& text) {
  quint32 h = 2166136261u;
  for (const char c : text.toUtf8()) {
    h ^= quint8(c);
    h *= 16777619u;
  }
  return qint32(h);
}

QString Trimmed(const char* message) {
  return QString::fromUtf8(message ? message : "").trimmed();
}

// A value as PostgreSQL's text form; nullopt for NULL.
std::optional<QByteArray> TextOf(const QVariant& v) {
  if (v.isNull()) return std::nullopt;
  switch (v.typeId()) {
    case QMetaType::Bool:
      return QByteArray(v.toBool() ? "1" : "0");
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
      return QByteArray::number(v.toLongLong());
    case QMetaType::Double:
      return QByteArray::number(v.toDouble(), 'g', 17);
    default: {
      QString s = v.toString();
      // PostgreSQL's text holds no NUL; a damaged file may.
      s.replace(QChar(0), QChar(0xfffd));
      return s.toUtf8();
    }
  }
}

// "?" placeholders as PostgreSQL's $1, $2, ... (the SQL is ours and holds no "?" in a literal).
QByteArray Numbered(const QString& sql) {
  QString out;
  out.reserve(sql.size() + 16);
  int n = 0;
  for (const QChar c : sql) {
    if (c == u'?') {
      out += u'$' + QString::number(++n);
    } else {
      out += c;
    }
  }
  return out.toUtf8();
}

void AppendCopyText(QByteArray& out, const QString& text) {
  for (const char c : text.toUtf8()) {
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\0':
        out += "\xef\xbf\xbd";
        break;
      default:
        out += c;
    }
  }
}

// A text[] literal: every element quoted, so that no word is read as NULL or split.
QString ArrayLiteral(const QStringList& items) {
  QStringList quoted;
  quoted.reserve(items.size());
  for (QString item : items) {
    item.replace(u'\\', QStringLiteral("\\\\"));
    item.replace(u'"', QStringLiteral("\\\""));
    quoted << u'"' + item + u'"';
  }
  return u'{' + quoted.join(u',') + u'}';
}

class PostgresIndex;

class AdvisoryClaim : public Claim {
 public:
  AdvisoryClaim(PostgresIndex* db, qint32 key) : db_(db), key_(key) {}
  ~AdvisoryClaim() override;

 private:
  PostgresIndex* db_;
  qint32 key_;
};

class PostgresIndex : public IndexDatabase {
 public:
  explicit PostgresIndex(IndexLocation location) : IndexDatabase(std::move(location)) {}
  ~PostgresIndex() override {
    if (conn_) PQfinish(conn_);
  }

  bool IsPostgres() const override { return true; }
  bool Open() override;
  bool Rebuild(const QString& why) override;
  bool Query(const QString& sql, const QVariantList& params, std::vector<DbRow>* rows,
             DbError* error) override;
  size_t KeptStatements() const override { return prepared_.size(); }
  bool Transaction(DbError* error, const std::function<bool(DbError*)>& body) override;
  bool InsertPassages(std::vector<PassageRow>& rows, DbError* error) override;
  bool InsertVocabulary(const QStringList& pairs, DbError* error) override;
  bool AddTermPieces(const QHash<QString, qint64>& pieces, DbError* error) override;
  bool InsertPostings(const std::vector<PostingRow>& rows, DbError* error) override;
  QString InIds(const QString& column) const override {
    return column + QStringLiteral(" = ANY(CAST(? AS bigint[]))");
  }
  QString IdsValue(const QList<qint64>& ids) const override { return u'{' + JoinedIds(ids) + u'}'; }
  bool ReadPostings(const QStringList& terms, qint64 first, qint64 last,
                    std::vector<PostingRow>* out, DbError* error) override;
  int MediaPerBlock() const override { return kMediaPerBlock; }
  bool MergeWritten(DbError* error) override;
  std::unique_ptr<Claim> TryClaim(const QString& key) override;
  bool LockIdentity(const QString& identity, DbError* error) override;
  void Unlock(qint32 key) {
    if (conn_ && PQstatus(conn_) == CONNECTION_OK)
      Exec(QStringLiteral("SELECT pg_advisory_unlock(?, ?)"), {kLockPlace, key});
  }

 private:
  bool Connect();
  bool Reachable(DbError* error);
  // The name of sql's statement on the server, prepared when it is new; null when that failed.
  const QByteArray* Prepared(const QString& sql, DbError* error);
  // Runs sql with its values bound; the result (for the caller to clear) when it ran, else null.
  PGresult* Run(const QString& sql, const QVariantList& params, bool binary, DbError* error);
  bool Copy(const char* command, const QByteArray& data, DbError* error);
  DbError ErrorOf(PGresult* result) const;

  PGconn* conn_ = nullptr;
  std::unordered_map<QString, QByteArray> prepared_;  // SQL -> statement name
  quint64 statementsMade_ = 0;                        // names are never used twice
  int inTransaction_ = 0;
  QSet<qint64> written_;  // blocks of the media written since their last merge
};

AdvisoryClaim::~AdvisoryClaim() {
  db_->Unlock(key_);
}

DbError PostgresIndex::ErrorOf(PGresult* result) const {
  DbError e;
  e.text = Trimmed(result ? PQresultErrorMessage(result) : PQerrorMessage(conn_));
  if (e.text.isEmpty()) e.text = Trimmed(PQerrorMessage(conn_));
  const QByteArray state =
      result ? QByteArray(PQresultErrorField(result, PG_DIAG_SQLSTATE)) : QByteArray();
  if (!conn_ || PQstatus(conn_) != CONNECTION_OK || state.startsWith("08") ||
      state.startsWith("57P")) {
    e.kind = DbFailure::Unreachable;
    e.text = QStringLiteral("the index's server went away: %1").arg(e.text);
  } else if (state == "40001" || state == "40P01") {
    e.kind = DbFailure::Retry;
  } else if (state == "53100") {
    e.kind = DbFailure::DiskFull;
    e.text = QStringLiteral("the server's disk is full: %1").arg(e.text);
  } else if (state == "25006") {
    e.kind = DbFailure::ReadOnly;
  } else if (state.startsWith("XX")) {
    e.kind = DbFailure::Damaged;
  } else {
    e.kind = DbFailure::Failed;
  }
  return e;
}

bool PostgresIndex::Connect() {
  if (conn_) PQfinish(conn_);
  prepared_.clear();
  inTransaction_ = 0;
  const QByteArray uri = location_.uri.toUtf8();
  // The address comes last but one: what it says wins over the defaults before it.
  const char* keywords[] = {"connect_timeout", "dbname", "fallback_application_name", nullptr};
  const char* values[] = {kConnectTimeout, uri.constData(), "Ambrel", nullptr};
  conn_ = PQconnectdbParams(keywords, values, 1);
  if (PQstatus(conn_) == CONNECTION_OK) {
    PQclear(PQexec(conn_, "SET client_encoding = 'UTF8'"));
    // A word found in a hundred thousand passages: with the server's default memory its map of
    // them turns lossy, and every passage of a lossy page is matched again (most of a search's
    // time). One process per search, not parallel workers: eight searchers share the cores, and
    // the passages ranked when there are too many are the first ones stored, as on SQLite.
    PQclear(PQexec(conn_, "SET work_mem = '64MB'"));
    PQclear(PQexec(conn_, "SET max_parallel_workers_per_gather = 0"));
    return true;
  }
  openError_ = DbError{DbFailure::Unreachable,
                       QStringLiteral("the index's server cannot be reached (%1): %2")
                           .arg(location_.uri, Trimmed(PQerrorMessage(conn_)))};
  return false;
}

// Connects again where the server went away since (asked again by the user: a new search, F5).
bool PostgresIndex::Reachable(DbError* error) {
  if (conn_ && PQstatus(conn_) == CONNECTION_OK) return true;
  if (inTransaction_ > 0) {
    if (error) {
      *error =
          DbError{DbFailure::Unreachable, QStringLiteral("the index's server went away: %1")
                                              .arg(Trimmed(conn_ ? PQerrorMessage(conn_) : ""))};
    }
    return false;
  }
  if (Connect()) return true;
  if (error) *error = openError_;
  return false;
}

const QByteArray* PostgresIndex::Prepared(const QString& sql, DbError* error) {
  if (!Reachable(error)) return nullptr;
  auto it = prepared_.find(sql);
  if (it != prepared_.end()) return &it->second;
  if (prepared_.size() >= kKeptStatements) {
    // The server keeps each for the session: those of the searches before go. (Inside a
    // failed transaction this fails too, and they go with the next statement made.)
    PGresult* gone = PQexec(conn_, "DEALLOCATE ALL");
    if (PQresultStatus(gone) == PGRES_COMMAND_OK) prepared_.clear();
    PQclear(gone);
  }
  const QByteArray name = "ambrel" + QByteArray::number(++statementsMade_);
  PGresult* r = PQprepare(conn_, name.constData(), Numbered(sql).constData(), 0, nullptr);
  if (PQresultStatus(r) != PGRES_COMMAND_OK) {
    if (error) *error = ErrorOf(r);
    PQclear(r);
    return nullptr;
  }
  PQclear(r);
  return &prepared_.emplace(sql, name).first->second;
}

PGresult* PostgresIndex::Run(const QString& sql, const QVariantList& params, bool binary,
                             DbError* error) {
  const QByteArray* name = Prepared(sql, error);
  if (!name) return nullptr;
  std::vector<std::optional<QByteArray>> texts;
  texts.reserve(size_t(params.size()));
  std::vector<const char*> values;
  for (const QVariant& v : params) texts.push_back(TextOf(v));
  for (const auto& t : texts) values.push_back(t ? t->constData() : nullptr);
  PGresult* r = PQexecPrepared(conn_, name->constData(), int(values.size()), values.data(), nullptr,
                               nullptr, binary ? 1 : 0);
  const ExecStatusType status = PQresultStatus(r);
  if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
    if (error) *error = ErrorOf(r);
    PQclear(r);
    return nullptr;
  }
  return r;
}

bool PostgresIndex::Query(const QString& sql, const QVariantList& params, std::vector<DbRow>* rows,
                          DbError* error) {
  PGresult* r = Run(sql, params, false, error);
  if (!r) return false;
  if (rows) {
    const int n = PQntuples(r);
    const int columns = PQnfields(r);
    rows->reserve(rows->size() + size_t(n));
    for (int i = 0; i < n; ++i) {
      DbRow row;
      row.reserve(columns);
      for (int c = 0; c < columns; ++c) {
        if (PQgetisnull(r, i, c)) {
          row << QVariant();
        } else {
          row << QString::fromUtf8(PQgetvalue(r, i, c), PQgetlength(r, i, c));
        }
      }
      rows->push_back(std::move(row));
    }
  }
  PQclear(r);
  return true;
}

bool PostgresIndex::Transaction(DbError* error, const std::function<bool(DbError*)>& body) {
  for (int attempt = 0;; ++attempt) {
    DbError e;
    bool ok = Exec(QStringLiteral("BEGIN"), {}, &e);
    if (ok) {
      ++inTransaction_;
      ok = body(&e);
      if (ok) ok = Exec(QStringLiteral("COMMIT"), {}, &e);
      if (!ok && conn_ && PQstatus(conn_) == CONNECTION_OK) Exec(QStringLiteral("ROLLBACK"));
      inTransaction_ = 0;
    }
    if (ok) return true;
    // Two writers met in a deadlock or a serialization failure: one of them runs again.
    if (e.kind != DbFailure::Retry || attempt >= 5) {
      if (error) *error = e;
      return false;
    }
    QThread::msleep(50UL << attempt);
  }
}

bool PostgresIndex::Copy(const char* command, const QByteArray& data, DbError* error) {
  if (!Reachable(error)) return false;
  PGresult* r = PQexec(conn_, command);
  if (PQresultStatus(r) != PGRES_COPY_IN) {
    if (error) *error = ErrorOf(r);
    PQclear(r);
    return false;
  }
  PQclear(r);
  bool sent = true;
  for (qsizetype at = 0; sent && at < data.size(); at += 1 << 20) {
    const int n = int(std::min<qsizetype>(1 << 20, data.size() - at));
    sent = PQputCopyData(conn_, data.constData() + at, n) == 1;
  }
  const int end = PQputCopyEnd(conn_, sent ? nullptr : "the rows could not be sent");
  bool ok = end == 1 && sent;
  while (PGresult* done = PQgetResult(conn_)) {
    if (PQresultStatus(done) != PGRES_COMMAND_OK) {
      ok = false;
      if (error) *error = ErrorOf(done);
    }
    PQclear(done);
  }
  if (!ok && error && !error->IsSet()) *error = ErrorOf(nullptr);
  return ok;
}

bool PostgresIndex::InsertPassages(std::vector<PassageRow>& rows, DbError* error) {
  if (rows.empty()) return true;
  // The ids first, from the table's own sequence, so that the lists by term can name them: in
  // one statement they rise in order, whatever other writers take between them.
  std::vector<DbRow> ids;
  if (!Query(QStringLiteral("SELECT nextval(pg_get_serial_sequence('passages', 'id')) FROM "
                            "generate_series(1, CAST(? AS integer))"),
             {qint64(rows.size())}, &ids, error))
    return false;
  if (ids.size() != rows.size()) {
    if (error) *error = DbError{DbFailure::Failed, QStringLiteral("the server gave too few ids")};
    return false;
  }
  std::vector<qint64> numbers;
  numbers.reserve(ids.size());
  for (const DbRow& r : ids) numbers.push_back(r.value(0).toLongLong());
  std::sort(numbers.begin(), numbers.end());
  QByteArray buffer;
  for (size_t k = 0; k < rows.size(); ++k) {
    PassageRow& p = rows[k];
    p.id = numbers[k];
    buffer += QByteArray::number(p.id) + '\t' + QByteArray::number(p.medium) + '\t' +
              QByteArray::number(p.presentation) + '\t' + QByteArray::number(p.place) + '\t';
    AppendCopyText(buffer, p.language);
    buffer += '\t' + QByteArray::number(p.atMs) + '\t' + QByteArray::number(p.piece) + '\t' +
              QByteArray::number(p.words) + '\t';
    AppendCopyText(buffer, p.text);
    buffer += '\n';
  }
  return Copy(
      "COPY passages(id, medium, presentation, place, language, at_ms, piece, words, text) FROM "
      "STDIN",
      buffer, error);
}

bool PostgresIndex::InsertPostings(const std::vector<PostingRow>& rows, DbError* error) {
  if (rows.empty()) return true;
  QByteArray buffer;
  for (const PostingRow& r : rows) {
    AppendCopyText(buffer, r.term);
    // bytea in hex, its backslash doubled for COPY's text form.
    buffer += '\t' + QByteArray::number(r.medium) + "\t\\\\x" + r.list.toHex() + '\n';
    written_.insert(r.medium / kMediaPerBlock);
  }
  return Copy("COPY postings(term, medium, list) FROM STDIN", buffer, error);
}

bool PostgresIndex::ReadPostings(const QStringList& terms, qint64 first, qint64 last,
                                 std::vector<PostingRow>* out, DbError* error) {
  if (terms.isEmpty()) return true;
  // A block's row comes back with -1 - block for its medium.
  const QString sql = QStringLiteral(
      "SELECT term, medium, list FROM postings WHERE term = ANY(CAST(? AS text[])) AND medium "
      "BETWEEN ? AND ? UNION ALL SELECT term, -1 - block, list FROM postings_blocks WHERE term = "
      "ANY(CAST(? AS text[])) AND block BETWEEN ? AND ?");
  const QString array = ArrayLiteral(terms);
  const QVariantList params{
      array, first, last, array, first / kMediaPerBlock, last / kMediaPerBlock};
  // In binary: the lists as the bytes they are, not twice as many hex digits.
  PGresult* r = Run(sql, params, true, error);
  if (!r) return false;
  const size_t from = out->size();
  bool whole = true;
  for (int i = 0, n = PQntuples(r); i < n && whole; ++i) {
    const QString term = QString::fromUtf8(PQgetvalue(r, i, 0), PQgetlength(r, i, 0));
    const uchar* m = reinterpret_cast<const uchar*>(PQgetvalue(r, i, 1));
    const qint64 medium = PQgetlength(r, i, 1) == 8 ? qFromBigEndian<qint64>(m) : 0;
    const char* list = PQgetvalue(r, i, 2);
    const qsizetype size = PQgetlength(r, i, 2);
    if (medium >= 0) {
      out->push_back(PostingRow{term, medium, QByteArray(list, size)});
      continue;
    }
    const qint64 block = -1 - medium;
    for (qsizetype at = 0; at < size;) {
      constexpr qsizetype kHead = 5;
      const quint8 offset = quint8(list[at]);
      const qsizetype length =
          size - at >= kHead ? qFromBigEndian<quint32>(list + at + 1) : qsizetype(-1);
      whole = offset < kMediaPerBlock && length >= 0 && length <= size - at - kHead;
      if (!whole) break;
      const qint64 of = block * kMediaPerBlock + offset;
      if (of >= first && of <= last)
        out->push_back(PostingRow{term, of, QByteArray(list + at + kHead, length)});
      at += kHead + length;
    }
  }
  PQclear(r);
  if (!whole) {
    *error = DbError{DbFailure::Damaged,
                     QStringLiteral("a block of the index's lists of passages is damaged")};
    return false;
  }
  std::sort(out->begin() + qsizetype(from), out->end(),
            [](const PostingRow& a, const PostingRow& b) {
              return a.medium != b.medium ? a.medium < b.medium : a.term < b.term;
            });
  return true;
}

// Each block written to since the last merge, in a transaction of its own: its lists not yet
// merged leave their rows and are appended to the block's (the ones another writer is writing
// now stay, for that writer to merge). One writer at a time for a block; nobody waits for a
// block but another writer merging it.
bool PostgresIndex::MergeWritten(DbError* error) {
  QList<qint64> blocks(written_.cbegin(), written_.cend());
  std::sort(blocks.begin(), blocks.end());
  for (const qint64 block : blocks) {
    const qint64 first = block * kMediaPerBlock;
    const bool ok = Transaction(error, [&](DbError* e) {
      return Exec(QStringLiteral("SELECT pg_advisory_xact_lock(?, ?)"), {kLockBlock, qint32(block)},
                  e) &&
             MergePostgresLists(*this, first, first + kMediaPerBlock - 1, e);
    });
    if (!ok) return false;
    written_.remove(block);
  }
  return true;
}

bool PostgresIndex::InsertVocabulary(const QStringList& pairs, DbError* error) {
  // Sorted, so that two writers adding the same new words take their locks in one order.
  QStringList sorted = pairs;
  sorted.sort();
  QStringList words, terms, lengths;
  for (const QString& pair : sorted) {
    const qsizetype tab = pair.indexOf(u'\t');
    words << pair.left(tab);
    terms << pair.mid(tab + 1);
    lengths << QString::number(tab);
  }
  return Exec(QStringLiteral("INSERT INTO vocabulary(word, term, length) SELECT * FROM "
                             "unnest(CAST(? AS text[]), CAST(? AS text[]), CAST(? AS int[])) "
                             "ON CONFLICT DO NOTHING"),
              {ArrayLiteral(words), ArrayLiteral(terms), u'{' + lengths.join(u',') + u'}'}, error);
}

bool PostgresIndex::AddTermPieces(const QHash<QString, qint64>& pieces, DbError* error) {
  // Sorted, so that two writers counting the same words take their rows in one order and never
  // wait for each other in a circle.
  QStringList terms = pieces.keys();
  terms.sort();
  QStringList counts;
  counts.reserve(terms.size());
  for (const QString& t : terms) counts << QString::number(pieces.value(t));
  return Exec(QStringLiteral("INSERT INTO terms(term, pieces) SELECT * FROM unnest(CAST(? AS "
                             "text[]), CAST(? AS bigint[])) ON CONFLICT(term) DO UPDATE SET "
                             "pieces = terms.pieces + excluded.pieces"),
              {ArrayLiteral(terms), u'{' + counts.join(u',') + u'}'}, error);
}

std::unique_ptr<Claim> PostgresIndex::TryClaim(const QString& key) {
  const qint32 hash = StableHash(key);
  std::vector<DbRow> rows;
  // A session's lock: held across the medium's reading and writing, and let go by the server
  // when the program that holds it ends in any way.
  if (!Query(QStringLiteral("SELECT pg_try_advisory_lock(?, ?)"), {kLockPlace, hash}, &rows,
             nullptr) ||
      rows.empty()) {
    return std::make_unique<Claim>();
  }
  const QString got = rows.front().value(0).toString();
  if (got != QLatin1String("t") && got != QLatin1String("true")) return nullptr;
  return std::make_unique<AdvisoryClaim>(this, hash);
}

bool PostgresIndex::LockIdentity(const QString& identity, DbError* error) {
  return Exec(QStringLiteral("SELECT pg_advisory_xact_lock(?, ?)"),
              {kLockIdentity, StableHash(identity)}, error);
}

bool PostgresIndex::Open() {
  openError_ = DbError();
  if (!Connect()) return false;
  DbError error;
  const int version = PostgresSchemaVersion(*this, &error);
  if (version < 0) {
    openError_ = error;
    return false;
  }
  if (version > kSchemaVersion) {
    openError_ = DbError{DbFailure::Newer,
                         QStringLiteral("the index %1 was made by a newer version of Ambrel "
                                        "(schema %2; this one knows up to %3): it is left as it "
                                        "is. Use that version, or name another index with "
                                        "--index.")
                             .arg(location_.uri)
                             .arg(version)
                             .arg(kSchemaVersion)};
    return false;
  }
  if (version != 0 && version < kSchemaVersion && !UpgradePostgresSchema(*this, version, &error)) {
    openError_ = error;
    return false;
  }
  if (!MakePostgresSchema(*this, &error)) {
    openError_ = error;
    return false;
  }
  return true;
}

bool PostgresIndex::Rebuild(const QString& why) {
  // A server keeps its own storage whole; a shared index is never thrown away by one program.
  openError_ = DbError{DbFailure::Failed, why};
  return false;
}

}  // namespace

std::unique_ptr<IndexDatabase> MakePostgresIndex(const IndexLocation& location) {
  return std::make_unique<PostgresIndex>(location);
}

}  // namespace library
