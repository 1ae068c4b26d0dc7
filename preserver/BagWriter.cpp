#include "preserver/BagWriter.h"

#include <sys/stat.h>
#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>

#include "preserver/BagFormat.h"
#include "preserver/BagTree.h"
#include "preserver/BagVerifier.h"
#include "preserver/Digest.h"
#include "preserver/ManifestLine.h"

namespace preserver {

namespace {

QString Now() {
  return QDateTime::currentDateTimeUtc().toString(Qt::ISODate);
}

}  // namespace

void EventLog::Add(const QString& type, const QString& object, const QString& outcome,
                   const QString& detail, const QString& agent) {
  rows_ += CsvRow({Now(), type, object, outcome, detail, agent});
}

QByteArray EventLog::Csv() const {
  return CsvRow({QStringLiteral("eventDateTime"), QStringLiteral("eventType"),
                 QStringLiteral("object"), QStringLiteral("eventOutcome"),
                 QStringLiteral("eventDetail"), QStringLiteral("agent")}) +
         rows_;
}

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

}  // namespace preserver
