// Latency of the real media engine, headless and timed as in the players, for each format the
// two builds play: from OpenMedia + Play to the first valid position, and from a seek while
// playing to the engine's seekFinished signal, forward and back across the recording.
//
//   bench_media [--runs N] [--seconds S] [--recordings FOLDER] [--ffmpeg PROGRAM]
//
// Without --recordings the recordings (media.wma, media.wmv, media.rm) are made with ffmpeg in a
// temporary folder, S seconds long (default 30). Exits 1 when a recording fails to open, a seek
// never finishes or lands far from its target; 2 when the recordings cannot be made.

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

#include "medium/Error.h"
#include "medium/Paths.h"
#include "player/media/EngineControl.h"
#include "player/media/EngineFactory.h"
#include "player/media/MediaEngine.h"

namespace {

constexpr int kOpenTimeoutMs = 10000;
constexpr int kSeekTimeoutMs = 5000;
// Playing time after the start and between seeks, so that every seek is made during steady
// playback and no late event of the previous one is taken for the next.
constexpr int kSettleMs = 300;
// A seek counts as landed when the position right after it is at most kEarlyMs before the
// target (an exact seek never lands early; one to the previous key frame would land up to half a
// second early) and at most kLateMs plus the time since the signal after it.
constexpr double kEarlyMs = 50;
constexpr double kLateMs = 150;

struct Format {
  const char* file;
  PlayerBuild kind;
  const char* what;
};

const Format kFormats[] = {
    {"media.wma", PlayerBuild::Tavisco, "WMA 2 sound"},
    {"media.wmv", PlayerBuild::Tavisco, "WMV 2 picture, WMA 2 sound"},
    {"media.rm", PlayerBuild::Norvanta, "RealVideo 2 picture, AC-3 sound"},
};

// Where to seek, as fractions of the playable length, alternately forward and back from the
// previous target; the first is forward of the position a second into playback.
const double kSeekFractions[] = {0.5, 0.1, 0.9, 0.3, 0.7, 0.0, 1.0, 0.4, 0.8, 0.2};

struct Samples {
  std::vector<double> open;      // OpenMedia + Play -> first GetPositionMs() >= 0
  std::vector<double> opened;    // OpenMedia + Play -> the opened signal
  std::vector<double> started;   // OpenMedia + Play -> the first seekFinished (playback begins)
  std::vector<double> forward;   // SeekMs -> seekFinished, target after the position
  std::vector<double> backward;  // SeekMs -> seekFinished, target before the position
  int failures = 0;
  int strayFinishes = 0;  // seekFinished signals while no seek was outstanding
};

double Ms(qint64 nanoseconds) {
  return static_cast<double>(nanoseconds) / 1e6;
}

// Runs the event loop until done() holds or the time is up, checking after every wake-up of the
// core and at least every millisecond. Returns whether done() held.
bool RunUntil(const std::function<bool()>& done, int timeoutMs) {
  if (done()) return true;
  QEventLoop loop;
  QTimer poll;
  poll.setTimerType(Qt::PreciseTimer);
  poll.setInterval(1);
  QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
    if (done()) loop.quit();
  });
  QTimer deadline;
  deadline.setSingleShot(true);
  QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
  poll.start();
  deadline.start(timeoutMs);
  loop.exec();
  return done();
}

void Pump(int ms) {
  QElapsedTimer clock;
  clock.start();
  RunUntil([&] { return clock.elapsed() >= ms; }, ms + 1000);
}

bool RunFfmpeg(const QString& ffmpeg, const QStringList& arguments) {
  QProcess process;
  process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  process.start(ffmpeg, QStringList{"-hide_banner", "-loglevel", "error", "-y"} + arguments);
  return process.waitForFinished(120000) && process.exitStatus() == QProcess::NormalExit &&
         process.exitCode() == 0;
}

