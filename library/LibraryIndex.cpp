#include "library/LibraryIndex.h"

#include <QDir>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QThread>
#include <QUuid>
#include <QVariant>
#include <algorithm>
#include <chrono>
#include <deque>
#include <future>

#include "library/IndexWriter.h"
#include "library/LibraryIndexImpl.h"
#include "library/MediumReading.h"

namespace library {

// ---- progress --------------------------------------------------------------------------------

double IndexProgress::Fraction() const {
  if (media <= 0) return 1.0;
  double part = 0;
  if (presentations > 0) part = double(presentation) / presentations;
  if (unchanged) part = 1.0;
  return std::clamp((std::max(medium, 1) - 1 + part) / media, 0.0, 1.0);
}

QString IndexProgress::Line() const {
  QString line = QStringLiteral("Indexing %1/%2 %3").arg(medium).arg(media).arg(mediumPath);
  if (unchanged) return line + QStringLiteral(": unchanged");
  if (presentations > 0) line += QStringLiteral(": %1/%2").arg(presentation).arg(presentations);
  return line;
}

// ---- the index -------------------------------------------------------------------------------

LibraryIndex::LibraryIndex(const QString& file)
    : d_(std::make_unique<Impl>(file.isEmpty() ? DefaultFile()
                                               : QDir::cleanPath(QDir(file).absolutePath()))) {}

LibraryIndex::~LibraryIndex() = default;

QString LibraryIndex::DefaultFile() {
  return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
         QStringLiteral("/Ambrel/library.sqlite");
}

bool LibraryIndex::Available(QString* why) {
  if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QSQLITE"))) {
    if (why) *why = QStringLiteral("Qt's SQLite driver is not installed (libqt6sql6-sqlite)");
    return false;
  }
  const QString name = QStringLiteral("library-probe-") + QUuid::createUuid().toString();
  bool ok = false;
  QString error;
  {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
    db.setDatabaseName(QStringLiteral(":memory:"));
    if (db.open()) {
      QSqlQuery q(db);
      ok =
          q.exec(QStringLiteral("CREATE VIRTUAL TABLE t USING fts5(x, tokenize = 'unicode61 "
                                "remove_diacritics 2')"));
      error = q.lastError().text();
      db.close();
    } else {
      error = db.lastError().text();
    }
  }
  QSqlDatabase::removeDatabase(name);
  if (!ok && why) *why = QStringLiteral("SQLite has no full-text search (FTS5): %1").arg(error);
  return ok;
}

bool LibraryIndex::Open() {
  return d_->db.Open();
}

bool LibraryIndex::InMemory() const {
  return d_->db.InMemory();
}

QString LibraryIndex::Notice() const {
  return d_->db.Notice();
}

QString LibraryIndex::File() const {
  return d_->db.File();
}

namespace {

// The media an update reads, each on a thread of its own, a few ahead of the one being written:
// reading (text files, recordings' lengths) and writing (the full-text index) then share the
// cores. A reading is stopped by the user's cancel or when the update gives up.
class ReadAhead {
 public:
  ReadAhead(const QStringList& paths, const std::atomic<bool>* cancel)
      : paths_(paths),
        cancel_(cancel),
        window_(std::max(2, QThread::idealThreadCount())),
        progress_(size_t(paths.size())) {}
  ~ReadAhead() {
    stop_ = true;
    for (auto& f : running_) f.wait();
  }

  // The content of paths[i], read whole; progress is called while it waits.
  MediumContent Take(int i, const std::function<void(const ReadingProgress&)>& waiting) {
    while (next_ < paths_.size() && int(running_.size()) < window_) Launch();
    std::future<MediumContent>& f = running_.front();
    while (f.wait_for(std::chrono::milliseconds(100)) != std::future_status::ready) {
      if (cancel_ && cancel_->load()) stop_ = true;
      if (waiting) waiting(progress_[size_t(i)]);
    }
    MediumContent content = f.get();
    running_.pop_front();
    return content;
  }

