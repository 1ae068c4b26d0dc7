#include "library/LibraryIndex.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSettings>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QUuid>
#include <QVariant>
#include <algorithm>
#include <functional>

#include "checker/RecordingCheck.h"
#include "medium/Paths.h"
#include "medium/Report.h"
#include "presentation/ConfigReader.h"
#include "presentation/MediumLayout.h"
#include "presentation/PresentationLoader.h"

namespace library {

namespace {

// Raised whenever the tables or their meaning change: an index of another version is made anew.
// 3: a RealMedia talk has its estimated length (it had none).
constexpr int kSchemaVersion = 3;
// Passages of presentation p are rows p << kPassageBits to (p << kPassageBits) + 2^kPassageBits
// - 1, so that a presentation's passages are found and removed by range.
constexpr int kPassageBits = 20;
constexpr qint64 kPassageMask = (qint64(1) << kPassageBits) - 1;
// A reader waits this long for another program's write to end.
constexpr int kBusyTimeoutMs = 15000;
// A medium's presentations are written in transactions of about this long: few enough commits
// for the full-text index to build large segments, short enough that another program waiting
// to write is not kept waiting long.
constexpr int kBatchMs = 1500;
// SQLite's page cache per connection, in KiB (negative: a size rather than a page count).
constexpr int kCacheKiB = 32768;
// Ranking costs a lookup per passage found: a query that finds more passages than this (a word
// in most sections, the first letters of one) gives its hits place by place instead.
constexpr int kRankAll = 20000;
// More problems than this per medium are counted, not listed.
constexpr int kMaxProblemsPerMedium = 50;
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

enum PlayerBits { kTaviscoBit = 1, kNorvantaBit = 2 };

QString NativeClean(const QString& folder) {
  return QDir::toNativeSeparators(QDir::cleanPath(QDir(folder).absolutePath()));
}

bool UnderRoots(const QString& path, const QStringList& roots) {
  if (roots.isEmpty()) return true;
  for (const QString& r : roots) {
    const QString root = NativeClean(r);
    if (path == root) return true;
    const QString prefix = root.endsWith(QDir::separator()) ? root : root + QDir::separator();
    if (path.startsWith(prefix)) return true;
  }
  return false;
}

// Collects what the readers report while the library reads, for the list of what could not be
// read; the library itself goes on with whatever could.
class CollectingReporter : public medium::Reporter {
 public:
  CollectingReporter() : Reporter(QStringLiteral("library")) {}
  void Show(const medium::Message& message) override { messages << message.text; }
  QStringList messages;
};

// Notes every file the loader opens, so that a later update can tell by size and time alone
// whether the medium changed.
class FileNotingListener : public PresentationListener {
 public:
  explicit FileNotingListener(QStringList& files) : files_(files) {}
  void Reading(const QString& mediumPath, const medium::TextStream*) override {
    if (!mediumPath.isEmpty()) files_ << mediumPath;
  }

 private:
  QStringList& files_;
};

// "size<TAB>modified<TAB>path" per file; size -1 for a file that is not there, so that its
// coming is a change too.
QString FileStamp(const QString& nativePath) {
  const QFileInfo info(nativePath);
  if (!info.exists()) return QStringLiteral("-1\t0\t") + nativePath;
  return QStringLiteral("%1\t%2\t%3")
      .arg(info.isDir() ? 0 : info.size())
      .arg(info.lastModified().toMSecsSinceEpoch())
      .arg(nativePath);
}

bool StampsUnchanged(const QString& files) {
  if (files.isEmpty()) return false;  // never read to its end
  for (const QString& line : files.split(u'\n', Qt::SkipEmptyParts)) {
    const QString path = line.section(u'\t', 2);
    if (FileStamp(path) != line) return false;
  }
  return true;
}

struct Passage {
  Place place;
  QString text;
  QString language;
  qint64 atMs;
};

}  // namespace

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

struct LibraryIndex::Impl {
  QString file;
  QString connection = QStringLiteral("library-") + QUuid::createUuid().toString(QUuid::Id128);
  bool inMemory = false;
  QString notice;