// The same recordings the engine tests play, only longer.
bool MakeRecordings(const QString& ffmpeg, const QString& folder, int seconds) {
  const QString length = QString::number(seconds);
  const QStringList picture = {"-f", "lavfi", "-i",
                               "testsrc=size=320x240:rate=25:duration=" + length};
  const QStringList tone = {"-f", "lavfi", "-i", "sine=frequency=440:duration=" + length};
  const QString out = folder + '/';
  return RunFfmpeg(ffmpeg, tone + QStringList{"-c:a", "wmav2", "-b:a", "64k", "-f", "asf",
                                              out + "media.wma"}) &&
         RunFfmpeg(ffmpeg, picture + tone +
                               QStringList{"-c:v", "wmv2", "-b:v", "600k", "-c:a", "wmav2", "-b:a",
                                           "64k", "-f", "asf", out + "media.wmv"}) &&
         // AC-3 sound: this ffmpeg stamps every RealAudio 1.0 packet with time 0.
         RunFfmpeg(ffmpeg, picture + tone +
                               QStringList{"-c:v", "rv20", "-b:v", "600k", "-c:a", "ac3", "-b:a",
                                           "64k", "-f", "rm", out + "media.rm"});
}

// One engine, new for the run: open and play, then the seeks while playing.
void MeasureRun(const Format& format, const QString& mediumPath, int run, Samples& samples) {
  // Declared before the engine, which reports into them until it is gone.
  QElapsedTimer clock;
  qint64 openedAt = -1;
  qint64 finishedAt = -1;
  qint64 startedAt = -1;
  qint64 firstPositionAt = -1;
  int finishes = 0;
  bool failed = false;
  QWidget window;
  std::unique_ptr<MediaEngine> engine = CreateEngine(format.kind, &window, {true, false});
  auto* control = qobject_cast<EngineControl*>(engine->Widget());
  if (!control) {
    std::fprintf(stderr, "%s: the engine has no control\n", format.file);
    ++samples.failures;
    return;
  }
  QObject::connect(control, &EngineControl::opened, [&] { openedAt = clock.nsecsElapsed(); });
  QObject::connect(control, &EngineControl::seekFinished, [&] {
    finishedAt = clock.nsecsElapsed();
    if (startedAt < 0) startedAt = finishedAt;
    ++finishes;
  });
  QObject::connect(control, &EngineControl::failed, [&](const QString& message) {
    std::fprintf(stderr, "%s: %s\n", format.file, qPrintable(message));
    failed = true;
  });

  auto positionKnown = [&] {
    if (firstPositionAt < 0 && engine->GetPositionMs() >= 0) firstPositionAt = clock.nsecsElapsed();
    return firstPositionAt >= 0 || failed;
  };
  // The position is asked for whenever the core reports something, not only at the polls.
  const QMetaObject::Connection onOpened =
      QObject::connect(control, &EngineControl::opened, positionKnown);
  const QMetaObject::Connection onPosition =
      QObject::connect(control->Core(), &MpvCore::positionChanged, positionKnown);
  try {
    clock.start();
    engine->OpenMedia(mediumPath);
    engine->Play();
    RunUntil(positionKnown, kOpenTimeoutMs);
  } catch (const medium::AppError& error) {
    std::fprintf(stderr, "%s: %s\n", format.file, qPrintable(error.description()));
    failed = true;
  }
  QObject::disconnect(onOpened);
  QObject::disconnect(onPosition);
  if (firstPositionAt < 0 || failed) {
    std::fprintf(stderr, "%s, run %d: no position (failed, or none within %d ms)\n", format.file,
                 run + 1, kOpenTimeoutMs);
    ++samples.failures;
    return;
  }

  // Playback starts with a restart of its own; seeks are timed only after it. A file cut off
  // after its header has a position for a moment before it fails; it counts only as a failure.
  if (!RunUntil([&] { return finishes > 0 || failed; }, kSeekTimeoutMs) || failed) {
    std::fprintf(stderr, "%s, run %d: playback did not start\n", format.file, run + 1);
    ++samples.failures;
    return;
  }
  samples.open.push_back(Ms(firstPositionAt));
  if (openedAt >= 0) samples.opened.push_back(Ms(openedAt));
  samples.started.push_back(Ms(startedAt));
  Pump(1000);

  const double duration = control->Core()->DurationSeconds() * 1000.0;
  // Clear of the end, where the recording stops and stays open.
  const double playable = std::max(0.0, duration - 2000.0);
  // A different offset each run, so that runs do not all land on the same frames.
  const double shift = std::fmod(run * 137.0, 900.0);
  for (double fraction : kSeekFractions) {
    const double target = std::min(fraction * playable + shift, playable);
    const double before = engine->GetPositionMs();
    const int strayBefore = finishes;
    QCoreApplication::processEvents();
    samples.strayFinishes += finishes - strayBefore;
    const int expected = finishes + 1;
    finishedAt = -1;
    const qint64 seekAt = clock.nsecsElapsed();
    try {
      engine->SeekMs(target);
    } catch (const medium::AppError& error) {
      std::fprintf(stderr, "%s: seek: %s\n", format.file, qPrintable(error.description()));
      ++samples.failures;
      return;
    }
    if (!RunUntil([&] { return finishes >= expected || failed; }, kSeekTimeoutMs) || failed) {
      std::fprintf(stderr, "%s, run %d: seek to %.0f ms did not finish\n", format.file, run + 1,
                   target);
      ++samples.failures;
      return;
    }
    const double landed = engine->GetPositionMs();
    const double sinceFinish = Ms(clock.nsecsElapsed() - finishedAt);
    const double latency = Ms(finishedAt - seekAt);
    if (landed < target - kEarlyMs || landed > target + kLateMs + sinceFinish) {
      std::fprintf(stderr, "%s, run %d: seek to %.0f ms landed at %.0f ms\n", format.file, run + 1,
                   target, landed);
      ++samples.failures;
    }
    (target >= before ? samples.forward : samples.backward).push_back(latency);
    const int settled = finishes;
    Pump(kSettleMs);
    samples.strayFinishes += finishes - settled;
  }
}

