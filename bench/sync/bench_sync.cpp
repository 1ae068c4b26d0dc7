// How late each slide appears on the real engine: a whole Tavisco window, headless (null picture
// and sound outputs, timed as for a listener), plays a recording made by ffmpeg at run time with
// a slide every 2 s. For every slide change the lateness is the engine's position when the
// window showed the slide minus the slide's time. Runs at 1x and 2x, with the on-time sync and
// with the once-a-second tick alone.
//
//   bench_sync [--slides N] [--ffmpeg PROGRAM]     (default 23 slides: 22 changes per run)
//
// Exits 1 when a run shows fewer changes than it should, 2 when the recording cannot be made.

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <vector>

#include "medium/Report.h"
#include "player/BuildProfile.h"
#include "player/PlayerWindow.h"
#include "player/media/EngineFactory.h"
#include "tests/support/RecordingReporter.h"
#include "tests/support/TempMedium.h"

namespace {

constexpr double kSlideEveryMs = 2000;

// The window, noting the engine's position the first time each slide's title is shown.
// Beside the engine's reading the window notes the bench's own figure: the last value of the
// reading the bench saw change, plus the time since, times the speed (a check of the reading).
class MeasuringWindow : public PlayerWindow {
 public:
  template <class... Args>
  explicit MeasuringWindow(Args&&... args) : PlayerWindow(std::forward<Args>(args)...) {
    // Told after the window itself, which follows the playing state first: the title is shown.
    connect(&Session().State(), &PlayingState::changed, this, [this](PlayingState::Parts parts) {
      if (parts & PlayingState::Title) TitleShown(Session().State().SlideTitle());
    });
  }
  void TitleShown(const QString& title) {
    if (!measuring || shown.count(title)) return;
    const double reading = Session().Engine().GetPositionMs();
    Poll();
    shown[title] = reading;
    between[title] = stepValue + (static_cast<double>(clock.nsecsElapsed()) / 1e6 - stepAt) * speed;
  }
  // Notes when the engine's reading takes a new value.
  void Poll() {
    const double reading = Session().Engine().GetPositionMs();
    if (reading != stepValue) {
      stepValue = reading;
      stepAt = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    }
  }
  bool measuring = false;
  double speed = 1;
  QElapsedTimer clock;
  double stepValue = -1, stepAt = 0;
  std::map<QString, double> shown, between;
};

struct Figures {
  double min, median, p95, max;
  size_t count;
};

Figures Summarise(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  auto at = [&](double q) {
    return v[static_cast<size_t>(q * static_cast<double>(v.size() - 1) + 0.5)];
  };
  return {v.front(), at(0.5), at(0.95), v.back(), v.size()};
}

bool MakeMedium(TempMedium& m, const QString& ffmpeg, int slides) {
  m.WriteLines("Data/P/database.txt", {"SlideMode=0", "MediaMode=2"});
  QStringList events;
  for (int k = 1; k <= slides; ++k) {
    events << QStringLiteral("0~%1~Deck~%2~Slide %2").arg((k - 1) * kSlideEveryMs).arg(k);
    m.WriteJpeg(QStringLiteral("Slides/Deck/thumbs/Slide%1.jpg").arg(k), 80, 65, 0x3366cc);
    m.WriteJpeg(QStringLiteral("Slides/Deck/Slide%1.jpg").arg(k), 472, 360,
                k % 2 ? 0xcc3333u : 0x33cc33u);
  }
  m.WriteLines("Data/P/events.txt", events);
  m.WriteLines("Data/P/details.txt", {"Lateness benchmark"});
  m.WriteJpeg("Images/P/audio.jpg", 270, 220, 0xcccc22);
  m.MakeDir("Data/P/transcripts");
  m.MakeDir("Media/P");
  const double seconds = slides * kSlideEveryMs / 1000.0 + 1.0;
  QProcess ffmpegRun;
  ffmpegRun.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  ffmpegRun.start(ffmpeg, {"-hide_banner", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
                           QStringLiteral("sine=frequency=440:duration=%1").arg(seconds), "-c:a",
                           "wmav2", "-b:a", "64k", "-f", "asf", m.Path("Media/P/media.wma")});
  return ffmpegRun.waitForFinished(120000) && ffmpegRun.exitStatus() == QProcess::NormalExit &&
         ffmpegRun.exitCode() == 0;
}

// One run: start the player, optionally change the speed and stop the on-time sync, play until
// the last slide has had its time, return the lateness of every slide change in ms.
struct Lateness {
  std::vector<double> reading, between;
};

Lateness Run(int slides, double speed, bool onTime) {
  medium::RecordingReporter reporter(QStringLiteral("Tavisco"));
  auto factory = [](QWidget* parent) {
    EngineOptions options;
    options.headless = true;
    return CreateEngine(PlayerBuild::Tavisco, parent, options);
  };
  MeasuringWindow window(ProfileFor(PlayerBuild::Tavisco), reporter, factory,
                         QStringLiteral("-p P"));
  window.Form_Load();
  if (window.Session().Sync() == nullptr) return {};
  window.clock.start();
  window.speed = speed;
  if (!onTime) window.Session().Sync()->Stop();
  window.Session().SetSpeed(speed);
  window.measuring = true;
  const double lastMs = (slides - 1) * kSlideEveryMs;
  QElapsedTimer clock;
  clock.start();
  const double budgetMs = (lastMs / speed) + 15000;
  while (clock.elapsed() < budgetMs) {
    QApplication::processEvents(QEventLoop::AllEvents, 5);
    window.Poll();
    QThread::usleep(200);
    if (window.shown.size() >= static_cast<size_t>(slides) &&
        window.Session().Engine().GetPositionMs() > lastMs + 200)
      break;
  }
  Lateness late;
  for (int k = 2; k <= slides; ++k) {
    const QString title = QStringLiteral("Slide %1").arg(k);
    if (!window.shown.count(title)) continue;
    late.reading.push_back(window.shown[title] - (k - 1) * kSlideEveryMs);
    late.between.push_back(window.between[title] - (k - 1) * kSlideEveryMs);
  }
  window.Form_Unload();
  return late;
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  qputenv("PRESENTATION_ENGINE_HEADLESS", "1");
  QApplication app(argc, argv);
  int slides = 23;
  QString ffmpeg = QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
  const QStringList args = app.arguments();
  for (int i = 1; i + 1 < args.size(); ++i) {
    if (args[i] == QLatin1String("--slides")) slides = std::max(3, args[i + 1].toInt());
    if (args[i] == QLatin1String("--ffmpeg")) ffmpeg = args[i + 1];
  }
  TempMedium medium;
  if (ffmpeg.isEmpty() || !MakeMedium(medium, ffmpeg, slides)) {
    std::fprintf(stderr, "the recording could not be made with ffmpeg\n");
    return 2;
  }
  std::printf(
      "lateness of each slide change (engine position when shown - slide time), ms;\n"
      "headless WMA sound, a slide every %.0f s, %d changes per run\n",
      kSlideEveryMs / 1000, slides - 1);
  bool complete = true;
  for (double speed : {1.0, 2.0}) {
    for (bool onTime : {true, false}) {
      const Lateness late = Run(slides, speed, onTime);
      const char* what = onTime ? "on-time sync" : "tick alone";
      if (late.reading.size() < static_cast<size_t>(slides - 1)) complete = false;
      if (late.reading.empty()) {
        std::printf("%.0fx %-13s no slide change seen\n", speed, what);
        continue;
      }
      const std::pair<const char*, const std::vector<double>*> measures[] = {
          {"reading", &late.reading}, {"between steps", &late.between}};
      for (const auto& [measure, values] : measures) {
        const Figures f = Summarise(*values);
        std::printf(
            "%.0fx %-13s %-14s changes %2zu  min %7.1f  median %7.1f  p95 %7.1f  max %7.1f\n",
            speed, what, measure, f.count, f.min, f.median, f.p95, f.max);
      }
      std::fflush(stdout);
    }
  }
  return complete ? 0 : 1;
}