 private:
  void Launch() {
    const qsizetype i = next_++;
    running_.push_back(std::async(std::launch::async, [this, i] {
      StopFlag stop{&stop_, cancel_};
      return ReadMediumContent(paths_[i], stop.Flag(), &progress_[size_t(i)]);
    }));
  }
  // The reading looks at one flag; it is set by either.
  struct StopFlag {
    std::atomic<bool>* own;
    const std::atomic<bool>* user;
    const std::atomic<bool>* Flag() {
      if (user && user->load()) *own = true;
      return own;
    }
  };

  const QStringList paths_;
  const std::atomic<bool>* cancel_;
  const int window_;
  std::vector<ReadingProgress> progress_;
  std::deque<std::future<MediumContent>> running_;
  qsizetype next_ = 0;
  std::atomic<bool> stop_{false};
};

}  // namespace

UpdateResult LibraryIndex::Update(const QStringList& roots, const ProgressFn& progress,
                                  const std::atomic<bool>* cancel) {
  UpdateResult result;
  const Discovery found = FindMedia(roots, kMaxDiscoveryDepth, cancel);
  result.skipped = found.skipped;
  IndexDatabase& db = d_->db;
  auto cancelled = [&] { return cancel && cancel->load(); };
  QSqlError error;
  bool rebuilt = false;
  for (;;) {
    error = QSqlError();
    const QHash<QString, StoredMedium> stored = StoredMedia(db, &error);
    bool failed = error.isValid();
    // The media that changed since they were read, in the order found.
    QStringList changed;
    QSet<QString> toRead;
    for (const QString& path : found.media) {
      const auto known = stored.constFind(path);
      if (known == stored.cend() || !StampsUnchanged(known->stamps)) {
        changed << path;
        toRead.insert(path);
      }
    }
    ReadAhead reading(changed, cancel);
    int taken = 0;
    IndexProgress at;
    at.media = int(found.media.size());
    for (int m = 0; m < found.media.size() && !failed && !result.cancelled; ++m) {
      const QString& path = found.media[m];
      at.medium = m + 1;
      at.mediumPath = path;
      at.presentation = 0;
      at.presentations = 0;
      const auto known = stored.constFind(path);
      at.unchanged = !toRead.contains(path);
      if (progress) progress(at);
      if (at.unchanged) {
        result.unchanged << path;
        MarkPresent(db, known->id, true);
        continue;
      }
      MediumContent content = reading.Take(taken++, [&](const ReadingProgress& r) {
        at.presentation = r.presentation;
        at.presentations = r.presentations;
        if (progress) progress(at);
      });
      if (content.cancelled || cancelled()) {
        result.cancelled = true;
        break;
      }
      for (const QString& p : content.problems) result.problems << path + QStringLiteral(": ") + p;
      if (content.vanished) {
        result.problems << path + QStringLiteral(": vanished while it was read; kept as it was");
        result.absent << path;
        if (known != stored.cend()) MarkPresent(db, known->id, false);
        continue;
      }
      at.presentation = at.presentations = int(content.presentations.size());
      if (progress) progress(at);
      if (!WriteMedium(db, content, &error)) {
        failed = true;
        break;
      }
      result.read << path;
    }
    if (failed && !rebuilt && IndexDatabase::Damaged(error)) {
      // Damage found while writing: the index is made anew and the media read again.
      rebuilt = true;
      if (!db.Rebuild(error.text())) break;
      result = UpdateResult();
      result.skipped = found.skipped;
      continue;
    }
    if (failed) result.error = error.text();
    break;
  }
  if (!result.error.isEmpty() || result.cancelled || cancelled()) {
    result.cancelled = result.cancelled || cancelled();
    return result;
  }
  // What was indexed under these folders and is not there now stays, marked absent.
  QSqlQuery q(db.Db());
  q.setForwardOnly(true);
  if (q.exec(QStringLiteral("SELECT id, path FROM media WHERE present = 1"))) {
    QList<qint64> gone;
    while (q.next()) {
      const QString path = q.value(1).toString();
      if (UnderRoots(path, roots) && !found.media.contains(path)) {
        gone << q.value(0).toLongLong();
        result.absent << path;
      }
    }
    for (qint64 id : gone) MarkPresent(db, id, false);
  }
  return result;
}

}  // namespace library
