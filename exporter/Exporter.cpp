#include "exporter/Exporter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QSaveFile>
#include <QSet>
#include <algorithm>
#include <cstdio>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

#include "exporter/PresentationContent.h"
#include "jobs/OutputFolder.h"
#include "jobs/StagingFolder.h"
#include "jobs/TerminalLine.h"
#include "medium/Interruption.h"
#include "medium/Paths.h"
#include "medium/Report.h"
#include "presentation/ConfigReader.h"
#include "presentation/MediumFolder.h"
#include "presentation/MediumLayout.h"

namespace exporter {

namespace {

bool WriteFile(const QString& path, const QByteArray& bytes, QString* error) {
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
    *error = QStringLiteral("cannot write %1: %2")
                 .arg(QDir::toNativeSeparators(path), file.errorString());
    return false;
  }
  return true;
}

constexpr QFileDevice::Permissions kFilePermissions =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
    QFileDevice::ReadOther;

struct Context {
  const layout::MediumLayout& medium;
  const ExportRequest& request;
  ExportObserver* observer;
  const std::atomic<bool>* cancel;
  QString mediumRoot;  // canonical
  QString outDir;      // canonical
};

class Export {
 public:
  Export(const Context& ctx, PresentationOutcome& outcome) : ctx_(ctx), outcome_(outcome) {}

  // False when the export was cancelled.
  bool Run();

 private:
  void Problem(const QString& file, const QString& message) {
    outcome_.problems.push_back(checker::Problem{file, 0, message});
  }
  bool Write(const QString& relative, const QByteArray& bytes);
  bool Cancelled() const { return ctx_.cancel && ctx_.cancel->load(); }
  void CopyPictures(const PresentationContent& content, bool audioOnly);