  QSqlDatabase Db() const { return QSqlDatabase::database(connection, false); }

  bool Connect(const QString& name, bool memory) {
    {
      QSqlDatabase db = QSqlDatabase::contains(connection)
                            ? QSqlDatabase::database(connection, false)
                            : QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
      db.close();
      db.setDatabaseName(name);
      db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1%2")
                               .arg(kBusyTimeoutMs)
                               .arg(memory ? QStringLiteral(";QSQLITE_OPEN_URI") : QString()));
      if (!db.open()) return false;
    }
    inMemory = memory;
    return true;
  }

  void Disconnect() {
    if (!QSqlDatabase::contains(connection)) return;
    Db().close();
    QSqlDatabase::removeDatabase(connection);
  }

  // The index in memory, shared by every LibraryIndex of this process for the same file.
  bool ConnectMemory() {
    const QByteArray key = QCryptographicHash::hash(file.toUtf8(), QCryptographicHash::Sha1);
    return Connect(QStringLiteral("file:ambrel-library-%1?mode=memory&cache=shared")
                       .arg(QString::fromLatin1(key.toHex().left(16))),
                   true);
  }

  // user_version, or -1 when the file cannot be read as SQLite.
  int Version(QSqlError* error) {
    QSqlQuery q(Db());
    if (!q.exec(QStringLiteral("PRAGMA user_version")) || !q.next()) {
      *error = q.lastError();
      return -1;
    }
    return q.value(0).toInt();
  }

  bool Exec(const QString& sql, QSqlError* error = nullptr) {
    QSqlQuery q(Db());
    if (q.exec(sql)) return true;
    if (error) *error = q.lastError();
    return false;
  }

  // Makes the tables when there are none; inside one write transaction, so that two programs
  // opening a new index at once make them once.
  bool MakeSchema(QSqlError* error) {
    if (!Exec(QStringLiteral("BEGIN IMMEDIATE"), error)) return false;
    QSqlError ignored;
    if (Version(&ignored) == 0) {
      for (const char* sql : kSchema) {
        if (!Exec(QString::fromLatin1(sql), error)) {
          Exec(QStringLiteral("ROLLBACK"));
          return false;
        }
      }
      Exec(QStringLiteral("PRAGMA user_version = %1").arg(kSchemaVersion));
    }
    return Exec(QStringLiteral("COMMIT"), error);
  }

  void RemoveFiles() {
    for (const char* suffix : {"", "-wal", "-shm", "-journal"}) QFile::remove(file + suffix);
  }

  bool OpenFile(bool mayRebuild) {
    if (!Connect(file, false)) return false;
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
    notice = QStringLiteral("The index %1 could not be used (%2) and has been made anew.")
                 .arg(QDir::toNativeSeparators(file), why);
    return OpenFile(false);
  }

  bool Open() {
    const QFileInfo info(file);
    const bool folderMade = QDir().mkpath(info.path());
    const QFileInfo folder(info.path());
    bool ok = false;
    if (folderMade && folder.isDir() && folder.isWritable() &&
        (!info.exists() || info.isWritable())) {
      ok = OpenFile(true);
    }
    if (ok) return true;
    Disconnect();
    notice = QStringLiteral(
                 "The cache folder %1 cannot be written: the index is kept in memory for this run.")
                 .arg(QDir::toNativeSeparators(info.path()));
    if (!ConnectMemory()) return false;
    Exec(QStringLiteral("PRAGMA cache_size=-%1").arg(kCacheKiB));
    QSqlError error;
    return MakeSchema(&error);
  }

  static bool Damaged(const QSqlError& e) {
    const int code = e.nativeErrorCode().toInt();
    return code == kSqliteCorrupt || code == kSqliteNotADatabase;
  }

  // Writing one medium ----------------------------------------------------------------------

  struct MediumRow {
    qint64 id = 0;
    QString path;
    QString files;
  };

