#pragma once
// The index's database: the SQLite file in the cache folder (or an index in memory when that
// folder cannot be written), its tables and their version, and the transactions everything else
// writes in. One object per thread: a Qt SQL connection belongs to the thread that opened it.

#include <QSqlDatabase>
#include <QSqlError>
#include <QString>
#include <functional>

namespace library {

// Passages of presentation p are rows p << kPassageBits to (p << kPassageBits) + 2^kPassageBits
// - 1, so that a presentation's passages are found and removed by range.
inline constexpr int kPassageBits = 20;
inline constexpr qint64 kPassageMask = (qint64(1) << kPassageBits) - 1;

// How a presentation's players are kept in one column.
enum PlayerBits { kTaviscoBit = 1, kNorvantaBit = 2 };

class IndexDatabase {
 public:
  explicit IndexDatabase(QString file);
  ~IndexDatabase();
  IndexDatabase(const IndexDatabase&) = delete;
  IndexDatabase& operator=(const IndexDatabase&) = delete;

  // Opens the file, making it when there is none and anew when it is of another schema, damaged
  // or not SQLite; in memory when the cache folder cannot be written. False only when not even
  // an index in memory could be made.
  bool Open();
  // Throws the file away and makes it anew (damage found while writing); false when it fails.
  bool Rebuild(const QString& why);

  const QString& File() const { return file_; }
  bool InMemory() const { return inMemory_; }
  const QString& Notice() const { return notice_; }

  QSqlDatabase Db() const;
  bool Exec(const QString& sql, QSqlError* error = nullptr);
  // Runs body inside one write transaction; rolled back when body or the commit fails.
  bool Transaction(QSqlError* error, const std::function<bool(QSqlError*)>& body);

  // SQLite's word for a file that is damaged or no database at all.
  static bool Damaged(const QSqlError& e);

 private:
  bool Connect(const QString& name, bool memory);
  void Disconnect();
  bool ConnectMemory();
  int Version(QSqlError* error);
  bool MakeSchema(QSqlError* error);
  void RemoveFiles();
  bool OpenFile(bool mayRebuild);

  QString file_;
  QString connection_;
  bool inMemory_ = false;
  QString notice_;
};

}  // namespace library
