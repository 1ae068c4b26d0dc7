// The once-a-second synchronisation and the two jumps, against a fake engine and a fake window.

#include <QtTest>

#include "medium/Paths.h"
#include "tests/support/TempMedium.h"
#include "tests/sync/SyncFixture.h"

Q_DECLARE_METATYPE(QList<double>)

class SyncTest : public QObject {
  Q_OBJECT

 private slots:
  void lookup_data();
  void lookup();
  void lookupSameForAllThreeLists_data() { lookup_data(); }
  void lookupSameForAllThreeLists();

  void slideFollowsPosition_data();
  void slideFollowsPosition();
  void tickWritesEverythingInOrder();
  void pictureReloadedOnEveryTick();
  void slidePicturePathFollowsPathRule();
  void realPictureLoadedFromMedium();
  void negativePositionSkipsTick();
  void transcriptEmptyAtZero();
  void transcriptLanguageSwitchAtNextTick();
  void stillPictureModeTouchesOnlyTranscript();
  void annotationRangeStartsAtSlideIndex();
  void highlightFollowsSlide_data();
  void highlightFollowsSlide();

  void thumbnailClickPlaysThenSeeks();
  void thumbnailClickWithoutSlidesDoesNothing();
  void slideListChoiceSeeksWithoutPlay();
  void slideListSameChoiceTwiceJumpsTwice();
  void slideListWithoutSelectionDoesNothing();
  void unloadStopsTicksAndClicks();

  void missingPictureShowsPlaceholder();
  void undecodablePictureShowsPlaceholder();
  void missingPictureOnJump();
  void positionBeforeFirstSlide();
  void noSlidesAtAll();
  void transcriptWithoutText_data();
  void transcriptWithoutText();
  void failingEngineInTick();
  void failingEngineInThumbnailClick();
  void failingEngineInSlideList();
};

void SyncTest::lookup_data() {
  QTest::addColumn<QList<double>>("times");
  QTest::addColumn<double>("target");
  QTest::addColumn<int>("expected");

  const QList<double> three{0, 60000, 120000};
  QTest::newRow("position 0") << three << 0.0 << 1;
  QTest::newRow("position 0.5") << three << 0.5 << 1;
  QTest::newRow("position 59999.9") << three << 59999.9 << 1;
  QTest::newRow("position 60000") << three << 60000.0 << 2;
  QTest::newRow("position 120000") << three << 120000.0 << 3;
  QTest::newRow("position 500000") << three << 500000.0 << 3;
  QTest::newRow("before the first") << QList<double>{5, 10} << 1.0 << 0;
  QTest::newRow("single, before") << QList<double>{0} << -1.0 << 0;
  QTest::newRow("single, after") << QList<double>{0} << 7.0 << 1;
  QTest::newRow("between") << QList<double>{0, 10, 20, 30, 40} << 25.0 << 3;
  // Equal times: the entry the probe sequence meets first wins, not the last of them.
  QTest::newRow("0, 0, 5000 at 0") << QList<double>{0, 0, 5000} << 0.0 << 2;
  QTest::newRow("0, 0, 5000 at 100") << QList<double>{0, 0, 5000} << 100.0 << 2;
  QTest::newRow("two equal: (1, 2) probes 2") << QList<double>{0, 0} << 0.0 << 2;
  QTest::newRow("four equal: (1, 4) probes 2") << QList<double>{7, 7, 7, 7} << 7.0 << 2;
  QTest::newRow("(3, 4) probes 4") << QList<double>{0, 0, 10, 10} << 10.0 << 4;
  QTest::newRow("six equal: (1, 6) probes 4") << QList<double>{3, 3, 3, 3, 3, 3} << 3.0 << 4;
  QTest::newRow("eight equal: (1, 8) probes 4") << QList<double>(8, 1.0) << 1.0 << 4;
  QTest::newRow("(2, 3) probes 2") << QList<double>{0, 5, 5, 9} << 5.0 << 2;
  QTest::newRow("(5, 6) probes 6") << QList<double>{0, 1, 2, 3, 8, 8} << 8.0 << 6;
}

void SyncTest::lookup() {
  QFETCH(QList<double>, times);
  QFETCH(double, target);
  QFETCH(int, expected);
  Slides_cls slides;
  for (double t : times) {
    Slide_cls s;
    s.SlideTime = t;
    slides.Slides.Add(std::move(s));
  }
  QCOMPARE(int(FindSlideIndex(slides, 1, slides.Slides.Count(), target)), expected);
}