struct Summary {
  double min = 0, median = 0, p90 = 0, max = 0;
};

// Nearest-rank percentiles.
Summary Summarise(std::vector<double> values) {
  Summary s;
  if (values.empty()) return s;
  std::sort(values.begin(), values.end());
  auto rank = [&](double p) {
    const auto n = static_cast<double>(values.size());
    const auto index = static_cast<std::size_t>(std::max(1.0, std::ceil(p * n))) - 1;
    return values[std::min(index, values.size() - 1)];
  };
  s.min = values.front();
  s.median = rank(0.5);
  s.p90 = rank(0.9);
  s.max = values.back();
  return s;
}

void PrintRow(const char* file, const char* measure, const std::vector<double>& values) {
  if (values.empty()) {
    std::printf("%-10s %-24s %5d %8s %8s %8s %8s\n", file, measure, 0, "-", "-", "-", "-");
    return;
  }
  const Summary s = Summarise(values);
  std::printf("%-10s %-24s %5zu %8.1f %8.1f %8.1f %8.1f\n", file, measure, values.size(), s.min,
              s.median, s.p90, s.max);
}

QString LoadAverage() {
  QFile file(QStringLiteral("/proc/loadavg"));
  if (!file.open(QIODevice::ReadOnly)) return QStringLiteral("unknown");
  return QString::fromLatin1(file.readAll()).section(' ', 0, 2);
}

