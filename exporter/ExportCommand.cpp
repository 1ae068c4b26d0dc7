#include "exporter/ExportCommand.h"

#include <QDir>
#include <algorithm>
#include <cstdio>

#include "jobs/TerminalLine.h"
#include "medium/Interruption.h"
#include "presentation/MediumFolder.h"

// "Ambrel --export" on the terminal, and the lines by which the export tells what it did.

namespace exporter {

QString ProblemLine(const checker::Problem& p) {
  QString line = QStringLiteral("  ") + p.file;
  if (p.line > 0) line += QStringLiteral(":%1").arg(p.line);
  return line + QStringLiteral(": ") +
         (p.severity == checker::Severity::Note ? QStringLiteral("note: ") : QString()) + p.message;
}

ProgressLines::ProgressLines(std::FILE* out, bool terminal) : out_(out), terminal_(terminal) {}

void ProgressLines::Started(int index, int count, const QString& folder, const QString&) {
  head_ = QStringLiteral("[%1/%2] %3").arg(index).arg(count).arg(folder);
  last_ = -1;
  open_ = true;
  if (terminal_) Show(QStringLiteral("..."));
}

void ProgressLines::Progress(int percent) {
  if (!terminal_ || percent == last_) return;
  last_ = percent;
  Show(QStringLiteral("%1%").arg(percent, 3));
}

void ProgressLines::Finished(const PresentationOutcome& outcome) {
  End(outcome.exported ? QStringLiteral("exported (%1)").arg(outcome.mediaFile)
                       : QStringLiteral("not exported"));
  for (const auto& p : outcome.problems) {
    std::fputs(qPrintable(ProblemLine(p) + u'\n'), out_);
  }
  std::fflush(out_);
}

void ProgressLines::Stopped() {
  if (open_) End(QStringLiteral("interrupted"));
}

void ProgressLines::Show(const QString& state) {
  const QString line = head_ + QStringLiteral(": ") + state;
  const int pad = std::max(0, width_ - static_cast<int>(line.size()));
  width_ = static_cast<int>(line.size());
  std::fputs(qPrintable(u'\r' + line + QString(pad, u' ')), out_);
  std::fflush(out_);
}

void ProgressLines::End(const QString& state) {
  if (terminal_) {
    Show(state);
    std::fputc('\n', out_);
  } else {
    std::fputs(qPrintable(head_ + QStringLiteral(": ") + state + u'\n'), out_);
  }
  std::fflush(out_);
  open_ = false;
  width_ = 0;
}

QString FormatSummary(const ExportSummary& summary) {
  QString out;
  for (const auto& p : summary.problems) out += ProblemLine(p) + u'\n';
  int exported = 0;
  for (const auto& p : summary.presentations) exported += p.exported ? 1 : 0;
  const int total = static_cast<int>(summary.presentations.size());
  const QString where = QDir::toNativeSeparators(summary.outDir);
  if (summary.status == ExportSummary::Status::Cancelled) {
    const int all =
        total + (summary.abandoned.isEmpty() ? 0 : 1) + static_cast<int>(summary.notBegun.size());
    out += (summary.interruption.isEmpty()
                ? QStringLiteral("Cancelled")
                : QStringLiteral("Interrupted by %1").arg(summary.interruption)) +
           QStringLiteral(": %1 of %2 %3 exported to %4.\n")
               .arg(exported)
               .arg(all)
               .arg(all == 1 ? QStringLiteral("presentation") : QStringLiteral("presentations"),
                    where);
    if (!summary.abandoned.isEmpty()) {
      out += QStringLiteral("  %1: not finished; its temporary folder was removed.\n")
                 .arg(summary.abandoned);
    }
    if (!summary.notBegun.isEmpty()) {
      out += QStringLiteral("  Not begun: %1.\n").arg(summary.notBegun.join(QStringLiteral(", ")));
    }
    return out;
  }
  out += QStringLiteral("%1 of %2 %3 exported to %4")
             .arg(exported)
             .arg(total)
             .arg(total == 1 ? QStringLiteral("presentation") : QStringLiteral("presentations"),
                  where);
  const int n = summary.ProblemCount();
  out += n == 0 ? QStringLiteral("; no problems")
                : QStringLiteral("; %1 %2").arg(n).arg(n == 1 ? QStringLiteral("problem")
                                                              : QStringLiteral("problems"));
  // Notes are counted apart, as the checker counts them.
  const int notes = summary.NoteCount();
  if (notes > 0) {
    out += QStringLiteral(", %1 %2").arg(notes).arg(notes == 1 ? QStringLiteral("note")
                                                               : QStringLiteral("notes"));
  }
  return out + QStringLiteral(".\n");
}

int RunExport(const std::optional<QString>& mediumFolder, const QString& outDir, bool force,
              const QStringList& folders) {
  if (mediumFolder && !medium::IsReadableFolder(*mediumFolder)) {
    std::fprintf(stderr, "Ambrel: %s\n", qPrintable(medium::UnreadableMediumText(*mediumFolder)));
    return 2;
  }
  const layout::MediumLayout medium =
      mediumFolder ? layout::MediumLayout(*mediumFolder) : layout::Current();
  for (const QString& f : folders) {
    if (f.startsWith(u'-')) {
      std::fprintf(stderr, "Ambrel: unknown option %s for --export\n", qPrintable(f));
      return 2;
    }
  }
  ExportRequest request;
  request.outDir = outDir;
  request.force = force;
  request.folders = folders;
  return RunExportRequest(medium, request);
}

int RunExportRequest(const layout::MediumLayout& medium, const ExportRequest& request) {
  ProgressLines observer(stdout, jobs::IsTerminal(stdout));
  medium::Interruption interruption;
  ExportSummary summary = ExportMedium(medium, request, &observer, interruption.CancelFlag());
  if (summary.status == ExportSummary::Status::UsageError ||
      summary.status == ExportSummary::Status::UnreadableMedium) {
    std::fprintf(stderr, "Ambrel: %s\n", qPrintable(summary.error));
    return 2;
  }
  if (interruption.Interrupted()) {
    summary.status = ExportSummary::Status::Cancelled;
    summary.interruption = interruption.SignalName();
    observer.Stopped();
  }
  std::fputs(qPrintable(FormatSummary(summary)), stdout);
  std::fflush(stdout);
  // The folder in the making is gone by now; the program ends as the signal would have ended it.
  interruption.EndLikeTheSignal();
  return summary.ExitCode();
}

}  // namespace exporter
