// A whole player on the sample medium with its real engine: the window as the program builds it,
// the recording playing, the timer ticking in real time. Built once per player.

#include <QComboBox>
#include <QLabel>
#include <QSignalSpy>
#include <QToolButton>
#include <QtTest>
#include <clocale>

#include "medium/Convert.h"
#include "medium/Paths.h"
#include "medium/Picture.h"
#include "medium/Report.h"
#include "medium/TextStream.h"
#include "player/BuildProfile.h"
#include "player/PlayerWindow.h"
#include "player/core/SlideRenderer.h"
#include "player/core/SyncDriver.h"
#include "player/media/ControlPanel.h"
#include "player/media/EngineFactory.h"
#include "player/media/MediaEngine.h"
#include "presentation/MediumLayout.h"
#include "tests/support/PlayerLook.h"
#include "tests/support/RecordingReporter.h"

#ifdef E2E_NORVANTA
constexpr PlayerBuild kBuild = PlayerBuild::Norvanta;
#else
constexpr PlayerBuild kBuild = PlayerBuild::Tavisco;
#endif

namespace {

// The presentation folders the launcher would offer, in the order of Data\config.txt.
QStringList PresentationFolders() {
  medium::TextStream config;
  config.Open(
      medium::BuildPath({medium::ApplicationFolder(), QStringLiteral("\\Data\\config.txt")}));
  const int16_t n =
      medium::ToInt16(medium::PieceAt(medium::SplitPieces(config.ReadLine(), u' '), 1));
  QStringList folders;
  for (int i = 0; i < std::max<int>(n, 1) && !config.AtEndOfStream(); ++i) {
    config.ReadLine();  // the name shown in the launcher
    folders << config.ReadLine();
  }
  config.Close();
  return folders;
}

// Slide n's picture as the medium holds it, on the canvas Slide_img is given.
QImage SlidePicture(const Slides_cls& slides, int n) {
  return SlideCanvas(
      medium::LoadPicture(layout::Current().SlidePicturePath(slides.Slides.Item(n))));
}

}  // namespace

class EndToEndTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void followsRecordingAndJumps();
  void onTimeSyncAndSpeedOnTheRealEngine();
  void cleanupTestCase();

 private:
  std::unique_ptr<medium::RecordingReporter> reporter_;
  std::unique_ptr<PlayerWindow> window_;
};

void EndToEndTest::initTestCase() {
  // No sound device on a build machine.
  qputenv("PRESENTATION_ENGINE_AO", "null");
  std::setlocale(LC_NUMERIC, "C");  // the playback core needs it
  // The medium the build writes, or another one named in the environment.
  const QString root = qEnvironmentVariable("SAMPLE_MEDIUM_DIR", QStringLiteral(SAMPLE_MEDIUM_DIR));
  QVERIFY2(QFile::exists(root + QStringLiteral("/Data/config.txt")),
           "the sample medium has not been written");
  medium::SetApplicationFolder(root);

  const BuildProfile& profile = ProfileFor(kBuild);
  // The first presentation with a recording for this player and at least three slides.
  for (const QString& folder : PresentationFolders()) {
    if (!layout::HasRecording(profile.build, layout::Current().MediaFolderPath(folder))) continue;
    reporter_ = std::make_unique<medium::RecordingReporter>(profile.programTitle);
    window_ = std::make_unique<PlayerWindow>(
        profile, *reporter_,
        [&profile](QWidget* parent) { return CreateEngine(profile.build, parent); },
        QStringLiteral("-p ") + folder);
    window_->Form_Load();
    if (window_->Session().SlidesList() && window_->Session().SlidesList()->Slides.Count() >= 3 &&
        window_->Session().SlideMode != 2)
      break;
    window_.reset();
  }
  QVERIFY2(window_, "no presentation with three slides for this player on the sample medium");
  QVERIFY(window_->Session().Sync() != nullptr);
  QCOMPARE(reporter_->Texts(), QStringList{});
}