void SyncTest::lookupSameForAllThreeLists() {
  QFETCH(QList<double>, times);
  QFETCH(double, target);
  QFETCH(int, expected);
  Anns_cls anns;
  Trans_cls trans;
  for (double t : times) {
    Ann_cls a;
    a.AnnTime = t;
    anns.Anns.Add(std::move(a));
    auto cue = std::make_unique<Tran_cls>();
    cue->TranTime = t;
    trans.Trans.Add(std::move(cue));
  }
  QCOMPARE(int(FindAnnIndex(anns, 1, anns.Anns.Count(), target)), expected);
  QCOMPARE(int(FindTranIndex(trans, 1, trans.Trans.Count(), target)), expected);
}

void SyncTest::slideFollowsPosition_data() {
  QTest::addColumn<double>("position");
  QTest::addColumn<QString>("title");
  QTest::newRow("0") << 0.0 << "First";
  QTest::newRow("59999.9") << 59999.9 << "First";
  QTest::newRow("60000") << 60000.0 << "Second";
  QTest::newRow("500000") << 500000.0 << "Third";
}

void SyncTest::slideFollowsPosition() {
  QFETCH(double, position);
  QFETCH(QString, title);
  SyncFixture f;
  f.AddSlide(0, QStringLiteral("First"));
  f.AddSlide(60000, QStringLiteral("Second"));
  f.AddSlide(120000, QStringLiteral("Third"));
  f.Tick(position);
  QCOMPARE(f.view.title, title);
  QCOMPARE(f.engine.calls, QStringList{"GetPositionMs"});
}

void SyncTest::tickWritesEverythingInOrder() {
  SyncFixture f;
  f.AddSlide(0, QStringLiteral("Intro"));
  f.AddCue(0, {QStringLiteral("Hello")});
  f.Tick(1500);
  QCOMPARE(f.view.calls,
           (QStringList{"Transcript Hello", "Picture", "Title Intro", "Highlight 100"}));
  QCOMPARE(f.view.picture.size(), QSize(472, 360));
}

void SyncTest::pictureReloadedOnEveryTick() {
  SyncFixture f;
  f.AddSlides({0, 10000});
  for (int i = 0; i < 3; ++i) f.Tick(2000);
  QCOMPARE(f.loaded.size(), 3);
  QCOMPARE(f.view.pictures, 3);
}

void SyncTest::slidePicturePathFollowsPathRule() {
  SyncFixture f;
  f.AddSlide(0, QStringLiteral("Seven"), 7, QStringLiteral("Deck1"));
  f.Tick(10);
  QCOMPARE(f.loaded, QStringList{medium::ApplicationFolder() + "\\Slides\\Deck1\\Slide7.jpg"});
}

void SyncTest::realPictureLoadedFromMedium() {
  TempMedium m;
  m.WriteJpeg(QStringLiteral("Slides/Deck1/Slide7.jpg"), 472, 360, 0x2040C0);
  Slides_cls slides;
  Anns_cls anns;
  Trans_cls trans;
  int16_t mode = 0;
  FakeEngine engine;
  PlayingState state;
  FakeView view(state);
  Slide_cls s;
  s.SlidePres = QStringLiteral("Deck1");
  s.SlideNum = 7;
  s.SlideName = QStringLiteral("Seven");
  slides.Slides.Add(std::move(s));
  SlideRenderer renderer(layout::Current(), slides, anns);  // the real loader
  Playback playback(slides, anns, trans, mode, engine, state, renderer);
  engine.position = 0;
  playback.Tick();
  QCOMPARE(view.picture.size(), QSize(472, 360));
  QVERIFY(view.picture.text(QString::fromLatin1(kMissingPictureKey)).isEmpty());
  const QColor c = view.picture.pixelColor(200, 200);
  QVERIFY2(qAbs(c.red() - 0x20) < 8 && qAbs(c.green() - 0x40) < 8 && qAbs(c.blue() - 0xC0) < 8,
           qPrintable(c.name()));
}

void SyncTest::negativePositionSkipsTick() {
  SyncFixture f;
  f.AddSlides({0});
  f.AddCue(0, {QStringLiteral("text")});
  f.Tick(-1);
  f.Tick(-0.001);
  QCOMPARE(f.view.calls, QStringList{});
  QCOMPARE(f.engine.calls, (QStringList{"GetPositionMs", "GetPositionMs"}));
  QVERIFY(f.loaded.isEmpty());
}

