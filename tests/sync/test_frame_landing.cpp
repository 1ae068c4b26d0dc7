// A jump lands on the frame of the slide it shows. On a talk whose picture turns each slide's
// colour at the slide's time (the timeline on the time stamps of the frames that carry the
// changes, as the file has them), a thumbnail click, Page Up and Page Down, and --at each bring
// the picture straight to that slide's colour, no frame of another slide in between, and the
// engine's position to the slide's time. The whole player with its real engine; built once per
// player (WMV with WMA, RealVideo with RealAudio).

#include <QLabel>
#include <QtTest>
#include <clocale>
#include <functional>

#include "medium/CommandLineOptions.h"
#include "medium/Report.h"
#include "player/BuildProfile.h"
#include "player/PlayerApp.h"
#include "player/PlayerWindow.h"
#include "player/media/EngineControl.h"
#include "player/media/EngineFactory.h"
#include "player/media/MpvVideoWidget.h"
#include "tests/support/ColourTalk.h"
#include "tests/support/RecordingReporter.h"
#include "tests/support/TempMedium.h"

#ifdef E2E_NORVANTA
constexpr PlayerBuild kBuild = PlayerBuild::Norvanta;
constexpr TalkFormat kFormat = TalkFormat::Rm;
const char* const kFile = "Media/P/media.rm";
#else
constexpr PlayerBuild kBuild = PlayerBuild::Tavisco;
constexpr TalkFormat kFormat = TalkFormat::Wmv;
const char* const kFile = "Media/P/media.wmv";
#endif

namespace {

constexpr int kSlides = 5;
constexpr int kSlideMs = 1000;

int ColourOf(int slide) {
  return (slide - 1) % static_cast<int>(kTalkColours.size());
}

// The talk's colour the picture shows now; -1 for none (not drawn yet, black).
int PictureColour(PlayerWindow& w) {
  auto* control = qobject_cast<EngineControl*>(w.Session().Engine().Widget());
  const QImage frame = control && control->Picture() ? control->Picture()->Frame() : QImage();
  if (frame.isNull()) return -1;
  const QRgb c = frame.pixel(frame.width() / 2, frame.height() / 2);
  for (int i = 0; i < kTalkColours.size(); ++i) {
    const QRgb t = kTalkColours[i];
    if (std::abs(qRed(c) - qRed(t)) + std::abs(qGreen(c) - qGreen(t)) +
            std::abs(qBlue(c) - qBlue(t)) <
        60)
      return i;
  }
  return -1;
}

// The colours the picture takes from now until it shows colour (or 5 s have passed), each once.
QList<int> ColoursUntil(PlayerWindow& w, int colour) {
  QList<int> seen;
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < 5000 && (seen.isEmpty() || seen.last() != colour)) {
    const int now = PictureColour(w);
    if (now >= 0 && (seen.isEmpty() || seen.last() != now)) seen << now;
    QTest::qWait(2);
  }
  return seen;
}

}  // namespace

class FrameLandingTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void jumpsLandOnTheFramesOfTheirSlides();
  void startAtLandsOnTheFrameOfItsSlide();

 private:
  std::unique_ptr<TempMedium> medium_;
  QList<double> times_;
};

void FrameLandingTest::initTestCase() {
  qputenv("PRESENTATION_ENGINE_AO", "null");  // no sound device on a build machine
  std::setlocale(LC_NUMERIC, "C");            // the playback core needs it
  medium_ = std::make_unique<TempMedium>();
  const ColourRecording rec = MakeColourRecording(medium_->Path(kFile), kFormat, kSlides, kSlideMs);
  QVERIFY2(rec.error.isEmpty(), qPrintable(rec.error));
  times_ = rec.changeMs;
  times_[0] = 0;  // the first slide from the start, as every timeline has it
  WriteColourPresentation(*medium_, "P", times_);
}

void FrameLandingTest::jumpsLandOnTheFramesOfTheirSlides() {
  const BuildProfile& profile = ProfileFor(kBuild);
  medium::RecordingReporter reporter(profile.programTitle);
  PlayerWindow w(
      profile, reporter,
      [&profile](QWidget* parent) { return CreateEngine(profile.build, parent); },
      QStringLiteral("-p P"));
  w.Form_Load();
  QCOMPARE(ColoursUntil(w, ColourOf(1)).last(), ColourOf(1));

  const auto lands = [&](int slide, const std::function<void()>& jump) {
    const int before = PictureColour(w);
    jump();
    QCOMPARE(w.Slide_txt->text(), QStringLiteral("Slide %1").arg(slide));
    const QList<int> seen = ColoursUntil(w, ColourOf(slide));
    // Straight from the frame shown before to the first frame of the slide.
    QList<int> expected{ColourOf(slide)};
    if (!seen.isEmpty() && seen.first() == before) expected.prepend(before);
    QCOMPARE(seen, expected);
    const double position = w.Session().Engine().GetPositionMs();
    QVERIFY2(position >= times_[slide - 1] && position < times_[slide - 1] + kSlideMs,
             qPrintable(QString::number(position)));
  };
  lands(4, [&] { w.Command1_Click(3); });        // the fourth thumbnail
  lands(3, [&] { w.Session().StepSlide(-1); });  // Page Up
  lands(4, [&] { w.Session().StepSlide(1); });   // Page Down
  lands(2, [&] { w.Command1_Click(1); });
  QCOMPARE(reporter.Texts(), QStringList{});
}

void FrameLandingTest::startAtLandsOnTheFrameOfItsSlide() {
  const BuildProfile& profile = ProfileFor(kBuild);
  medium::RecordingReporter reporter(profile.programTitle);
  PlayerWindow w(
      profile, reporter,
      [&profile](QWidget* parent) { return CreateEngine(profile.build, parent); },
      QStringLiteral("-p P"));
  medium::ProgramOptions options;
  options.atMs = times_[2];
  StartPlayerWindow(w, options);
  // The window shows the slide at once; the first frame the picture shows is that slide's.
  QCOMPARE(w.Slide_txt->text(), QStringLiteral("Slide 3"));
  QCOMPARE(ColoursUntil(w, ColourOf(3)), QList<int>{ColourOf(3)});
  QCOMPARE(reporter.Texts(), QStringList{});
}

QTEST_MAIN(FrameLandingTest)
#include "test_frame_landing.moc"
