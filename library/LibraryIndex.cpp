#include "library/LibraryIndex.h"

#include <QDir>
#include <QSet>
#include <QSqlDatabase>
#include <QStandardPaths>
#include <QThread>
#include <QVariant>
#include <algorithm>
#include <chrono>
#include <deque>
#include <future>

#include "library/IndexDatabase.h"
#include "library/IndexQueries.h"
#include "library/IndexWriter.h"
#include "library/MediumReading.h"

namespace library {

struct LibraryIndex::Impl {
  QString given;  // what the index was named by
  IndexLocation location;
  QString locationError;  // what was given cannot name an index
  std::unique_ptr<IndexDatabase> db;
  QString host = HostName();
  KnownWords known;
  QString error;
  bool unreachable = false;

  // Notes a failure for Error() and Unreachable().
  void Failed(const DbError& e) {
    error = e.text;
    unreachable = e.kind == DbFailure::Unreachable;
  }
  // Mends an index found damaged by a failed statement (SQLite's quick check), from the media.
  bool MendIfDamaged(const DbError& e) {
    if (!db) return false;
    QString what = e.text;
    const bool damaged =
        e.kind == DbFailure::Damaged || (e.kind == DbFailure::Failed && db->CheckDamaged(&what));
    if (!damaged) return false;
    known = KnownWords();
    return db->Rebuild(what);
  }
};

// ---- the index -------------------------------------------------------------------------------

LibraryIndex::LibraryIndex(const QString& index) : d_(std::make_unique<Impl>()) {
  d_->given = index;
  if (!ParseIndexLocation(index, DefaultFile(), &d_->location, &d_->locationError))
    d_->error = d_->locationError;
}

LibraryIndex::~LibraryIndex() = default;

QString LibraryIndex::DefaultFile() {
  return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
         QStringLiteral("/Ambrel/library.sqlite");
}

bool LibraryIndex::Available(QString* why) {
  if (QSqlDatabase::isDriverAvailable(QStringLiteral("QSQLITE"))) return true;
  if (why) *why = QStringLiteral("Qt's SQLite driver is not installed (libqt6sql6-sqlite)");
  return false;
}

bool LibraryIndex::Open() {
  if (!d_->locationError.isEmpty()) return false;
  d_->db = IndexDatabase::Make(d_->location);
  if (d_->db->Open()) {
    d_->error.clear();
    d_->unreachable = false;
    return true;
  }
  d_->Failed(d_->db->OpenError());
  d_->db.reset();
  return false;
}

bool LibraryIndex::IsOpen() const {
  return d_->db != nullptr;
}

bool LibraryIndex::InMemory() const {
  return d_->db && d_->db->InMemory();
}

QString LibraryIndex::Notice() const {
  return d_->db ? d_->db->Notice() : QString();
}

QString LibraryIndex::File() const {
  return d_->location.kind == IndexLocation::Kind::Sqlite ? d_->location.path : d_->location.uri;
}

QString LibraryIndex::Location() const {
  if (!d_->locationError.isEmpty()) return d_->given;
  return d_->location.Text();
}

QString LibraryIndex::Error() const {
  return d_->error;
}

bool LibraryIndex::Unreachable() const {
  return d_->unreachable;
}

std::vector<MediumEntry> LibraryIndex::Media(const QStringList& roots) const {
  std::vector<MediumEntry> media;
  if (!d_->db) return media;
  DbError error;
  if (!ListMedia(*d_->db, d_->host, roots, &media, &error)) {
    media.clear();
    d_->Failed(error);
    if (d_->MendIfDamaged(error)) d_->error = Notice();
    return media;
  }
  d_->error.clear();
  return media;
}

SearchResult LibraryIndex::Search(const QString& text, const QStringList& roots, int limit) const {
  if (!d_->db) {
    SearchResult result;
    result.query = ParseQuery(text);
    if (result.query.IsEmpty() || limit <= 0) return result;
    result.error = d_->error.isEmpty() ? QStringLiteral("the index is not open") : d_->error;
    result.unreachable = d_->unreachable;
    return result;
  }
  DbError error;
  SearchResult result = SearchIndex(*d_->db, d_->host, text, roots, limit, &error);
  if (error.IsSet()) {
    d_->Failed(error);
    if (d_->MendIfDamaged(error)) {
      result.mended = true;
      result.error = Notice();
    }
  }
  return result;
}

void LibraryIndex::Passages(qint64 presentationId,
                            const std::function<void(const StoredPassage&)>& take) const {
  if (!d_->db) return;
  DbError error;
  if (!ReadPassages(*d_->db, presentationId, take, &error)) d_->Failed(error);
}

namespace {

// The media an update reads, each on a thread of its own, a few ahead of the one being written:
// reading (text files, recordings' lengths, cutting the words) and writing share the cores. A
// medium is claimed before it is read; one another program holds is left for later. A reading
// is stopped by the user's cancel or when the update gives up.
class ReadAhead {
 public:
  using ClaimFn = std::function<std::unique_ptr<Claim>(const QString&)>;
  struct Taken {
    MediumContent content;
    std::unique_ptr<Claim> claim;  // null: another program reads it now
  };

