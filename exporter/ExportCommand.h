#pragma once
// "Ambrel --export" on the terminal: one line per presentation with a moving percentage, then the
// summary; and the lines in which the export's outcome is told, on the terminal and in the
// launcher's window alike.

#include <QString>
#include <QStringList>
#include <cstdio>
#include <optional>

#include "exporter/Exporter.h"

namespace exporter {

// The command line's progress: on a terminal one line per presentation with its percentage
// written over itself; into a file or a pipe one plain line per presentation when it is done.
class ProgressLines : public ExportObserver {
 public:
  ProgressLines(std::FILE* out, bool terminal);
  void Started(int index, int count, const QString& folder, const QString& name) override;
  void Progress(int percent) override;
  void Finished(const PresentationOutcome& outcome) override;
  // The export stopped from outside: ends the line of the presentation in the making.
  void Stopped();

 private:
  void Show(const QString& state);
  void End(const QString& state);
  std::FILE* out_;
  bool terminal_;
  QString head_;
  int last_ = -1;
  int width_ = 0;
  bool open_ = false;
};

// One problem or note as the command line and the launcher list it under its presentation:
// "  file:line: note: message".
QString ProblemLine(const checker::Problem& problem);

// The report of a finished export, as the command line prints it after the progress lines.
QString FormatSummary(const ExportSummary& summary);

// "Ambrel --export": the medium (the --medium option, else the program's own folder), prints
// one line per presentation with a moving percentage, then the summary; returns the exit code.
// SIGINT, SIGTERM and SIGHUP cancel the export: the children stop, the folder in the making is
// removed, the summary says what was left undone, and the program ends by that signal.
int RunExport(const std::optional<QString>& mediumFolder, const QString& outDir, bool force,
              const QStringList& folders);
// The same for a request on one medium (each medium of a library in turn): the lines, the
// summary, the exit code; a usage error is said on stderr.
int RunExportRequest(const layout::MediumLayout& medium, const ExportRequest& request);

}  // namespace exporter