void SyncTest::transcriptEmptyAtZero() {
  SyncFixture f;
  f.AddCue(0, {QStringLiteral("one")});
  f.AddCue(1000, {QStringLiteral("two")});
  f.view.transcript = QStringLiteral("stale");
  f.Tick(0);
  QCOMPARE(f.view.transcript, QString());
  f.Tick(0.5);
  QCOMPARE(f.view.transcript, QStringLiteral("one"));
  f.Tick(1000);
  QCOMPARE(f.view.transcript, QStringLiteral("two"));
}

void SyncTest::transcriptLanguageSwitchAtNextTick() {
  SyncFixture f;
  f.AddCue(0, {QStringLiteral("english"), QStringLiteral("francais")});
  f.state.ChooseLanguage(0, QStringLiteral("ENGLISH"));
  f.Tick(500);
  QCOMPARE(f.view.transcript, QStringLiteral("english"));
  f.state.ChooseLanguage(1, QStringLiteral("FRENCH"));  // no handler of its own: next tick
  QCOMPARE(f.view.transcript, QStringLiteral("english"));
  f.Tick(500);
  QCOMPARE(f.view.transcript, QStringLiteral("francais"));
}

void SyncTest::stillPictureModeTouchesOnlyTranscript() {
  SyncFixture f(2);
  f.AddSlides({0, 1000});
  f.AddAnn(0, 0, 10, 20, 110, 20);
  f.AddCue(0, {QStringLiteral("words")});
  f.Tick(1500);
  f.Tick(2500);
  QCOMPARE(f.view.calls, (QStringList{"Transcript words", "Transcript words"}));
  QVERIFY(f.loaded.isEmpty());
}

void SyncTest::annotationRangeStartsAtSlideIndex() {
  // Slide 2 starts at 10000; the last mark at or before that is mark 3, so marks 2 and 3 are
  // drawn: the range begins at the slide's own index, as stored presentations expect.
  SyncFixture f;
  f.AddSlides({0, 10000, 20000});
  f.AddAnn(0, 0, 0, 150, 150, 150);      // row 10
  f.AddAnn(5000, 0, 0, 300, 150, 300);   // row 20
  f.AddAnn(10000, 0, 0, 450, 150, 450);  // row 30
  f.AddAnn(15000, 0, 0, 600, 150, 600);  // row 40
  auto rowMarked = [&](int y) { return f.view.picture.pixel(5, y) != qRgb(255, 255, 255); };

  f.Tick(12000);
  QVERIFY(!rowMarked(10));
  QVERIFY(rowMarked(20));
  QVERIFY(rowMarked(30));
  QVERIFY(!rowMarked(40));

  f.Tick(100);  // slide 1: only mark 1
  QVERIFY(rowMarked(10));
  QVERIFY(!rowMarked(20));

  f.Tick(25000);  // slide 3 at 20000: the range 3..4
  QVERIFY(!rowMarked(20));
  QVERIFY(rowMarked(30));
  QVERIFY(rowMarked(40));
}

void SyncTest::highlightFollowsSlide_data() {
  QTest::addColumn<float>("width");
  QTest::addColumn<double>("position");
  QTest::addColumn<float>("left");
  QTest::newRow("slide 1") << 1215.0f << 10.0 << 100.0f;
  QTest::newRow("slide 3") << 1215.0f << 20000.0 << 2630.0f;
  QTest::newRow("other width, slide 2") << 900.0f << 10000.0 << 1050.0f;
}

void SyncTest::highlightFollowsSlide() {
  QFETCH(float, width);
  QFETCH(double, position);
  QFETCH(float, left);
  SyncFixture f;
  f.AddSlides({0, 10000, 20000});
  f.view.thumbnailWidth = width;
  f.Tick(position);
  QCOMPARE(f.view.highlight, left);
}

void SyncTest::thumbnailClickPlaysThenSeeks() {
  SyncFixture f;
  f.AddSlide(0, QStringLiteral("One"));
  f.AddSlide(61500, QStringLiteral("Two"));
  f.AddSlide(120000, QStringLiteral("Three"));
  f.AddAnn(0, 3, 0, 0, 0, 0);  // marks are numbered along with the slides they belong to
  f.AddAnn(61500, 3, 0, 0, 0, 0);
  f.AddAnn(120000, 0, 0, 150, 1500, 150);  // drawn with slide 3
  f.playback->JumpToSlide(3);
  QCOMPARE(f.engine.calls, (QStringList{"Play", "SeekMs 120000"}));
  QCOMPARE(f.view.calls, (QStringList{"Picture", "Title Three", "Highlight 2630"}));
  QCOMPARE(f.loaded.size(), 1);
  QVERIFY(f.loaded[0].endsWith("\\Slides\\Deck\\Slide3.jpg"));
  QVERIFY(f.MarkedPixels().isEmpty());  // the marks come back with the next tick

  f.Tick(120000);
  QVERIFY(!f.MarkedPixels().isEmpty());

  f.engine.calls.clear();
  f.playback->JumpToSlide(2);
  QCOMPARE(f.engine.calls, (QStringList{"Play", "SeekMs 61500"}));
}

