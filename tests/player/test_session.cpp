// Start-up without a window: the session against a view that records what it is told, so the
// order of the steps, what was read and what was reported are checked without any widget.

#include <QtTest>
#include <functional>

#include "medium/Error.h"
#include "medium/Paths.h"
#include "player/core/PlayerSession.h"
#include "presentation/MediumLayout.h"
#include "tests/support/FakeEngine.h"
#include "tests/support/PlayerLook.h"
#include "tests/support/RecordingReporter.h"
#include "tests/support/TempMedium.h"

Q_DECLARE_METATYPE(PlayerBuild)

namespace {

// Records every call of start-up as one line; a call named in `failing` throws after recording.
class RecordingView : public StartupView, public StripSteps {
 public:
  QStringList calls;
  QStringList failing;
  std::function<void()> onShowWindow;

  void Note(const QString& call) {
    calls << call;
    for (const QString& f : failing) {
      if (call.startsWith(f)) throw medium::AppError(medium::kInvalidCall, "view failed: " + call);
    }
  }

  void SetUserDefinedText(const QString& text) override { Note("UserDef1 " + text); }
  void ShowStillPicture(const QImage& p) override {
    Note(QStringLiteral("Still %1x%2").arg(p.width()).arg(p.height()));
  }
  void ShowAudioPicture(const QImage& p) override {
    Note(QStringLiteral("Audio %1x%2").arg(p.width()).arg(p.height()));
  }
  void SetLanguages(const QStringList& names, int selected) override {
    Note(QStringLiteral("Languages %1 @%2").arg(names.join(','), QString::number(selected)));
  }
  void AddSlideTitle(const QString& title) override { Note("Title " + title); }
  StripSteps& Strip() override { return *this; }
  void WidenStrip() override { Note("Widen"); }
  void AddThumbnailButton(int n) override { Note(QStringLiteral("Add %1").arg(n)); }
  void PlaceThumbnailAfterPrevious(int n) override { Note(QStringLiteral("Place %1").arg(n)); }
  void SizeThumbnailAsPrevious(int n) override { Note(QStringLiteral("Size %1").arg(n)); }
  void ShowThumbnailButton(int n) override { Note(QStringLiteral("Show %1").arg(n)); }
  void SetThumbnailPicture(int n, const QImage& p) override {
    Note(QStringLiteral("Thumb %1 %2x%3").arg(n).arg(p.width()).arg(p.height()));
  }
  void ExtendStripScrollBar() override { Note("Scroll+1"); }
  void Apply(StartupChange change) override { Note(QStringLiteral("Apply %1").arg(int(change))); }
  void SetDetailsText(const QString& text) override {
    Note("Details " + text.toUtf8().toPercentEncoding(" :."));
  }
  void ShowWindow() override {
    Note("ShowWindow");
    if (onShowWindow) onShowWindow();
  }
  void FocusSlidePicture() override { Note("Focus"); }
  void ProgramEnded(int code) override { calls << QStringLiteral("Ended %1").arg(code); }
};

void WritePresentation(TempMedium& m, int slides, bool cues, int slideMode, int mediaMode) {
  m.WriteLines("Data/P/database.txt",
               {QStringLiteral("SlideMode=%1").arg(slideMode),
                QStringLiteral("MediaMode=%1").arg(mediaMode), "Flag=False", "Free=Leeds"});
  QStringList events;
  for (int i = 1; i <= slides; ++i) {
    events << QStringLiteral("0~%1~Deck~%2~Title %2").arg((i - 1) * 10000).arg(i);
    m.WriteJpeg(QStringLiteral("Slides/Deck/thumbs/Slide%1.jpg").arg(i), 80, 65);
  }
  if (cues) events << "2~0~1";
  m.WriteLines("Data/P/events.txt", events);
  m.WriteLines("Data/P/transcripts/ENGLISH.html", {"SECTION1", "Hello"});
  m.WriteLines("Data/P/details.txt", {"Speaker: A."});
  m.WriteJpeg("Images/P/slide.jpg", 472, 360);
  m.WriteJpeg("Images/P/audio.jpg", 270, 220);
  m.Write("Media/P/media.wma", "x");
  m.Write("Media/P/media.rm", "x");
}

}  // namespace

class SessionTest : public QObject {
  Q_OBJECT

