#include "preserver/Preserver.h"

#include <sys/stat.h>
#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

#include <cerrno>
#include <cstdio>

#include "checker/MediumCheck.h"
#include "jobs/OutputFolder.h"
#include "jobs/StagingFolder.h"
#include "jobs/TerminalLine.h"
#include "medium/Interruption.h"
#include "medium/Paths.h"
#include "medium/Report.h"
#include "presentation/ConfigReader.h"
#include "presentation/MediumFolder.h"
#include "presentation/MediumLayout.h"
#include "preserver/BagFormat.h"
#include "preserver/BagTree.h"
#include "preserver/BagVerifier.h"
#include "preserver/Digest.h"
#include "preserver/ManifestLine.h"
#include "preserver/Masters.h"

namespace preserver {

namespace {

const QString kAgent = QStringLiteral("Ambrel " PROJECT_VERSION_TEXT);

QString Now() {
  return QDateTime::currentDateTimeUtc().toString(Qt::ISODate);
}

// What was done when, with its outcome: the bag's metadata/premis-events.csv, in the words of
// PREMIS's event types.
class EventLog {
 public:
  void Add(const QString& type, const QString& object, const QString& outcome,
           const QString& detail, const QString& agent = kAgent) {
    rows_ += CsvRow({Now(), type, object, outcome, detail, agent});
  }
  QByteArray Csv() const {
    return CsvRow({QStringLiteral("eventDateTime"), QStringLiteral("eventType"),
                   QStringLiteral("object"), QStringLiteral("eventOutcome"),
                   QStringLiteral("eventDetail"), QStringLiteral("agent")}) +
           rows_;
  }

 private:
  QByteArray rows_;
};

struct MediumFile {
  QByteArray relative;  // '/' separated, the name's bytes as the disc holds them
  qint64 size = 0;
  qint64 modifiedNs = 0;
};

// A file of the payload: its path in the bag (bytes), its SHA-512 and its length.
struct PayloadFile {
  QByteArray path;
  QByteArray sha512;
  qint64 bytes = 0;
  bool operator<(const PayloadFile& other) const { return path < other.path; }
};

// A recording of the medium: Media/<folder>/media.wma, .wmv or .rm, in any case.
struct Recording {
  QString relative;
  QString folder;
  QString file;
  QJsonObject probe;
};

bool IsRecording(const QString& relative, QString* folder, QString* file) {
  const QStringList parts = relative.split(u'/');
  if (parts.size() != 3 || parts[0].compare(QLatin1String("Media"), Qt::CaseInsensitive) != 0) {
    return false;
  }
  const QString name = parts[2].toLower();
  if (name != QLatin1String("media.wma") && name != QLatin1String("media.wmv") &&
      name != QLatin1String("media.rm")) {
    return false;
  }
  *folder = parts[1];
  *file = parts[2];
  return true;
}

QString Megabytes(qint64 bytes) {
  return QString::number(bytes / 1e6, 'f', 1) + QStringLiteral(" MB");
}

QString LeftFolderText(const jobs::LeftFolder& left) {
  switch (left.fate) {
    case jobs::LeftFolder::Fate::Removed:
      return QStringLiteral(
                 "%1: a bag left unfinished by a --preserve that was stopped (%2): "
                 "removed")
          .arg(left.path, Megabytes(left.bytes));
    case jobs::LeftFolder::Fate::PutBack:
      return QStringLiteral(
                 "%1: a bag set aside by a --preserve --force that was stopped: put "
                 "back as %2")
          .arg(left.path, left.why);
    case jobs::LeftFolder::Fate::InUse:
      return QStringLiteral("%1: being filled by another --preserve still running: left alone")
          .arg(left.path);
    case jobs::LeftFolder::Fate::Kept:
      break;
  }
  return QStringLiteral("%1: left by a --preserve that did not finish: %2; left alone")
      .arg(left.path, left.why);
}

class BagWriter {
 public:
  BagWriter(const QString& root, const PreserveRequest& request, const PreserveProgressFn& progress,
            const std::atomic<bool>* cancel, BagSummary& summary)
      : root_(root), request_(request), progress_(progress), cancel_(cancel), s_(summary) {}

  // Fills the staging folder; false when the bag cannot be made (s_ says why).
  bool Fill(const QString& staging);

