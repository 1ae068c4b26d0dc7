// The on-time sync: slides, marks and transcript sections appear at their moment on the
// recording's clock without any tick, at normal and double speed, with an engine whose reading
// moves in steps as the real one does; seeks, pauses, speed changes and the end of the recording.
// Everything runs on a fake clock: nothing waits.

#include <QtTest>
#include <map>

#include "player/core/SyncDriver.h"
#include "tests/sync/FakeClock.h"
#include "tests/sync/SyncFixture.h"

namespace {

// A recording playing on the fake clock: its true position grows with the speed; the engine
// tells a new sample every 50 ms of wall time and its reading stays at the last sample between.
struct OnTime {
  SyncFixture f;
  FakeClock clock;
  std::unique_ptr<SyncDriver> driver;
  double truth = 0;  // the recording's real position
  double speed = 1;
  bool playing = false;
  double sampleEveryMs = 50;
  bool tellSamples = true;  // false: the reading moves, but the engine says nothing
  double lastSampleAt = 0;
  int syncs = 0;  // how many syncs the driver has made
  // Where the truth stood when each title first appeared, and when the first marks appeared.
  std::map<QString, double> titleAt;
  std::map<QString, double> transcriptAt;
  double marksAt = -1;
  int picturesSeen = 0;
  // Where the truth stood when each notification for the other views was first given.
  std::map<QString, double> shownAt;

  OnTime() {
    f.AddSlide(0, QStringLiteral("One"));
    f.AddSlide(1030, QStringLiteral("Two"));
    f.AddSlide(2070, QStringLiteral("Three"));
    // A mark's range starts at its slide's index: mark 1 belongs to slide 1, mark 2 (a red line
    // at pixel row 100) to slide 2 from its start.
    f.AddAnn(0, 0, 0, 150, 1500, 150);
    f.AddAnn(1030, 0, 0, 1500, 1500, 1500);
    f.AddCue(0, {QStringLiteral("first")});
    f.AddCue(1510, {QStringLiteral("second")});
  }

  void Start(double at = 0) {
    QList<double> times;
    for (int k = 1; k <= f.slides.Slides.Count(); ++k) times << f.slides.Slides.Item(k).SlideTime;
    for (int k = 1; k <= f.anns.Anns.Count(); ++k) times << f.anns.Anns.Item(k).AnnTime;
    for (int k = 1; k <= f.trans.Trans.Count(); ++k) times << f.trans.Trans.Item(k).TranTime;
    driver = std::make_unique<SyncDriver>(f.engine, clock, times, [this](double p) {
      ++syncs;
      f.playback->SyncToPosition(p);
    });
    f.engine.SetListener(driver.get());
    f.playback->SetTickPositionFilter([this](double ms) { return driver->TickPosition(ms); });
    f.playback->SetJumpListener([this](double ms) {
      truth = ms;
      driver->SeekedTo(ms);
    });
    truth = at;
    f.engine.position = at;
    SetPlaying(true);
  }
  void SetPlaying(bool on) {
    playing = on;
    f.engine.TellPlaying(on);
  }
  void SetSpeed(double s) {
    speed = s;
    f.engine.TellSpeed(s);
  }
  // Plays on for wallMs of wall time, a millisecond at a time.
  void Play(double wallMs) {
    const double end = clock.now + wallMs;
    while (clock.now < end) {
      const double t = clock.now + 1;
      clock.AdvanceTo(t);
      if (playing) truth += speed;
      Note();
      if (playing && t - lastSampleAt >= sampleEveryMs) {
        lastSampleAt = t;
        if (tellSamples)
          f.engine.TellPosition(truth);
        else
          f.engine.position = truth;
      }
      Note();
    }
  }
  void Note() {
    if (!titleAt.count(f.view.title)) titleAt[f.view.title] = truth;
    if (!transcriptAt.count(f.view.transcript)) transcriptAt[f.view.transcript] = truth;
    for (const QString& told : f.view.shown)
      if (!shownAt.count(told)) shownAt[told] = truth;
    if (marksAt < 0 && f.view.pictures != picturesSeen) {
      picturesSeen = f.view.pictures;
      if (SecondMarkShown()) marksAt = truth;
    }
  }
  bool SecondMarkShown() const {
    const QImage& p = f.view.picture;
    return !p.isNull() && p.pixel(50, 100) == qRgb(255, 0, 0);
  }
  int TitleWrites(const QString& title) const {
    return int(f.view.calls.count(QStringLiteral("Title ") + title));
  }
};

}  // namespace

