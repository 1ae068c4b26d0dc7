// How far each slide is from its frame on the screen itself: the real player programs play a
// talk whose picture turns the slide's colour at each slide time; the bench reads one pixel of
// the picture and one of the slide off the X screen about every millisecond and, for every
// change, prints the slide's offset from the display of the frame that carries the change
// (positive: the slide comes after its frame). The timeline's slide times are the time stamps
// of those frames in the file, as ffprobe reads them, so a player in step with its recording
// shows both at once. Both players, at 1x and 2x, and after the seeks the user makes: a click
// on a thumbnail, Page Down and Page Up, and --at.
//
//   xvfb-run -a -s "-screen 0 1280x1024x24" bin/bench_screen_sync [--runs N] [--slides N]
//       [--player Tavisco|Norvanta] [--verbose]
//
// Needs an X display with OpenGL (Xvfb and Mesa's software renderer will do), ffmpeg, ffprobe
// and xdotool. Exits 1 when a run saw fewer changes than it should, 2 when it cannot run.

#include <QCoreApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>
#include <vector>

#include "bench/screen/ScreenPixels.h"
#include "tests/support/ColourTalk.h"
#include "tests/support/TempMedium.h"

namespace {

constexpr int kSlideMs = 2000;
// Where the two pixels are read, in the player window's pixels: the middle of Slide_img
// (16, 88, 472 x 360) and of the engine's picture (512, 88, 270 x 220 above its panel).
constexpr int kRowY = 200;
constexpr int kSlideX = 250;
constexpr int kPictureX = 647;

struct Player {
  const char* program;
  const char* folder;
  TalkFormat format;
};
const Player kPlayers[] = {{"Tavisco", "PW", TalkFormat::Wmv}, {"Norvanta", "PR", TalkFormat::Rm}};

// A colour appearing in one of the two places, at a time of the bench's clock.
struct Change {
  double atMs;
  int colour;
};

// Both places as the bench sees them over a stretch of time.
struct Watch {
  std::vector<Change> slide, picture;
  int slideNow = -1, pictureNow = -1;
};

class PlayerRun {
 public:
  PlayerRun(ScreenPixels& screen, const QString& program, const QStringList& args)
      : screen_(screen) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "xcb");
    if (!env.contains("PRESENTATION_ENGINE_AO")) env.insert("PRESENTATION_ENGINE_AO", "null");
    process_.setProcessEnvironment(env);
    process_.setStandardOutputFile(QProcess::nullDevice());
    process_.setStandardErrorFile(QProcess::nullDevice());
    process_.start(program, args);
  }
  ~PlayerRun() {
    process_.terminate();
    if (!process_.waitForFinished(3000)) {
      process_.kill();
      process_.waitForFinished(3000);
    }
  }
  // Waits for the window; false when none came within the time allowed.
  bool WaitForWindow(int ms) {
    const double until = NowMs() + ms;
    while (NowMs() < until && process_.state() != QProcess::NotRunning) {
      window_ = screen_.MappedWindowOf(process_.processId(), 700, 500);
      if (window_) return true;
      QThread::msleep(5);
    }
    return false;
  }
  unsigned long Window() const { return window_; }

  // Reads both places until done() says so or ms have passed.
  template <class Done>
  void Poll(Watch& watch, double ms, Done done) {
    const double until = NowMs() + ms;
    while (NowMs() < until && !done(watch)) {
      const double before = NowMs();
      const std::vector<QRgb> row = screen_.Row(window_, kSlideX, kRowY, kPictureX - kSlideX + 1);
      const double at = (before + NowMs()) / 2;
      if (row.empty()) return;
      const int slide = NearestColour(row.front(), kTalkColours);
      const int picture = NearestColour(row.back(), kTalkColours);
      if (slide >= 0 && slide != watch.slideNow) watch.slide.push_back({at, slide});
      if (picture >= 0 && picture != watch.pictureNow) watch.picture.push_back({at, picture});
      if (slide >= 0) watch.slideNow = slide;
      if (picture >= 0) watch.pictureNow = picture;
      QThread::usleep(700);
    }
  }

  // Keys and clicks as the user gives them (xdotool, through the XTEST extension).
  void Keys(const QStringList& keys) {
    QProcess::execute(QStringLiteral("xdotool"),
                      QStringList{"windowfocus", "--sync", QString::number(window_), "key"} + keys);
  }
  void Click(int x, int y) {
    QProcess::execute(QStringLiteral("xdotool"),
                      {"mousemove", "--window", QString::number(window_), QString::number(x),
                       QString::number(y), "click", "1"});
  }

 private:
  ScreenPixels& screen_;
  QProcess process_;
  unsigned long window_ = 0;
};