 private:
  bool Cancelled() {
    if (cancel_ && cancel_->load()) {
      s_.status = BagSummary::Status::Cancelled;
      return true;
    }
    return false;
  }
  bool Fail(const QString& error) {
    s_.status = BagSummary::Status::Failed;
    s_.error = error;
    return false;
  }
  bool WriteTag(const QString& relative, const QByteArray& bytes);
  bool Walk();
  bool CopyMedium();
  bool Describe();
  bool MakeMasters();
  bool WriteManifest();
  bool CheckPayload();
  bool WriteTagFiles();
  QStringList Titles(const layout::MediumLayout& medium);
  void Report(const PreserveProgress& p) {
    if (progress_) progress_(p);
  }

  const QString root_;
  const PreserveRequest& request_;
  const PreserveProgressFn& progress_;
  const std::atomic<bool>* cancel_;
  BagSummary& s_;
  QString dir_;  // the staging folder
  std::vector<MediumFile> files_;
  std::vector<Recording> recordings_;
  std::vector<PayloadFile> payload_;
  EventLog events_;
  QStringList titles_;
};

bool BagWriter::WriteTag(const QString& relative, const QByteArray& bytes) {
  const QString path = dir_ + u'/' + relative;
  QString why;
  if (!QDir().mkpath(QFileInfo(path).path())) {
    why = SystemErrorText(errno);
  } else if (WriteWholeFile(QFile::encodeName(path), bytes, &why)) {
    return true;
  }
  return Fail(QStringLiteral("cannot write %1: %2").arg(QDir::toNativeSeparators(path), why));
}

bool BagWriter::Walk() {
  // Names are taken as the bytes the disc holds, so that a name that is not UTF-8 is copied (or
  // at least listed) like any other; links are listed and never followed.
  QString error;
  const FolderHandle medium = OpenFolder(QFile::encodeName(root_), &error);
  if (!medium.IsOpen()) {
    return Fail(QStringLiteral("cannot read the medium %1: %2")
                    .arg(QDir::toNativeSeparators(root_), error));
  }
  std::vector<QByteArray> folders;
  for (const TreeEntry& e : ListTree(medium.Fd())) {
    const QString shown = NameText(e.path);
    auto skip = [&](const QString& why) {
      s_.readErrors.push_back(ReadError{shown, why, {}});
      events_.Add(QStringLiteral("replication"), shown, QStringLiteral("failure"), why);
    };
    if (e.kind == EntryKind::Folder) folders.push_back(e.path);
    if (!e.error.isEmpty()) {
      skip(e.kind == EntryKind::Folder
               ? QStringLiteral("a folder that cannot be read: what it holds is not copied (%1)")
                     .arg(e.error)
               : QStringLiteral("cannot be read: %1: not copied").arg(e.error));
      continue;
    }
    switch (e.kind) {
      case EntryKind::Folder:
        break;
      case EntryKind::File:
        files_.push_back(MediumFile{e.path, e.size, e.modifiedNs});
        break;
      case EntryKind::Link:
        skip(QStringLiteral("a symbolic link (to %1): not copied").arg(NameText(e.linkTarget)));
        break;
      default:
        skip(QStringLiteral("%1, not a regular file: not copied").arg(KindText(e.kind)));
        break;
    }
  }
  // Folders too, the empty ones included, so that the copy has the medium's tree (a folder
  // before what it holds).
  const QByteArray copy = QFile::encodeName(dir_) + "/data/medium/";
  for (const QByteArray& f : folders) {
    if (::mkdir((copy + f).constData(), 0755) != 0 && errno != EEXIST) {
      return Fail(QStringLiteral("cannot make the folder %1 in the bag: %2")
                      .arg(NameText(f), SystemErrorText(errno)));
    }
  }
  std::sort(files_.begin(), files_.end(),
            [](const MediumFile& a, const MediumFile& b) { return a.relative < b.relative; });
  for (const MediumFile& f : files_) s_.bytes += f.size;
  return true;
}

bool BagWriter::CopyMedium() {
  QElapsedTimer clock;
  clock.start();
  DigestWorker worker;
  PreserveProgress p;
  p.phase = PreserveProgress::Phase::Copying;
  p.total = s_.bytes;
  qint64 before = 0;
  const QByteArray from = QFile::encodeName(root_) + '/';
  const QByteArray to = QFile::encodeName(dir_) + '/';
  for (const MediumFile& f : files_) {
    if (Cancelled()) return false;
    const QByteArray bagPath = "data/medium/" + f.relative;
    const QByteArray target = to + bagPath;
    const QString shown = NameText(f.relative);
    p.item = shown;
    p.itemTotal = f.size;
    p.itemDone = 0;
    p.done = before;
    Report(p);
    std::unique_ptr<SourceFile> source = request_.openSource(from + f.relative);
    CopyOptions options;
    options.modified = QDateTime::fromMSecsSinceEpoch(f.modifiedNs / 1000000);
    options.cancel = cancel_;
    options.worker = &worker;
    options.progress = [&](qint64 copied) {
      p.itemDone = copied;
      p.done = before + copied;
      Report(p);
    };
    const CopyResult r = CopyWithDigest(*source, target, options);
    before += f.size;
    if (r.cancelled) {
      Cancelled();
      return false;
    }
    if (!r.opened) {
      const QString why = QStringLiteral("cannot be opened: %1: not copied").arg(r.openError);
      s_.readErrors.push_back(ReadError{shown, why, {}});
      events_.Add(QStringLiteral("replication"), shown, QStringLiteral("failure"), why);
      continue;
    }
    if (!r.writeError.isEmpty()) {
      return Fail(
          QStringLiteral("cannot write %1: %2")
              .arg(QDir::toNativeSeparators(dir_) + u'/' + NameText(bagPath), r.writeError));
    }
    ::chmod(target.constData(), 0644);
    payload_.push_back(PayloadFile{bagPath, r.sha512, r.bytes});
    ++s_.files;
    if (r.unreadable.empty()) {
      events_.Add(QStringLiteral("replication"), shown, QStringLiteral("success"),
                  QStringLiteral("%1 bytes copied to %2, SHA-512 computed while copying")
                      .arg(r.bytes)
                      .arg(NameText(bagPath)));
    } else {
      qint64 lost = 0;
      for (const UnreadableRange& u : r.unreadable) lost += u.end - u.begin;
      const QString why = QStringLiteral("%1 of %2 bytes could not be read; written as zeros")
                              .arg(lost)
                              .arg(r.bytes);
      s_.readErrors.push_back(ReadError{shown, why, r.unreadable});
      events_.Add(QStringLiteral("replication"), shown, QStringLiteral("failure"),
                  why + QStringLiteral(" (metadata/read-errors.txt)"));
    }
  }
  s_.copySeconds = clock.nsecsElapsed() / 1e9;
  events_.Add(QStringLiteral("message digest calculation"), QStringLiteral("data/medium"),
              QStringLiteral("success"),
              QStringLiteral("SHA-512 of %1 files (%2 bytes) while they were copied")
                  .arg(s_.files)
                  .arg(s_.bytes));
  return true;
}

QStringList BagWriter::Titles(const layout::MediumLayout& medium) {
  medium::SilentReporter reporter;
  const PresArr_cls list = launcher::ReadPresentationList(medium, reporter);
  QStringList titles;
  for (int k = 1; k <= list.arr.Count(); ++k) {
    const QString name = list.arr.Item(k).PresName.trimmed();
    if (!name.isEmpty() && !titles.contains(name)) titles << name;
  }
  return titles;
}

bool BagWriter::Describe() {
  const QString copy = dir_ + QStringLiteral("/data/medium");
  PreserveProgress p;
  p.phase = PreserveProgress::Phase::Describing;
  for (const MediumFile& f : files_) {
    Recording r;
    // ffprobe and ffmpeg are handed names as text: a name that is not UTF-8 is copied, but not
    // described.
    if (!IsUtf8(f.relative)) continue;
    const QString relative = QString::fromUtf8(f.relative);
    if (!IsRecording(relative, &r.folder, &r.file)) continue;
    if (!QFileInfo::exists(copy + u'/' + relative)) continue;
    r.relative = relative;
    recordings_.push_back(r);
  }
  s_.recordings = static_cast<int>(recordings_.size());
  p.count = s_.recordings;
  for (Recording& r : recordings_) {
    if (Cancelled()) return false;
    ++p.index;
    p.item = r.relative;
    Report(p);
    jobs::ToolOptions options;
    options.cancel = cancel_;
    const jobs::ToolResult run = jobs::RunTool(
        request_.tools.ffprobe,
        {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_format"),
         QStringLiteral("-show_streams"), QStringLiteral("-of"), QStringLiteral("json"),
         QStringLiteral("--"), copy + u'/' + r.relative},
        options);
    if (run.end == jobs::ToolResult::End::Cancelled) {
      Cancelled();
      return false;
    }
    QJsonObject probe = QJsonDocument::fromJson(run.output).object();
    if (!run.Ok() || probe.isEmpty()) {
      const QString why =
          run.end == jobs::ToolResult::End::NotStarted
              ? QStringLiteral("ffprobe could not be started (is ffmpeg installed?)")
          : run.Ok() ? QStringLiteral("ffprobe gave no description")
                     : QStringLiteral("ffprobe cannot read it: %1").arg(run.LastWords());
      s_.notes << QStringLiteral("%1: no technical description: %2").arg(r.relative, why);
      events_.Add(QStringLiteral("metadata extraction"), r.relative, QStringLiteral("failure"),
                  why);
      continue;
    }
    // The file as the medium names it, not where the bag was being made.
    QJsonObject format = probe.value(QLatin1String("format")).toObject();
    format.insert(QStringLiteral("filename"), r.relative);
    probe.insert(QStringLiteral("format"), format);
    r.probe = probe;
    const QString tag = QStringLiteral("metadata/%1/%2.ffprobe.json").arg(r.folder, r.file);
    if (!WriteTag(tag, QJsonDocument(probe).toJson(QJsonDocument::Indented))) return false;
    events_.Add(QStringLiteral("metadata extraction"), r.relative, QStringLiteral("success"),
                QStringLiteral("ffprobe -show_format -show_streams: %1").arg(tag),
                QStringLiteral("ffprobe"));
  }

  // The checker and the titles read the bag's copy: the medium is read once, by the copy.
  const layout::MediumLayout copied(copy);
  titles_ = Titles(copied);
  checker::CheckOptions options;
  options.progress = [&](const QString& file, double fraction) {
    p.item = file;
    p.itemDone = static_cast<qint64>(fraction * 100);
    p.itemTotal = 100;
    Report(p);
  };
  checker::CheckResult check = checker::CheckMedium(copied, options);
  check.root = QDir::toNativeSeparators(root_);
  if (!WriteTag(QStringLiteral("metadata/check.json"), checker::FormatJson(check))) return false;
  events_.Add(QStringLiteral("validation"), QStringLiteral("data/medium"),
              check.ProblemCount() == 0 ? QStringLiteral("success") : QStringLiteral("warning"),
              QStringLiteral("the medium checked as the players read it: %1 problems, %2 notes "
                             "(metadata/check.json)")
                  .arg(check.ProblemCount())
                  .arg(check.NoteCount()));
  return true;
}

QString FfmpegVersion(const jobs::FfmpegTools& tools) {
  const jobs::ToolResult run = jobs::RunTool(tools.ffmpeg, {QStringLiteral("-version")});
  const QString first = QString::fromUtf8(run.output).section(u'\n', 0, 0);
  const QStringList words = first.split(u' ');
  return words.size() >= 3 ? words[0] + u' ' + words[2] : QStringLiteral("ffmpeg");
}

bool BagWriter::MakeMasters() {
  const QString agent = FfmpegVersion(request_.tools);
  PreserveProgress p;
  p.phase = PreserveProgress::Phase::Mastering;
  p.count = 0;
  for (const Recording& r : recordings_) p.count += r.probe.isEmpty() ? 0 : 1;
  for (const Recording& r : recordings_) {
    if (r.probe.isEmpty()) continue;
    if (Cancelled()) return false;
    ++p.index;
    p.item = r.relative;
    p.itemDone = 0;
    p.itemTotal = 100;
    Report(p);
    MasterOutcome outcome;
    outcome.recording = r.relative;
    outcome.master = QStringLiteral("data/masters/%1/%2.mkv").arg(r.folder, r.file);
    const QString copy = dir_ + QStringLiteral("/data/medium/") + r.relative;
    outcome.originalBytes = QFileInfo(copy).size();
    const MasterPlan plan = PlanMaster(r.probe);
    outcome.durationS = plan.durationS;
    MasterJob job;
    job.input = copy;
    job.master = dir_ + u'/' + outcome.master;
    job.originalHashes =
        dir_ + QStringLiteral("/metadata/%1/%2.original.streamhash").arg(r.folder, r.file);
    job.masterHashes =
        dir_ + QStringLiteral("/metadata/%1/%2.master.streamhash").arg(r.folder, r.file);
    QDir().mkpath(QFileInfo(job.master).path());
    QDir().mkpath(QFileInfo(job.originalHashes).path());
    const MasterResult result = MakeMaster(
        request_.tools, plan, job,
        [&](int percent) {
          p.itemDone = percent;
          Report(p);
        },
        cancel_);
    if (result.cancelled) {
      Cancelled();
      return false;
    }
    outcome.seconds = result.seconds;
    outcome.proved = result.proved;
    if (result.made) {
      events_.Add(
          QStringLiteral("normalization"), r.relative, QStringLiteral("success"),
          QStringLiteral("%1: FFV1 version 3 and lossless sound in Matroska").arg(outcome.master),
          agent);
    }
    if (result.proved) {
      std::vector<FileToHash> hash(1);
      hash[0].path = job.master;
      hash[0].algorithms = {Algorithm::Sha512};
      HashFiles(hash, 1, {}, cancel_);
      if (Cancelled()) return false;
      if (!hash[0].error.isEmpty()) {
        return Fail(QStringLiteral("cannot read the master %1 back: %2")
                        .arg(QDir::toNativeSeparators(job.master), hash[0].error));
      }
      outcome.masterBytes = hash[0].bytes;
      payload_.push_back(PayloadFile{outcome.master.toUtf8(), hash[0].hex[0], hash[0].bytes});
      events_.Add(QStringLiteral("validation"), outcome.master, QStringLiteral("success"),
                  QStringLiteral("decoded streams of original and master equal, stream by stream "
                                 "(metadata/%1/%2.original.streamhash, .master.streamhash)")
                      .arg(r.folder, r.file),
                  agent);
    } else {
      outcome.error = result.error;
      if (!result.differences.isEmpty())
        outcome.error = result.differences.join(QLatin1String("; "));
      // A master that is not proved is not kept as one: the bag holds what is known to be true.
      QFile::remove(job.master);
      QDir().rmdir(QFileInfo(job.master).path());
      events_.Add(result.made ? QStringLiteral("validation") : QStringLiteral("normalization"),
                  outcome.master, QStringLiteral("failure"),
                  outcome.error + QStringLiteral(": the master is not kept"), agent);
    }
    for (const QString& left : plan.left) {
      s_.notes << QStringLiteral("%1: %2").arg(r.relative, left);
    }
    s_.masters.push_back(outcome);
  }
  QDir(dir_ + QStringLiteral("/data")).rmdir(QStringLiteral("masters"));
  return true;
}

bool BagWriter::WriteManifest() {
  std::sort(payload_.begin(), payload_.end());
  QByteArray manifest;
  for (const PayloadFile& f : payload_) manifest += ManifestLineOf(f.sha512, f.path);
  return WriteTag(QStringLiteral("manifest-sha512.txt"), manifest);
}

bool BagWriter::CheckPayload() {
  PreserveProgress p;
  p.phase = PreserveProgress::Phase::Verifying;
  VerifyOptions options;
  options.threads = request_.threads;
  options.payloadOnly = true;
  options.cancel = cancel_;
  options.progress = [&](qint64 done, qint64 total) {
    p.done = done;
    p.total = total;
    Report(p);
  };
  const VerifyResult check = VerifyBag(dir_, options);
  if (Cancelled()) return false;
  if (check.validity != BagValidity::Valid) {
    QStringList findings;
    for (const BagFinding& f : check.findings)
      findings << f.path + QStringLiteral(": ") + f.message;
    if (check.validity == BagValidity::NotABag) findings << check.notABagReason;
    events_.Add(QStringLiteral("fixity check"), QStringLiteral("data"), QStringLiteral("failure"),
                findings.join(QLatin1String("; ")));
    return Fail(QStringLiteral("what was written does not read back as it was copied: %1")
                    .arg(findings.join(QLatin1String("; "))));
  }
  events_.Add(QStringLiteral("fixity check"), QStringLiteral("data"), QStringLiteral("success"),
              QStringLiteral("every payload file read back and matched manifest-sha512.txt "
                             "(%1 files, %2 bytes)")
                  .arg(check.payloadFiles)
                  .arg(check.payloadBytes));
  return true;
}

bool BagWriter::WriteTagFiles() {
  if (!s_.readErrors.empty()) {
    QByteArray text =
        "# Files of the medium that were not copied whole: the file, the bytes that could not "
        "be\n# read (from-to, the end not included; '-' when none of it was copied), why. "
        "Unreadable\n# bytes are zeros in the copy.\n";
    for (const ReadError& e : s_.readErrors) {
      if (e.ranges.empty()) {
        text += (e.file + QStringLiteral("\t-\t") + e.message + u'\n').toUtf8();
        continue;
      }
      for (const UnreadableRange& u : e.ranges) {
        text += (e.file + u'\t' + QStringLiteral("%1-%2").arg(u.begin).arg(u.end) + u'\t' +
                 u.reason + u'\n')
                    .toUtf8();
      }
    }
    if (!WriteTag(QStringLiteral("metadata/read-errors.txt"), text)) return false;
  }

  qint64 payloadBytes = 0;
  for (const PayloadFile& f : payload_) payloadBytes += f.bytes;
  TagFields info{
      {QStringLiteral("Bagging-Date"), QDate::currentDate().toString(Qt::ISODate)},
      {QStringLiteral("Bag-Software-Agent"), kAgent + QStringLiteral(" (Archived zENTO)")},
      {QStringLiteral("External-Identifier"), QFileInfo(root_).fileName()},
      {QStringLiteral("External-Description"), titles_.join(QLatin1String("; "))},
      {QStringLiteral("Payload-Oxum"),
       PayloadOxum(payloadBytes, static_cast<qint64>(payload_.size()))},
  };
  const int unread = static_cast<int>(s_.readErrors.size());
  info.emplace_back(QStringLiteral("Medium-Copy"),
                    unread == 0
                        ? QStringLiteral("complete")
                        : QStringLiteral("incomplete: %1 %2 could not be read through "
                                         "(metadata/read-errors.txt)")
                              .arg(unread)
                              .arg(unread == 1 ? QStringLiteral("file") : QStringLiteral("files")));
  if (request_.masters) {
    int proved = 0;
    for (const MasterOutcome& m : s_.masters) proved += m.proved ? 1 : 0;
    info.emplace_back(QStringLiteral("Masters"),
                      QStringLiteral("%1 of %2 recordings, proved lossless (data/masters)")
                          .arg(proved)
                          .arg(s_.masters.size()));
  }
  events_.Add(QStringLiteral("message digest calculation"), QStringLiteral("tag files"),
              QStringLiteral("success"), QStringLiteral("tagmanifest-sha512.txt"));
  if (!WriteTag(QStringLiteral("metadata/premis-events.csv"), events_.Csv()) ||
      !WriteTag(QStringLiteral("bag-info.txt"), FormatTagFields(info))) {
    return false;
  }

  // Every tag file: those at the top and all below metadata/.
  QStringList tags = QDir(dir_).entryList(QDir::Files | QDir::Hidden, QDir::Name);
  tags.removeAll(QStringLiteral("tagmanifest-sha512.txt"));
  QDirIterator it(dir_ + QStringLiteral("/metadata"), QDir::Files | QDir::Hidden,
                  QDirIterator::Subdirectories);
  while (it.hasNext()) tags << it.next().mid(dir_.size() + 1);
  tags.sort();
  std::vector<FileToHash> jobs;
  for (const QString& t : tags) {
    FileToHash job;
    job.path = dir_ + u'/' + t;
    job.algorithms = {Algorithm::Sha512};
    jobs.push_back(job);
  }
  HashFiles(jobs, 1);
  QByteArray manifest;
  for (size_t i = 0; i < jobs.size(); ++i) {
    if (!jobs[i].error.isEmpty()) {
      return Fail(QStringLiteral("cannot read %1 back: %2").arg(tags[i], jobs[i].error));
    }
    manifest += ManifestLine(jobs[i].hex[0], tags[static_cast<qsizetype>(i)]);
  }
  return WriteTag(QStringLiteral("tagmanifest-sha512.txt"), manifest);
}

bool BagWriter::Fill(const QString& staging) {
  dir_ = staging;
  QDir().mkpath(dir_ + QStringLiteral("/data/medium"));
  if (!WriteTag(QStringLiteral("bagit.txt"), BagDeclaration())) return false;
  if (!Walk() || !CopyMedium() || !Describe()) return false;
  if (request_.masters && !MakeMasters()) return false;
  return WriteManifest() && CheckPayload() && WriteTagFiles();
}

}  // namespace

int BagSummary::ExitCode() const {
  if (status != Status::Complete) return 1;
  for (const MasterOutcome& m : masters) {
    if (!m.proved) return 1;
  }
  return 0;
}

BagSummary PreserveMedium(const QString& mediumRoot, const PreserveRequest& request,
                          const PreserveProgressFn& progress, const std::atomic<bool>* cancel) {
  QElapsedTimer clock;
  clock.start();
  BagSummary s;
  s.medium = QDir::toNativeSeparators(mediumRoot);
  auto refuse = [&](const QString& why) {
    s.status = BagSummary::Status::Refused;
    s.error = why;
    return s;
  };
  // This bag is not made, for a reason of its own; others of the same command may be.
  auto fail = [&](const QString& why) {
    s.status = BagSummary::Status::Failed;
    s.error = why;
    return s;
  };
  if (!medium::IsReadableFolder(mediumRoot))
    return refuse(medium::UnreadableMediumText(mediumRoot));
  const QString root = QFileInfo(mediumRoot).canonicalFilePath();
  s.medium = QDir::toNativeSeparators(root);
  if (request.outDir.isEmpty())
    return refuse(QStringLiteral("no output folder given: --preserve OUTDIR"));
  const QString out = jobs::ResolvedAbsolute(request.outDir);
  const QString onMedium = jobs::OnMediumReason(out, root);
  if (!onMedium.isEmpty()) return refuse(onMedium);
  const QString name =
      request.bagName.isEmpty() ? jobs::MediumFolderNames({root}).value(root) : request.bagName;
  const QString target = out + u'/' + name;
  s.bag = QDir::toNativeSeparators(target);
  const QFileInfo existing(target);
  if (existing.exists() || existing.isSymLink()) {
    const QString why = jobs::ReplaceReason(target, root, request.force);
    if (!why.isEmpty()) return fail(s.bag + u' ' + why);
  }
  QString error;
  const QString outDir = jobs::MakeOutputFolder(out, &error);
  if (outDir.isEmpty()) return refuse(error);
  // A run that was killed (SIGKILL, a power cut) leaves its bag in the making behind; whether its
  // run is gone is told by the lock a running one holds.
  for (const jobs::LeftFolder& left :
       jobs::ClearAbandonedFolders(outDir, QStringLiteral("preserve"))) {
    s.leftovers << LeftFolderText(left);
  }
  jobs::StagingFolder staging(outDir, name, QStringLiteral("preserve"));
  if (!staging.IsValid()) {
    s.status = BagSummary::Status::Failed;
    s.error = QStringLiteral("cannot make a folder in %1: %2")
                  .arg(QDir::toNativeSeparators(outDir), staging.ErrorString());
    return s;
  }
  BagWriter writer(root, request, progress, cancel, s);
  if (!writer.Fill(staging.Path())) {
    s.seconds = clock.nsecsElapsed() / 1e9;
    return s;
  }
  if (cancel && cancel->load()) {
    s.status = BagSummary::Status::Cancelled;
    return s;
  }
  if (!staging.PutInPlace(&error)) {
    s.status = BagSummary::Status::Failed;
    s.error = QStringLiteral("%1 %2").arg(s.bag, error);
    return s;
  }
  s.status = s.readErrors.empty() ? BagSummary::Status::Complete : BagSummary::Status::Incomplete;
  s.seconds = clock.nsecsElapsed() / 1e9;
  return s;
}

QString FormatBagSummary(const BagSummary& s) {
  QString out;
  for (const QString& left : s.leftovers) out += left + u'\n';
  switch (s.status) {
    case BagSummary::Status::Refused:
    case BagSummary::Status::Failed:
      return out + QStringLiteral("%1: not preserved: %2\n").arg(s.medium, s.error);
    case BagSummary::Status::Cancelled:
      if (!s.interruption.isEmpty()) {
        return out + QStringLiteral(
                         "%1: interrupted by %2: no bag was made, the one in the making "
                         "was removed\n")
                         .arg(s.medium, s.interruption);
      }
      return out + QStringLiteral("%1: cancelled: no bag was made\n").arg(s.medium);
    case BagSummary::Status::Complete:
    case BagSummary::Status::Incomplete:
      break;
  }
  out += QStringLiteral("%1: %2 files, %3 copied in %4 s; %5 recordings described\n")
             .arg(s.bag)
             .arg(s.files)
             .arg(Megabytes(s.bytes))
             .arg(s.copySeconds, 0, 'f', 1)
             .arg(s.recordings);
  for (const ReadError& e : s.readErrors) {
    out += QStringLiteral("  %1: %2\n").arg(e.file, e.message);
    for (const UnreadableRange& u : e.ranges) {
      out += QStringLiteral("    bytes %1-%2: %3\n").arg(u.begin).arg(u.end).arg(u.reason);
    }
  }
  for (const MasterOutcome& m : s.masters) {
    if (m.proved) {
      out += QStringLiteral("  %1: proved lossless (%2 from %3, %4x real time)\n")
                 .arg(m.master, Megabytes(m.masterBytes), Megabytes(m.originalBytes))
                 .arg(m.seconds > 0 ? m.durationS / m.seconds : 0.0, 0, 'f', 1);
    } else {
      out += QStringLiteral("  %1: FAILED, not kept: %2\n").arg(m.master, m.error);
    }
  }
  for (const QString& note : s.notes) out += QStringLiteral("  note: %1\n").arg(note);
  if (s.status == BagSummary::Status::Incomplete) {
    out += QStringLiteral(
               "Incomplete: %1 %2 of the medium could not be read through "
               "(metadata/read-errors.txt)\n")
               .arg(s.readErrors.size())
               .arg(s.readErrors.size() == 1 ? QStringLiteral("file") : QStringLiteral("files"));
  } else if (s.ExitCode() != 0) {
    out += QStringLiteral("Incomplete: a master could not be proved lossless\n");
  } else {
    out += QStringLiteral("Complete.\n");
  }
  return out;
}

namespace {

// The progress line on a terminal, written over itself.
class ProgressLine {
 public:
  void Show(const PreserveProgress& p) {
    QString text;
    switch (p.phase) {
      case PreserveProgress::Phase::Copying:
        text = QStringLiteral("copying %1% (%2 of %3): %4")
                   .arg(p.total > 0 ? p.done * 100 / p.total : 100)
                   .arg(Megabytes(p.done), Megabytes(p.total), p.item);
        break;
      case PreserveProgress::Phase::Describing:
        text = QStringLiteral("describing: %1").arg(p.item);
        break;
      case PreserveProgress::Phase::Mastering:
        text = QStringLiteral("master %1 of %2: %3 %4%")
                   .arg(p.index)
                   .arg(p.count)
                   .arg(p.item)
                   .arg(p.itemDone);
        break;
      case PreserveProgress::Phase::Verifying:
        text = QStringLiteral("checking what was written %1% (%2 of %3)")
                   .arg(p.total > 0 ? p.done * 100 / p.total : 100)
                   .arg(Megabytes(p.done), Megabytes(p.total));
        break;
    }
    line_.Show(text);
  }
  void Clear() { line_.Clear(); }
  bool Active() const { return line_.Active(); }

