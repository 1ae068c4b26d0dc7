// A player started with --at on the sample medium, its real engine playing: when start-up is
// over the window already shows that moment (slide, marks, title, highlight, transcript section),
// the recording goes on from there, and the first slide never comes back in between. Built once
// per player, since Tavisco and Norvanta end their start-up in different orders.

#include <QLabel>
#include <QPlainTextEdit>
#include <QtTest>
#include <clocale>

#include "medium/CommandLineOptions.h"
#include "medium/Paths.h"
#include "medium/Picture.h"
#include "medium/Report.h"
#include "player/BuildProfile.h"
#include "player/PlayerApp.h"
#include "player/PlayerWindow.h"
#include "player/core/SlideRenderer.h"
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

// The sample keynote: a slide every six seconds, a mark on the third one from 0:13.
const QString kFolder = QStringLiteral("Launch2004");
constexpr int kSlide = 3;

}  // namespace

class StartAtTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void showsTheMomentAtOnceAndPlaysOnFromIt();
};

void StartAtTest::initTestCase() {
  qputenv("PRESENTATION_ENGINE_AO", "null");  // no sound device on a build machine
  std::setlocale(LC_NUMERIC, "C");            // the playback core needs it
  const QString root = qEnvironmentVariable("SAMPLE_MEDIUM_DIR", QStringLiteral(SAMPLE_MEDIUM_DIR));
  QVERIFY2(QFile::exists(root + QStringLiteral("/Data/config.txt")),
           "the sample medium has not been written");
  medium::SetApplicationFolder(root);
}

void StartAtTest::showsTheMomentAtOnceAndPlaysOnFromIt() {
  const BuildProfile& profile = ProfileFor(kBuild);
  QVERIFY(layout::HasRecording(profile.build, layout::Current().MediaFolderPath(kFolder)));
  // The options as the program reads them: --at stands before -p like the other options.
  const medium::ProgramOptions options = medium::ParseProgramOptions(
      {QStringLiteral("--at"), QStringLiteral("0:14"), QStringLiteral("-p"), kFolder},
      medium::OptionProgram::Player);
  QCOMPARE(options.error, QString());
  QCOMPARE(options.atMs.value_or(-1), 14000.0);

  medium::RecordingReporter reporter(profile.programTitle);
  PlayerWindow w(
      profile, reporter,
      [&profile](QWidget* parent) { return CreateEngine(profile.build, parent); },
      medium::ArgumentText(options.rest));
  StartPlayerWindow(w, options);
  QVERIFY(w.Session().Sync() != nullptr);
  QCOMPARE(reporter.Texts(), QStringList{});

  // Before the event loop has run once: the moment is on screen as after a thumbnail click,
  // and its marks are drawn as well.
  const Slides_cls& slides = *w.Session().SlidesList();
  const Anns_cls& anns = *w.Session().AnnsList();
  const Trans_cls& trans = *w.Session().TransList();
  QVERIFY(slides.Slides.Count() > kSlide);
  const Slide_cls& slide = slides.Slides.Item(kSlide);
  QVERIFY(slide.SlideTime <= 14000 && slides.Slides.Item(kSlide + 1).SlideTime > 16500);
  QCOMPARE(w.Slide_txt->text(), slide.SlideName);
  QImage expected = SlideCanvas(medium::LoadPicture(layout::Current().SlidePicturePath(slide)));
  const int16_t lastMark = FindAnnIndex(anns, 1, anns.Anns.Count(), slide.SlideTime);
  QVERIFY(DrawAnnotationRange(expected, anns, kSlide, lastMark) > 0);
  QVERIFY(SamePicture(w.Slide_img->Picture(), expected));
  QCOMPARE(Strip(w)->HighlightLeftTwips(), HighlightLeft(Strip(w)->ThumbnailWidthTwips(), kSlide));
  const int16_t cue = FindTranIndex(trans, 1, trans.Trans.Count(), 14000);
  QVERIFY(cue >= 1);
  const int language = w.Session().State().Language() + 1;
  QVERIFY(language >= 1 && language <= trans.Trans.Item(cue).Languages.Count());
  QCOMPARE(w.Trans_txt->toPlainText(), trans.Trans.Item(cue).Languages.Item(language));
  QVERIFY(!w.Trans_txt->toPlainText().isEmpty());

  // The recording plays on from that moment; until the next slide is due, every tick and sync
  // keeps this one (the first slide never flashes back while the recording opens).
  MediaEngine& engine = w.Session().Engine();
  QTRY_VERIFY_WITH_TIMEOUT(engine.GetPositionMs() >= 14000, 10000);
  QVERIFY2(engine.GetPositionMs() < 17000, qPrintable(QString::number(engine.GetPositionMs())));
  QElapsedTimer watched;
  watched.start();
  while (watched.elapsed() < 1500 && engine.GetPositionMs() < 17500) {
    QCOMPARE(w.Slide_txt->text(), slide.SlideName);
    QTest::qWait(20);
  }
  QCOMPARE(Strip(w)->HighlightLeftTwips(), HighlightLeft(Strip(w)->ThumbnailWidthTwips(), kSlide));
  QCOMPARE(reporter.Texts(), QStringList{});
  w.close();
  QVERIFY(w.Session().Ended());
}

QTEST_MAIN(StartAtTest)
#include "test_start_at.moc"
