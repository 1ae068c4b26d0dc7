#pragma once
// Exporting a medium to an open web package: every presentation (or the ones named) into
// OUTDIR/<folder>/ with its recording in MP4 or M4A, its pictures, WebVTT chapters and
// transcripts, a page that plays it in any browser and a Paella Player manifest; OUTDIR/index.html
// lists them. The medium is only read, nothing is written outside OUTDIR, and a presentation
// folder appears under its own name only once it is complete.

#include <QString>
#include <QStringList>
#include <atomic>
#include <cstdio>
#include <optional>
#include <vector>

#include "checker/MediumCheck.h"
#include "exporter/Transcoder.h"

namespace exporter {

struct ExportRequest {
  QString outDir;       // native path; created when missing
  bool force = false;   // replace presentation folders that exist already
  QStringList folders;  // only these presentation folders; empty: all of config.txt
  jobs::FfmpegTools tools = jobs::FfmpegTools::FromPath();
};

struct PresentationOutcome {
  QString name;
  QString folder;
  bool exported = false;
  QString mediaFile;                       // media.mp4 or media.m4a when exported
  std::vector<checker::Problem> problems;  // as the checker names them, then the export's own
};

struct ExportSummary {
  enum class Status { Done, UsageError, UnreadableMedium, Cancelled };
  Status status = Status::Done;
  QString error;                           // the reason for UsageError / UnreadableMedium
  std::vector<checker::Problem> problems;  // of the medium as a whole (its config.txt)
  std::vector<PresentationOutcome> presentations;
  QString outDir;  // absolute
  // When cancelled: the presentation whose folder was in the making and thrown away (empty when
  // the cancel fell between two), and the ones never begun.
  QString abandoned;
  QStringList notBegun;
  // When cancelled by a signal: its name ("SIGINT"), for the summary.
  QString interruption;
  // 0 every presentation exported without a problem (notes alone included), 1 some had
  // problems, 2 usage error or a medium that cannot be read. A cancelled export counts as having
  // problems.
  int ExitCode() const;
  int ProblemCount() const;  // entries of severity Problem
  int NoteCount() const;
};

// What an export tells while it runs; every call comes from the exporting thread.
class ExportObserver {
 public:
  virtual ~ExportObserver() = default;
  virtual void Started(int index, int count, const QString& folder, const QString& name) = 0;
  virtual void Progress(int percent) = 0;
  virtual void Finished(const PresentationOutcome& outcome) = 0;
};

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

// Exports the medium. A set cancel flag stops at once: the presentation in the making is thrown
// away and no later one is begun.
ExportSummary ExportMedium(const layout::MediumLayout& medium, const ExportRequest& request,
                           ExportObserver* observer, const std::atomic<bool>* cancel = nullptr);

// The presentation folders that exist in outDir, in the medium's order, for its index.html.
QByteArray ListingPage(const std::vector<std::pair<QString, QString>>& namesAndFolders);

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