void SyncTest::thumbnailClickWithoutSlidesDoesNothing() {
  SyncFixture f;
  f.playback->JumpToSlide(1);
  f.AddSlides({0});
  f.playback->JumpToSlide(2);  // no such slide
  f.playback->JumpToSlide(0);
  QCOMPARE(f.engine.calls, QStringList{});
  QCOMPARE(f.view.calls, QStringList{});
}

void SyncTest::slideListChoiceSeeksWithoutPlay() {
  SyncFixture f;
  f.AddSlide(0, QStringLiteral("One"));
  f.AddSlide(5000, QStringLiteral("Two"));
  f.playback->SeekToSlide(2);  // the list's entry 1; the window then clears its selection
  QCOMPARE(f.engine.calls, QStringList{"SeekMs 5000"});
  // No highlight move: the next tick does that.
  QCOMPARE(f.view.calls, (QStringList{"Picture", "Title Two"}));
  QVERIFY(f.loaded[0].endsWith("\\Slide2.jpg"));
}

void SyncTest::slideListSameChoiceTwiceJumpsTwice() {
  SyncFixture f;
  f.AddSlides({0, 5000});
  f.playback->SeekToSlide(1);
  f.playback->SeekToSlide(1);
  QCOMPARE(f.engine.calls, (QStringList{"SeekMs 0", "SeekMs 0"}));
}

void SyncTest::slideListWithoutSelectionDoesNothing() {
  SyncFixture f;
  f.AddSlides({0});
  f.playback->SeekToSlide(0);  // no selection
  f.playback->SeekToSlide(2);  // no such slide
  QCOMPARE(f.engine.calls, QStringList{});
  QCOMPARE(f.view.calls, QStringList{});
}

void SyncTest::unloadStopsTicksAndClicks() {
  SyncFixture f;
  f.AddSlides({0, 1000});
  f.AddCue(0, {QStringLiteral("x")});
  f.Tick(500);
  QCOMPARE(f.view.pictures, 1);

  f.engine.calls.clear();
  f.view.calls.clear();
  f.playback->Stop();
  QVERIFY(f.playback->Stopped());
  QCOMPARE(f.engine.calls, QStringList{});  // no Play, stop or seek on the way out
  f.playback->Tick();
  f.playback->Tick();
  f.playback->JumpToSlide(2);
  f.playback->SeekToSlide(1);
  QCOMPARE(f.engine.calls, QStringList{});
  QCOMPARE(f.view.calls, QStringList{});
}

void SyncTest::missingPictureShowsPlaceholder() {
  SyncFixture f;
  f.AddSlide(0, QStringLiteral("One"));
  f.AddSlide(1000, QStringLiteral("Two"));
  f.AddAnn(0, 0, 0, 150, 1500, 150);
  f.AddCue(0, {QStringLiteral("talk")});
  f.missing << QStringLiteral("Slide2.jpg");
  f.Tick(1500);
  QCOMPARE(f.view.calls,
           (QStringList{"Transcript talk", "Picture", "Title Two", "Highlight 1365"}));
  QCOMPARE(f.view.picture.size(), QSize(472, 360));
  const QString named = f.view.picture.text(QString::fromLatin1(kMissingPictureKey));
  QVERIFY2(named.endsWith(QStringLiteral("Slide2.jpg")), qPrintable(named));
  // Neutral: grey, and no marks drawn over the notice.
  QCOMPARE(f.view.picture.pixel(3, 10), qRgb(192, 192, 192));
  QCOMPARE(f.engine.calls, QStringList{"GetPositionMs"});

  // The next tick on a readable slide shows it again.
  f.Tick(10);
  QVERIFY(f.view.picture.text(QString::fromLatin1(kMissingPictureKey)).isEmpty());
  QCOMPARE(f.view.title, QStringLiteral("One"));
}