int ColourOf(int slide) {
  return (slide - 1) % static_cast<int>(kTalkColours.size());
}

// The first change to colour at or after fromMs.
std::optional<double> FirstTo(const std::vector<Change>& changes, int colour, double fromMs) {
  for (const Change& c : changes)
    if (c.atMs >= fromMs && c.colour == colour) return c.atMs;
  return std::nullopt;
}

struct Figures {
  size_t n = 0;
  double median = 0, worst = 0, min = 0, max = 0;
};

Figures Summarise(std::vector<double> v) {
  Figures f;
  if (v.empty()) return f;
  std::sort(v.begin(), v.end());
  f.n = v.size();
  f.median = v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
  f.min = v.front();
  f.max = v.back();
  f.worst = std::abs(f.min) > std::abs(f.max) ? f.min : f.max;
  return f;
}

void Print(const char* player, const QString& what, const std::vector<double>& offsets,
           const QString& extra = QString()) {
  const Figures f = Summarise(offsets);
  if (f.n == 0) {
    std::printf("%-9s %-14s no change seen\n", player, qPrintable(what));
    return;
  }
  std::printf("%-9s %-14s n %3zu  median %+6.1f  worst %+6.1f  (min %+6.1f  max %+6.1f)%s\n",
              player, qPrintable(what), f.n, f.median, f.worst, f.min, f.max, qPrintable(extra));
  std::fflush(stdout);
}

struct Setup {
  QString binDir;
  QString root;
  int slides = 12;
  bool verbose = false;
};

QStringList PlayerArgs(const Setup& s, const Player& p, std::optional<double> atMs = {}) {
  QStringList args = {"--medium", s.root};
  if (atMs) args << "--at" << QString::number(*atMs / 1000.0, 'f', 3);
  args << "--"
       << "-p" << p.folder;
  return args;
}

// Plays the talk through at a speed; the offset of every slide change from its frame.
std::vector<double> PlayThrough(ScreenPixels& screen, const Setup& s, const Player& p,
                                const QList<double>& times, double speed) {
  PlayerRun run(screen, s.binDir + "/" + p.program, PlayerArgs(s, p));
  if (!run.WaitForWindow(15000)) return {};
  Watch watch;
  double measureFrom = 0;
  if (speed != 1.0) {
    // ] four times: from 1x to 2x, before the second slide's time.
    run.Keys(QStringList(static_cast<int>(std::round((speed - 1.0) / 0.25)), "bracketright"));
  }
  measureFrom = NowMs() + 100;
  const int last = ColourOf(s.slides);
  run.Poll(watch, (times.last() + kSlideMs) / speed + 10000, [&](const Watch& w) {
    return !w.slide.empty() && !w.picture.empty() && w.slide.back().colour == last &&
           w.picture.back().colour == last && w.slide.size() >= 2;
  });
  std::vector<double> offsets;
  double frameAfter = measureFrom, slideAfter = measureFrom;
  for (int k = 2; k <= s.slides; ++k) {
    const auto frame = FirstTo(watch.picture, ColourOf(k), frameAfter);
    const auto slide = FirstTo(watch.slide, ColourOf(k), slideAfter);
    if (!frame || !slide) continue;
    frameAfter = *frame;
    slideAfter = *slide;
    // The slide's time and its frame's time stamp are one here; were they not, the frame would
    // place the slide's moment (times[k-1] - frame's stamp) / speed earlier or later.
    offsets.push_back(*slide - *frame);
    if (s.verbose)
      std::printf("  %s %.0fx slide %2d at %8.1f ms: frame %.1f, slide %.1f, offset %+.1f\n",
                  p.program, speed, k, times[k - 1], *frame - measureFrom, *slide - measureFrom,
                  *slide - *frame);
  }
  return offsets;
}

