// The engine on its real playback core, headless: opening, playing, seeking, bad files, the
// control panel, and the end of the window while a recording plays.
#include <QElapsedTimer>
#include <QLabel>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QSlider>
#include <QToolButton>
#include <QWidget>
#include <QtTest>

#include "medium/Error.h"
#include "player/media/ControlPanel.h"
#include "player/media/EngineControl.h"
#include "player/media/EngineFactory.h"
#include "player/media/MpvVideoWidget.h"
#include "tests/media/MediaTestKit.h"

Q_DECLARE_METATYPE(PlayerBuild)

namespace {

EngineControl* ControlOf(MediaEngine& engine) {
  return qobject_cast<EngineControl*>(engine.Widget());
}

bool WaitOpen(MediaEngine& engine, int timeoutMs = 5000) {
  QElapsedTimer clock;
  clock.start();
  while (engine.GetPositionMs() < 0 && clock.elapsed() < timeoutMs) QTest::qWait(5);
  return engine.GetPositionMs() >= 0;
}

// Code built with AddressSanitizer runs a few times slower by design: time limits that guard
// against a probe that hangs are stretched there, not dropped.
#if defined(__SANITIZE_ADDRESS__)
constexpr int kSlowdown = 3;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr int kSlowdown = 3;
#else
constexpr int kSlowdown = 1;
#endif
#else
constexpr int kSlowdown = 1;
#endif

double CoreDouble(EngineControl* control, const char* name) {
  return control->Core()->Double(name);
}

}  // namespace