void SyncTest::undecodablePictureShowsPlaceholder() {
  TempMedium m;
  m.Write(QStringLiteral("Slides/D/Slide1.jpg"), QByteArray("this is not a picture"));
  Slides_cls slides;
  Anns_cls anns;
  Trans_cls trans;
  int16_t mode = 0;
  FakeEngine engine;
  PlayingState state;
  FakeView view(state);
  Slide_cls s;
  s.SlidePres = QStringLiteral("D");
  s.SlideNum = 1;
  s.SlideName = QStringLiteral("Broken");
  slides.Slides.Add(std::move(s));
  SlideRenderer renderer(layout::Current(), slides, anns);
  Playback playback(slides, anns, trans, mode, engine, state, renderer);
  engine.position = 100;
  playback.Tick();
  QVERIFY(view.picture.text(QString::fromLatin1(kMissingPictureKey)).endsWith("Slide1.jpg"));
  QCOMPARE(view.title, QStringLiteral("Broken"));
  QCOMPARE(view.highlight, 100.0f);
}

void SyncTest::missingPictureOnJump() {
  SyncFixture f;
  f.AddSlide(0, QStringLiteral("One"));
  f.AddSlide(1000, QStringLiteral("Two"));
  f.missing << QStringLiteral("Slide2.jpg");
  f.playback->JumpToSlide(2);
  QCOMPARE(f.engine.calls, (QStringList{"Play", "SeekMs 1000"}));
  QCOMPARE(f.view.calls, (QStringList{"Picture", "Title Two", "Highlight 1365"}));
  QVERIFY(!f.view.picture.text(QString::fromLatin1(kMissingPictureKey)).isEmpty());
}

void SyncTest::positionBeforeFirstSlide() {
  SyncFixture f;
  f.AddSlides({5000, 10000});
  f.AddAnn(0, 0, 0, 150, 1500, 150);
  f.AddCue(2000, {QStringLiteral("later")});
  f.Tick(1000);
  QCOMPARE(f.view.calls, QStringList{"Transcript "});
  QVERIFY(f.loaded.isEmpty());
}

void SyncTest::noSlidesAtAll() {
  SyncFixture f;
  f.AddAnn(0, 0, 0, 150, 1500, 150);
  f.Tick(1000);
  QCOMPARE(f.view.calls, QStringList{});
  QVERIFY(f.loaded.isEmpty());
}

void SyncTest::transcriptWithoutText_data() {
  QTest::addColumn<int>("language");
  QTest::addColumn<int>("texts");
  QTest::newRow("no language selected") << -1 << 2;
  QTest::newRow("language beyond the cue's entries") << 2 << 2;
  QTest::newRow("cue without any text") << 0 << 0;
}

void SyncTest::transcriptWithoutText() {
  QFETCH(int, language);
  QFETCH(int, texts);
  SyncFixture f;
  f.AddSlide(0, QStringLiteral("Only"));
  Tran_cls cue;
  for (int i = 0; i < texts; ++i) cue.Languages.Add(QStringLiteral("text %1").arg(i));
  f.trans.Trans.Add(std::move(cue));
  f.state.ChooseLanguage(language, QString());
  f.Tick(3000);
  QCOMPARE(f.view.transcript, QString());
  QCOMPARE(f.view.title, QStringLiteral("Only"));  // the rest of the tick goes on
}

void SyncTest::failingEngineInTick() {
  SyncFixture f;
  f.AddSlides({0});
  f.engine.failing = true;
  f.Tick(1000);
  QCOMPARE(f.view.calls, QStringList{});
  f.engine.failing = false;
  f.Tick(1000);  // the next tick tries again
  QCOMPARE(f.view.pictures, 1);
}

void SyncTest::failingEngineInThumbnailClick() {
  SyncFixture f;
  f.AddSlides({0, 1000});
  f.engine.failing = true;
  f.playback->JumpToSlide(2);
  QCOMPARE(f.engine.calls, QStringList{"Play"});
  QCOMPARE(f.view.calls, QStringList{});
  f.engine.failing = false;
  f.playback->JumpToSlide(2);
  QCOMPARE(f.view.title, QStringLiteral("Slide 2"));
}

void SyncTest::failingEngineInSlideList() {
  SyncFixture f;
  f.AddSlides({0, 1000});
  f.engine.failing = true;
  f.playback->SeekToSlide(2);
  QCOMPARE(f.engine.calls, QStringList{"SeekMs 1000"});
  // No slide shown (the window leaves its list without a selection so the title can be chosen
  // again).
  QCOMPARE(f.view.calls, QStringList{});
  f.engine.failing = false;
  f.playback->SeekToSlide(2);
  QCOMPARE(f.view.title, QStringLiteral("Slide 2"));
}

QTEST_MAIN(SyncTest)
#include "test_sync.moc"
