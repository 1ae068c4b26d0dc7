// The two bindings' unit conversions and placement, against fake engine controls.
#include <QWidget>
#include <QtTest>
#include <cstdint>
#include <limits>

#include "medium/Error.h"
#include "player/media/Bindings.h"
#include "player/media/ControlPanel.h"
#include "player/media/EngineFactory.h"
#include "player/media/MpvCore.h"

namespace {

struct FakeWinControl : WinMediaControl {
  QStringList* calls;
  double position = -1;
  explicit FakeWinControl(QStringList* log) : calls(log) {}
  void SetFileName(const QString& path) override { *calls << "FileName " + path; }
  void Play() override { *calls << "Play"; }
  double CurrentPosition() override { return position; }
  void SetCurrentPosition(double s) override {
    *calls << "CurrentPosition " + QString::number(s, 'g', 15);
  }
  void SetShowDisplay(bool show) override { *calls << QString("ShowDisplay %1").arg(show); }
};

struct FakeRealControl : RealMediaControl {
  QStringList* calls;
  int32_t position = -1;
  explicit FakeRealControl(QStringList* log) : calls(log) {}
  void SetSource(const QString& path) override { *calls << "Source " + path; }
  void DoPlay() override { *calls << "DoPlay"; }
  int32_t GetPosition() override { return position; }
  void SetPosition(int32_t ms) override { *calls << "Position " + QString::number(ms); }
  void SetControls(const QString& parts) override { *calls << "Controls " + parts; }
};

}  // namespace

class BindingTests : public QObject {
  Q_OBJECT

 private slots:
  void winPositionIsSecondsTimesThousand_data() {
    QTest::addColumn<double>("seconds");
    QTest::addColumn<double>("ms");
    QTest::newRow("12.5 s") << 12.5 << 12500.0;
    QTest::newRow("start") << 0.0 << 0.0;
    QTest::newRow("fraction kept") << 1.2345 << 1234.5;
    QTest::newRow("nothing open stays negative") << -1.0 << -1000.0;
  }
  void winPositionIsSecondsTimesThousand() {
    QFETCH(double, seconds);
    QFETCH(double, ms);
    QStringList calls;
    auto control = std::make_unique<FakeWinControl>(&calls);
    control->position = seconds;
    WinMediaBinding binding(std::move(control), nullptr);
    QCOMPARE(binding.GetPositionMs(), ms);
  }

  void winSeekIsMsOverThousand_data() {
    QTest::addColumn<double>("ms");
    QTest::addColumn<QString>("call");
    QTest::newRow("61500 ms") << 61500.0 << "CurrentPosition 61.5";
    QTest::newRow("half ms not rounded") << 1000.5 << "CurrentPosition 1.0005";
    QTest::newRow("zero") << 0.0 << "CurrentPosition 0";
  }
  void winSeekIsMsOverThousand() {
    QFETCH(double, ms);
    QFETCH(QString, call);
    QStringList calls;
    WinMediaBinding binding(std::make_unique<FakeWinControl>(&calls), nullptr);
    binding.SeekMs(ms);
    QCOMPARE(calls, QStringList{call});
  }

  void realPositionIsWholeMsWidened() {
    QStringList calls;
    auto control = std::make_unique<FakeRealControl>(&calls);
    auto* raw = control.get();
    RealMediaBinding binding(std::move(control), nullptr);
    raw->position = 61500;
    QCOMPARE(binding.GetPositionMs(), 61500.0);
    raw->position = -1;
    QVERIFY(binding.GetPositionMs() < 0);
    raw->position = std::numeric_limits<int32_t>::max();
    QCOMPARE(binding.GetPositionMs(), 2147483647.0);
  }

  void realSeekRoundsHalfToEven_data() {
    QTest::addColumn<double>("ms");
    QTest::addColumn<QString>("call");
    QTest::newRow("61500") << 61500.0 << "Position 61500";
    QTest::newRow("1000.5 to even below") << 1000.5 << "Position 1000";
    QTest::newRow("1001.5 to even above") << 1001.5 << "Position 1002";
    QTest::newRow("1000.4") << 1000.4 << "Position 1000";
    QTest::newRow("1000.6") << 1000.6 << "Position 1001";
    QTest::newRow("int32 max") << 2147483647.0 << "Position 2147483647";
  }
  void realSeekRoundsHalfToEven() {
    QFETCH(double, ms);
    QFETCH(QString, call);
    QStringList calls;
    RealMediaBinding binding(std::make_unique<FakeRealControl>(&calls), nullptr);
    binding.SeekMs(ms);
    QCOMPARE(calls, QStringList{call});
  }

  void realSeekOutsideInt32IsOverflow_data() {
    QTest::addColumn<double>("ms");
    QTest::newRow("just above") << 2147483647.5;  // rounds to 2147483648
    QTest::newRow("far above") << 1e12;
    QTest::newRow("below") << -2147483649.0;
    QTest::newRow("not a number") << std::numeric_limits<double>::quiet_NaN();
  }
  void realSeekOutsideInt32IsOverflow() {
    QFETCH(double, ms);
    QStringList calls;
    RealMediaBinding binding(std::make_unique<FakeRealControl>(&calls), nullptr);
    try {
      binding.SeekMs(ms);
      QFAIL("no overflow raised");
    } catch (const medium::AppError& e) {
      QCOMPARE(e.number(), int(medium::kOverflow));
    }
    QVERIFY(calls.isEmpty());
  }

