#include "preserver/PreserveCommand.h"

#include <QDir>
#include <QHash>

#include <algorithm>
#include <cstdio>

#include "jobs/OutputFolder.h"
#include "jobs/TerminalLine.h"
#include "medium/Interruption.h"
#include "medium/Paths.h"
#include "presentation/MediumFolder.h"
#include "presentation/MediumLayout.h"
#include "preserver/BagFormat.h"

namespace preserver {

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