 private:
  jobs::TerminalLine line_;
};

}  // namespace

int RunPreserve(const std::optional<QString>& mediumFolder, const QString& outDir, bool masters,
                bool force) {
  const QString root = mediumFolder.value_or(layout::Current().NativeRoot());
  if (!medium::IsReadableFolder(root)) {
    std::fprintf(stderr, "Ambrel: %s\n", qPrintable(medium::UnreadableMediumText(root)));
    return 2;
  }
  if (!medium::FileExists(layout::MediumLayout(root).ConfigPath())) {
    std::fprintf(stderr, "Ambrel: the folder %s holds no Data/config.txt: it is not a medium\n",
                 qPrintable(QDir::toNativeSeparators(root)));
    return 2;
  }
  return RunPreserveMedia({root}, outDir, masters, force);
}

int RunPreserveMedia(const QStringList& media, const QString& outDir, bool masters, bool force) {
  PreserveRequest request;
  request.outDir = outDir;
  request.masters = masters;
  request.force = force;
  ProgressLine line;
  PreserveProgressFn progress;
  if (line.Active()) progress = [&line](const PreserveProgress& p) { line.Show(p); };
  medium::Interruption interruption;
  const QHash<QString, QString> names = jobs::MediumFolderNames(media);
  int status = 0;
  int complete = 0;
  QStringList notBegun;
  for (const QString& root : media) {
    if (interruption.Interrupted()) {
      notBegun << QDir::toNativeSeparators(root);
      continue;
    }
    // Two media of one name (two copies of a disc, say) get bags of their own, named as the
    // export of the same shelf names its folders.
    request.bagName = names.value(root);
    BagSummary s = PreserveMedium(root, request, progress, interruption.CancelFlag());
    line.Clear();
    if (interruption.Interrupted() && s.status == BagSummary::Status::Cancelled) {
      s.interruption = interruption.SignalName();
    }
    std::fputs(qPrintable(FormatBagSummary(s)), stdout);
    std::fflush(stdout);
    complete += s.ExitCode() == 0 ? 1 : 0;
    status = std::max(status, s.status == BagSummary::Status::Refused ? 2 : s.ExitCode());
  }
  if (media.size() > 1) {
    if (!notBegun.isEmpty()) {
      std::fputs(
          qPrintable(QStringLiteral("Not begun: %1\n").arg(notBegun.join(QLatin1String(", ")))),
          stdout);
    }
    std::fputs(qPrintable(QStringLiteral("%1 of %2 media preserved completely in %3\n")
                              .arg(complete)
                              .arg(media.size())
                              .arg(QDir::toNativeSeparators(outDir))),
               stdout);
    std::fflush(stdout);
  }
  // The bag in the making is gone by now; the program ends as the signal would have ended it.
  interruption.EndLikeTheSignal();
  return status;
}

}  // namespace preserver