  const Context& ctx_;
  PresentationOutcome& outcome_;
  QString dir_;  // the temporary folder being filled
};

bool Export::Write(const QString& relative, const QByteArray& bytes) {
  QString error;
  const QString path = dir_ + u'/' + relative;
  if (!WriteFile(path, bytes, &error)) {
    Problem(QDir::toNativeSeparators(path), error);
    return false;
  }
  QFile::setPermissions(path, kFilePermissions);
  return true;
}

void Export::CopyPictures(const PresentationContent& content, bool audioOnly) {
  for (const PackageFile& file : PictureFiles(content, audioOnly)) {
    // A picture found only under another case is copied under the name the timeline gives; one
    // that is missing is named by the checker already.
    const medium::Resolved found = medium::Resolve(file.source);
    if (!found.exists || !QFileInfo(found.path).isFile()) continue;
    const QString target = dir_ + u'/' + file.target;
    QDir().mkpath(QFileInfo(target).path());
    if (!QFile::copy(found.path, target)) {
      Problem(ctx_.medium.Relative(file.source),
              QStringLiteral("cannot copy to %1").arg(QDir::toNativeSeparators(target)));
      continue;
    }
    QFile::setPermissions(target, kFilePermissions);
  }
}

bool Export::Run() {
  const QString folder = outcome_.folder;
  if (!jobs::IsPlainFolderName(folder)) {
    Problem(QStringLiteral("Data/config.txt"),
            QStringLiteral("the folder name \"%1\" cannot be a folder of the package: not exported")
                .arg(folder));
    return true;
  }
  const QString target = ctx_.outDir + u'/' + folder;
  const QFileInfo existing(target);
  if (existing.exists() || existing.isSymLink()) {
    const QString why = jobs::ReplaceReason(target, ctx_.mediumRoot, ctx_.request.force);
    if (!why.isEmpty()) {
      Problem(QDir::toNativeSeparators(target), why);
      return true;
    }
  }

  const PresentationContent content = ReadPresentationContent(ctx_.medium, outcome_.name, folder);
  if (content.recording.isEmpty()) {
    Problem(ctx_.medium.Relative(ctx_.medium.MediaFolderPath(folder)),
            QStringLiteral("no media.wma, media.wmv or media.rm: nothing to play, not exported"));
    return true;
  }
  const QString input = medium::OpenablePath(content.recording);
  // The recording is read once here to its packets, which tells where it is cut short or where
  // pictures are missing, and once by ffmpeg, which decodes it and says where it cannot: the
  // checker's full reading would only decode it a second time.
  checker::RecordingReading reading =
      checker::ReadRecording(input, {}, ctx_.cancel, checker::ReadDepth::Packets);
  if (Cancelled()) return false;
  auto recordingProblems = [&] {
    for (const QString& damage : checker::DescribeDamage(reading)) {
      outcome_.problems.push_back(checker::RecordingProblem(ctx_.medium, content.recording,
                                                            content.recordingPlayer, damage));
    }
  };
  if (!reading.openError.isEmpty()) {
    outcome_.problems.push_back(
        checker::RecordingProblem(ctx_.medium, content.recording, content.recordingPlayer,
                                  reading.openError + QStringLiteral(": not exported")));
    return true;
  }
  QString error;
  const std::optional<MediaInfo> info = ProbeMedia(ctx_.request.tools, input, &error, ctx_.cancel);
  if (Cancelled()) return false;
  if (!info) {
    recordingProblems();
    Problem(ctx_.medium.Relative(content.recording), error + QStringLiteral(": not exported"));
    return true;
  }

  jobs::StagingFolder staging(ctx_.outDir, folder, QStringLiteral("export"));
  if (!staging.IsValid()) {
    Problem(QDir::toNativeSeparators(ctx_.outDir),
            QStringLiteral("cannot make a folder here: %1").arg(staging.ErrorString()));
    return true;
  }
  dir_ = staging.Path();

  const bool audioOnly = !info->hasVideo;
  CopyPictures(content, audioOnly);

  // Without a duration from the container the last cue runs a little past the last moment.
  double endMs = info->durationS * 1000.0;
  if (!(endMs > 0)) {
    for (int k = 1; k <= content.slides.Slides.Count(); ++k)
      endMs = std::max(endMs, content.slides.Slides.Item(k).SlideTime + 10000.0);
    for (int k = 1; k <= content.trans.Trans.Count(); ++k)
      endMs = std::max(endMs, content.trans.Trans.Item(k).TranTime + 10000.0);
  }
  const RecordingOutput recording{OutputFileName(*info), *info};
  bool ok = true;
  if (!content.slides.Slides.IsEmpty()) {
    ok = Write(QStringLiteral("chapters.vtt"), ChaptersVtt(content, endMs)) && ok;
  }
  if (!content.trans.Trans.IsEmpty()) {
    for (size_t i = 0; i < content.languages.size(); ++i) {
      ok =
          Write(content.languages[i].vttFile, TranscriptVtt(content, static_cast<int>(i), endMs)) &&
          ok;
    }
  }
  ok = Write(QStringLiteral("data.js"), PageDataScript(PageData(content, recording))) && ok;
  ok = Write(QStringLiteral("data.json"),
             QJsonDocument(PaellaManifest(content, recording)).toJson(QJsonDocument::Indented)) &&
       ok;
  ok = Write(QStringLiteral("index.html"), PresentationPage(content, recording)) && ok;
  ok = Write(QStringLiteral("page.js"), PageResource(QStringLiteral("page.js"))) && ok;
  ok = Write(QStringLiteral("page.css"), PageResource(QStringLiteral("page.css"))) && ok;
  if (!ok) return true;

  if (ctx_.observer) ctx_.observer->Progress(0);
  const QString output = dir_ + u'/' + recording.file;
  const TranscodeResult result = Transcode(
      ctx_.request.tools, input, output, *info,
      [&](int percent) {
        if (ctx_.observer) ctx_.observer->Progress(percent);
      },
      ctx_.cancel);
  if (result.cancelled) return false;
  for (const checker::Stretch& s : result.damaged) {
    // Where the recording is cut short, ffmpeg stumbles on the cut itself, which is named apart.
    if (reading.EndsEarly() && s.to >= reading.readSeconds - 1.0) continue;
    checker::AddDamage(reading.damaged, s.from, s.to);
  }
  recordingProblems();
  if (!result.ok) {
    Problem(ctx_.medium.Relative(content.recording),
            result.error + QStringLiteral(": not exported"));
    return true;
  }
  QFile::setPermissions(output, kFilePermissions);
  if (Cancelled()) return false;
  if (!staging.PutInPlace(&error)) {
    Problem(QDir::toNativeSeparators(target), error);
    return true;
  }
  outcome_.exported = true;
  outcome_.mediaFile = recording.file;
  return true;
}

}  // namespace

