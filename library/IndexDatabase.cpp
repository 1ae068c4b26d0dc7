#include "library/IndexDatabase.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlQuery>
#include <QUuid>
#include <QVariant>

namespace library {

namespace {

// Raised whenever the tables or their meaning change: an index of another version is made anew.
// 3: a RealMedia talk has its estimated length (it had none).
constexpr int kSchemaVersion = 3;
// A reader waits this long for another program's write to end.
constexpr int kBusyTimeoutMs = 15000;
// SQLite's page cache per connection, in KiB (negative: a size rather than a page count).
constexpr int kCacheKiB = 32768;
// SQLite's result codes for a file that is damaged or no database at all, and for one that may
// not be written.
constexpr int kSqliteCorrupt = 11;
constexpr int kSqliteNotADatabase = 26;
constexpr int kSqliteReadOnly = 8;

const char* const kSchema[] = {
    // Text may be NULL where Qt binds an empty string as one; it reads back as empty.
    "CREATE TABLE media(id INTEGER PRIMARY KEY, path TEXT NOT NULL UNIQUE, present INTEGER NOT "
    "NULL, files TEXT, problems TEXT)",
    "CREATE TABLE presentations(id INTEGER PRIMARY KEY, medium INTEGER NOT NULL, position INTEGER "
    "NOT NULL, title TEXT, folder TEXT, length_ms INTEGER NOT NULL, slides INTEGER NOT NULL, "
    "sections INTEGER NOT NULL, languages TEXT, players INTEGER NOT NULL)",
    "CREATE UNIQUE INDEX presentations_place ON presentations(medium, position)",
    // One column per place, so that the ranking can weigh them: a word in a title says more
    // about a talk than the same word in one transcript section.
    "CREATE VIRTUAL TABLE passages USING fts5(title, slide, transcript, details, freetext, "
    "place UNINDEXED, language UNINDEXED, at_ms UNINDEXED, "
    "tokenize = 'unicode61 remove_diacritics 2', prefix = '2 3 4')",
    "INSERT INTO passages(passages, rank) VALUES('rank', 'bm25(4.0, 2.0, 1.0, 1.0, 1.0)')",
};

}  // namespace

IndexDatabase::IndexDatabase(QString file)
    : file_(std::move(file)),
      connection_(QStringLiteral("library-") + QUuid::createUuid().toString(QUuid::Id128)) {}

IndexDatabase::~IndexDatabase() {
  Disconnect();
}

QSqlDatabase IndexDatabase::Db() const {
  return QSqlDatabase::database(connection_, false);
}

bool IndexDatabase::Connect(const QString& name, bool memory) {
  {
    QSqlDatabase db = QSqlDatabase::contains(connection_)
                          ? QSqlDatabase::database(connection_, false)
                          : QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection_);
    db.close();
    db.setDatabaseName(name);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1%2")
                             .arg(kBusyTimeoutMs)
                             .arg(memory ? QStringLiteral(";QSQLITE_OPEN_URI") : QString()));
    if (!db.open()) return false;
  }
  inMemory_ = memory;
  return true;
}

void IndexDatabase::Disconnect() {
  if (!QSqlDatabase::contains(connection_)) return;
  Db().close();
  QSqlDatabase::removeDatabase(connection_);
}

// The index in memory, shared by every index of this process for the same file.
bool IndexDatabase::ConnectMemory() {
  const QByteArray key = QCryptographicHash::hash(file_.toUtf8(), QCryptographicHash::Sha1);
  return Connect(QStringLiteral("file:ambrel-library-%1?mode=memory&cache=shared")
                     .arg(QString::fromLatin1(key.toHex().left(16))),
                 true);
}

// user_version, or -1 when the file cannot be read as SQLite.
int IndexDatabase::Version(QSqlError* error) {
  QSqlQuery q(Db());
  if (!q.exec(QStringLiteral("PRAGMA user_version")) || !q.next()) {
    *error = q.lastError();
    return -1;
  }
  return q.value(0).toInt();
}

