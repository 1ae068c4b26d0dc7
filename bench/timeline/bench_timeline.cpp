// A timeline of 200,000 lines, as a crafted disc or a runaway authoring tool has it: slides,
// marks and cues in turn, far beyond the designed limit of 32,767 of each, every slide on the
// same deck. Made into a copy of the sample medium (the keynote's events.txt), then:
//  - "Ambrel --check" on it, timed (goal: at most 5 s);
//  - with --player, the player Tavisco started on it under the X display of the environment
//    (xvfb-run), its start-up messages answered with xdotool (OK to the first boxes, then
//    "Skip further messages"), and its resident memory read from /proc when its window shows.
//
//   bench_timeline [--lines N] [--runs N] [--player]
//
// Exits 1 when the check takes longer than the goal.

#include <sys/resource.h>

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr double kGoalSeconds = 5.0;

bool CopyTree(const QString& from, const QString& to) {
  QDirIterator it(from, QDir::Files, QDirIterator::Subdirectories);
  while (it.hasNext()) {
    const QString file = it.next();
    const QString target = to + file.mid(from.size());
    if (!QDir().mkpath(QFileInfo(target).path()) || !QFile::copy(file, target)) return false;
  }
  return true;
}

// Slides, text marks and cues in turn, a second apart, each slide one of the deck's eight.
bool WriteTimeline(const QString& path, int lines) {
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
  QByteArray text;
  text.reserve(lines * 40);
  for (int i = 0; i < lines; ++i) {
    const int step = i / 3;
    const QByteArray ms = QByteArray::number(qint64(step) * 1000);
    const QByteArray n = QByteArray::number(step % 8 + 1);
    switch (i % 3) {
      case 0:
        text += "0~" + ms + "~ZentoLaunch~" + n + "~Slide " + QByteArray::number(step) + "\r\n";
        break;
      case 1:
        text += "1~" + ms + "~2~600~4800~255~255~255~Mark " + QByteArray::number(step) + "\r\n";
        break;
      default:
        text += "2~" + ms + "~" + n + "\r\n";
        break;
    }
  }
  return f.write(text) == text.size();
}

double ChildrenCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_CHILDREN, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
         (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// The resident memory of a process in MiB, from /proc; -1 when it is gone.
double ResidentMiB(qint64 pid) {
  QFile status(QStringLiteral("/proc/%1/status").arg(pid));
  if (!status.open(QIODevice::ReadOnly)) return -1;
  const QRegularExpression rss(QStringLiteral("^VmRSS:\\s+(\\d+) kB"),
                               QRegularExpression::MultilineOption);
  const QRegularExpressionMatch m = rss.match(QString::fromLatin1(status.readAll()));
  return m.hasMatch() ? m.captured(1).toDouble() / 1024.0 : -1;
}

QString Xdotool(const QStringList& args) {
  QProcess p;
  p.start(QStringLiteral("xdotool"), args);
  p.waitForFinished(10000);
  return QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed();
}

// Tavisco on the crafted presentation: its messages answered, its memory when its window shows.
int RunPlayer(const QString& tavisco, const QString& medium) {
  if (qEnvironmentVariableIsEmpty("DISPLAY") ||
      QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty()) {
    std::fprintf(stderr, "bench_timeline: --player needs an X display (xvfb-run) and xdotool\n");
    return 2;
  }
  QProcess player;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("PRESENTATION_ENGINE_AO"), QStringLiteral("null"));
  player.setProcessEnvironment(env);
  player.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  QElapsedTimer clock;
  clock.start();
  player.start(tavisco, {QStringLiteral("--medium"), medium, QStringLiteral("--"),
                         QStringLiteral("-p"), QStringLiteral("Launch2004")});
  if (!player.waitForStarted()) return 2;
  const QString pid = QString::number(player.processId());
  int answered = 0;
  double peak = 0;
  double shownAt = -1, shownRss = -1;
  while (player.state() == QProcess::Running && clock.elapsed() < 600000) {
    peak = std::max(peak, ResidentMiB(player.processId()));
    const QStringList windows =
        Xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--pid"),
                 pid, QStringLiteral("--name"), QStringLiteral(".")})
            .split(u'\n', Qt::SkipEmptyParts);
    bool box = false;
    bool main = false;
    for (const QString& w : windows) {
      const QString name = Xdotool({QStringLiteral("getwindowname"), w});
      const QString geometry = Xdotool({QStringLiteral("getwindowgeometry"), w});
      // The message boxes are small; the player's window is the designed 800 x 600 or more.
      const QRegularExpressionMatch size =
          QRegularExpression(QStringLiteral("Geometry: (\\d+)x(\\d+)")).match(geometry);
      if (size.hasMatch() && size.captured(1).toInt() >= 640 && size.captured(2).toInt() >= 480) {
        main = true;
      } else if (!name.isEmpty()) {
        box = true;
        Xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), w});
        // OK is the default button; from the tenth box on, Tab reaches "Skip further messages".
        if (answered >= 9) {
          Xdotool({QStringLiteral("key"), QStringLiteral("--window"), w, QStringLiteral("Tab"),
                   QStringLiteral("space")});
        } else {
          Xdotool({QStringLiteral("key"), QStringLiteral("--window"), w, QStringLiteral("Return")});
        }
        ++answered;
      }
    }
    if (main && !box) {
      shownAt = clock.elapsed() / 1000.0;
      QThread::msleep(500);  // what the window's first paint adds
      shownRss = ResidentMiB(player.processId());
      peak = std::max(peak, shownRss);
      break;
    }
    QThread::msleep(50);
  }
  player.kill();
  player.waitForFinished();
  if (shownAt < 0) {
    std::printf("player: its window did not show (%d boxes answered)\n", answered);
    return 1;
  }
  std::printf(
      "player: window shown at %.1f s, %.0f MiB resident then (peak %.0f MiB), %d boxes "
      "answered\n",
      shownAt, shownRss, peak, answered);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  int lines = 200000;
  int runs = 3;
  bool player = false;
  const QStringList args = app.arguments().mid(1);
  for (qsizetype i = 0; i < args.size(); ++i) {
    if (args[i] == "--lines" && i + 1 < args.size()) {
      lines = std::max(1, args[++i].toInt());
    } else if (args[i] == "--runs" && i + 1 < args.size()) {
      runs = std::max(1, args[++i].toInt());
    } else if (args[i] == "--player") {
      player = true;
    } else {
      std::fprintf(stderr, "usage: bench_timeline [--lines N] [--runs N] [--player]\n");
      return 2;
    }
  }
  const QString sample = QStringLiteral(SAMPLE_MEDIUM_DIR);
  const QString bin = QCoreApplication::applicationDirPath();
  QTemporaryDir tmp;
  const QString medium = tmp.path() + "/medium";
  if (!CopyTree(sample, medium) || !WriteTimeline(medium + "/Data/Launch2004/events.txt", lines)) {
    std::fprintf(stderr, "bench_timeline: no sample medium at %s (build sample_medium_dir)\n",
                 qPrintable(sample));
    return 2;
  }

  std::vector<double> times, cpu;
  QString summary;
  for (int r = 0; r < runs; ++r) {
    QProcess check;
    QElapsedTimer clock;
    const double cpuBefore = ChildrenCpuSeconds();
    clock.start();
    check.start(bin + "/Ambrel", {"--check", "--medium", medium});
    check.waitForFinished(-1);
    times.push_back(clock.nsecsElapsed() / 1e9);
    cpu.push_back(ChildrenCpuSeconds() - cpuBefore);
    const QStringList out =
        QString::fromLocal8Bit(check.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
    summary = out.isEmpty() ? QString() : out.last();
    for (const QString& l : out)
      if (l.endsWith(" found.")) summary = l;
  }
  const double median = Median(times);
  std::printf(
      "timeline of %d lines: Ambrel --check %.2f s wall, %.2f s CPU (medians of %d; wall min "
      "%.2f, max %.2f): %s\n",
      lines, median, Median(cpu), runs, *std::min_element(times.begin(), times.end()),
      *std::max_element(times.begin(), times.end()), qPrintable(summary));
  std::printf("Goal: the check in at most %.0f s: %s\n", kGoalSeconds,
              median <= kGoalSeconds ? "met" : "NOT met");
  int code = median <= kGoalSeconds ? 0 : 1;
  if (player) code = std::max(code, RunPlayer(bin + "/Tavisco", medium));
  return code;
}