void EndToEndTest::followsRecordingAndJumps() {
  PlayerWindow& w = *window_;
  const Slides_cls& slides = *w.Session().SlidesList();
  MediaEngine& engine = w.Session().Engine();
  auto title = [&] { return w.Slide_txt->text(); };
  auto position = [&] { return engine.GetPositionMs(); };

  // After start: the recording plays and the first tick shows the first slide with its picture.
  QTRY_VERIFY_WITH_TIMEOUT(position() > 0, 10000);
  QTRY_COMPARE_WITH_TIMEOUT(title(), slides.Slides.Item(1).SlideName, 5000);
  QVERIFY(w.Slide_img->Picture().text(QString::fromLatin1(kMissingPictureKey)).isEmpty());

  // The slide follows the recording: shortly before slide 2 starts, slide 1 is still shown,
  // and within a tick or two of slide 2's time the window shows slide 2.
  const double second = slides.Slides.Item(2).SlideTime;
  engine.SeekMs(std::max(0.0, second - 1500));
  QTRY_VERIFY_WITH_TIMEOUT(position() >= second - 1600 && position() < second, 5000);
  QTRY_COMPARE_WITH_TIMEOUT(title(), slides.Slides.Item(2).SlideName, 6000);
  // Not early: the window follows the sync clock, which runs on from the engine's last sample,
  // so the position the engine last reported may trail the switch by a frame or two (on a busy
  // machine it did, by less than this).
  constexpr double kSampleLagMs = 100;
  QVERIFY2(position() >= second - kSampleLagMs,
           qPrintable(QStringLiteral("slide 2 at %1 ms, due at %2").arg(position()).arg(second)));
  QCOMPARE(Strip(w)->HighlightLeftTwips(), HighlightLeft(Strip(w)->ThumbnailWidthTwips(), 2));

  // A click on the third thumbnail shows slide 3 at once, without its marks, and the recording
  // goes on from slide 3's time.
  const double third = slides.Slides.Item(3).SlideTime;
  QVERIFY(Thumb(w, 2));
  Thumb(w, 2)->click();
  QCOMPARE(title(), slides.Slides.Item(3).SlideName);
  QVERIFY(SamePicture(w.Slide_img->Picture(), SlidePicture(slides, 3)));
  QCOMPARE(Strip(w)->HighlightLeftTwips(), HighlightLeft(Strip(w)->ThumbnailWidthTwips(), 3));
  QTRY_VERIFY_WITH_TIMEOUT(position() >= third + 500, 3000);
  const double later = position();
  QVERIFY2(later < third + 6000, qPrintable(QString::number(later)));
  // The ticks that follow keep slide 3 while the recording is inside it.
  QTest::qWait(1200);
  if (slides.Slides.Count() < 4 || position() < slides.Slides.Item(4).SlideTime)
    QCOMPARE(title(), slides.Slides.Item(3).SlideName);
  QCOMPARE(reporter_->Texts(), QStringList{});
}

void EndToEndTest::onTimeSyncAndSpeedOnTheRealEngine() {
  PlayerWindow& w = *window_;
  MediaEngine& engine = w.Session().Engine();
  SyncDriver* sync = w.Session().Sync();
  QVERIFY(sync);
  // The engine tells the driver that it plays, and the driver has synced on its own.
  QTRY_VERIFY_WITH_TIMEOUT(sync->Playing(), 5000);
  // Without the tick, the window still follows the recording: the driver syncs on its own.
  w.Timer1->stop();
  QSignalSpy synced(&w.Session().State(), &PlayingState::changed);
  QTRY_VERIFY_WITH_TIMEOUT(synced.size() > 0, 10000);
  w.Timer1->start();
  // ] through the window's key table: the engine plays faster, its panel and the driver hear it.
  auto* panel = w.findChild<ControlPanel*>();
  QVERIFY(panel);
  QTest::keyClick(w.Slide_img, Qt::Key_BracketRight);
  QCOMPARE(engine.Speed(), 1.25);
  QTRY_COMPARE_WITH_TIMEOUT(panel->SpeedButton()->text(), QStringLiteral("1.25x"), 3000);
  QTRY_COMPARE_WITH_TIMEOUT(sync->Speed(), 1.25, 3000);
  QTest::keyClick(w.Slide_img, Qt::Key_Backspace);
  QCOMPARE(engine.Speed(), 1.0);
  // Space pauses; the driver stops aiming its timer.
  QTest::keyClick(w.Slide_img, Qt::Key_Space);
  QVERIFY(engine.Paused());
  QTRY_VERIFY_WITH_TIMEOUT(!sync->Playing(), 3000);
  // Paused, the driver aims no shot: nothing is synced while the tick is stopped.
  w.Timer1->stop();
  synced.clear();
  QTest::qWait(1500);
  QCOMPARE(synced.size(), 0);
  w.Timer1->start();
  QTest::keyClick(w.Slide_img, Qt::Key_Space);
  QTRY_VERIFY_WITH_TIMEOUT(sync->Playing(), 3000);
  QCOMPARE(reporter_->Texts(), QStringList{});
}

void EndToEndTest::cleanupTestCase() {
  if (window_) {
    window_->close();  // ends the player: no tick afterwards
    QVERIFY(window_->Session().Ended());
    QVERIFY(!window_->Timer1->isActive());
  }
  window_.reset();
}

QTEST_MAIN(EndToEndTest)
#include "test_endtoend.moc"