bool IndexDatabase::Exec(const QString& sql, QSqlError* error) {
  QSqlQuery q(Db());
  if (q.exec(sql)) return true;
  if (error) *error = q.lastError();
  return false;
}

bool IndexDatabase::Transaction(QSqlError* error, const std::function<bool(QSqlError*)>& body) {
  if (!Exec(QStringLiteral("BEGIN IMMEDIATE"), error)) return false;
  if (!body(error)) {
    Exec(QStringLiteral("ROLLBACK"));
    return false;
  }
  if (Exec(QStringLiteral("COMMIT"), error)) return true;
  Exec(QStringLiteral("ROLLBACK"));
  return false;
}

// Makes the tables when there are none; inside one write transaction, so that two programs
// opening a new index at once make them once.
bool IndexDatabase::MakeSchema(QSqlError* error) {
  // An index with its tables is opened without a write: a reader never waits for a writer.
  QSqlError ignored;
  if (Version(&ignored) == kSchemaVersion) return true;
  return Transaction(error, [&](QSqlError* e) {
    if (Version(&ignored) != 0) return true;
    for (const char* sql : kSchema) {
      if (!Exec(QString::fromLatin1(sql), e)) return false;
    }
    return Exec(QStringLiteral("PRAGMA user_version = %1").arg(kSchemaVersion), e);
  });
}

void IndexDatabase::RemoveFiles() {
  for (const char* suffix : {"", "-wal", "-shm", "-journal"}) QFile::remove(file_ + suffix);
}

bool IndexDatabase::OpenFile(bool mayRebuild) {
  if (!Connect(file_, false)) return false;
  QSqlError error;
  const int version = Version(&error);
  QString why;
  if (version < 0) {
    why = QStringLiteral("it is no SQLite database or is damaged: %1").arg(error.text());
  } else if (version != 0 && version != kSchemaVersion) {
    why = QStringLiteral("it was made by another version (%1)").arg(version);
  } else {
    // The cache may be made anew at any time; a lost last write costs one more reading.
    Exec(QStringLiteral("PRAGMA journal_mode=WAL"));
    Exec(QStringLiteral("PRAGMA synchronous=NORMAL"));
    Exec(QStringLiteral("PRAGMA cache_size=-%1").arg(kCacheKiB));
    if (MakeSchema(&error)) return true;
    if (error.nativeErrorCode().toInt() == kSqliteReadOnly) return false;
    why = QStringLiteral("its tables cannot be made: %1").arg(error.text());
  }
  if (!mayRebuild) return false;
  Disconnect();
  RemoveFiles();
  notice_ = QStringLiteral("The index %1 could not be used (%2) and has been made anew.")
                .arg(QDir::toNativeSeparators(file_), why);
  return OpenFile(false);
}

bool IndexDatabase::Open() {
  const QFileInfo info(file_);
  const bool folderMade = QDir().mkpath(info.path());
  const QFileInfo folder(info.path());
  bool ok = false;
  if (folderMade && folder.isDir() && folder.isWritable() &&
      (!info.exists() || info.isWritable())) {
    ok = OpenFile(true);
  }
  if (ok) return true;
  Disconnect();
  notice_ = QStringLiteral(
                "The cache folder %1 cannot be written: the index is kept in memory for this run.")
                .arg(QDir::toNativeSeparators(info.path()));
  if (!ConnectMemory()) return false;
  Exec(QStringLiteral("PRAGMA cache_size=-%1").arg(kCacheKiB));
  QSqlError error;
  return MakeSchema(&error);
}

bool IndexDatabase::Rebuild(const QString& why) {
  Disconnect();
  RemoveFiles();
  if (!OpenFile(false)) return false;
  notice_ = QStringLiteral("The index %1 was damaged (%2) and has been made anew.")
                .arg(QDir::toNativeSeparators(file_), why);
  return true;
}

bool IndexDatabase::Damaged(const QSqlError& e) {
  const int code = e.nativeErrorCode().toInt();
  return code == kSqliteCorrupt || code == kSqliteNotADatabase;
}

}  // namespace library
