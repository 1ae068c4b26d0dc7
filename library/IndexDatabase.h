#pragma once
// The index's database, on either backend: an SQLite file (the user's cache folder by default,
// or an index in memory when that cannot be written) through Qt SQL's SQLite driver, or a
// PostgreSQL database shared by every workstation of an archive, through libpq. Everything else
// speaks SQL to it with "?" for each bound value (the user's text never becomes part of the SQL)
// and meets the two only where they differ: the bulk insert of passages and of their lists by
// term (Postings.h), the reading of those lists as bytes, and the claims by which two programs
// do not read one medium at the same moment.
//
// One object per thread: a Qt SQL connection belongs to the thread that opened it, and a libpq
// connection is not to be shared either.

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <memory>
#include <vector>

namespace library {

// Raised whenever the tables or their meaning change. An index of an older version is upgraded
// (the SQLite cache is made anew from the media, since its terms are cut differently); one of a
// newer version is refused and left as it is.
// 4: media known by their content, with the places they were seen; stemmed terms of our own;
//    passages in pieces of bounded length; a vocabulary for prefixes and typos.
// 5: the ranking's statistics: the pieces that hold each term, each piece's repeated terms, the
//    pieces and words of each medium.
// 6: each medium's passages listed by term (Postings.h), read and ranked by the program alike
//    on both backends, in place of SQLite's full-text index and PostgreSQL's tsvector.
// 7: on a server, a term's lists of a block of media merged into one row after an update (an
//    SQLite file is unchanged, and only renumbered).
inline constexpr int kSchemaVersion = 7;

// How a presentation's players are kept in one column.
enum PlayerBits { kTaviscoBit = 1, kNorvantaBit = 2 };

// What went wrong with the database, as far as the library acts on it.
enum class DbFailure {
  None,
  Failed,       // a statement failed (the message says why)
  Damaged,      // the file is damaged or no database at all: made anew from the media
  DiskFull,     // no room to write: what is there is kept and read as it is
  Unreachable,  // the server cannot be reached or went away
  Retry,        // a deadlock or a serialization failure between two writers: run it again
  ReadOnly,     // the index may not be written here
  Newer,        // made by a newer version of the program: refused, never changed
};

struct DbError {
  DbFailure kind = DbFailure::None;
  QString text;
  bool IsSet() const { return kind != DbFailure::None; }
};

using DbRow = QVariantList;

// Where the index is: "sqlite:PATH" (or a plain path), or a PostgreSQL URI in libpq's form
// ("postgresql://[user@][host][:port]/dbname[?host=/socket/folder&sslmode=...]").
struct IndexLocation {
  enum class Kind { Sqlite, Postgres } kind = Kind::Sqlite;
  QString path;  // Sqlite: the file (native, absolute)
  QString uri;   // Postgres: the URI as given (it holds no password)
  // "sqlite:/home/ana/.cache/Ambrel/library.sqlite" or the URI: what the user is told.
  QString Text() const;
};

// Reads what --index was given (empty: the default file). False with the reason, for a value
// that is neither, or a URI that holds a password (which belongs in libpq's password file).
bool ParseIndexLocation(const QString& text, const QString& defaultFile, IndexLocation* location,
                        QString* error);

// A folder's path as the index keeps it, and back: text either backend holds. A path whose name
// holds bytes that are no UTF-8 (medium/LocalNames.h) is kept as "bytes:" and its bytes
// percent-encoded, which no absolute path begins with; every other path as it is.
QString PathToStore(const QString& path);
QString PathFromStore(const QString& stored);

// A medium being read by this program: while it is held, no other program reads the same place.
class Claim {
 public:
  virtual ~Claim() = default;
};

// One row of passages as it is written.
struct PassageRow {
  qint64 id = 0;
  qint64 medium = 0;
  qint64 presentation = 0;
  int place = 0;
  QString language;
  qint64 atMs = 0;
  int piece = 0;
  int words = 0;
  QString text;
};

// One term's list of the passages of one medium that hold it (Postings.h).
struct PostingRow {
  QString term;
  qint64 medium = 0;
  QByteArray list;
};

// Gathers one medium's lists by term while its passages are given in the order of their ids.
class PostingsBuilder {
 public:
  explicit PostingsBuilder(qint64 medium) : medium_(medium) {}
  void Add(qint64 passage, int length, int place, const QString& term, int times);
  // The lists, by term; the builder is empty after.
  std::vector<PostingRow> Take();

 private:
  struct List {
    QByteArray bytes;
    qint64 last = 0;
  };
  qint64 medium_;
  QHash<QString, List> lists_;
};

class IndexDatabase {
 public:
  static std::unique_ptr<IndexDatabase> Make(const IndexLocation& location);
  virtual ~IndexDatabase() = default;
  IndexDatabase(const IndexDatabase&) = delete;
  IndexDatabase& operator=(const IndexDatabase&) = delete;