class EngineTests : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    for (const char* name : {"media.wma", "media.wmv", "media.rm", "audio.rm"})
      QVERIFY2(QFile::exists(RecordingPath(name)), name);
  }

  void probeFindsBothFormatsQuickly() {
    QElapsedTimer clock;
    clock.start();
    QVERIFY(ProbeEngine(PlayerBuild::Tavisco));
    QVERIFY(ProbeEngine(PlayerBuild::Norvanta));
    QVERIFY2(clock.elapsed() < 1000 * kSlowdown, qPrintable(QString::number(clock.elapsed())));
  }

  void designedPlaceAndName() {
    QWidget window;
    auto win = CreateEngine(PlayerBuild::Tavisco, &window, {true, false});
    auto real = CreateEngine(PlayerBuild::Norvanta, &window, {true, false});
    QCOMPARE(win->Widget()->geometry(), QRect(512, 88, 270, 260));
    QCOMPARE(win->Widget()->parentWidget(), &window);
    QCOMPARE(win->Widget()->objectName(), QString("MediaPlayer1"));
    QCOMPARE(real->Widget()->objectName(), QString("RealAudio1"));
    QCOMPARE(real->Top(), 88);
    QCOMPARE(real->Height(), 260);
  }

  void openAndPlayAdvances_data() {
    QTest::addColumn<PlayerBuild>("kind");
    QTest::addColumn<QString>("file");
    QTest::newRow("wma") << PlayerBuild::Tavisco << "media.wma";
    QTest::newRow("wmv") << PlayerBuild::Tavisco << "media.wmv";
    QTest::newRow("rm") << PlayerBuild::Norvanta << "media.rm";
    QTest::newRow("rm sound only") << PlayerBuild::Norvanta << "audio.rm";
  }
  void openAndPlayAdvances() {
    QFETCH(PlayerBuild, kind);
    QFETCH(QString, file);
    TempMedium medium;
    const QString path = PutMedia(medium, file, RecordingBytes(file));
    QWidget window;
    auto engine = CreateEngine(kind, &window, {true, false});
    QVERIFY(engine->GetPositionMs() < 0);
    engine->OpenMedia(path);
    QVERIFY2(engine->GetPositionMs() < 0, "a position before the recording is open");
    engine->Play();
    QVERIFY(WaitOpen(*engine));
    const double first = engine->GetPositionMs();
    QTest::qWait(700);
    const double later = engine->GetPositionMs();
    QVERIFY2(later > first + 400 && later < first + 1500,
             qPrintable(QString("%1 -> %2").arg(first).arg(later)));
    QVERIFY(ControlOf(*engine)->StatusText().isEmpty());
  }

  void openFindsTheFileWhateverItsCase() {
    TempMedium medium;
    PutMedia(medium, "Media.WMA", RecordingBytes("media.wma"));
    QWidget window;
    auto engine = CreateEngine(PlayerBuild::Tavisco, &window, {true, true});
    engine->OpenMedia(
        medium::BuildPath({medium::ApplicationFolder(), "\\Media\\P\\", "media.wma"}));
    engine->Play();
    QVERIFY(WaitOpen(*engine));
  }

  void seekLandsWithinAFrame_data() {
    QTest::addColumn<PlayerBuild>("kind");
    QTest::addColumn<QString>("file");
    QTest::addColumn<double>("target");
    QTest::newRow("wma") << PlayerBuild::Tavisco << "media.wma" << 3210.0;
    QTest::newRow("wmv") << PlayerBuild::Tavisco << "media.wmv" << 4321.0;
    QTest::newRow("wmv back") << PlayerBuild::Tavisco << "media.wmv" << 120.0;
    QTest::newRow("rm") << PlayerBuild::Norvanta << "media.rm" << 3210.0;
    QTest::newRow("rm, half ms") << PlayerBuild::Norvanta << "media.rm" << 2500.5;
  }
  void seekLandsWithinAFrame() {
    QFETCH(PlayerBuild, kind);
    QFETCH(QString, file);
    QFETCH(double, target);
    TempMedium medium;
    const QString path = PutMedia(medium, file, RecordingBytes(file));
    QWidget window;
    auto engine = CreateEngine(kind, &window, {true, false});
    engine->OpenMedia(path);
    engine->Play();
    QVERIFY(WaitOpen(*engine));
    QTest::qWait(1000);  // well into the recording, so that both directions are seeks
    // Playing on: the position is the target plus the time since the seek finished.
    QSignalSpy finished(ControlOf(*engine), &EngineControl::seekFinished);
    engine->SeekMs(target);
    QVERIFY(finished.wait(3000));
    QElapsedTimer sinceSeek;
    sinceSeek.start();
    const double landed = engine->GetPositionMs();
    // Slack for the event's trip to this thread on a busy machine; a seek to the previous key
    // frame would land up to half a second early, which the lower bound still catches.
    const double allowed = 150 + sinceSeek.elapsed();
    QVERIFY2(landed >= target - 50 && landed <= target + allowed,
             qPrintable(QString("target %1, landed %2").arg(target).arg(landed)));
    // Paused, the position is exactly where the seek put it.
    ControlOf(*engine)->Pause();
    finished.clear();
    engine->SeekMs(target + 1000);
    QVERIFY(finished.wait(3000));
    QTest::qWait(50);
    QVERIFY2(qAbs(engine->GetPositionMs() - (target + 1000)) <= 50,
             qPrintable(QString::number(engine->GetPositionMs())));
  }

  void seekBeforeTheRecordingIsOpenIsKept() {
    TempMedium medium;
    const QString path = PutMedia(medium, "media.rm", RecordingBytes("media.rm"));
    QWidget window;
    auto engine = CreateEngine(PlayerBuild::Norvanta, &window, {true, false});
    engine->OpenMedia(path);
    engine->Play();
    engine->SeekMs(4000);  // e.g. a thumbnail clicked before the recording was ready
    QVERIFY(WaitOpen(*engine));
    QTRY_VERIFY_WITH_TIMEOUT(engine->GetPositionMs() >= 3950, 3000);
  }

  void badFilesSayCannotOpen_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QByteArray noise(40000, '\0');
    QRandomGenerator random(1234);
    for (char& c : noise) c = char(random.bounded(256));
    QTest::newRow("noise") << "media.wma" << noise;
    QTest::newRow("truncated asf") << "media.wmv" << RecordingBytes("media.wmv").left(1200);
    QTest::newRow("truncated rm") << "media.rm" << RecordingBytes("media.rm").left(300);
    QTest::newRow("empty") << "media.wma" << QByteArray();
    QTest::newRow("text") << "media.rm" << QByteArray("This is not a recording.\r\n").repeated(50);
  }
  void badFilesSayCannotOpen() {
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    TempMedium medium;
    const QString path = PutMedia(medium, name, bytes);
    QWidget window;
    auto engine = CreateEngine(PlayerBuild::Tavisco, &window, {true, true});
    EngineControl* control = ControlOf(*engine);
    QSignalSpy failed(control, &EngineControl::failed);
    engine->OpenMedia(path);
    engine->Play();
    QVERIFY(failed.count() == 1 || failed.wait(5000));
    QCOMPARE(control->StatusText(), "Cannot open " + name);
    QCOMPARE(control->Panel()->TimeText(), "Cannot open " + name);
    QVERIFY(engine->GetPositionMs() < 0);
    engine->SeekMs(1000);  // the player keeps going: a click on a thumbnail changes nothing
    engine->Play();
    QTest::qWait(200);
    QVERIFY(engine->GetPositionMs() < 0);
  }

  void truncatedRecordingPlaysWhatIsThere() {
    TempMedium medium;
    const QByteArray whole = RecordingBytes("media.wmv");
    const QString path = PutMedia(medium, "media.wmv", whole.left(whole.size() / 2));
    QWidget window;
    auto engine = CreateEngine(PlayerBuild::Tavisco, &window, {true, true});
    engine->OpenMedia(path);
    engine->Play();
    QVERIFY(WaitOpen(*engine));
    EngineControl* control = ControlOf(*engine);
    QTRY_VERIFY_WITH_TIMEOUT(control->Core()->AtEnd(), 5000);
    QVERIFY(engine->GetPositionMs() > 1500);
    QVERIFY(control->StatusText().isEmpty());
  }

  void missingFileSaysCannotOpen() {
    TempMedium medium;
    QWidget window;
    auto engine = CreateEngine(PlayerBuild::Norvanta, &window, {true, false});
    engine->OpenMedia(medium::BuildPath({medium::ApplicationFolder(), "\\Media\\P\\media.rm"}));
    engine->Play();
    QCOMPARE(ControlOf(*engine)->StatusText(), QString("Cannot open media.rm"));
    QTest::qWait(200);
    QVERIFY(engine->GetPositionMs() < 0);
  }

  void aFolderIsNotARecording() {
    TempMedium medium;
    medium.MakeDir("Media/P/media.wma");
    QWidget window;
    auto engine = CreateEngine(PlayerBuild::Tavisco, &window, {true, false});
    engine->OpenMedia(medium::BuildPath({medium::ApplicationFolder(), "\\Media\\P\\media.wma"}));
    engine->Play();
    QCOMPARE(ControlOf(*engine)->StatusText(), QString("Cannot open media.wma"));
    QTest::qWait(200);
    QVERIFY(engine->GetPositionMs() < 0);
  }

  void audioOnlyLoadsWithoutAPictureWindow() {
    // Not headless: the control has a picture window but, shrunk to its panel, must not wait for
    // it; the window is never even shown.
    qputenv("PRESENTATION_ENGINE_AO", "null");
    TempMedium medium;
    const QString path = PutMedia(medium, "media.rm", RecordingBytes("audio.rm"));
    QWidget window;
    auto engine = CreateEngine(PlayerBuild::Norvanta, &window);
    qunsetenv("PRESENTATION_ENGINE_AO");
    engine->ShowControlPanelOnly();
    engine->SetTop(304);
    engine->SetHeight(40);
    engine->OpenMedia(path);
    engine->Play();
    QVERIFY(WaitOpen(*engine));
    QCOMPARE(engine->Widget()->geometry(), QRect(512, 304, 270, 40));
    EngineControl* control = ControlOf(*engine);
    QVERIFY(control->Picture() && !control->Picture()->isVisibleTo(control));
    QCOMPARE(control->Panel()->geometry(), QRect(0, 0, 270, 40));
  }

  // Where no sound output can be opened the recording plays on, silently and timed as usual,
  // and the panel says why nothing is heard; a recording without a picture used to end there.
  void withoutSoundOutputPlaysSilently_data() {
    QTest::addColumn<PlayerBuild>("kind");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("outputs");
    QTest::newRow("wma, unknown output") << PlayerBuild::Tavisco << "media.wma"
                                         << "no-such-output";
    QTest::newRow("wma, two that fail") << PlayerBuild::Tavisco << "media.wma"
                                        << "no-such-output,nor-this-one";
    QTest::newRow("wmv in the strip") << PlayerBuild::Tavisco << "media.wmv"
                                      << "no-such-output";
    QTest::newRow("rm sound only") << PlayerBuild::Norvanta << "audio.rm"
                                   << "no-such-output";
  }
  void withoutSoundOutputPlaysSilently() {
    QFETCH(PlayerBuild, kind);
    QFETCH(QString, file);
    QFETCH(QString, outputs);
    qputenv("PRESENTATION_ENGINE_AO", outputs.toLatin1());
    TempMedium medium;
    const QString path = PutMedia(medium, file, RecordingBytes(file));
    QWidget window;
    auto engine = CreateEngine(kind, &window);
    qunsetenv("PRESENTATION_ENGINE_AO");
    if (kind == PlayerBuild::Norvanta) engine->ShowControlPanelOnly();
    engine->SetTop(305);
    engine->SetHeight(40);
    EngineControl* control = ControlOf(*engine);
    QSignalSpy failed(control, &EngineControl::failed);
    engine->OpenMedia(path);
    engine->Play();
    QVERIFY(WaitOpen(*engine));
    QTRY_COMPARE_WITH_TIMEOUT(control->Panel()->Notice(), QString("No sound output"), 3000);
    const double first = engine->GetPositionMs();
    QTest::qWait(700);
    const double later = engine->GetPositionMs();
    QVERIFY2(later > first + 400 && later < first + 1500,
             qPrintable(QString("%1 -> %2").arg(first).arg(later)));
    QCOMPARE(failed.count(), 0);
    QVERIFY(control->StatusText().isEmpty());
    QVERIFY(control->Core()->SoundOutputMissing());
    ControlPanel* panel = control->Panel();
    QVERIFY(!panel->MuteButton()->isVisibleTo(panel));
    QVERIFY(!panel->VolumeBar()->isVisibleTo(panel));
  }

  void silenceAskedForIsNoNotice() {
    qputenv("PRESENTATION_ENGINE_AO", "null");
    TempMedium medium;
    const QString path = PutMedia(medium, "media.wma", RecordingBytes("media.wma"));
    QWidget window;
    auto engine = CreateEngine(PlayerBuild::Tavisco, &window);
    qunsetenv("PRESENTATION_ENGINE_AO");
    engine->SetTop(305);
    engine->SetHeight(40);
    engine->OpenMedia(path);
    engine->Play();
    QVERIFY(WaitOpen(*engine));
    QTest::qWait(300);
    EngineControl* control = ControlOf(*engine);
    QVERIFY(!control->Core()->SoundOutputMissing());
    QCOMPARE(control->Panel()->Notice(), QString());
    QVERIFY(control->Panel()->MuteButton()->isVisibleTo(control->Panel()));
  }

  // The time and any message are light on the panel's black, full size and in the audio-only
  // strip, whatever the colours of the window around it.
  void panelTextReadsOnItsBlack_data() {
    QTest::addColumn<int>("height");
    QTest::addColumn<bool>("message");
    QTest::newRow("full size") << 260 << false;
    QTest::newRow("audio-only strip") << 40 << false;
    QTest::newRow("strip with a message") << 40 << true;
  }
  void panelTextReadsOnItsBlack() {
    QFETCH(int, height);
    QFETCH(bool, message);
    QWidget window;
    window.resize(800, 613);
    auto engine = CreateEngine(PlayerBuild::Tavisco, &window, {true, false});
    engine->SetTop(305);
    engine->SetHeight(height);
    ControlPanel* panel = ControlOf(*engine)->Panel();
    panel->SetDuration(125);
    panel->SetPosition(61);
    if (message) panel->ShowMessage("Cannot open media.wma");
    QVERIFY(panel->TimeText() == (message ? "Cannot open media.wma" : "1:01 / 2:05"));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QImage shot = panel->grab().toImage();
    const QRect label = panel->TimeLabel()->geometry();
    QVERIFY(label.width() > 40);
    int light = 0;
    int dark = 0;
    for (int y = label.top(); y <= label.bottom(); ++y) {
      for (int x = label.left(); x <= label.right(); ++x) {
        const int lightness = QColor(shot.pixel(x, y)).lightness();
        if (lightness > 170) ++light;
        if (lightness < 40) ++dark;
      }
    }
    QVERIFY2(light >= 20, qPrintable(QString("%1 light pixels").arg(light)));
    QVERIFY2(dark > light, "the panel's black behind the text");
    QVERIFY(panel->TimeLabel()->palette().color(QPalette::WindowText).lightness() > 170);
    // The symbols on the buttons are light as well.
    for (QToolButton* button : {panel->PlayButton(), panel->StopButton(), panel->MuteButton()}) {
      const QImage symbol = button->icon().pixmap(QSize(16, 16)).toImage();
      int lightest = 0;
      for (int y = 0; y < symbol.height(); ++y)
        for (int x = 0; x < symbol.width(); ++x)
          if (qAlpha(symbol.pixel(x, y)) > 200)
            lightest = std::max(lightest, QColor(symbol.pixel(x, y)).lightness());
      QVERIFY2(lightest > 170, qPrintable(button->toolTip()));
    }
  }

  void panelButtonsDriveThePlayback() {
    TempMedium medium;
    const QString path = PutMedia(medium, "media.wmv", RecordingBytes("media.wmv"));
    QWidget window;
    auto engine = CreateEngine(PlayerBuild::Tavisco, &window, {true, false});
    EngineControl* control = ControlOf(*engine);
    ControlPanel* panel = control->Panel();
    engine->OpenMedia(path);
    engine->Play();
    QVERIFY(WaitOpen(*engine));
    QTRY_VERIFY(panel->SeekBar()->maximum() >= 5900 && panel->SeekBar()->maximum() <= 6200);
    QTRY_VERIFY(panel->TimeText().endsWith(" / 0:06"));
    // Under way before the pause: a pause in the first frames can still see the position move
    // from 0 to the first frame's time after it, on a slow (instrumented or busy) machine.
    QTRY_VERIFY(engine->GetPositionMs() > 200);

    panel->PlayButton()->click();  // pause
    QTRY_VERIFY(control->Core()->Paused());
    const double paused = engine->GetPositionMs();
    QTest::qWait(300);
    QCOMPARE(engine->GetPositionMs(), paused);

    // A click on the seek bar at three quarters seeks there.
    QSignalSpy finished(control, &EngineControl::seekFinished);
    QSlider* bar = panel->SeekBar();
    const QPoint spot(bar->width() * 3 / 4, bar->height() / 2);
    QTest::mousePress(bar, Qt::LeftButton, {}, spot);
    QTest::mouseRelease(bar, Qt::LeftButton, {}, spot);
    QVERIFY(finished.wait(3000));
    QVERIFY2(qAbs(engine->GetPositionMs() - 4500) < 400,
             qPrintable(QString::number(engine->GetPositionMs())));

    panel->PlayButton()->click();  // resume
    QTRY_VERIFY(!control->Core()->Paused());
    panel->StopButton()->click();
    QTRY_VERIFY(control->Core()->Paused());
    QTRY_VERIFY(engine->GetPositionMs() < 50);
    QVERIFY(engine->GetPositionMs() >= 0);  // stopped, the recording stays open

    panel->VolumeBar()->setValue(30);
    QCOMPARE(CoreDouble(control, "volume"), 30.0);
    panel->MuteButton()->click();
    QVERIFY(control->Core()->Flag("mute"));
  }

  void keysOnTheControl() {
    TempMedium medium;
    const QString path = PutMedia(medium, "media.wma", RecordingBytes("media.wma"));
    QWidget window;
    auto engine = CreateEngine(PlayerBuild::Tavisco, &window, {true, false});
    EngineControl* control = ControlOf(*engine);
    engine->OpenMedia(path);
    engine->Play();
    QVERIFY(WaitOpen(*engine));
    QTest::keyClick(control, Qt::Key_Space);
    QTRY_VERIFY(control->Core()->Paused());
    QSignalSpy finished(control, &EngineControl::seekFinished);
    const double before = engine->GetPositionMs();
    QTest::keyClick(control, Qt::Key_Right);
    QVERIFY(finished.wait(3000));
    QVERIFY(qAbs(engine->GetPositionMs() - (before + 5000)) < 60);
  }

  void playAtTheEndStartsAgain() {
    TempMedium medium;
    const QString path = PutMedia(medium, "media.wma", RecordingBytes("media.wma"));
    QWidget window;
    // Timed, from just before the end: played untimed, the core could run through to the end
    // again between two looks at the position.
    auto engine = CreateEngine(PlayerBuild::Tavisco, &window, {true, false});
    EngineControl* control = ControlOf(*engine);
    engine->OpenMedia(path);
    engine->SeekMs(5400);
    engine->Play();
    QVERIFY(WaitOpen(*engine));
    QTRY_VERIFY_WITH_TIMEOUT(control->Core()->AtEnd(), 5000);
    // Kept open at the end: the position stays valid.
    QVERIFY(engine->GetPositionMs() > 5500);
    control->Play();
    QTRY_VERIFY(engine->GetPositionMs() < 3000);
  }

  void closingWhilePlayingIsClean() {
    TempMedium medium;
    const QString path = PutMedia(medium, "media.wmv", RecordingBytes("media.wmv"));
    auto* window = new QWidget;
    auto engine = CreateEngine(PlayerBuild::Tavisco, window, {true, false});
    engine->OpenMedia(path);
    engine->Play();
    QVERIFY(WaitOpen(*engine));
    QTest::qWait(300);
    delete window;      // the window closes; no stop call is made to the engine
    QTest::qWait(100);  // anything mpv posted before the end must find nobody
    QVERIFY(engine->GetPositionMs() < 0);
    bool refused = false;
    try {
      engine->Play();
    } catch (const medium::AppError& e) {
      refused = e.number() == medium::kEngineFailure;
    }
    QVERIFY(refused);
  }
};

QTEST_MAIN(EngineTests)
#include "test_engine.moc"