  QHash<QString, MediumRow> StoredMedia(QSqlError* error) {
    QHash<QString, MediumRow> rows;
    QSqlQuery q(Db());
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT id, path, files FROM media"))) {
      *error = q.lastError();
      return rows;
    }
    while (q.next()) {
      rows.insert(q.value(1).toString(),
                  MediumRow{q.value(0).toLongLong(), q.value(1).toString(), q.value(2).toString()});
    }
    return rows;
  }

  // Removes the presentations of a medium at position from on, with their passages.
  bool RemovePresentations(qint64 medium, int from, QSqlError* error) {
    QSqlQuery ids(Db());
    ids.prepare(QStringLiteral("SELECT id FROM presentations WHERE medium = ? AND position >= ?"));
    ids.addBindValue(medium);
    ids.addBindValue(from);
    if (!ids.exec()) {
      *error = ids.lastError();
      return false;
    }
    QList<qint64> list;
    while (ids.next()) list << ids.value(0).toLongLong();
    QSqlQuery del(Db());
    del.prepare(QStringLiteral("DELETE FROM passages WHERE rowid BETWEEN ? AND ?"));
    for (qint64 id : list) {
      del.addBindValue(id << kPassageBits);
      del.addBindValue((id << kPassageBits) | kPassageMask);
      if (!del.exec()) {
        *error = del.lastError();
        return false;
      }
    }
    QSqlQuery rows(Db());
    rows.prepare(QStringLiteral("DELETE FROM presentations WHERE medium = ? AND position >= ?"));
    rows.addBindValue(medium);
    rows.addBindValue(from);
    if (!rows.exec()) {
      *error = rows.lastError();
      return false;
    }
    return true;
  }

  bool Transaction(QSqlError* error, const std::function<bool(QSqlError*)>& body) {
    if (!Exec(QStringLiteral("BEGIN IMMEDIATE"), error)) return false;
    if (!body(error)) {
      Exec(QStringLiteral("ROLLBACK"));
      return false;
    }
    return Exec(QStringLiteral("COMMIT"), error);
  }

  // The open write transaction of a medium's reading.
  bool batchOpen = false;
  QElapsedTimer batchTime;

  bool BeginBatch(QSqlError* error) {
    if (batchOpen) return true;
    if (!Exec(QStringLiteral("BEGIN IMMEDIATE"), error)) return false;
    batchOpen = true;
    batchTime.start();
    return true;
  }
  bool CommitBatch(QSqlError* error) {
    if (!batchOpen) return true;
    batchOpen = false;
    return Exec(QStringLiteral("COMMIT"), error);
  }
  void RollbackBatch() {
    if (!batchOpen) return;
    batchOpen = false;
    Exec(QStringLiteral("ROLLBACK"));
  }
  // Commits when the transaction has been open long enough, and opens the next.
  bool NextBatch(QSqlError* error) {
    if (batchOpen && batchTime.elapsed() >= kBatchMs && !CommitBatch(error)) return false;
    return BeginBatch(error);
  }

  // Inside the open batch.
  bool WritePresentation(qint64 medium, int position, const PresentationEntry& p,
                         const std::vector<Passage>& passages, QSqlError* error) {
    // Whatever stood at this place before (an earlier reading, or another program's reading
    // of the same medium at the same time) goes first.
    if (!RemovePresentationAt(medium, position, error)) return false;
    QSqlQuery ins(Db());
    ins.prepare(QStringLiteral(
        "INSERT INTO presentations(medium, position, title, folder, length_ms, slides, "
        "sections, languages, players) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    ins.addBindValue(medium);
    ins.addBindValue(position);
    ins.addBindValue(p.title);
    ins.addBindValue(p.folder);
    ins.addBindValue(p.lengthMs);
    ins.addBindValue(p.slides);
    ins.addBindValue(p.sections);
    ins.addBindValue(p.languages.join(u'\n'));
    ins.addBindValue((p.tavisco ? kTaviscoBit : 0) | (p.norvanta ? kNorvantaBit : 0));
    if (!ins.exec()) {
      *error = ins.lastError();
      return false;
    }
    const qint64 id = ins.lastInsertId().toLongLong();
    QSqlQuery text(Db());
    text.prepare(QStringLiteral(
        "INSERT INTO passages(rowid, title, slide, transcript, details, freetext, place, "
        "language, at_ms) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    const qint64 count = std::min<qint64>(qint64(passages.size()), kPassageMask + 1);
    for (qint64 k = 0; k < count; ++k) {
      const Passage& passage = passages[size_t(k)];
      text.bindValue(0, (id << kPassageBits) | k);
      for (int column = 0; column < 5; ++column) {
        text.bindValue(1 + column,
                       int(passage.place) == column ? QVariant(passage.text) : QVariant());
      }
      text.bindValue(6, int(passage.place));
      text.bindValue(7, passage.language);
      text.bindValue(8, passage.atMs);
      if (!text.exec()) {
        *error = text.lastError();
        return false;
      }
    }
    return true;
  }

  bool RemovePresentationAt(qint64 medium, int position, QSqlError* error) {
    QSqlQuery ids(Db());
    ids.prepare(QStringLiteral("SELECT id FROM presentations WHERE medium = ? AND position = ?"));
    ids.addBindValue(medium);
    ids.addBindValue(position);
    if (!ids.exec()) {
      *error = ids.lastError();
      return false;
    }
    if (!ids.next()) return true;
    const qint64 id = ids.value(0).toLongLong();
    QSqlQuery del(Db());
    del.prepare(QStringLiteral("DELETE FROM passages WHERE rowid BETWEEN ? AND ?"));
    del.addBindValue(id << kPassageBits);
    del.addBindValue((id << kPassageBits) | kPassageMask);
    QSqlQuery row(Db());
    row.prepare(QStringLiteral("DELETE FROM presentations WHERE id = ?"));
    row.addBindValue(id);
    if (!del.exec()) {
      *error = del.lastError();
      return false;
    }
    if (!row.exec()) {
      *error = row.lastError();
      return false;
    }
    return true;
  }

  // Reading one medium ----------------------------------------------------------------------

  struct MediumReading {
    bool vanished = false;
    bool cancelled = false;
    QStringList problems;
  };

  // Reads the medium at path (native) into the index under medium id, one presentation at a
  // time, and notes its files when it was read to the end.
  bool ReadMedium(qint64 id, const QString& path, IndexProgress& progress, const ProgressFn& report,
                  const std::atomic<bool>* cancel, MediumReading& reading, QSqlError* error);
};

namespace {

// Everything searchable of one presentation, read with the players' own loader.
std::vector<Passage> PassagesOf(const QString& title, const LoadedPresentation& p) {
  std::vector<Passage> out;
  if (!title.trimmed().isEmpty()) out.push_back({Place::Title, title, QString(), 0});
  if (p.slides) {
    for (int k = 1; k <= p.slides->Slides.Count(); ++k) {
      const Slide_cls& s = p.slides->Slides.Item(k);
      if (!s.SlideName.trimmed().isEmpty())
        out.push_back({Place::SlideTitle, s.SlideName, QString(), qint64(s.SlideTime)});
    }
  }
  if (p.trans) {
    for (int language = 0; language < p.languages.names.size(); ++language) {
      const std::vector<std::optional<QString>> texts = p.SectionTexts(language);
      for (int k = 1; k <= p.trans->Trans.Count() && k <= int(texts.size()); ++k) {
        const std::optional<QString>& text = texts[size_t(k - 1)];
        if (!text || text->trimmed().isEmpty()) continue;
        out.push_back({Place::Transcript, *text, p.languages.names[language],
                       qint64(p.trans->Trans.Item(k).TranTime)});
      }
    }
  }
  if (!p.details.trimmed().isEmpty()) out.push_back({Place::Details, p.details.trimmed(), {}, 0});
  if (p.settings.UserDef1 && !p.settings.UserDef1->trimmed().isEmpty())
    out.push_back({Place::FreeText, *p.settings.UserDef1, QString(), 0});
  return out;
}

}  // namespace

bool LibraryIndex::Impl::ReadMedium(qint64 id, const QString& path, IndexProgress& progress,
                                    const ProgressFn& report, const std::atomic<bool>* cancel,
                                    MediumReading& reading, QSqlError* error) {
  medium::SetApplicationFolder(path);
  QStringList files;
  auto problem = [&](const QString& text) {
    if (reading.problems.size() < kMaxProblemsPerMedium) reading.problems << text;
  };
  int problemCount = 0;

  PresArr_cls list;
  {
    CollectingReporter reporter;
    files << layout::ConfigPath();
    launcher::ConfigReader reader(reporter);
    reader.ReadCount();
    launcher::FillPresentationList(reporter, reader, list, [](const QString&) {});
    reader.Release();
    for (const QString& m : reporter.messages) {
      ++problemCount;
      problem(QStringLiteral("Data/config.txt: ") + m);
    }
  }
  progress.presentations = list.arr.Count();
  for (int k = 1; k <= list.arr.Count(); ++k) {
    if (cancel && cancel->load()) {
      reading.cancelled = true;
      return CommitBatch(error);
    }
    progress.presentation = k;
    if (report) report(progress);
    const Pres_cls& pres = list.arr.Item(k);
    CollectingReporter reporter;
    FileNotingListener listener(files);
    PresentationLoader loader(reporter, listener);
    LoadedPresentation loaded;
    loader.Load(pres.PresDir, loaded);
    // A medium taken away while it is read leaves what the index held of it as it was.
    if (!IsMedium(path)) {
      reading.vanished = true;
      return CommitBatch(error);
    }
    for (const QString& m : reporter.messages) {
      ++problemCount;
      problem(pres.PresDir + QStringLiteral(": ") + m);
    }
    if (auto* index = dynamic_cast<TranscriptIndex*>(loaded.texts.get())) {
      for (int l = 0; l < loaded.languages.names.size(); ++l) files << index->FilePath(l);
    }

    PresentationEntry entry;
    entry.title = pres.PresName;
    entry.folder = pres.PresDir;
    entry.slides = loaded.slides ? loaded.slides->Slides.Count() : 0;
    entry.sections = loaded.trans ? loaded.trans->Trans.Count() : 0;
    entry.languages = loaded.languages.names;
    try {
      const QString media = layout::MediaFolderPath(pres.PresDir);
      files << media;
      entry.tavisco = layout::HasRecording(PlayerBuild::Tavisco, media);
      entry.norvanta = layout::HasRecording(PlayerBuild::Norvanta, media);
      if (entry.tavisco || entry.norvanta) {
        const QString recording = layout::RecordingPath(entry.Player(), pres.PresDir);
        files << recording;
        const double seconds = checker::LengthSeconds(medium::OpenablePath(recording));
        if (seconds >= 0) entry.lengthMs = qint64(seconds * 1000.0 + 0.5);
      }
    } catch (const medium::AppError&) {
      // A folder name that leads off the medium has no recording; the loader named it.
    }
    if (!NextBatch(error) ||
        !WritePresentation(id, k, entry, PassagesOf(pres.PresName, loaded), error)) {
      RollbackBatch();
      return false;
    }
  }
  if (problemCount > kMaxProblemsPerMedium) {
    reading.problems << QStringLiteral("... and %1 more").arg(problemCount - kMaxProblemsPerMedium);
  }
  // Read to its end: what stood beyond its presentations goes, and its files are noted.
  QStringList stamps;
  files.removeDuplicates();
  for (const QString& f : files) stamps << FileStamp(medium::Resolve(f).path);
  if (!CommitBatch(error)) return false;
  return Transaction(error, [&](QSqlError* e) {
    if (!RemovePresentations(id, list.arr.Count() + 1, e)) return false;
    QSqlQuery q(Db());
    q.prepare(QStringLiteral("UPDATE media SET files = ?, problems = ?, present = 1 WHERE id = ?"));
    q.addBindValue(stamps.join(u'\n'));
    q.addBindValue(reading.problems.join(u'\n'));
    q.addBindValue(id);
    if (!q.exec()) {
      *e = q.lastError();
      return false;
    }
    return true;
  });
}

LibraryIndex::LibraryIndex(const QString& file) : d_(std::make_unique<Impl>()) {
  d_->file = file.isEmpty() ? DefaultFile() : QDir::cleanPath(QDir(file).absolutePath());
}

LibraryIndex::~LibraryIndex() {
  d_->Disconnect();
}

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
  return d_->Open();
}

bool LibraryIndex::InMemory() const {
  return d_->inMemory;
}

QString LibraryIndex::Notice() const {
  return d_->notice;
}

QString LibraryIndex::File() const {
  return d_->file;
}

UpdateResult LibraryIndex::Update(const QStringList& roots, const ProgressFn& progress,
                                  const std::atomic<bool>* cancel) {
  UpdateResult result;
  const Discovery found = FindMedia(roots, kMaxDiscoveryDepth, cancel);
  result.skipped = found.skipped;
  const QString before = medium::ApplicationFolder();
  QSqlError error;
  bool rebuilt = false;
  for (;;) {
    error = QSqlError();
    QHash<QString, Impl::MediumRow> stored = d_->StoredMedia(&error);
    IndexProgress at;
    at.media = int(found.media.size());
    bool failed = error.isValid();
    for (int m = 0; m < found.media.size() && !failed && !result.cancelled; ++m) {
      const QString& path = found.media[m];
      at.medium = m + 1;
      at.mediumPath = path;
      at.presentation = 0;
      at.presentations = 0;
      const auto known = stored.constFind(path);
      at.unchanged = known != stored.cend() && StampsUnchanged(known->files);
      if (progress) progress(at);
      if (at.unchanged) {
        result.unchanged << path;
        d_->Exec(QStringLiteral("UPDATE media SET present = 1 WHERE id = %1").arg(known->id));
        continue;
      }
      qint64 id = known != stored.cend() ? known->id : 0;
      if (!id) {
        QSqlQuery q(d_->Db());
        q.prepare(QStringLiteral(
            "INSERT INTO media(path, present, files, problems) VALUES (?, 1, '', '')"));
        q.addBindValue(path);
        if (!q.exec()) {
          error = q.lastError();
          failed = true;
          break;
        }
        id = q.lastInsertId().toLongLong();
      } else {
        // Until it has been read to its end, a changed medium counts as changed.
        d_->Exec(QStringLiteral("UPDATE media SET files = '' WHERE id = %1").arg(id));
      }
      Impl::MediumReading reading;
      if (!d_->ReadMedium(id, path, at, progress, cancel, reading, &error)) {
        failed = true;
        break;
      }
      for (const QString& p : reading.problems) result.problems << path + QStringLiteral(": ") + p;
      if (reading.vanished) {
        result.problems << path + QStringLiteral(": vanished while it was read; kept as it was");
        result.absent << path;
        d_->Exec(QStringLiteral("UPDATE media SET present = 0 WHERE id = %1").arg(id));
        continue;
      }
      if (reading.cancelled) {
        result.cancelled = true;
        break;
      }
      result.read << path;
    }
    if (failed && !rebuilt && Impl::Damaged(error)) {
      // Damage found while writing: the index is made anew and the media read again.
      rebuilt = true;
      d_->Disconnect();
      d_->RemoveFiles();
      if (!d_->OpenFile(false)) break;
      d_->notice = QStringLiteral("The index %1 was damaged (%2) and has been made anew.")
                       .arg(QDir::toNativeSeparators(d_->file), error.text());
      result = UpdateResult();
      result.skipped = found.skipped;
      continue;
    }
    if (failed) result.error = error.text();
    break;
  }
  medium::SetApplicationFolder(before);
  if (!result.error.isEmpty() || result.cancelled || (cancel && cancel->load())) {
    result.cancelled = result.cancelled || (cancel && cancel->load());
    return result;
  }
  // What was indexed under these folders and is not there now stays, marked absent.
  QSqlQuery q(d_->Db());
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
    for (qint64 id : gone)
      d_->Exec(QStringLiteral("UPDATE media SET present = 0 WHERE id = %1").arg(id));
  }
  return result;
}

std::vector<MediumEntry> LibraryIndex::Media(const QStringList& roots) const {
  std::vector<MediumEntry> media;
  QHash<qint64, size_t> byId;
  QSqlQuery q(d_->Db());
  q.setForwardOnly(true);
  if (!q.exec(QStringLiteral("SELECT id, path, present, problems FROM media ORDER BY path")))
    return media;
  while (q.next()) {
    const QString path = q.value(1).toString();
    if (!UnderRoots(path, roots)) continue;
    MediumEntry m;
    m.id = q.value(0).toLongLong();
    m.path = path;
    m.name = QFileInfo(QDir::fromNativeSeparators(path)).fileName();
    m.present = q.value(2).toBool();
    m.problems = q.value(3).toString().split(u'\n', Qt::SkipEmptyParts);
    byId.insert(m.id, media.size());
    media.push_back(std::move(m));
  }
  QSqlQuery p(d_->Db());
  p.setForwardOnly(true);
  if (!p.exec(QStringLiteral("SELECT id, medium, title, folder, length_ms, slides, sections, "
                             "languages, players FROM presentations ORDER BY medium, position")))
    return media;
  while (p.next()) {
    const auto at = byId.constFind(p.value(1).toLongLong());
    if (at == byId.cend()) continue;
    PresentationEntry e;
    e.id = p.value(0).toLongLong();
    e.title = p.value(2).toString();
    e.folder = p.value(3).toString();
    e.lengthMs = p.value(4).toLongLong();
    e.slides = p.value(5).toInt();
    e.sections = p.value(6).toInt();
    e.languages = p.value(7).toString().split(u'\n', Qt::SkipEmptyParts);
    const int players = p.value(8).toInt();
    e.tavisco = players & kTaviscoBit;
    e.norvanta = players & kNorvantaBit;
    media[*at].presentations.push_back(std::move(e));
  }
  return media;
}

namespace {

constexpr QChar kOpen(0x02);
constexpr QChar kClose(0x03);

void SplitSnippet(const QString& marked, SearchHit& hit) {
  hit.snippet.reserve(marked.size());
  int start = -1;
  for (const QChar c : marked) {
    if (c == kOpen) {
      start = int(hit.snippet.size());
    } else if (c == kClose) {
      if (start >= 0) hit.highlights.push_back({start, int(hit.snippet.size()) - start});
      start = -1;
    } else {
      // Line ends of a passage (details of several lines) read as blanks in one line of hits.
      hit.snippet += (c == u'\r' || c == u'\n' || c == u'\t') ? QChar(u' ') : c;
    }
  }
}

}  // namespace

SearchResult LibraryIndex::Search(const QString& text, const QStringList& roots, int limit) const {
  SearchResult result;
  result.query = ParseQuery(text);
  if (result.query.IsEmpty() || limit <= 0) return result;

  // The media to search, when the index holds others too.
  QHash<qint64, MediumEntry> media;
  bool all = true;
  {
    QSqlQuery q(d_->Db());
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT id, path, present FROM media"))) {
      result.error = q.lastError().text();
      return result;
    }
    while (q.next()) {
      const QString path = q.value(1).toString();
      if (!UnderRoots(path, roots)) {
        all = false;
        continue;
      }
      MediumEntry m;
      m.id = q.value(0).toLongLong();
      m.path = path;
      m.name = QFileInfo(QDir::fromNativeSeparators(path)).fileName();
      m.present = q.value(2).toBool();
      media.insert(m.id, m);
    }
  }
  if (media.isEmpty()) return result;
  QString filter;
  if (!all) {
    QStringList ids;
    for (auto it = media.cbegin(); it != media.cend(); ++it) ids << QString::number(it.key());
    filter = QStringLiteral(
                 " AND (rowid >> %1) IN (SELECT id FROM presentations WHERE medium IN "
                 "(%2))")
                 .arg(kPassageBits)
                 .arg(ids.join(u','));
  }
  const QString expression = result.query.MatchExpression();
  {
    // Counting stops at the bound, and needs no ranking.
    QSqlQuery count(d_->Db());
    count.setForwardOnly(true);
    count.prepare(QStringLiteral("SELECT count(*) FROM (SELECT rowid FROM passages WHERE passages "
                                 "MATCH ?%1 LIMIT %2)")
                      .arg(filter)
                      .arg(kRankAll + 1));
    count.addBindValue(expression);
    if (!count.exec() || !count.next()) {
      result.error = count.lastError().text();
      return result;
    }
    result.ranked = count.value(0).toInt() <= kRankAll;
  }
  QSqlQuery pres(d_->Db());
  pres.setForwardOnly(true);
  pres.prepare(
      QStringLiteral("SELECT medium, title, folder, players FROM presentations WHERE id = ?"));
  // Runs one query of passages and takes its rows as hits, up to the limit.
  auto take = [&](const QString& match, const QString& order) {
    QSqlQuery q(d_->Db());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT rowid, place, language, at_ms, "
                             "snippet(passages, -1, char(2), char(3), '…', 24), rank "
                             "FROM passages WHERE passages MATCH ?%1%2 LIMIT ?")
                  .arg(filter, order));
    q.addBindValue(match);
    q.addBindValue(limit + 1 - int(result.hits.size()));
    if (!q.exec()) {
      result.error = q.lastError().text();
      return;
    }
    while (q.next()) {
      if (int(result.hits.size()) == limit) {
        result.more = true;
        break;
      }
      SearchHit hit;
      hit.presentationId = q.value(0).toLongLong() >> kPassageBits;
      hit.place = Place(q.value(1).toInt());
      hit.language = q.value(2).toString();
      hit.atMs = q.value(3).toLongLong();
      SplitSnippet(q.value(4).toString(), hit);
      hit.score = result.ranked ? q.value(5).toDouble() : 0.0;
      pres.addBindValue(hit.presentationId);
      if (!pres.exec() || !pres.next()) continue;
      const auto m = media.constFind(pres.value(0).toLongLong());
      if (m == media.cend()) continue;
      hit.title = pres.value(1).toString();
      hit.folder = pres.value(2).toString();
      const int players = pres.value(3).toInt();
      hit.player = (players & kTaviscoBit) || !(players & kNorvantaBit) ? PlayerBuild::Tavisco
                                                                        : PlayerBuild::Norvanta;
      hit.mediumPath = m->path;
      hit.mediumName = m->name;
      hit.mediumPresent = m->present;
      pres.finish();
      result.hits.push_back(std::move(hit));
    }
  };
  if (result.ranked) {
    take(expression, QStringLiteral(" ORDER BY rank"));
  } else {
    // Too many to rank: the first found in the library's order, titles before slide titles
    // before the rest. (Looking for titles alone would read the whole list of passages found.)
    take(expression, QString());
    std::stable_sort(result.hits.begin(), result.hits.end(),
                     [](const SearchHit& a, const SearchHit& b) { return a.place < b.place; });
    result.more = true;
  }
  if (!result.error.isEmpty()) result.hits.clear();
  return result;
}

