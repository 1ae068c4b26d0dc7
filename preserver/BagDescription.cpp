// What the bag says of the medium: a technical description of every recording (ffprobe's), the
// checker's report and the presentations' titles, all read from the bag's own copy.
#include "preserver/BagWriter.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>

#include "checker/MediumCheck.h"
#include "medium/Report.h"
#include "presentation/ConfigReader.h"
#include "preserver/BagTree.h"

namespace preserver {

namespace {

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

}  // namespace

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

}  // namespace preserver
