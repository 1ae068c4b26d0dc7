// Start-up of the whole programs as the user meets them: each run starts a new process and reads
// its window off the X screen, from the moment the process is started to
//   window   the window shows its designed look (a row across its top is painted as it stays),
//   slide    the first slide is in Slide_img,
//   frame    the first frame of the recording is in the picture.
// The commands that open no window (--version, --help, a usage error) are timed to their end.
// Players on a small talk (8 slides, a transcript, a 16 s video) and on a large one (1,000
// slides, 5,000 sections in three languages, 2,000 marks); the launcher on a medium of both.
//
//   xvfb-run -a -s "-screen 0 1280x1024x24" bin/bench_process_startup [--runs N] [--only WORD]
//       [--trace]         (--trace: each sample's slide, picture and top pixel on standard error)
//
// Needs an X display with OpenGL, ffmpeg and ffprobe. Prints medians (min and max beside them).

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#include "bench/screen/ScreenPixels.h"
#include "bench/startup/LargePresentation.h"
#include "tests/support/ColourTalk.h"
#include "tests/support/TempMedium.h"

namespace {

constexpr int kSmallSlides = 8;
constexpr int kSlideMs = 2000;

struct Times {
  double exit = -1, mapped = -1, window = -1, slide = -1, frame = -1;
};

// What a run waits for besides the window.
struct Look {
  int width = 800;  // the window's designed width: the row read across its top
  bool slide = false, frame = false;
  QRgb slideColour = 0, frameColour = 0;
  bool trace = false;  // every sample on standard error
};

QProcessEnvironment Environment() {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_QPA_PLATFORM", "xcb");
  if (!env.contains("PRESENTATION_ENGINE_AO")) env.insert("PRESENTATION_ENGINE_AO", "null");
  return env;
}

Times RunToExit(const QString& program, const QStringList& args) {
  QProcess p;
  p.setProcessEnvironment(Environment());
  p.setStandardOutputFile(QProcess::nullDevice());
  p.setStandardErrorFile(QProcess::nullDevice());
  Times t;
  const double start = NowMs();
  p.start(program, args);
  if (p.waitForFinished(30000)) t.exit = NowMs() - start;
  return t;
}

Times RunToWindow(ScreenPixels& screen, const QString& program, const QStringList& args,
                  const Look& look) {
  QProcess p;
  p.setProcessEnvironment(Environment());
  p.setStandardOutputFile(QProcess::nullDevice());
  p.setStandardErrorFile(QProcess::nullDevice());
  Times t;
  const double start = NowMs();
  p.start(program, args);
  unsigned long window = 0;
  while (!window && NowMs() - start < 20000 && p.state() != QProcess::NotRunning) {
    window = screen.MappedWindowOf(p.processId(), 300, 300);
    if (!window) QThread::usleep(500);
  }
  if (!window) {
    std::fprintf(stderr, "%s: no window (%.0f ms, state %d)\n", qPrintable(program),
                 NowMs() - start, int(p.state()));
    p.kill();
    p.waitForFinished(3000);
    return t;
  }
  t.mapped = NowMs() - start;
  // The top row as it comes, until everything waited for is there and a second has passed.
  struct Sample {
    double at;
    std::vector<QRgb> top;
  };
  std::vector<Sample> samples;
  double doneAt = -1;
  while (NowMs() - start < 20000) {
    const double before = NowMs();
    std::vector<QRgb> top = screen.Row(window, 0, 40, look.width);
    std::vector<QRgb> middle;
    if (look.slide || look.frame) middle = screen.Row(window, 250, 200, 398);
    const double at = (before + NowMs()) / 2 - start;
    if (top.empty()) break;
    samples.push_back({at, std::move(top)});
    const auto near = [](QRgb a, QRgb b) { return NearestColour(a, {b}) == 0; };
    if (look.trace && !middle.empty())
      std::fprintf(stderr, "%7.1f slide %06x picture %06x top %06x\n", at, middle.front(),
                   middle.back(), samples.back().top[400]);
    if (look.slide && t.slide < 0 && !middle.empty() && near(middle.front(), look.slideColour))
      t.slide = at;
    if (look.frame && t.frame < 0 && !middle.empty() && near(middle.back(), look.frameColour))
      t.frame = at;
    const bool all = (!look.slide || t.slide >= 0) && (!look.frame || t.frame >= 0);
    if (all && doneAt < 0) doneAt = at;
    if (doneAt >= 0 && at - doneAt > 1000) break;
    QThread::usleep(700);
  }
  p.terminate();
  if (!p.waitForFinished(3000)) {
    p.kill();
    p.waitForFinished(3000);
  }
  if (samples.empty()) return t;
  // Shown: the first time the row is (nearly all) as it stays.
  const std::vector<QRgb>& last = samples.back().top;
  for (const Sample& s : samples) {
    size_t same = 0;
    for (size_t i = 0; i < last.size(); ++i) same += s.top[i] == last[i];
    if (same * 100 >= last.size() * 95) {
      t.window = s.at;
      break;
    }
  }
  return t;
}

struct Column {
  const char* name;
  std::function<double(const Times&)> of;
};

void Report(const QString& what, const std::vector<Times>& runs) {
  const Column columns[] = {{"exit", [](const Times& t) { return t.exit; }},
                            {"mapped", [](const Times& t) { return t.mapped; }},
                            {"window", [](const Times& t) { return t.window; }},
                            {"slide", [](const Times& t) { return t.slide; }},
                            {"frame", [](const Times& t) { return t.frame; }}};
  QString line = QStringLiteral("%1").arg(what, -38);
  for (const Column& c : columns) {
    std::vector<double> v;
    for (const Times& t : runs)
      if (c.of(t) >= 0) v.push_back(c.of(t));
    if (v.empty()) continue;
    std::sort(v.begin(), v.end());
    const double median =
        v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
    line += QStringLiteral("  %1 %2 (%3-%4)")
                .arg(QLatin1String(c.name))
                .arg(median, 6, 'f', 1)
                .arg(v.front(), 0, 'f', 0)
                .arg(v.back(), 0, 'f', 0);
  }
  std::printf("%s\n", qPrintable(line));
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  int runs = 10;
  QString only;
  bool trace = false;
  const QStringList args = app.arguments();
  for (int i = 1; i < args.size(); ++i) {
    if (args[i] == "--runs" && i + 1 < args.size()) runs = std::max(1, args[++i].toInt());
    if (args[i] == "--only" && i + 1 < args.size()) only = args[++i];
    if (args[i] == "--trace") trace = true;
  }
  ScreenPixels screen;
  if (!screen.IsOpen()) {
    std::fprintf(stderr, "no X display: run under xvfb-run -a -s \"-screen 0 1280x1024x24\" %s\n",
                 argv[0]);
    return 2;
  }
  const QString bin = QCoreApplication::applicationDirPath();
  TempMedium medium;
  const QString root = medium.Root();

  // The small talk, once per player's format, and the large one with a short video.
  for (const auto& [folder, format, file] : {std::tuple{"SMALLW", TalkFormat::Wmv, "media.wmv"},
                                             std::tuple{"SMALLR", TalkFormat::Rm, "media.rm"}}) {
    const ColourRecording rec =
        MakeColourRecording(medium.Path(QStringLiteral("Media/%1/%2").arg(folder, file)), format,
                            kSmallSlides, kSlideMs);
    if (!rec.error.isEmpty()) {
      std::fprintf(stderr, "%s\n", qPrintable(rec.error));
      return 2;
    }
    QList<double> times = rec.changeMs;
    times[0] = 0;
    WriteColourPresentation(medium, folder, times, kSmallSlides, 9);
  }
  WriteLargePresentation(root, QStringLiteral("BIG"), true, kTalkColours[0]);
  const ColourRecording big =
      MakeColourRecording(medium.Path("Media/BIG/media.wmv"), TalkFormat::Wmv, 2, kSlideMs);
  if (!big.error.isEmpty()) {
    std::fprintf(stderr, "%s\n", qPrintable(big.error));
    return 2;
  }
  // The launcher's list: the three presentations.
  medium.WriteLines("Data/config.txt", {"Presentations 3", "Small talk (Windows Media)", "SMALLW",
                                        "Small talk (RealMedia)", "SMALLR", "Large talk", "BIG"});

  std::printf(
      "whole processes, ms from the start of the process (median of %d, min-max); "
      "load average at the start: ",
      runs);
  std::fflush(stdout);
  QProcess::execute("cat", {"/proc/loadavg"});

  const auto want = [&](const QString& what) { return only.isEmpty() || what.contains(only); };
  const auto repeat = [&](const QString& what, const std::function<Times()>& once) {
    if (!want(what)) return;
    std::vector<Times> all;
    for (int r = 0; r < runs; ++r) all.push_back(once());
    Report(what, all);
  };

  for (const char* player : {"Tavisco", "Norvanta"}) {
    const QString program = bin + "/" + player;
    repeat(QStringLiteral("%1 --version").arg(player),
           [&] { return RunToExit(program, {"--version"}); });
    repeat(QStringLiteral("%1 --help").arg(player), [&] { return RunToExit(program, {"--help"}); });
    repeat(QStringLiteral("%1 --bogus (usage error)").arg(player),
           [&] { return RunToExit(program, {"--bogus"}); });
  }
  repeat("Ambrel --version", [&] { return RunToExit(bin + "/Ambrel", {"--version"}); });

  Look talk;
  talk.slide = talk.frame = true;
  talk.slideColour = talk.frameColour = kTalkColours[0];
  talk.trace = trace;
  repeat("Tavisco small talk", [&] {
    return RunToWindow(screen, bin + "/Tavisco", {"--medium", root, "--", "-p", "SMALLW"}, talk);
  });
  repeat("Norvanta small talk", [&] {
    return RunToWindow(screen, bin + "/Norvanta", {"--medium", root, "--", "-p", "SMALLR"}, talk);
  });
  repeat("Tavisco 1,000 slides", [&] {
    return RunToWindow(screen, bin + "/Tavisco", {"--medium", root, "--", "-p", "BIG"}, talk);
  });
  Look launcher;
  launcher.width = 700;
  repeat("Ambrel window", [&] {
    return RunToWindow(screen, bin + "/Ambrel", {"--medium", root}, launcher);
  });
  return 0;
}