 private slots:
  // The steps in order for a slide show with seven slides: the strip grows per slide, the scroll
  // bar from the sixth on; each build shows its window on its side of opening the recording.
  void slideShowInOrder_data() {
    QTest::addColumn<PlayerBuild>("build");
    QTest::newRow("Tavisco") << PlayerBuild::Tavisco;
    QTest::newRow("Norvanta") << PlayerBuild::Norvanta;
  }
  void slideShowInOrder() {
    QFETCH(PlayerBuild, build);
    TempMedium m;
    WritePresentation(m, 7, true, 0, 0);
    medium::RecordingReporter r;
    RecordingView view;
    FakeEngine engine;
    view.onShowWindow = [&] { view.calls << "engine: " + engine.calls.join('|'); };
    PlayerSession s(ProfileFor(build), r, view, Borrow(engine), nullptr, "-p P");
    s.Start();

    QCOMPARE(r.Texts(), QStringList{});
    QVERIFY(s.Sync() != nullptr);
    QCOMPARE(s.PresFolder, QStringLiteral("P"));
    QCOMPARE(int(s.SlidesList()->Slides.Count()), 7);
    QCOMPARE(int(s.TransList()->Trans.Count()), 1);
    QCOMPARE(s.DetailsText(), QStringLiteral("Speaker: A.\r\n"));

    QStringList expected{"UserDef1 Leeds", "Languages ENGLISH @0", "Title Title 1", "Widen",
                         "Thumb 0 80x65"};
    for (int n = 1; n < 7; ++n) {
      expected << QStringLiteral("Title Title %1").arg(n + 1) << "Widen"
               << QStringLiteral("Add %1").arg(n) << QStringLiteral("Place %1").arg(n)
               << QStringLiteral("Size %1").arg(n) << QStringLiteral("Show %1").arg(n)
               << QStringLiteral("Thumb %1 80x65").arg(n);
      if (n >= 5) expected << "Scroll+1";
    }
    expected << "Details Speaker: A.%0D%0A";
    const bool tav = build == PlayerBuild::Tavisco;
    const QString open =
        "OpenMedia " + medium::OpenablePath(layout::Current().RecordingPath(build, "P"));
    QVERIFY(open.endsWith(tav ? "media.wma" : "media.rm"));
    expected << "ShowWindow" << (tav ? QStringLiteral("engine: ") : "engine: " + open + "|Play")
             << "Focus";
    QCOMPARE(view.calls, expected);
    QCOMPARE(engine.calls.first(), open);
  }

  // One still picture without a transcript: the pictures, then every change in its order.
  void stillPictureWithoutTranscript() {
    TempMedium m;
    WritePresentation(m, 0, false, 2, 2);
    medium::RecordingReporter r;
    RecordingView view;
    FakeEngine engine;
    PlayerSession s(ProfileFor(PlayerBuild::Norvanta), r, view, Borrow(engine), nullptr, "-p P");
    s.Start();
    QCOMPARE(r.Texts(), QStringList{});
    QCOMPARE(engine.calls.mid(0, 3), (QStringList{"ShowControlPanelOnly", "Top 304", "Height 40"}));
    QStringList changes;
    for (const QString& c : view.calls) {
      if (c.startsWith("Apply") || c.startsWith("Still") || c.startsWith("Audio")) changes << c;
    }
    QCOMPARE(changes,
             (QStringList{"Still 472x360", "Audio 270x220", "Apply 0", "Apply 1", "Apply 2",
                          "Apply 3", "Apply 4", "Apply 5", "Apply 6", "Apply 7"}));
  }

  // A failing window step is reported and start-up goes on; a thumbnail button that could not be
  // added takes no further steps for its slide.
  void failingStepsAreReportedAndSkipped() {
    TempMedium m;
    WritePresentation(m, 3, true, 0, 0);
    medium::RecordingReporter r;
    RecordingView view;
    view.failing = {"Add 1"};
    FakeEngine engine;
    PlayerSession s(ProfileFor(PlayerBuild::Tavisco), r, view, Borrow(engine), nullptr, "-p P");
    s.Start();
    QVERIFY(s.Sync() != nullptr);
    QCOMPARE(r.Texts().size(), 1);
    QVERIFY(r.Texts()[0].contains("Add 1"));
    QVERIFY(!view.calls.contains("Place 1"));
    QVERIFY(view.calls.contains("Place 2"));
    QVERIFY(view.calls.contains("Focus"));
  }

  // Ended while a message waited: no further message, no engine call, start-up unfinished.
  void endedDuringStartupStopsEverything() {
    TempMedium m;
    WritePresentation(m, 3, true, 0, 0);
    m.Write("Slides/Deck/thumbs/Slide2.jpg", "not a picture");
    struct EndingReporter : medium::RecordingReporter {
      std::function<void()> onShow;
      void Show(const medium::Message& msg) override {
        RecordingReporter::Show(msg);
        if (onShow) onShow();
      }
    } r;
    RecordingView view;
    FakeEngine engine;
    PlayerSession s(ProfileFor(PlayerBuild::Tavisco), r, view, Borrow(engine), nullptr, "-p P");
    r.onShow = [&] { s.End(0); };
    s.Start();
    QCOMPARE(r.messages.size(), size_t(1));
    QVERIFY(s.Ended());
    QVERIFY(s.Sync() == nullptr);
    QCOMPARE(s.ExitCode(), 0);
    QVERIFY(engine.calls.isEmpty());
    QVERIFY(view.calls.contains("Ended 0"));
    QVERIFY(!view.calls.contains("ShowWindow"));
    s.Tick();  // nothing after the end
    QVERIFY(engine.calls.isEmpty());
  }
};

QTEST_MAIN(SessionTest)
#include "test_session.moc"