class OnTimeTest : public QObject {
  Q_OBJECT

 private slots:
  void appearAtTheirTimesWithoutTick_data();
  void appearAtTheirTimesWithoutTick();
  void eachBoundarySyncedOnce();
  void otherViewsToldOnTime_data();
  void otherViewsToldOnTime();
  void seekByJumpResyncsAtOnce();
  void seekElsewhereResyncsAtOnce_data();
  void seekElsewhereResyncsAtOnce();
  void pauseHoldsAndResumes();
  void speedChangeReaims();
  void endOfRecordingStopsTheTimer();
  void stalledEngineShowsNothingAhead();
  void quietEngineStillOnTime();
  void tickDoesNotTakeBackWhatWasShown();
  void seekBackBeforeFirstSlideShowsStartupState();
  void seekBackBeforeFirstSlideThroughTheDriver();
  void stoppedDriverSyncsNothing();
};

void OnTimeTest::appearAtTheirTimesWithoutTick_data() {
  QTest::addColumn<double>("speed");
  QTest::newRow("1x") << 1.0;
  QTest::newRow("2x") << 2.0;
  QTest::newRow("0.5x") << 0.5;
}

void OnTimeTest::appearAtTheirTimesWithoutTick() {
  QFETCH(double, speed);
  OnTime s;
  s.Start();
  s.SetSpeed(speed);
  s.Play(3000 / speed);
  // A millisecond of the fake clock is the resolution; at 2x that is 2 ms of the recording.
  const double slack = 2 * speed + 0.01;
  for (const auto& [title, time] :
       {std::pair{QStringLiteral("Two"), 1030.0}, std::pair{QStringLiteral("Three"), 2070.0}}) {
    QVERIFY2(s.titleAt.count(title), qPrintable(title));
    QVERIFY2(s.titleAt[title] >= time && s.titleAt[title] <= time + slack,
             qPrintable(QStringLiteral("%1 at %2").arg(title).arg(s.titleAt[title])));
  }
  QVERIFY(s.transcriptAt.count(QStringLiteral("second")));
  QVERIFY(s.transcriptAt[QStringLiteral("second")] >= 1510 &&
          s.transcriptAt[QStringLiteral("second")] <= 1510 + slack);
  QVERIFY(s.marksAt >= 1030 && s.marksAt <= 1030 + slack);
  // The first section shows from just after the start, not with the next tick.
  QVERIFY(s.transcriptAt.count(QStringLiteral("first")));
  QVERIFY(s.transcriptAt[QStringLiteral("first")] <= slack);
}

void OnTimeTest::eachBoundarySyncedOnce() {
  OnTime s;
  s.Start();
  s.Play(3000);
  // Boundaries 0, just after 0, 1030 (slide 2 and its mark), 1510 (a section), 2070: five
  // syncs in all, none twice; each sync writes the whole window once.
  QCOMPARE(s.syncs, 5);
  QCOMPARE(s.f.view.pictures, 5);
  QCOMPARE(s.TitleWrites(QStringLiteral("One")), 2);
  QCOMPARE(s.TitleWrites(QStringLiteral("Two")), 2);
  QCOMPARE(s.TitleWrites(QStringLiteral("Three")), 1);
  QCOMPARE(s.f.view.calls.count(QStringLiteral("Transcript second")), 2);
  // Playing on past the last boundary syncs nothing more.
  s.Play(3000);
  QCOMPARE(s.syncs, 5);
}

void OnTimeTest::otherViewsToldOnTime_data() {
  QTest::addColumn<double>("speed");
  QTest::newRow("1x") << 1.0;
  QTest::newRow("2x") << 2.0;
}