namespace {

size_t CountOf(const std::vector<checker::Problem>& list, checker::Severity severity) {
  return static_cast<size_t>(std::count_if(list.begin(), list.end(),
                                           [&](const auto& p) { return p.severity == severity; }));
}

}  // namespace

int ExportSummary::ExitCode() const {
  switch (status) {
    case Status::UsageError:
    case Status::UnreadableMedium:
      return 2;
    case Status::Cancelled:
      return 1;
    case Status::Done:
      break;
  }
  // Notes are notes here too: what plays as it should never fails an export.
  if (ProblemCount() > 0) return 1;
  for (const auto& p : presentations) {
    if (!p.exported) return 1;
  }
  return 0;
}

int ExportSummary::ProblemCount() const {
  size_t n = CountOf(problems, checker::Severity::Problem);
  for (const auto& p : presentations) n += CountOf(p.problems, checker::Severity::Problem);
  return static_cast<int>(n);
}

int ExportSummary::NoteCount() const {
  size_t n = CountOf(problems, checker::Severity::Note);
  for (const auto& p : presentations) n += CountOf(p.problems, checker::Severity::Note);
  return static_cast<int>(n);
}

QByteArray ListingPage(const std::vector<std::pair<QString, QString>>& namesAndFolders) {
  QString items;
  for (const auto& [name, folder] : namesAndFolders) {
    items += QStringLiteral(
                 "  <li><a href=\"%1/index.html\">%2</a><span class=\"folder\">%3</span></li>\n")
                 .arg(HtmlEscape(RelativeUrl(folder)), HtmlEscape(name.isEmpty() ? folder : name),
                      HtmlEscape(folder));
  }
  const QString page = QString::fromUtf8(PageResource(QStringLiteral("list.html")));
  return FillTemplate(page, {{QStringLiteral("ITEMS"), items}}).toUtf8();
}