// One seek as the user makes it; the offset of the slide it shows from the first frame of that
// slide's colour, and whether the picture went straight to that frame (no other colour shown on
// the way).
struct SeekResult {
  std::optional<double> offset;
  bool onItsFrame = false;
};

SeekResult MeasureSeek(PlayerRun& run, int toSlide, bool verbose,
                       const std::function<void()>& act) {
  Watch watch;
  // What is on screen now.
  run.Poll(watch, 30, [](const Watch&) { return false; });
  const int before = watch.pictureNow;
  watch.slide.clear();
  watch.picture.clear();
  const double start = NowMs();
  act();
  const int colour = ColourOf(toSlide);
  run.Poll(watch, 1500, [&](const Watch& w) {
    return w.slideNow == colour && w.pictureNow == colour && NowMs() - start > 300;
  });
  SeekResult r;
  const auto frame = FirstTo(watch.picture, colour, start);
  const auto slide = FirstTo(watch.slide, colour, start);
  if (frame && slide) r.offset = *slide - *frame;
  if (verbose) {
    std::printf("  seek to slide %d (colour %d, picture showed %d):", toSlide, colour, before);
    for (const Change& c : watch.picture)
      std::printf(" picture %d at %+.1f", c.colour, c.atMs - start);
    for (const Change& c : watch.slide) std::printf(" slide %d at %+.1f", c.colour, c.atMs - start);
    std::printf("\n");
  }
  // Straight to its frame: the first colour the picture takes after the seek is the slide's
  // (or it already showed it and stays).
  r.onItsFrame = frame && ((!watch.picture.empty() && watch.picture.front().colour == colour) ||
                           (watch.picture.empty() && before == colour));
  return r;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  Setup s;
  s.binDir = QCoreApplication::applicationDirPath();
  int runs = 1;
  QString only;
  const QStringList args = app.arguments();
  for (int i = 1; i < args.size(); ++i) {
    if (args[i] == "--runs" && i + 1 < args.size()) runs = std::max(1, args[++i].toInt());
    if (args[i] == "--slides" && i + 1 < args.size()) s.slides = std::max(7, args[++i].toInt());
    if (args[i] == "--player" && i + 1 < args.size()) only = args[++i];
    if (args[i] == "--verbose") s.verbose = true;
  }
  ScreenPixels screen;
  if (!screen.IsOpen()) {
    std::fprintf(stderr, "no X display: run under xvfb-run -a -s \"-screen 0 1280x1024x24\" %s\n",
                 argv[0]);
    return 2;
  }
  if (QStandardPaths::findExecutable("xdotool").isEmpty()) {
    std::fprintf(stderr, "xdotool is needed for the keys and clicks\n");
    return 2;
  }
  TempMedium medium;
  s.root = medium.Root();
  QList<QList<double>> slideTimes;
  for (const Player& p : kPlayers) {
    const QString file = p.format == TalkFormat::Wmv ? "media.wmv" : "media.rm";
    const ColourRecording rec =
        MakeColourRecording(medium.Path(QStringLiteral("Media/%1/%2").arg(p.folder, file)),
                            p.format, s.slides, kSlideMs);
    if (!rec.error.isEmpty()) {
      std::fprintf(stderr, "%s\n", qPrintable(rec.error));
      return 2;
    }
    // The first slide from the start, as every timeline has it; the others at their frames.
    QList<double> times = rec.changeMs;
    times[0] = 0;
    WriteColourPresentation(medium, p.folder, times);
    slideTimes << times;
    std::printf("%s: %s, picture from %.0f ms, slide k at %.0f + (k - 1) x %d ms\n", p.program,
                qPrintable(file), rec.changeMs.first(), rec.changeMs.first(), kSlideMs);
  }
  std::printf(
      "offset of each slide from the frame that carries its change, ms (slide on screen - frame "
      "on screen; positive: the slide comes later); 25 frames a second, a slide every %d s\n",
      kSlideMs / 1000);

  bool complete = true;
  for (int i = 0; i < 2; ++i) {
    const Player& p = kPlayers[i];
    if (!only.isEmpty() && only != QLatin1String(p.program)) continue;
    const QList<double>& times = slideTimes[i];
    for (double speed : {1.0, 2.0}) {
      std::vector<double> all;
      for (int r = 0; r < runs; ++r) {
        const std::vector<double> offsets = PlayThrough(screen, s, p, times, speed);
        if (offsets.size() < static_cast<size_t>(s.slides - 2)) complete = false;
        all.insert(all.end(), offsets.begin(), offsets.end());
      }
      Print(p.program, QStringLiteral("%1x").arg(speed), all);
    }

    // Seeks: a thumbnail, Page Down, Page Up, in one run; then --at in runs of their own.
    std::vector<double> keys, clicks, starts;
    int landed = 0, seeks = 0;
    auto note = [&](std::vector<double>& into, const SeekResult& r) {
      ++seeks;
      if (r.onItsFrame) ++landed;
      if (r.offset) into.push_back(*r.offset);
    };
    for (int r = 0; r < runs; ++r) {
      PlayerRun run(screen, s.binDir + "/" + p.program, PlayerArgs(s, p));
      if (!run.WaitForWindow(15000)) {
        complete = false;
        continue;
      }
      Watch first;
      run.Poll(first, 5000, [](const Watch& w) { return w.pictureNow == ColourOf(1); });
      QThread::msleep(300);
      // Thumbnails are 1215 twips wide, 50 apart, from 120 twips into the strip at (16, 472).
      const auto thumbX = [](int index) { return 16 + (120 + index * 1265 + 607) / 15; };
      // Each seek goes elsewhere than the one before, so that each shows a change; the
      // thumbnails clicked are in view (the strip shows five) wherever the one before led.
      const int clickTo[] = {4, 2, 5};
      for (int to : clickTo) {
        note(clicks, MeasureSeek(run, to, s.verbose, [&] { run.Click(thumbX(to - 1), 512); }));
        QThread::msleep(400);
        note(keys, MeasureSeek(run, to + 1, s.verbose, [&] { run.Keys({"Next"}); }));
        QThread::msleep(400);
      }
      // Page Up: a focused thumbnail keeps Home for itself.
      note(keys, MeasureSeek(run, 5, s.verbose, [&] { run.Keys({"Prior"}); }));
    }
    for (int r = 0; r < runs; ++r) {
      for (int k : {3, 6}) {
        PlayerRun run(screen, s.binDir + "/" + p.program, PlayerArgs(s, p, times[k - 1]));
        if (!run.WaitForWindow(15000)) {
          complete = false;
          continue;
        }
        Watch watch;
        const double start = NowMs();
        run.Poll(watch, 5000, [&](const Watch& w) {
          return w.slideNow == ColourOf(k) && w.pictureNow == ColourOf(k);
        });
        ++seeks;
        const auto frame = FirstTo(watch.picture, ColourOf(k), start);
        const auto slide = FirstTo(watch.slide, ColourOf(k), start);
        if (frame && !watch.picture.empty() && watch.picture.front().colour == ColourOf(k))
          ++landed;
        if (frame && slide) starts.push_back(*slide - *frame);
      }
    }
    Print(p.program, QStringLiteral("thumbnail"), clicks);
    Print(p.program, QStringLiteral("keys"), keys);
    Print(p.program, QStringLiteral("--at"), starts);
    std::printf("%-9s seeks that landed on their slide's frame: %d of %d\n", p.program, landed,
                seeks);
    std::fflush(stdout);
  }
  return complete ? 0 : 1;
}