  void wholeMillisecondsTruncates_data() {
    QTest::addColumn<double>("seconds");
    QTest::addColumn<int>("ms");
    QTest::newRow("12.5") << 12.5 << 12500;
    QTest::newRow("truncated, not rounded") << 1.2349 << 1234;
    QTest::newRow("just below a second") << 0.9999 << 999;
    QTest::newRow("start") << 0.0 << 0;
    QTest::newRow("nothing open") << -1.0 << -1;
    QTest::newRow("tiny negative is still nothing") << -0.0004 << -1;
    QTest::newRow("beyond int32 held") << 3e6 << std::numeric_limits<int32_t>::max();
    QTest::newRow("nan") << std::numeric_limits<double>::quiet_NaN() << -1;
  }
  void wholeMillisecondsTruncates() {
    QFETCH(double, seconds);
    QFETCH(int, ms);
    QCOMPARE(WholeMilliseconds(seconds), ms);
  }

  void operationsReachTheirControl() {
    QStringList calls;
    WinMediaBinding win(std::make_unique<FakeWinControl>(&calls), nullptr);
    win.OpenMedia("C:\\M\\Media\\P\\media.wma");
    win.Play();
    win.ShowControlPanelOnly();
    QCOMPARE(calls, (QStringList{"FileName C:\\M\\Media\\P\\media.wma", "Play", "ShowDisplay 0"}));
    calls.clear();
    RealMediaBinding real(std::make_unique<FakeRealControl>(&calls), nullptr);
    real.OpenMedia("C:\\M\\Media\\P\\media.rm");
    real.Play();
    real.ShowControlPanelOnly();
    QCOMPARE(calls,
             (QStringList{"Source C:\\M\\Media\\P\\media.rm", "DoPlay", "Controls ControlPanel"}));
  }

  void placementMovesTheHostInParentPixels() {
    QWidget window;
    auto* host = new QWidget(&window);
    host->setGeometry(512, 88, 270, 260);
    QStringList calls;
    RealMediaBinding binding(std::make_unique<FakeRealControl>(&calls), host);
    QCOMPARE(binding.Top(), 88);
    QCOMPARE(binding.Height(), 260);
    binding.SetTop(304);
    binding.SetHeight(40);
    QCOMPARE(host->geometry(), QRect(512, 304, 270, 40));
    QCOMPARE(binding.Top(), 304);
    QCOMPARE(binding.Height(), 40);
    QCOMPARE(binding.Widget(), host);
  }

  void placementSurvivesTheHostsEnd() {
    QStringList calls;
    auto* window = new QWidget;
    auto* host = new QWidget(window);
    WinMediaBinding binding(std::make_unique<FakeWinControl>(&calls), host);
    delete window;  // the window closes before the player lets go of its binding
    binding.SetTop(305);
    binding.SetFocus();
    QCOMPARE(binding.Widget(), nullptr);
    QCOMPARE(binding.Top(), 305);
  }

  void environmentForcesHeadlessAndAudioOutput() {
    qputenv("PRESENTATION_ENGINE_HEADLESS", "1");
    qputenv("PRESENTATION_ENGINE_AO", "null");
    MpvCoreOptions forced = CoreOptionsFor({});
    QVERIFY(forced.headless);
    QCOMPARE(forced.audioOutput, QString("null"));
    qputenv("PRESENTATION_ENGINE_HEADLESS", "0");
    qputenv("PRESENTATION_ENGINE_AO", "pulse --vo=x11");  // not an output name: ignored
    MpvCoreOptions plain = CoreOptionsFor({});
    QVERIFY(!plain.headless);
    QVERIFY(plain.audioOutput.isEmpty());
    qunsetenv("PRESENTATION_ENGINE_HEADLESS");
    qunsetenv("PRESENTATION_ENGINE_AO");
    QVERIFY(CoreOptionsFor({true, true}).headless);
    QVERIFY(CoreOptionsFor({true, true}).untimed);
  }

  // The silent output always comes last, so that a recording plays on where no sound output
  // opens; what was asked for comes first, in its order.
  void audioOutputList_data() {
    QTest::addColumn<QString>("requested");
    QTest::addColumn<QString>("outputs");
    QTest::newRow("the core's own") << ""
                                    << "pipewire,pulse,alsa,null";
    QTest::newRow("silence asked for") << "null"
                                       << "null";
    QTest::newRow("one output") << "alsa"
                                << "alsa,null";
    QTest::newRow("unknown output") << "no-such-output"
                                    << "no-such-output,null";
    QTest::newRow("then the core's own") << "alsa,"
                                         << "alsa,pipewire,pulse,null";
    QTest::newRow("own order kept") << "pulse,null,alsa"
                                    << "pulse,null,alsa";
  }
  void audioOutputList() {
    QFETCH(QString, requested);
    QFETCH(QString, outputs);
    QCOMPARE(AudioOutputList(requested, {"pipewire", "pulse", "alsa"}), outputs);
    QCOMPARE(AudioOutputList(QString(), {}), QString("null"));
  }

  void timeFormat_data() {
    QTest::addColumn<double>("seconds");
    QTest::addColumn<QString>("text");
    QTest::newRow("nothing") << -1.0 << "0:00";
    QTest::newRow("start") << 0.0 << "0:00";
    QTest::newRow("not rounded up") << 59.99 << "0:59";
    QTest::newRow("a minute") << 60.0 << "1:00";
    QTest::newRow("over an hour") << 3725.0 << "62:05";
    QTest::newRow("nan") << std::numeric_limits<double>::quiet_NaN() << "0:00";
  }
  void timeFormat() {
    QFETCH(double, seconds);
    QFETCH(QString, text);
    QCOMPARE(ControlPanel::FormatTime(seconds), text);
  }
};

QTEST_MAIN(BindingTests)
#include "test_bindings.moc"