void LibraryIndex::Passages(qint64 presentationId,
                            const std::function<void(const StoredPassage&)>& take) const {
  QSqlQuery q(d_->Db());
  q.setForwardOnly(true);
  q.prepare(
      QStringLiteral("SELECT place, language, at_ms, coalesce(title, slide, transcript, "
                     "details, freetext) FROM passages WHERE rowid BETWEEN ? AND ? "
                     "ORDER BY rowid"));
  q.addBindValue(presentationId << kPassageBits);
  q.addBindValue((presentationId << kPassageBits) | kPassageMask);
  if (!q.exec()) return;
  while (q.next()) {
    take(StoredPassage{Place(q.value(0).toInt()), q.value(1).toString(), q.value(2).toLongLong(),
                       q.value(3).toString()});
  }
}

// ---- the folders of the library --------------------------------------------------------------

namespace {

QString FoldersFile() {
  return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
         QStringLiteral("/Ambrel/library.conf");
}

}  // namespace

QStringList RememberedFolders() {
  QSettings settings(FoldersFile(), QSettings::IniFormat);
  return settings.value(QStringLiteral("library/folders")).toStringList();
}

void RememberFolders(const QStringList& folders) {
  QStringList clean;
  for (const QString& f : folders) clean << NativeClean(f);
  clean.removeDuplicates();
  QSettings settings(FoldersFile(), QSettings::IniFormat);
  settings.setValue(QStringLiteral("library/folders"), clean);
  settings.sync();
}

}  // namespace library