  // Opens the index and makes its tables when there are none. False when it cannot be used (the
  // reason in OpenError()): a server out of reach, an index of a newer version, not even an
  // index in memory.
  virtual bool Open() = 0;
  // Throws everything away and makes the tables anew (damage found); false when it fails.
  virtual bool Rebuild(const QString& why) = 0;
  // Whether the index is damaged, asked when a statement failed for no reason the library
  // knows (SQLite's quick check; a server answers for its own storage).
  virtual bool CheckDamaged(QString* what) { return (void)what, false; }

  virtual bool IsPostgres() const = 0;
  const IndexLocation& Location() const { return location_; }
  bool InMemory() const { return inMemory_; }
  // Opened as it is, without writing (a full disk): nothing is brought up to date.
  bool ReadOnly() const { return readOnly_; }
  const QString& Notice() const { return notice_; }
  const DbError& OpenError() const { return openError_; }

  // Runs sql with params bound in order to its "?"s; the rows (if asked for) as values. Each
  // statement is prepared once and kept, up to kKeptStatements of them: a search's statements
  // differ with its number of words, and a window searches all day.
  virtual bool Query(const QString& sql, const QVariantList& params, std::vector<DbRow>* rows,
                     DbError* error) = 0;
  static constexpr size_t kKeptStatements = 128;
  virtual size_t KeptStatements() const = 0;
  bool Exec(const QString& sql, const QVariantList& params = {}, DbError* error = nullptr) {
    return Query(sql, params, nullptr, error);
  }
  // Runs body inside one write transaction; rolled back when body or the commit fails. A
  // deadlock or serialization failure between writers runs it again, a few times.
  virtual bool Transaction(DbError* error, const std::function<bool(DbError*)>& body) = 0;

  // Writes passages (inside a transaction), in order, and gives each its id: later ones get
  // higher ids.
  virtual bool InsertPassages(std::vector<PassageRow>& rows, DbError* error) = 0;
  // Writes the lists of a medium's passages by term (inside the same transaction).
  virtual bool InsertPostings(const std::vector<PostingRow>& rows, DbError* error) = 0;
  // The lists of these terms of the media first to last (their ids), ordered by medium, then
  // term: a range of the key, read in one sweep for each term.
  virtual bool ReadPostings(const QStringList& terms, qint64 first, qint64 last,
                            std::vector<PostingRow>* out, DbError* error) = 0;
  // How many media (by id, from a multiple of it) share a row of a term's lists once merged:
  // a search reads whole blocks at a time.
  virtual int MediaPerBlock() const { return 1; }
  // Merges the lists written since the last call into their blocks (outside a transaction,
  // after the media are written); the lists read the same before and after.
  virtual bool MergeWritten(DbError* error) { return (void)error, true; }
  // "column is one of ids" with one "?" for IdsValue(ids): one statement for any list of ids,
  // prepared once, rather than one made and planned for each list.
  virtual QString InIds(const QString& column) const = 0;
  virtual QString IdsValue(const QList<qint64>& ids) const = 0;
  // Adds words with the terms they were indexed under ("word<TAB>term"), those known kept.
  virtual bool InsertVocabulary(const QStringList& pairs, DbError* error) = 0;
  // Adds to each term's count of pieces that hold it (inside a transaction, as its last step:
  // on a server this holds the rows of the words every medium shares until the commit).
  virtual bool AddTermPieces(const QHash<QString, qint64>& pieces, DbError* error) = 0;

  // Claims the place for reading; null when another program holds it.
  virtual std::unique_ptr<Claim> TryClaim(const QString& key) = 0;
  // Inside a write transaction: waits while another program writes a medium of this identity
  // (an SQLite file has one writer at a time anyway).
  virtual bool LockIdentity(const QString& identity, DbError* error) {
    return (void)identity, (void)error, true;
  }

 protected:
  explicit IndexDatabase(IndexLocation location) : location_(std::move(location)) {}
  IndexLocation location_;
  bool inMemory_ = false;
  bool readOnly_ = false;
  QString notice_;
  DbError openError_;
};

// "?, ?, ?": n placeholders for a list of values bound one by one.
QString Placeholders(qsizetype n);
// "1,2,3": ids as the inside of a list literal, which each backend wraps in its own brackets.
QString JoinedIds(const QList<qint64>& ids);

// The schema's statements common to both backends after their own kinds of column are put in.
QStringList CommonSchema(bool postgres);

// The two backends, each in a file of its own, made by IndexDatabase::Make.
std::unique_ptr<IndexDatabase> MakeSqliteIndex(const IndexLocation& location);
std::unique_ptr<IndexDatabase> MakePostgresIndex(const IndexLocation& location);

}  // namespace library
