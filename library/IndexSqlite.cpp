// The index as an SQLite file through Qt SQL's SQLite driver: the user's cache folder by default,
// an index in memory when no file can be written, the file as it is (read only) when its disk is
// full. The lists of passages by term are kept clustered by term, so that one term's lists of
// every medium lie together in the file.

#include <sys/file.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QUuid>
#include <unordered_map>

#include "library/IndexDatabase.h"

namespace library {

namespace {

// A writer waits this long for another program's write to end (four programs writing media of
// a few thousand passages each take turns well within it).
constexpr int kBusyTimeoutMs = 120000;
// SQLite's page cache per connection, in KiB (negative: a size rather than a page count).
constexpr int kCacheKiB = 32768;
constexpr qint64 kMapBytes = qint64(2) << 30;
// The schema before the current one whose file is the current one's: only a server's tables
// changed since.
constexpr int kSameAsCurrent = 6;
// SQLite's primary result codes the index acts on.
constexpr int kSqliteBusy = 5;
constexpr int kSqliteLocked = 6;
constexpr int kSqliteReadOnly = 8;
constexpr int kSqliteIoErr = 10;
constexpr int kSqliteCorrupt = 11;
constexpr int kSqliteFull = 13;
constexpr int kSqliteCantOpen = 14;
constexpr int kSqliteNotADatabase = 26;

// Free bytes on the file system that holds path (or its nearest existing folder).
qint64 FreeBytes(const QString& path) {
  QString at = path;
  while (!at.isEmpty() && !QFileInfo::exists(at)) at = QFileInfo(at).path();
  struct statvfs s {};
  if (at.isEmpty() || ::statvfs(QFile::encodeName(at).constData(), &s) != 0) return -1;
  return qint64(s.f_bavail) * qint64(s.f_frsize);
}

class FileClaim : public Claim {
 public:
  explicit FileClaim(int fd) : fd_(fd) {}
  ~FileClaim() override {
    if (fd_ >= 0) {
      ::flock(fd_, LOCK_UN);
      ::close(fd_);
    }
  }

 private:
  int fd_;
};

class SqliteIndex : public IndexDatabase {
 public:
  explicit SqliteIndex(IndexLocation location)
      : IndexDatabase(std::move(location)),
        connection_(QStringLiteral("library-") + QUuid::createUuid().toString(QUuid::Id128)) {}
  ~SqliteIndex() override { Disconnect(); }

  bool IsPostgres() const override { return false; }
  bool Open() override;
  bool Rebuild(const QString& why) override;
  bool CheckDamaged(QString* what) override;
  bool Query(const QString& sql, const QVariantList& params, std::vector<DbRow>* rows,
             DbError* error) override;
  size_t KeptStatements() const override { return statements_.size(); }
  bool Transaction(DbError* error, const std::function<bool(DbError*)>& body) override;
  bool InsertPassages(std::vector<PassageRow>& rows, DbError* error) override;
  bool InsertVocabulary(const QStringList& pairs, DbError* error) override;
  bool AddTermPieces(const QHash<QString, qint64>& pieces, DbError* error) override;
  bool InsertPostings(const std::vector<PostingRow>& rows, DbError* error) override;
  QString InIds(const QString& column) const override {
    return column + QStringLiteral(" IN (SELECT value FROM json_each(?))");
  }
  QString IdsValue(const QList<qint64>& ids) const override { return u'[' + JoinedIds(ids) + u']'; }
  bool ReadPostings(const QStringList& terms, qint64 first, qint64 last,
                    std::vector<PostingRow>* out, DbError* error) override;
  std::unique_ptr<Claim> TryClaim(const QString& key) override;

 private:
  const QString& File() const { return location_.path; }
  QSqlDatabase Db() const { return QSqlDatabase::database(connection_, false); }
  bool Connect(const QString& name, const QString& options);
  void Disconnect();
  bool ConnectMemory();
  int Version(DbError* error);
  bool MakeSchema(DbError* error);
  void RemoveFiles();
  bool OpenFile(bool mayRebuild);
  bool OpenReadOnly(const QString& why);
  bool UseMemory(const QString& why);
  DbError ErrorOf(const QSqlError& e) const;