ExportSummary ExportMedium(const layout::MediumLayout& medium, const ExportRequest& request,
                           ExportObserver* observer, const std::atomic<bool>* cancel) {
  ExportSummary summary;
  auto fail = [&](ExportSummary::Status status, const QString& error) {
    summary.status = status;
    summary.error = error;
    return summary;
  };
  if (request.outDir.isEmpty()) {
    return fail(ExportSummary::Status::UsageError,
                QStringLiteral("no output folder given: --export OUTDIR"));
  }
  const QString root = medium.NativeRoot();
  if (!medium::IsReadableFolder(root)) {
    return fail(ExportSummary::Status::UnreadableMedium, medium::UnreadableMediumText(root));
  }
  if (!medium::FileExists(medium.ConfigPath())) {
    return fail(ExportSummary::Status::UnreadableMedium,
                QStringLiteral("The medium folder %1 holds no Data/config.txt: no presentation "
                               "can be read from it.")
                    .arg(QDir::toNativeSeparators(root)));
  }
  Context ctx{medium, request, observer, cancel, QFileInfo(root).canonicalFilePath(), {}};

  medium::SilentReporter reporter;
  const PresArr_cls list = launcher::ReadPresentationList(medium, reporter);

  // Which presentations, in the medium's order; a folder the medium does not list is a mistake
  // of the command, found before anything is written.
  std::vector<int> selected;
  QSet<QString> taken;
  for (const QString& wanted : request.folders) {
    bool found = false;
    for (int k = 1; k <= list.arr.Count() && !found; ++k) {
      found = list.arr.Item(k).PresDir.compare(wanted, Qt::CaseInsensitive) == 0;
    }
    if (!found) {
      return fail(ExportSummary::Status::UsageError,
                  QStringLiteral("%1 is not a presentation folder of the medium (Data/config.txt "
                                 "does not list it)")
                      .arg(wanted));
    }
  }
  for (int k = 1; k <= list.arr.Count(); ++k) {
    const QString& dir = list.arr.Item(k).PresDir;
    if (taken.contains(dir)) continue;
    bool wanted = request.folders.isEmpty();
    for (const QString& f : request.folders)
      wanted = wanted || f.compare(dir, Qt::CaseInsensitive) == 0;
    if (!wanted) continue;
    taken.insert(dir);
    selected.push_back(k);
  }

  const QString out = jobs::ResolvedAbsolute(request.outDir);
  const QString onMedium = jobs::OnMediumReason(out, ctx.mediumRoot);
  if (!onMedium.isEmpty()) return fail(ExportSummary::Status::UsageError, onMedium);
  QString error;
  ctx.outDir = jobs::MakeOutputFolder(out, &error);
  if (ctx.outDir.isEmpty()) return fail(ExportSummary::Status::UsageError, error);
  summary.outDir = ctx.outDir;

  // The checker's problems, by presentation: it reads the same list in the same order.
  // The checker reads only what the export does not: the presentations not exported are left
  // out, and so is each recording the export transcodes (it is read while it is transcoded).
  checker::CheckOptions checkOptions;
  checkOptions.cancel = cancel;
  for (const int k : selected) {
    const QString& dir = list.arr.Item(k).PresDir;
    checkOptions.folders << dir;
    if (jobs::IsPlainFolderName(dir)) {
      const QString recording = ChooseRecording(medium, dir);
      if (!recording.isEmpty()) checkOptions.recordingsReadElsewhere << recording;
    }
  }
  const checker::CheckResult check = checker::CheckMedium(medium, checkOptions);
  for (const checker::Problem& p : check.problems) {
    if (p.file.compare(medium.Relative(medium.ConfigPath()), Qt::CaseInsensitive) == 0) {
      summary.problems.push_back(p);
    }
  }

  const int count = static_cast<int>(selected.size());
  for (int i = 0; i < count; ++i) {
    const int k = selected[static_cast<size_t>(i)];
    PresentationOutcome outcome;
    outcome.name = list.arr.Item(k).PresName;
    outcome.folder = list.arr.Item(k).PresDir;
    if (k - 1 < static_cast<int>(check.presentations.size())) {
      outcome.problems = check.presentations[static_cast<size_t>(k - 1)].problems;
    }
    if (cancel && cancel->load()) {
      summary.status = ExportSummary::Status::Cancelled;
      for (int j = i; j < count; ++j)
        summary.notBegun << list.arr.Item(selected[static_cast<size_t>(j)]).PresDir;
      break;
    }
    if (observer) observer->Started(i + 1, count, outcome.folder, outcome.name);
    Export one(ctx, outcome);
    if (!one.Run()) {
      summary.status = ExportSummary::Status::Cancelled;
      summary.abandoned = outcome.folder;
      for (int j = i + 1; j < count; ++j)
        summary.notBegun << list.arr.Item(selected[static_cast<size_t>(j)]).PresDir;
      break;
    }
    if (observer) observer->Finished(outcome);
    summary.presentations.push_back(std::move(outcome));
  }

  // The list covers every presentation of the medium that OUTDIR holds, from this export or an
  // earlier one.
  std::vector<std::pair<QString, QString>> listed;
  QSet<QString> seen;
  for (int k = 1; k <= list.arr.Count(); ++k) {
    const Pres_cls& p = list.arr.Item(k);
    if (!jobs::IsPlainFolderName(p.PresDir) || seen.contains(p.PresDir)) continue;
    if (!QFileInfo::exists(ctx.outDir + u'/' + p.PresDir + QStringLiteral("/index.html"))) continue;
    seen.insert(p.PresDir);
    listed.emplace_back(p.PresName, p.PresDir);
  }
  const QString index = ctx.outDir + QStringLiteral("/index.html");
  if (!WriteFile(index, ListingPage(listed), &error)) {
    summary.problems.push_back(checker::Problem{QDir::toNativeSeparators(index), 0, error});
  } else {
    QFile::setPermissions(index, kFilePermissions);
  }
  return summary;
}

}  // namespace exporter
