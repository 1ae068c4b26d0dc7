#include "jobs/ToolRunner.h"

#include <QElapsedTimer>
#include <QStandardPaths>

#ifdef Q_OS_LINUX
#include <sys/prctl.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#endif

namespace jobs {

FfmpegTools FfmpegTools::FromPath() {
  FfmpegTools tools;
  const QString ffmpeg = QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
  const QString ffprobe = QStandardPaths::findExecutable(QStringLiteral("ffprobe"));
  if (!ffmpeg.isEmpty()) tools.ffmpeg = ffmpeg;
  if (!ffprobe.isEmpty()) tools.ffprobe = ffprobe;
  return tools;
}

QString ToolResult::LastWords() const {
  QString text = QString::fromLocal8Bit(errors).trimmed();
  if (text.size() > 600) text = QStringLiteral("...") + text.right(600);
  return text;
}

void EndWithParent(QProcess& process) {
#ifdef Q_OS_LINUX
  const pid_t parent = ::getpid();
  // Runs in the child between fork and exec: only calls a signal handler may make.
  process.setChildProcessModifier([parent] {
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    // The parent may have gone before the signal was asked for.
    if (::getppid() != parent) ::_exit(127);
  });
#else
  (void)process;
#endif
}

namespace {

// Hands every whole line of what arrived to the callback; keeps the unfinished rest.
void SplitLines(QByteArray& pending, const std::function<void(const QByteArray&)>& callback) {
  qsizetype from = 0;
  for (;;) {
    const qsizetype nl = pending.indexOf('\n', from);
    if (nl < 0) break;
    qsizetype end = nl;
    if (end > from && pending.at(end - 1) == '\r') --end;
    callback(pending.mid(from, end - from));
    from = nl + 1;
  }
  pending.remove(0, from);
}

}  // namespace

ToolResult RunTool(const QString& program, const QStringList& arguments,
                   const ToolOptions& options) {
  ToolResult result;
  QProcess process;
  EndWithParent(process);
  // The line callbacks want to hear of what arrives where they listen.
  if (options.errorLine && !options.outputLine) process.setReadChannel(QProcess::StandardError);
  process.start(program, arguments);
  if (!process.waitForStarted(10000)) return result;
  process.closeWriteChannel();

  QByteArray pendingOut;
  QByteArray pendingErr;
  auto drain = [&] {
    const QByteArray out = process.readAllStandardOutput();
    const QByteArray err = process.readAllStandardError();
    if (options.outputLine) {
      pendingOut += out;
      SplitLines(pendingOut, options.outputLine);
    } else {
      result.output += out;
    }
    if (options.errorLine) {
      pendingErr += err;
      SplitLines(pendingErr, options.errorLine);
    } else {
      result.errors += err;
      if (result.errors.size() > 4 * options.keptErrorBytes) {
        result.errors = result.errors.right(options.keptErrorBytes);
      }
    }
  };
  auto stop = [&](ToolResult::End end) {
    process.kill();
    process.waitForFinished(5000);
    result.end = end;
    return result;
  };
  QElapsedTimer clock;
  clock.start();
  while (process.state() != QProcess::NotRunning) {
    if (options.cancel && options.cancel->load()) return stop(ToolResult::End::Cancelled);
    if (options.timeoutMs >= 0 && clock.elapsed() > options.timeoutMs) {
      return stop(ToolResult::End::TimedOut);
    }
    process.waitForReadyRead(100);
    drain();
  }
  drain();
  // The rest of a last line without its line end.
  if (options.outputLine && !pendingOut.isEmpty()) options.outputLine(pendingOut);
  if (options.errorLine && !pendingErr.isEmpty()) options.errorLine(pendingErr);
  if (result.errors.size() > options.keptErrorBytes) {
    result.errors = result.errors.right(options.keptErrorBytes);
  }
  // A program that ended because it heard the same signal as we did counts as cancelled.
  if (options.cancel && options.cancel->load()) {
    result.end = ToolResult::End::Cancelled;
    return result;
  }
  result.end = process.exitStatus() == QProcess::NormalExit ? ToolResult::End::Exited
                                                            : ToolResult::End::Crashed;
  result.exitCode = process.exitCode();
  return result;
}

std::optional<double> ProgressSeconds(const QString& progressLine) {
  // out_time_ms carries microseconds as well, an old naming slip ffmpeg keeps.
  const QString line = progressLine.trimmed();
  const qsizetype eq = line.indexOf(u'=');
  if (eq < 0) return std::nullopt;
  const QStringView key = QStringView(line).left(eq);
  if (key != QLatin1String("out_time_us") && key != QLatin1String("out_time_ms")) {
    return std::nullopt;
  }
  bool ok = false;
  const double us = line.mid(eq + 1).toDouble(&ok);
  if (!ok) return std::nullopt;
  return us / 1e6;
}

std::optional<int> ProgressPercent(const QString& progressLine, double durationS) {
  if (progressLine.trimmed() == QLatin1String("progress=end")) return 100;
  const std::optional<double> seconds = ProgressSeconds(progressLine);
  if (!seconds || !(durationS > 0)) return std::nullopt;
  const double percent = std::floor(*seconds / durationS * 100.0);
  return static_cast<int>(std::clamp(percent, 0.0, 99.0));
}

}  // namespace jobs