  QString connection_;
  std::unordered_map<QString, std::unique_ptr<QSqlQuery>> statements_;
};

DbError SqliteIndex::ErrorOf(const QSqlError& e) const {
  DbError out;
  out.text = e.text();
  bool numeric = false;
  const int code = e.nativeErrorCode().toInt(&numeric) & 0xff;
  if (!numeric) {
    out.kind = DbFailure::Failed;
    return out;
  }
  switch (code) {
    case kSqliteCorrupt:
    case kSqliteNotADatabase:
      out.kind = DbFailure::Damaged;
      break;
    case kSqliteFull:
      out.kind = DbFailure::DiskFull;
      break;
    case kSqliteIoErr:
    case kSqliteCantOpen: {
      // A write that found no room is reported as an I/O error where the -shm file or the
      // journal could not grow.
      const qint64 free = inMemory_ ? -1 : FreeBytes(File());
      out.kind = free >= 0 && free < 1024 * 1024 ? DbFailure::DiskFull : DbFailure::Failed;
      break;
    }
    case kSqliteReadOnly:
      out.kind = DbFailure::ReadOnly;
      break;
    case kSqliteBusy:
    case kSqliteLocked:
      out.kind = DbFailure::Retry;
      break;
    default:
      out.kind = DbFailure::Failed;
  }
  if (out.kind == DbFailure::DiskFull)
    out.text = QStringLiteral("the disk is full (%1)").arg(e.text());
  return out;
}

bool SqliteIndex::Connect(const QString& name, const QString& options) {
  statements_.clear();
  {
    QSqlDatabase db = QSqlDatabase::contains(connection_)
                          ? QSqlDatabase::database(connection_, false)
                          : QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection_);
    db.close();
    db.setDatabaseName(name);
    db.setConnectOptions(
        QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1;%2").arg(kBusyTimeoutMs).arg(options));
    if (!db.open()) return false;
  }
  return true;
}

void SqliteIndex::Disconnect() {
  statements_.clear();
  if (!QSqlDatabase::contains(connection_)) return;
  Db().close();
  QSqlDatabase::removeDatabase(connection_);
}

// The index in memory, shared by every index of this process for the same file.
bool SqliteIndex::ConnectMemory() {
  const QByteArray key = QCryptographicHash::hash(File().toUtf8(), QCryptographicHash::Sha1);
  inMemory_ = true;
  readOnly_ = false;
  return Connect(QStringLiteral("file:ambrel-library-%1?mode=memory&cache=shared")
                     .arg(QString::fromLatin1(key.toHex().left(16))),
                 QStringLiteral("QSQLITE_OPEN_URI"));
}

bool SqliteIndex::Query(const QString& sql, const QVariantList& params, std::vector<DbRow>* rows,
                        DbError* error) {
  auto it = statements_.find(sql);
  if (it == statements_.end()) {
    // Those of the searches before go (each is made again in microseconds when asked again).
    if (statements_.size() >= kKeptStatements) statements_.clear();
    auto q = std::make_unique<QSqlQuery>(Db());
    q->setForwardOnly(true);
    if (!q->prepare(sql)) {
      if (error) *error = ErrorOf(q->lastError());
      return false;
    }
    it = statements_.emplace(sql, std::move(q)).first;
  }
  QSqlQuery& q = *it->second;
  for (int i = 0; i < params.size(); ++i) q.bindValue(i, params[i]);
  if (!q.exec()) {
    if (error) *error = ErrorOf(q.lastError());
    q.finish();
    return false;
  }
  if (rows) {
    const int columns = q.record().count();
    while (q.next()) {
      DbRow row;
      row.reserve(columns);
      for (int c = 0; c < columns; ++c) row << q.value(c);
      rows->push_back(std::move(row));
    }
    if (q.lastError().isValid()) {
      if (error) *error = ErrorOf(q.lastError());
      q.finish();
      return false;
    }
  }
  q.finish();
  return true;
}

bool SqliteIndex::Transaction(DbError* error, const std::function<bool(DbError*)>& body) {
  for (int attempt = 0;; ++attempt) {
    DbError e;
    bool ok = Exec(QStringLiteral("BEGIN IMMEDIATE"), {}, &e);
    if (ok) {
      ok = body(&e);
      if (ok) ok = Exec(QStringLiteral("COMMIT"), {}, &e);
      if (!ok) Exec(QStringLiteral("ROLLBACK"));
    }
    if (ok) return true;
    if (e.kind != DbFailure::Retry || attempt >= 3) {
      if (error) *error = e;
      return false;
    }
  }
}

bool SqliteIndex::InsertPassages(std::vector<PassageRow>& rows, DbError* error) {
  std::vector<DbRow> top;
  if (!Query(QStringLiteral("SELECT coalesce(max(id), 0) FROM passages"), {}, &top, error))
    return false;
  qint64 next = top.empty() ? 1 : top.front().value(0).toLongLong() + 1;
  const QString text = QStringLiteral(
      "INSERT INTO passages(id, medium, presentation, place, language, at_ms, piece, words, text) "
      "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)");
  for (PassageRow& r : rows) {
    r.id = next++;
    if (!Exec(
            text,
            {r.id, r.medium, r.presentation, r.place, r.language, r.atMs, r.piece, r.words, r.text},
            error))
      return false;
  }
  return true;
}

bool SqliteIndex::InsertPostings(const std::vector<PostingRow>& rows, DbError* error) {
  const QString sql = QStringLiteral("INSERT INTO postings(term, medium, list) VALUES (?, ?, ?)");
  for (const PostingRow& r : rows) {
    if (!Exec(sql, {r.term, r.medium, r.list}, error)) return false;
  }
  return true;
}

bool SqliteIndex::ReadPostings(const QStringList& terms, qint64 first, qint64 last,
                               std::vector<PostingRow>* out, DbError* error) {
  if (terms.isEmpty()) return true;
  QVariantList params(terms.cbegin(), terms.cend());
  params << first << last;
  std::vector<DbRow> rows;
  if (!Query(QStringLiteral("SELECT term, medium, list FROM postings WHERE term IN (%1) AND "
                            "medium BETWEEN ? AND ? ORDER BY medium, term")
                 .arg(Placeholders(terms.size())),
             params, &rows, error))
    return false;
  out->reserve(out->size() + rows.size());
  for (DbRow& r : rows) {
    out->push_back(
        PostingRow{r.value(0).toString(), r.value(1).toLongLong(), r.value(2).toByteArray()});
  }
  return true;
}

bool SqliteIndex::InsertVocabulary(const QStringList& pairs, DbError* error) {
  const QString sql = QStringLiteral(
      "INSERT INTO vocabulary(word, term, length) VALUES (?, ?, ?) ON CONFLICT DO NOTHING");
  for (const QString& pair : pairs) {
    const qsizetype tab = pair.indexOf(u'\t');
    const QString word = pair.left(tab);
    if (!Exec(sql, {word, pair.mid(tab + 1), int(word.size())}, error)) return false;
  }
  return true;
}

bool SqliteIndex::AddTermPieces(const QHash<QString, qint64>& pieces, DbError* error) {
  const QString sql = QStringLiteral(
      "INSERT INTO terms(term, pieces) VALUES (?, ?) ON CONFLICT(term) DO UPDATE SET pieces = "
      "pieces + excluded.pieces");
  for (auto it = pieces.cbegin(); it != pieces.cend(); ++it) {
    if (!Exec(sql, {it.key(), it.value()}, error)) return false;
  }
  return true;
}

std::unique_ptr<Claim> SqliteIndex::TryClaim(const QString& key) {
  // One program has an index in memory to itself.
  if (inMemory_) return std::make_unique<Claim>();
  const QString folder = File() + QStringLiteral(".claims");
  QDir().mkpath(folder);
  const QString name =
      folder + u'/' +
      QString::fromLatin1(
          QCryptographicHash::hash(key.toUtf8(), QCryptographicHash::Sha1).toHex().left(20));
  const int fd = ::open(QFile::encodeName(name).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  // Where no lock can be had, the programs are not kept apart; each still writes whole media.
  if (fd < 0) return std::make_unique<Claim>();
  // The lock goes with the process: a program killed while it reads frees the medium.
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    return nullptr;
  }
  return std::make_unique<FileClaim>(fd);
}

// user_version, or -1 when the file cannot be read as SQLite.
int SqliteIndex::Version(DbError* error) {
  std::vector<DbRow> rows;
  if (!Query(QStringLiteral("PRAGMA user_version"), {}, &rows, error) || rows.empty()) return -1;
  return rows.front().value(0).toInt();
}

// Makes the tables when there are none; inside one write transaction, so that two programs
// opening a new index at once make them once.
bool SqliteIndex::MakeSchema(DbError* error) {
  DbError ignored;
  if (Version(&ignored) == kSchemaVersion) return true;
  return Transaction(error, [&](DbError* e) {
    if (Version(&ignored) != 0) return true;
    QStringList schema = CommonSchema(false);
    schema << QStringLiteral(
                  "CREATE TABLE passages(id INTEGER PRIMARY KEY, medium INTEGER NOT NULL, "
                  "presentation INTEGER NOT NULL, place INTEGER NOT NULL, language TEXT, at_ms "
                  "INTEGER NOT NULL, piece INTEGER NOT NULL, words INTEGER NOT NULL, text TEXT)")
           << QStringLiteral("CREATE INDEX passages_presentation ON passages(presentation)")
           // Without rowid: stored in the order of the key, so that a term's lists of every
           // medium are read together.
           << QStringLiteral(
                  "CREATE TABLE postings(term TEXT NOT NULL, medium INTEGER NOT NULL, list BLOB "
                  "NOT NULL, PRIMARY KEY(term, medium)) WITHOUT ROWID");
    for (const QString& sql : schema) {
      if (!Exec(sql, {}, e)) return false;
    }
    return Exec(QStringLiteral("PRAGMA user_version = %1").arg(kSchemaVersion), {}, e);
  });
}

void SqliteIndex::RemoveFiles() {
  for (const char* suffix : {"", "-wal", "-shm", "-journal"}) QFile::remove(File() + suffix);
}

bool SqliteIndex::OpenFile(bool mayRebuild) {
  inMemory_ = false;
  readOnly_ = false;
  if (!Connect(File(), QString())) return false;
  DbError error;
  int version = Version(&error);
  // Schema 7 changed only a server's tables: a file of 6 is the same, renumbered where it can be
  // written now (and used as it is where it cannot).
  if (version == kSameAsCurrent &&
      Exec(QStringLiteral("PRAGMA user_version = %1").arg(kSchemaVersion)))
    version = kSchemaVersion;
  QString why;
  if (version < 0) {
    if (error.kind == DbFailure::DiskFull || error.kind == DbFailure::Failed)
      return OpenReadOnly(error.text);
    why = QStringLiteral("it is no SQLite database or is damaged: %1").arg(error.text);
  } else if (version > kSchemaVersion) {
    openError_ = DbError{DbFailure::Newer,
                         QStringLiteral("the index %1 was made by a newer version of Ambrel "
                                        "(schema %2; this one knows up to %3): it is left as it "
                                        "is. Use that version, or name another index with "
                                        "--index.")
                             .arg(QDir::toNativeSeparators(File()))
                             .arg(version)
                             .arg(kSchemaVersion)};
    Disconnect();
    return false;
  } else if (version != 0 && version != kSchemaVersion && version != kSameAsCurrent) {
    why =
        QStringLiteral("it was made by an older version (schema %1) and is upgraded").arg(version);
  } else {
    DbError e;
    // The cache may be made anew at any time; a lost last write costs one more reading.
    if (!Exec(QStringLiteral("PRAGMA journal_mode=WAL"), {}, &e) && e.kind != DbFailure::Retry) {
      if (e.kind == DbFailure::Damaged) {
        why = e.text;
      } else {
        return OpenReadOnly(e.text);
      }
    }
    if (why.isEmpty()) {
      Exec(QStringLiteral("PRAGMA synchronous=NORMAL"));
      Exec(QStringLiteral("PRAGMA cache_size=-%1").arg(kCacheKiB));
      // A search reads thousands of pages of the index at once: mapped, they come straight from
      // the system's cache instead of one read call each.
      Exec(QStringLiteral("PRAGMA mmap_size=%1").arg(kMapBytes));
      if (MakeSchema(&error)) return true;
      if (error.kind == DbFailure::ReadOnly || error.kind == DbFailure::DiskFull)
        return OpenReadOnly(error.text);
      if (error.kind != DbFailure::Damaged) {
        openError_ = error;
        return false;
      }
      why = QStringLiteral("its tables cannot be made: %1").arg(error.text);
    }
  }
  if (!mayRebuild) return false;
  Disconnect();
  RemoveFiles();
  notice_ = QStringLiteral("The index %1 could not be used (%2) and has been made anew.")
                .arg(QDir::toNativeSeparators(File()), why);
  return OpenFile(false);
}

// The file as it is, read only: nothing of it is lost where it cannot be written now.
bool SqliteIndex::OpenReadOnly(const QString& why) {
  const bool full = FreeBytes(File()) >= 0 && FreeBytes(File()) < 1024 * 1024;
  Disconnect();
  if (Connect(File(), QStringLiteral("QSQLITE_OPEN_READONLY"))) {
    DbError e;
    const int version = Version(&e);
    if (version == kSchemaVersion || version == kSameAsCurrent) {
      readOnly_ = true;
      notice_ = full ? QStringLiteral(
                           "The disk that holds the index %1 is full: the index is searched as "
                           "it is and not brought up to date.")
                           .arg(QDir::toNativeSeparators(File()))
                     : QStringLiteral(
                           "The index %1 cannot be written (%2): it is searched as it is and not "
                           "brought up to date.")
                           .arg(QDir::toNativeSeparators(File()), why);
      return true;
    }
  }
  Disconnect();
  return UseMemory(full ? QStringLiteral("The disk that holds the index %1 is full: the index is "
                                         "kept in memory for this run.")
                              .arg(QDir::toNativeSeparators(File()))
                        : QStringLiteral("The index %1 cannot be used (%2): the index is kept "
                                         "in memory for this run.")
                              .arg(QDir::toNativeSeparators(File()), why));
}

bool SqliteIndex::UseMemory(const QString& why) {
  Disconnect();
  notice_ = why;
  if (!ConnectMemory()) {
    openError_ = DbError{DbFailure::Failed, why};
    return false;
  }
  Exec(QStringLiteral("PRAGMA cache_size=-%1").arg(kCacheKiB));
  DbError error;
  if (MakeSchema(&error)) return true;
  openError_ = error;
  return false;
}

bool SqliteIndex::Open() {
  openError_ = DbError();
  const QFileInfo info(File());
  const QString file = QDir::toNativeSeparators(File());
  const QString inMemory = QStringLiteral(": the index is kept in memory for this run.");
  // Say what is wrong with the place itself rather than blaming the folder.
  if (info.isSymLink() && !info.exists()) {
    return UseMemory(QStringLiteral("The index %1 is a link to %2, which does not exist")
                         .arg(file, QDir::toNativeSeparators(info.symLinkTarget())) +
                     inMemory);
  }
  if (info.isDir())
    return UseMemory(QStringLiteral("The index %1 is a folder, not a file").arg(file) + inMemory);
  if (info.exists() && !info.isFile())
    return UseMemory(QStringLiteral("The index %1 is not a plain file").arg(file) + inMemory);
  const bool folderMade = QDir().mkpath(info.path());
  const QFileInfo folder(info.path());
  if (!folderMade || !folder.isDir() || !folder.isWritable()) {
    return UseMemory(QStringLiteral("The cache folder %1 cannot be written")
                         .arg(QDir::toNativeSeparators(info.path())) +
                     inMemory);
  }
  if (info.exists() && !info.isWritable()) {
    return UseMemory(QStringLiteral("The index %1 cannot be written by this user").arg(file) +
                     inMemory);
  }
  if (OpenFile(true)) return true;
  if (openError_.kind == DbFailure::Newer) return false;
  return UseMemory(QStringLiteral("The index %1 cannot be opened").arg(file) + inMemory);
}

bool SqliteIndex::Rebuild(const QString& why) {
  if (inMemory_) {
    // Nothing to keep: the tables are made again in memory.
    const QString notice = notice_;
    Disconnect();
    if (!ConnectMemory()) return false;
    DbError e;
    for (const char* table : {"postings", "passages", "vocabulary", "terms", "stemmers", "media",
                              "places", "presentations"})
      Exec(QStringLiteral("DROP TABLE IF EXISTS %1").arg(QLatin1String(table)));
    Exec(QStringLiteral("PRAGMA user_version = 0"));
    notice_ = notice;
    return MakeSchema(&e);
  }
  Disconnect();
  RemoveFiles();
  if (!OpenFile(false)) return false;
  notice_ = QStringLiteral("The index %1 was damaged (%2) and has been made anew from the media.")
                .arg(QDir::toNativeSeparators(File()), why);
  return true;
}

bool SqliteIndex::CheckDamaged(QString* what) {
  std::vector<DbRow> rows;
  DbError e;
  if (!Query(QStringLiteral("PRAGMA quick_check"), {}, &rows, &e)) {
    if (e.kind == DbFailure::Damaged || e.kind == DbFailure::Failed) {
      *what = e.text;
      return true;
    }
    return false;
  }
  if (rows.size() == 1 && rows.front().value(0).toString() == QLatin1String("ok")) return false;
  QStringList lines;
  for (const DbRow& r : rows) {
    if (lines.size() < 3) lines << r.value(0).toString();
  }
  *what = QStringLiteral("quick check: %1").arg(lines.join(QStringLiteral("; ")));
  return true;
}

}  // namespace

std::unique_ptr<IndexDatabase> MakeSqliteIndex(const IndexLocation& location) {
  return std::make_unique<SqliteIndex>(location);
}

}  // namespace library
