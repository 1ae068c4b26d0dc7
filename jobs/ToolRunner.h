#pragma once
// Outside programs (ffmpeg, ffprobe) as our children: started with an argument list (no shell, so
// no name on the medium can be taken for an option or a command), stopped within a fraction of a
// second when the job is cancelled, and ended with us on Linux should we be killed outright (a
// parent-death signal), so that no transcoding goes on into a folder nobody will finish.

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>
#include <optional>

namespace jobs {

// Where ffmpeg and ffprobe are: found on PATH unless given (tests, other installs).
struct FfmpegTools {
  QString ffmpeg = QStringLiteral("ffmpeg");
  QString ffprobe = QStringLiteral("ffprobe");
  static FfmpegTools FromPath();
};

struct ToolOptions {
  // Looked at ten times a second while the program runs; once set, the program is killed.
  const std::atomic<bool>* cancel = nullptr;
  // Each whole line of standard output or standard error as it comes (without its line end).
  // A channel with a callback is not kept in the result.
  std::function<void(const QByteArray& line)> outputLine;
  std::function<void(const QByteArray& line)> errorLine;
  // Killed after this long; -1: never.
  int timeoutMs = -1;
  // How much of the end of standard error the result keeps, for saying why a program failed.
  int keptErrorBytes = 16384;
};

struct ToolResult {
  enum class End { NotStarted, Exited, Crashed, Cancelled, TimedOut };
  End end = End::NotStarted;
  int exitCode = -1;
  QByteArray output;  // all of standard output, unless it went to a callback
  QByteArray errors;  // the end of standard error, unless it went to a callback
  bool Ok() const { return end == End::Exited && exitCode == 0; }
  // The end of standard error, trimmed to a few hundred characters, for a report.
  QString LastWords() const;
};

// Runs program with arguments to its end (or to a cancel or the timeout) and waits for it.
// The program must be waited for in the thread that started it: on Linux the parent-death signal
// follows that thread.
ToolResult RunTool(const QString& program, const QStringList& arguments,
                   const ToolOptions& options = {});

// Makes a process started later end with the thread that starts it (Linux; elsewhere nothing).
void EndWithParent(QProcess& process);

// ffmpeg's "-progress" lines, a key=value a line.
// The time one line of "-progress" output gives (out_time_us, in seconds); nothing otherwise.
std::optional<double> ProgressSeconds(const QString& progressLine);

// The percentage 0..100 done from one "-progress" block's out_time (microseconds) and the
// duration; nothing when the line carries no time.
std::optional<int> ProgressPercent(const QString& progressLine, double durationS);

}  // namespace jobs