[[noreturn]] void Usage() {
  std::fprintf(stderr,
               "usage: bench_media [--runs N] [--seconds S] [--recordings FOLDER] "
               "[--ffmpeg PROGRAM]\n");
  std::exit(2);
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // Headless engines have no sound device already; this keeps it so should that ever change.
  if (qEnvironmentVariableIsEmpty("PRESENTATION_ENGINE_AO"))
    qputenv("PRESENTATION_ENGINE_AO", "null");
  QApplication app(argc, argv);

  int runs = 10;
  int seconds = 30;
  QString recordings;
  QString ffmpeg;
  const QStringList args = app.arguments();
  for (qsizetype i = 1; i < args.size(); ++i) {
    const QString& a = args[i];
    if (i + 1 >= args.size()) Usage();
    bool ok = true;
    if (a == "--runs") {
      runs = args[++i].toInt(&ok);
      ok = ok && runs > 0;
    } else if (a == "--seconds") {
      seconds = args[++i].toInt(&ok);
      ok = ok && seconds >= 6 && seconds <= 600;
    } else if (a == "--recordings") {
      recordings = args[++i];
    } else if (a == "--ffmpeg") {
      ffmpeg = args[++i];
    } else {
      ok = false;
    }
    if (!ok) Usage();
  }

  // The players open their recordings from the medium in its own path form.
  QTemporaryDir medium;
  if (!medium.isValid()) {
    std::fprintf(stderr, "cannot make a temporary folder\n");
    return 2;
  }
  const QString mediaFolder = medium.path() + QStringLiteral("/Media/P");
  QDir().mkpath(mediaFolder);
  if (recordings.isEmpty()) {
    if (ffmpeg.isEmpty()) ffmpeg = QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
    if (ffmpeg.isEmpty()) {
      std::fprintf(stderr, "ffmpeg not found; give --ffmpeg or --recordings\n");
      return 2;
    }
    if (!MakeRecordings(ffmpeg, mediaFolder, seconds)) {
      std::fprintf(stderr, "ffmpeg could not make the recordings\n");
      return 2;
    }
  } else {
    for (const Format& format : kFormats) {
      const QString source = QDir(recordings).filePath(QString::fromLatin1(format.file));
      if (!QFile::copy(source, mediaFolder + '/' + format.file)) {
        std::fprintf(stderr, "cannot copy %s\n", qPrintable(source));
        return 2;
      }
    }
  }
  medium::SetApplicationFolder(medium.path());

  const QString loadBefore = LoadAverage();
  std::vector<Samples> samples(std::size(kFormats));
  // Formats take turns, so that a change in the machine's load falls on all of them alike.
  for (int run = 0; run < runs; ++run) {
    for (std::size_t f = 0; f < std::size(kFormats); ++f) {
      const QString path = medium::BuildPath(
          {medium::ApplicationFolder(), QStringLiteral("\\Media\\P\\"), kFormats[f].file});
      MeasureRun(kFormats[f], path, run, samples[f]);
    }
  }

  std::printf(
      "media engine latency: headless, timed playback, %d runs per format (new engine "
      "each), %zu seeks per run while playing\n",
      runs, std::size(kSeekFractions));
  std::printf("recordings: %s; load average before %s, after %s\n",
              recordings.isEmpty() ? qPrintable(QStringLiteral("generated, %1 s").arg(seconds))
                                   : qPrintable(recordings),
              qPrintable(loadBefore), qPrintable(LoadAverage()));
  for (std::size_t f = 0; f < std::size(kFormats); ++f)
    std::printf("  %-10s %s\n", kFormats[f].file, kFormats[f].what);
  std::printf("\n%-10s %-24s %5s %8s %8s %8s %8s   (ms)\n", "format", "measure", "n", "min",
              "median", "p90", "max");
  int failures = 0;
  int strays = 0;
  for (std::size_t f = 0; f < std::size(kFormats); ++f) {
    const Samples& s = samples[f];
    std::vector<double> seeks = s.forward;
    seeks.insert(seeks.end(), s.backward.begin(), s.backward.end());
    PrintRow(kFormats[f].file, "open -> first position", s.open);
    PrintRow(kFormats[f].file, "open -> opened signal", s.opened);
    PrintRow(kFormats[f].file, "open -> playback start", s.started);
    PrintRow(kFormats[f].file, "seek forward", s.forward);
    PrintRow(kFormats[f].file, "seek back", s.backward);
    PrintRow(kFormats[f].file, "seek (all)", seeks);
    failures += s.failures;
    strays += s.strayFinishes;
  }
  if (strays > 0)
    std::printf("\n%d seekFinished signal(s) arrived with no seek outstanding\n", strays);
  if (failures > 0) {
    std::printf("\n%d failure(s): see the messages above\n", failures);
    return 1;
  }
  return 0;
}
