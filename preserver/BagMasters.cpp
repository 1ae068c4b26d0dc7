// The masters step: a lossless master of every described recording, kept only when proved, and
// added to the payload with its digest.
#include "preserver/BagWriter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "preserver/Digest.h"
#include "preserver/Masters.h"

namespace preserver {

namespace {

QString FfmpegVersion(const jobs::FfmpegTools& tools) {
  const jobs::ToolResult run = jobs::RunTool(tools.ffmpeg, {QStringLiteral("-version")});
  const QString first = QString::fromUtf8(run.output).section(u'\n', 0, 0);
  const QStringList words = first.split(u' ');
  return words.size() >= 3 ? words[0] + u' ' + words[2] : QStringLiteral("ffmpeg");
}

}  // namespace

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

}  // namespace preserver
