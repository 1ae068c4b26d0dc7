// The picture window on a real display (xvfb): frames are drawn, the file given before the window
// is shown is loaded once the core has started, and the window may close while the video plays.
#include <QElapsedTimer>
#include <QImage>
#include <QSet>
#include <QWidget>
#include <QtTest>

#include "player/media/EngineControl.h"
#include "player/media/EngineFactory.h"
#include "player/media/MpvVideoWidget.h"
#include "tests/media/MediaTestKit.h"

namespace {

EngineControl* ControlOf(MediaEngine& engine) {
  return qobject_cast<EngineControl*>(engine.Widget());
}

int DistinctColours(const QImage& image) {
  QSet<QRgb> colours;
  for (int y = 0; y < image.height(); y += 4)
    for (int x = 0; x < image.width(); x += 4) colours.insert(image.pixel(x, y) & 0xffffff);
  return colours.size();
}

}  // namespace

class VideoTests : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { qputenv("PRESENTATION_ENGINE_AO", "null"); }

  void videoFramesAreDrawn_data() {
    QTest::addColumn<PlayerBuild>("kind");
    QTest::addColumn<QString>("file");
    QTest::newRow("wmv") << PlayerBuild::Tavisco << "media.wmv";
    QTest::newRow("rm") << PlayerBuild::Norvanta << "media.rm";
  }
  void videoFramesAreDrawn() {
    QFETCH(PlayerBuild, kind);
    QFETCH(QString, file);
    TempMedium medium;
    const QString path = PutMedia(medium, file, RecordingBytes(file));
    QWidget window;
    window.resize(800, 613);
    auto engine = CreateEngine(kind, &window);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    engine->OpenMedia(path);
    engine->Play();
    EngineControl* control = ControlOf(*engine);
    MpvVideoWidget* picture = control->Picture();
    QVERIFY(picture);
    QTRY_VERIFY_WITH_TIMEOUT(picture->RenderReady(), 5000);
    QTRY_VERIFY_WITH_TIMEOUT(engine->GetPositionMs() > 1000, 5000);
    QVERIFY(picture->FramesDrawn() > 5);
    const QImage frame = picture->Frame();
    QCOMPARE(frame.size(), picture->size() * picture->devicePixelRatioF());
    // The test picture is colour bars and a counter: far from one flat colour.
    QVERIFY2(DistinctColours(frame) > 8, qPrintable(QString::number(DistinctColours(frame))));
  }

  void fileGivenBeforeTheWindowShowsIsLoadedOnceTheCoreHasStarted() {
    TempMedium medium;
    const QString path = PutMedia(medium, "media.rm", RecordingBytes("media.rm"));
    QWidget window;
    window.resize(800, 613);
    auto engine = CreateEngine(PlayerBuild::Norvanta, &window);
    // The RealMedia player opens and plays, then shows its window; the core starts meanwhile.
    engine->OpenMedia(path);
    engine->Play();
    QVERIFY2(engine->GetPositionMs() < 0, "open before the core could have started");
    window.show();
    QTRY_VERIFY_WITH_TIMEOUT(engine->GetPositionMs() > 500, 5000);
    QTRY_VERIFY_WITH_TIMEOUT(DistinctColours(ControlOf(*engine)->Picture()->Frame()) > 8, 3000);
  }

  void closingWhileVideoPlaysIsClean() {
    TempMedium medium;
    const QString path = PutMedia(medium, "media.wmv", RecordingBytes("media.wmv"));
    for (int round = 0; round < 3; ++round) {
      auto* window = new QWidget;
      window->resize(800, 613);
      auto engine = CreateEngine(PlayerBuild::Tavisco, window);
      window->show();
      engine->OpenMedia(path);
      engine->Play();
      QTRY_VERIFY_WITH_TIMEOUT(engine->GetPositionMs() > 300, 5000);
      window->close();
      delete window;
      QTest::qWait(50);
      QVERIFY(engine->GetPositionMs() < 0);
    }
  }
};

QTEST_MAIN(VideoTests)
#include "test_video.moc"