void OnTimeTest::otherViewsToldOnTime() {
  QFETCH(double, speed);
  OnTime s;
  s.Start();
  s.SetSpeed(speed);
  s.Play(3000 / speed);
  const double slack = 2 * speed + 0.01;
  // The large view and the transcript window hear of each slide (with the marks Slide_img got)
  // and each section at its moment, not with the next tick.
  for (const auto& [told, time] : {std::pair{QStringLiteral("Slide 2 2 2"), 1030.0},
                                   std::pair{QStringLiteral("Cue 2"), 1510.0},
                                   std::pair{QStringLiteral("Slide 3 3 2"), 2070.0}}) {
    QVERIFY2(s.shownAt.count(told), qPrintable(told));
    QVERIFY2(s.shownAt[told] >= time && s.shownAt[told] <= time + slack,
             qPrintable(QStringLiteral("%1 at %2").arg(told).arg(s.shownAt[told])));
  }
  QVERIFY(s.shownAt.count(QStringLiteral("Cue 1")));
  QVERIFY(s.shownAt[QStringLiteral("Cue 1")] <= slack);
  // Once with each sync that writes the window: the slide that comes last, with the last
  // boundary, is told once; each sync tells both, the section first.
  QCOMPARE(s.f.view.shown.count(QStringLiteral("Slide 3 3 2")), 1);
  QCOMPARE(s.f.view.shown.size(), 2 * s.syncs);
  for (qsizetype k = 0; k < s.f.view.shown.size(); k += 2) {
    QVERIFY(s.f.view.shown[k].startsWith(QStringLiteral("Cue ")));
    QVERIFY(s.f.view.shown[k + 1].startsWith(QStringLiteral("Slide ")));
  }
  // Playing on past the last boundary tells nothing more.
  const qsizetype told = s.f.view.shown.size();
  s.Play(2000);
  QCOMPARE(s.f.view.shown.size(), told);
}

void OnTimeTest::seekByJumpResyncsAtOnce() {
  OnTime s;
  s.Start();
  s.Play(2500);
  QCOMPARE(s.f.view.title, QStringLiteral("Three"));
  s.f.view.calls.clear();
  s.f.engine.calls.clear();
  s.f.playback->JumpToSlide(2);  // the thumbnail of slide 2
  // At once, with its mark and the transcript of that moment, without a tick.
  QCOMPARE(s.f.view.title, QStringLiteral("Two"));
  QVERIFY(s.SecondMarkShown());
  QCOMPARE(s.f.view.transcript, QStringLiteral("first"));
  QCOMPARE(s.f.engine.calls, (QStringList{"Play", "SeekMs 1030"}));  // the target is known
  // And it goes on from there on time.
  s.titleAt.clear();
  s.Play(1100);
  QVERIFY(s.titleAt.count(QStringLiteral("Three")));
  QVERIFY(s.titleAt[QStringLiteral("Three")] <= 2072);
}

void OnTimeTest::seekElsewhereResyncsAtOnce_data() {
  QTest::addColumn<bool>("toldSeeked");
  QTest::newRow("a position far from the clock") << false;
  QTest::newRow("the engine says it has seeked") << true;
}

void OnTimeTest::seekElsewhereResyncsAtOnce() {
  // The control panel's bar moves the recording without the player's knowing.
  QFETCH(bool, toldSeeked);
  OnTime s;
  s.Start();
  s.Play(2500);
  QCOMPARE(s.f.view.title, QStringLiteral("Three"));
  s.truth = 1200;
  if (toldSeeked) {
    s.f.engine.position = 1200;
    s.f.engine.TellSeeked();
  } else {
    s.f.engine.TellPosition(1200);
  }
  QCOMPARE(s.f.view.title, QStringLiteral("Two"));
  QCOMPARE(s.f.view.transcript, QStringLiteral("first"));
}

void OnTimeTest::pauseHoldsAndResumes() {
  OnTime s;
  s.Start();
  s.Play(900);
  s.SetPlaying(false);
  QVERIFY(!s.clock.IsArmed());
  s.Play(5000);  // paused: the recording does not move, nothing changes
  QCOMPARE(s.f.view.title, QStringLiteral("One"));
  s.SetPlaying(true);
  QVERIFY(s.clock.IsArmed());
  s.Play(200);
  QCOMPARE(s.f.view.title, QStringLiteral("Two"));
  QVERIFY(s.titleAt[QStringLiteral("Two")] <= 1032);
}

void OnTimeTest::speedChangeReaims() {
  OnTime s;
  s.Start();
  s.Play(500);
  s.SetSpeed(2.0);  // between samples: the timer must be aimed again at once
  s.Play(800);
  QVERIFY(s.titleAt.count(QStringLiteral("Two")));
  QVERIFY2(s.titleAt[QStringLiteral("Two")] <= 1034,
           qPrintable(QString::number(s.titleAt[QStringLiteral("Two")])));
  QCOMPARE(s.driver->Speed(), 2.0);
}

void OnTimeTest::endOfRecordingStopsTheTimer() {
  OnTime s;
  s.f.AddSlide(9000, QStringLiteral("After the end"));
  s.Start();
  s.Play(2500);
  // The recording ends at 2500: the engine holds there and says it no longer plays.
  s.SetPlaying(false);
  QVERIFY(!s.clock.IsArmed());
  const int arms = s.clock.arms;
  s.Play(10000);
  QCOMPARE(s.clock.arms, arms);
  QVERIFY(!s.titleAt.count(QStringLiteral("After the end")));
}

