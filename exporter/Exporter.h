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

// Exports the medium. A set cancel flag stops at once: the presentation in the making is thrown
// away and no later one is begun.
ExportSummary ExportMedium(const layout::MediumLayout& medium, const ExportRequest& request,
                           ExportObserver* observer, const std::atomic<bool>* cancel = nullptr);

// The presentation folders that exist in outDir, in the medium's order, for its index.html.
QByteArray ListingPage(const std::vector<std::pair<QString, QString>>& namesAndFolders);

}  // namespace exporter
