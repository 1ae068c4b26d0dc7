#pragma once
// Preserving a medium as archives keep what they hold: a BagIt bag (RFC 8493) with every file
// of the medium byte for byte, SHA-512 manifests, the checker's report, a technical description
// of every recording and a log of what was done when; with masters, a lossless normalised copy
// of every recording whose losslessness is proved. The medium is read once and never written;
// everything after the copy reads the bag's own copy. A bag is filled under a temporary name and
// renamed when complete.

#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>
#include <optional>
#include <vector>

#include "jobs/ToolRunner.h"
#include "preserver/FileCopy.h"

namespace preserver {

struct PreserveRequest {
  QString outDir;        // the bag goes to outDir/<bagName>/
  QString bagName;       // empty: the medium's folder name
  bool masters = false;  // also the lossless masters and their proofs
  bool force = false;    // replace a bag of that name
  int threads = 2;       // for checking what was written
  jobs::FfmpegTools tools = jobs::FfmpegTools::FromPath();
  SourceOpener openSource = OpenLocalFile;
};

// Where the work stands, for a progress line or dialog.
struct PreserveProgress {
  enum class Phase { Copying, Describing, Mastering, Verifying };
  Phase phase = Phase::Copying;
  QString item;         // the file being copied, the recording being mastered
  qint64 itemDone = 0;  // bytes of the file; percent of the master
  qint64 itemTotal = 0;
  qint64 done = 0;  // bytes of the medium copied, bytes of the payload checked
  qint64 total = 0;
  int index = 0;  // masters: which one of how many
  int count = 0;
};
using PreserveProgressFn = std::function<void(const PreserveProgress&)>;

// A file of the medium that was not copied whole.
struct ReadError {
  QString file;  // relative to the medium's root, '/' separated
  QString message;
  std::vector<UnreadableRange> ranges;  // empty when nothing of it was copied
};

struct MasterOutcome {
  QString recording;  // relative to the medium's root
  QString master;     // relative to the bag
  bool proved = false;
  QString error;  // why it failed (the streams that differ among it)
  double durationS = 0;
  double seconds = 0;
  qint64 originalBytes = 0;
  qint64 masterBytes = 0;
};

struct BagSummary {
  // Refused: the request itself cannot be carried out (no medium, OUTDIR on the medium); Failed:
  // this bag could not be made (one of that name exists, the disk is full).
  enum class Status { Complete, Incomplete, Failed, Refused, Cancelled };
  Status status = Status::Failed;
  QString medium;        // native root of the medium
  QString bag;           // where the bag is (or would have been)
  QString error;         // Failed, Refused: why
  QString interruption;  // Cancelled by a signal: its name ("SIGINT")
  qint64 files = 0;
  qint64 bytes = 0;
  int recordings = 0;
  std::vector<ReadError> readErrors;
  std::vector<MasterOutcome> masters;
  QStringList notes;  // what was worth saying but harms nothing (a recording ffprobe refused)
  // Folders earlier runs left unfinished in OUTDIR, and what became of each (removed, put back,
  // left alone), one sentence each.
  QStringList leftovers;
  double copySeconds = 0;
  double seconds = 0;
  // 0 complete (and every master proved), 1 incomplete, failed, refused or cancelled.
  int ExitCode() const;
};

// Preserves the medium at mediumRoot (a native folder holding Data/config.txt). progress is
// called on this thread. A set cancel flag stops within a block or a fraction of a second; the
// bag in the making is removed.
BagSummary PreserveMedium(const QString& mediumRoot, const PreserveRequest& request,
                          const PreserveProgressFn& progress = {},
                          const std::atomic<bool>* cancel = nullptr);

// The lines the command prints for one bag.
QString FormatBagSummary(const BagSummary& summary);

// "Ambrel --preserve OUTDIR [--masters] [--force] [--medium DIR | DIR]": returns the exit code
// (0 every bag complete, 1 a bag incomplete or not made, 2 a usage error or a medium that cannot
// be read).
int RunPreserve(const std::optional<QString>& mediumFolder, const QString& outDir, bool masters,
                bool force);
// The same for several media (a library's): one bag each, in order; two media of one folder name
// get "<name>" and "<name>-2". A signal ends the bag in the making; the later ones are not begun.
int RunPreserveMedia(const QStringList& media, const QString& outDir, bool masters, bool force);

}  // namespace preserver