void OnTimeTest::stalledEngineShowsNothingAhead() {
  // The engine stops sending samples (a stalled disc) without saying it paused.
  OnTime s;
  s.Start();
  s.Play(700);
  s.sampleEveryMs = 1e9;
  s.playing = false;  // the truth stands still
  s.Play(3000);
  QCOMPARE(s.f.view.title, QStringLiteral("One"));
  QVERIFY(!s.clock.IsArmed());  // no shot every millisecond while nothing moves
}

void OnTimeTest::quietEngineStillOnTime() {
  // The engine's reading moves but its samples stop coming: the driver reads it itself.
  OnTime s;
  s.Start();
  s.Play(100);
  s.tellSamples = false;
  s.Play(3000);
  QVERIFY(s.titleAt.count(QStringLiteral("Two")));
  QVERIFY(s.titleAt.count(QStringLiteral("Three")));
  // Never early; late by at most one step of the reading.
  for (const auto& [title, time] :
       {std::pair{QStringLiteral("Two"), 1030.0}, std::pair{QStringLiteral("Three"), 2070.0}}) {
    QVERIFY2(s.titleAt[title] >= time && s.titleAt[title] <= time + s.sampleEveryMs + 2,
             qPrintable(QStringLiteral("%1 at %2").arg(title).arg(s.titleAt[title])));
  }
}

void OnTimeTest::tickDoesNotTakeBackWhatWasShown() {
  OnTime s;
  s.Start();
  s.Play(1031);  // slide 2 shown at 1030 from the clock; the last sample said 1000
  QCOMPARE(s.f.view.title, QStringLiteral("Two"));
  QCOMPARE(s.f.engine.position, 1000.0);
  s.f.playback->Tick();  // reads 1000
  QCOMPARE(s.f.view.title, QStringLiteral("Two"));
  // A reading far behind is a seek the driver has not heard of: the tick shows it.
  s.f.engine.position = 100;
  s.f.playback->Tick();
  QCOMPARE(s.f.view.title, QStringLiteral("One"));
}

void OnTimeTest::seekBackBeforeFirstSlideShowsStartupState() {
  SyncFixture f;
  f.AddSlides({5000, 10000});
  f.Tick(6000);
  QCOMPARE(f.view.title, QStringLiteral("Slide 1"));
  f.view.highlight = 777;  // as if somewhere else
  f.Tick(7000);
  f.Tick(1000);  // after a seek back before the first slide
  QVERIFY(f.view.picture.isNull());
  QCOMPARE(f.view.title, QString());
  QCOMPARE(f.view.highlight, kDesignedHighlightLeftTwips);
  // Written once, not on every tick before the first slide.
  const auto writes = f.view.calls.size();
  f.Tick(2000);
  QCOMPARE(f.view.calls.size(), writes);
}

void OnTimeTest::seekBackBeforeFirstSlideThroughTheDriver() {
  OnTime s;
  s.f.slides.Slides.Item(1).SlideTime = 500;  // the first slide comes later than 0
  s.Start();
  s.Play(1200);
  QCOMPARE(s.f.view.title, QStringLiteral("Two"));
  s.truth = 100;
  s.f.engine.TellPosition(100);
  QVERIFY(s.f.view.picture.isNull());
  QCOMPARE(s.f.view.title, QString());
  QCOMPARE(s.f.view.highlight, kDesignedHighlightLeftTwips);
  // The other views leave the slide too, once.
  QCOMPARE(s.f.view.shown.count(QStringLiteral("Slide 0 1 0")), 1);
  s.Play(500);
  QCOMPARE(s.f.view.title, QStringLiteral("One"));
  QCOMPARE(s.f.view.shown.count(QStringLiteral("Slide 0 1 0")), 1);
  QCOMPARE(s.f.view.shown.last(), QStringLiteral("Slide 1 1 1"));
}

void OnTimeTest::stoppedDriverSyncsNothing() {
  OnTime s;
  s.Start();
  s.Play(500);
  s.driver->Stop();
  const auto writes = s.f.view.calls.size();
  s.Play(3000);
  s.f.engine.TellSeeked();
  s.driver->SeekedTo(2500);
  QCOMPARE(s.f.view.calls.size(), writes);
  QCOMPARE(s.driver->TickPosition(1000), 1000.0);
}

QTEST_MAIN(OnTimeTest)
#include "test_ontime.moc"