  ReadAhead(const QStringList& paths, const std::atomic<bool>* cancel, ClaimFn claim)
      : paths_(paths),
        cancel_(cancel),
        claim_(std::move(claim)),
        window_(std::max(2, QThread::idealThreadCount())),
        progress_(size_t(paths.size())) {}
  ~ReadAhead() {
    stop_ = true;
    for (auto& s : running_) {
      if (s.reading.valid()) s.reading.wait();
    }
  }

  // The content of paths[i], read whole; progress is called while it waits.
  Taken Take(int i, const std::function<void(const ReadingProgress&)>& waiting) {
    while (next_ < paths_.size() && int(running_.size()) < window_) Launch();
    Slot slot = std::move(running_.front());
    running_.pop_front();
    Taken taken;
    taken.claim = std::move(slot.claim);
    if (!taken.claim) return taken;
    while (slot.reading.wait_for(std::chrono::milliseconds(100)) != std::future_status::ready) {
      if (cancel_ && cancel_->load()) stop_ = true;
      if (waiting) waiting(progress_[size_t(i)]);
    }
    taken.content = slot.reading.get();
    return taken;
  }

 private:
  struct Slot {
    std::unique_ptr<Claim> claim;
    std::future<MediumContent> reading;
  };
  void Launch() {
    const qsizetype i = next_++;
    Slot slot;
    slot.claim = claim_(paths_[i]);
    if (slot.claim) {
      slot.reading = std::async(std::launch::async, [this, i] {
        StopFlag stop{&stop_, cancel_};
        return ReadMediumContent(paths_[i], stop.Flag(), &progress_[size_t(i)]);
      });
    }
    running_.push_back(std::move(slot));
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
  ClaimFn claim_;
  const int window_;
  std::vector<ReadingProgress> progress_;
  std::deque<Slot> running_;
  qsizetype next_ = 0;
  std::atomic<bool> stop_{false};
};

QString ClaimKey(const QString& host, const QString& path) {
  return host + u'\n' + PathToStore(path);
}

}  // namespace

UpdateResult LibraryIndex::Update(const QStringList& roots, const ProgressFn& progress,
                                  const std::atomic<bool>* cancel) {
  UpdateResult result;
  if (!d_->db) {
    result.error = d_->error.isEmpty() ? QStringLiteral("the index is not open") : d_->error;
    result.unreachable = d_->unreachable;
    return result;
  }
  const Discovery found = FindMedia(roots, kMaxDiscoveryDepth, cancel);
  result.skipped = found.skipped;
  IndexDatabase& db = *d_->db;
  const QString& host = d_->host;
  // A full disk: the index is searched as it is, and nothing is written.
  if (db.ReadOnly()) return result;
  auto cancelled = [&] { return cancel && cancel->load(); };
  DbError error;
  bool rebuilt = false;
  QStringList seen;  // found as they were indexed: marked present now
  for (;;) {
    error = DbError();
    seen.clear();
    const QHash<QString, StoredPlace> stored = StoredPlaces(db, host, &error);
    bool failed = error.IsSet();
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
    ReadAhead reading(changed, cancel,
                      [&](const QString& path) { return db.TryClaim(ClaimKey(host, path)); });
    QStringList deferred;  // another program reads them now
    int taken = 0;
    IndexProgress at;
    at.media = int(found.media.size());
    auto write = [&](MediumContent& content) {
      const QString& path = content.path;
      for (const QString& p : content.problems) result.problems << path + QStringLiteral(": ") + p;
      if (content.vanished) {
        // Nothing of a medium taken away while it is read is written: it keeps what it had.
        result.problems << path + QStringLiteral(": vanished while it was read; kept as it was");
        result.absent << path;
        return true;
      }
      if (!WriteMedium(db, content, host, d_->known, &error)) return false;
      result.read << path;
      return true;
    };
    for (int m = 0; m < found.media.size() && !failed && !result.cancelled; ++m) {
      const QString& path = found.media[m];
      at.medium = m + 1;
      at.mediumPath = path;
      at.presentation = 0;
      at.presentations = 0;
      at.unchanged = !toRead.contains(path);
      if (progress) progress(at);
      if (at.unchanged) {
        result.unchanged << path;
        seen << path;
        continue;
      }
      ReadAhead::Taken item = reading.Take(taken++, [&](const ReadingProgress& r) {
        at.presentation = r.presentation;
        at.presentations = r.presentations;
        if (progress) progress(at);
      });
      if (!item.claim) {
        deferred << path;
        continue;
      }
      if (item.content.cancelled || cancelled()) {
        result.cancelled = true;
        break;
      }
      at.presentation = at.presentations = int(item.content.presentations.size());
      if (progress) progress(at);
      failed = !write(item.content);
    }
    // What another program was reading: waited for, then found written (or read here, when it
    // gave up).
    for (const QString& path : deferred) {
      if (failed || result.cancelled) break;
      std::unique_ptr<Claim> claim;
      while (!(claim = db.TryClaim(ClaimKey(host, path)))) {
        if (cancelled()) break;
        QThread::msleep(200);
      }
      if (!claim) {
        result.cancelled = true;
        break;
      }
      result.waitedFor << path;
      const std::optional<StoredPlace> now = StoredPlaceAt(db, host, path, &error);
      if (error.IsSet()) {
        failed = true;
        break;
      }
      if (now && StampsUnchanged(now->stamps)) {
        result.unchanged << path;
        seen << path;
        continue;
      }
      MediumContent content = ReadMediumContent(path, cancel);
      if (content.cancelled || cancelled()) {
        result.cancelled = true;
        break;
      }
      failed = !write(content);
    }
    if (failed && !rebuilt && !cancelled() && d_->MendIfDamaged(error)) {
      // Damage found while writing: the index is made anew and the media read again.
      rebuilt = true;
      result = UpdateResult();
      result.skipped = found.skipped;
      result.notice = db.Notice();
      continue;
    }
    if (failed) {
      result.error = error.text;
      result.unreachable = error.kind == DbFailure::Unreachable;
      d_->Failed(error);
    }
    break;
  }
  if (!result.error.isEmpty() || result.cancelled || cancelled()) {
    result.cancelled = result.cancelled || cancelled();
    return result;
  }
  if (!db.MergeWritten(&error) || !MarkPlaces(db, host, seen, true, &error)) {
    result.error = error.text;
    result.unreachable = error.kind == DbFailure::Unreachable;
    return result;
  }
  // What was indexed under these folders here and is not there now stays, marked absent.
  const QHash<QString, StoredPlace> places = StoredPlaces(db, host, &error);
  QStringList gone;
  for (const StoredPlace& p : places) {
    // A folder reached another way as well (a link to it) was found once, under the other name;
    // it is there all the same.
    if (p.present && UnderRoots(p.path, roots) && !found.media.contains(p.path) &&
        !IsMedium(p.path))
      gone << p.path;
  }
  gone.sort();
  result.absent << gone;
  if (!MarkPlaces(db, host, gone, false, &error)) {
    result.error = error.text;
    result.unreachable = error.kind == DbFailure::Unreachable;
  }
  return result;
}

}  // namespace library
