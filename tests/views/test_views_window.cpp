// The two windows beside the player window, driven through the player: opened by keys, by a
// double-click and by the control panel's buttons; following ticks, jumps and the language list;
// playing from a transcript section; closing alone or with the player.

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QStyle>
#include <QTableWidget>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

#include "player/LargeSlideView.h"
#include "player/PlayerKeys.h"
#include "player/PlayerWindow.h"
#include "player/TranscriptWindow.h"
#include "player/media/ControlPanel.h"
#include "tests/support/FakeEngine.h"
#include "tests/support/PlayerLook.h"
#include "tests/support/RecordingReporter.h"
#include "tests/support/TempMedium.h"

namespace {

// Three slides 10 s apart (blue pictures), two cues at 0 and 5 s in ENGLISH and FRENCH.
void Write(TempMedium& m) {
  m.WriteLines("Data/P/database.txt", {"SlideMode=0", "MediaMode=0", "Flag=False", "Free=x"});
  QStringList events;
  for (int i = 1; i <= 3; ++i) {
    events << QStringLiteral("0~%1~Deck~%2~Title %2").arg((i - 1) * 10000).arg(i);
    m.WriteJpeg(QStringLiteral("Slides/Deck/thumbs/Slide%1.jpg").arg(i), 80, 65, 0xcc2222);
    m.WriteJpeg(QStringLiteral("Slides/Deck/Slide%1.jpg").arg(i), 472, 360, 0x2222cc);
  }
  events << "2~0~1"
         << "2~5000~2";
  m.WriteLines("Data/P/events.txt", events);
  m.WriteLines("Data/P/transcripts/ENGLISH.html",
               {"SECTION1", "Welcome to the première", "SECTION2", "Again"});
  m.WriteLines("Data/P/transcripts/FRENCH.html", {"SECTION1", "Bonjour", "SECTION2", "Encore"});
  m.WriteLines("Data/P/details.txt", {"Speaker"});
  m.Write("Media/P/media.wma", "x");
}

// A fake engine whose control carries the real control panel, as the engine control does.
class PanelEngine : public FakeEngine {
 public:
  explicit PanelEngine(QWidget* parent) : widget(new QWidget(parent)) {
    widget->setGeometry(512, 88, 270, 260);
    panel = new ControlPanel(widget);
    panel->setGeometry(0, 220, 270, ControlPanel::kHeight);
  }
  QWidget* Widget() override { return widget; }
  QWidget* widget;
  ControlPanel* panel;
};

struct Player {
  TempMedium medium;
  medium::RecordingReporter reporter;
  FakeEngine engine;
  std::unique_ptr<PlayerWindow> window;

  Player() {
    Write(medium);
    window = std::make_unique<PlayerWindow>(ProfileFor(PlayerBuild::Tavisco), reporter,
                                            Borrow(engine), "-p P");
    window->Form_Load();
    engine.calls.clear();
  }
  // A tick; the engine calls it made are forgotten, so that a test sees only its own.
  void Tick(double position) {
    engine.position = position;
    window->Timer1_Timer();
    engine.calls.clear();
  }
};

}  // namespace

class ViewsWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void keyFOpensLargeViewOnCurrentSlide() {
    Player p;
    p.Tick(12000);
    QVERIFY(!p.window->findChild<LargeSlideView*>());
    QTest::keyClick(p.window->Slide_img, Qt::Key_F);
    LargeSlideView* view = p.window->findChild<LargeSlideView*>();
    QVERIFY(view);
    QVERIFY(view->isVisible());
    QVERIFY(view->isWindow());
    QCOMPARE(view->ShownSlide(), 2);
    QCOMPARE(view->Title(), QStringLiteral("Title 2"));
    const QRect screen = p.window->screen()->availableGeometry();
    QCOMPARE(view->size(), QSize(screen.width() * 2 / 3, screen.height() * 2 / 3));
    // It follows the ticks and a jump from the thumbnail strip.
    p.Tick(25000);
    QCOMPARE(view->ShownSlide(), 3);
    p.window->Command1_Click(0);
    QCOMPARE(view->ShownSlide(), 1);
    QCOMPARE(view->Title(), QStringLiteral("Title 1"));
  }

  // The keys reach the window from every control that has no use for them itself.
  void keysFromControls_data() {
    QTest::addColumn<QString>("control");
    QTest::addColumn<int>("key");
    for (const char* name : {"Slide_img", "Trans_txt", "Command1", "HScroll1"}) {
      QTest::addRow("F from %s", name) << QString::fromLatin1(name) << int(Qt::Key_F);
      QTest::addRow("T from %s", name) << QString::fromLatin1(name) << int(Qt::Key_T);
    }
  }
  void keysFromControls() {
    QFETCH(QString, control);
    QFETCH(int, key);
    Player p;
    p.Tick(100);
    auto* target = p.window->findChild<QWidget*>(control);
    QVERIFY(target);
    QTest::keyClick(target, Qt::Key(key));
    QWidget* opened = key == Qt::Key_F
                          ? static_cast<QWidget*>(p.window->findChild<LargeSlideView*>())
                          : static_cast<QWidget*>(p.window->findChild<TranscriptWindow*>());
    QVERIFY(opened);
    QVERIFY(opened->isVisible());
  }

  void doubleClickOnSlideOpensLargeView() {
    Player p;
    p.Tick(100);
    QTest::mouseDClick(p.window->Slide_img, Qt::LeftButton, {}, QPoint(100, 100));
    QVERIFY(p.window->findChild<LargeSlideView*>());
    QVERIFY(p.window->findChild<LargeSlideView*>()->isVisible());
    QCOMPARE(p.window->findChild<LargeSlideView*>()->ShownSlide(), 1);
  }

  void closingLargeViewChangesNothingElse() {
    Player p;
    p.Tick(100);
    p.window->OpenLargeSlideView();
    LargeSlideView* view = p.window->findChild<LargeSlideView*>();
    QTest::keyClick(view, Qt::Key_Escape);
    QVERIFY(!view->isVisible());
    QVERIFY(p.window->isVisible());
    QVERIFY(p.window->Timer1->isActive());
    QVERIFY(!p.window->Session().Ended());
    QVERIFY(p.engine.calls.isEmpty());
    // Playback goes on and the view, opened again, is up to date.
    p.Tick(21000);
    QCOMPARE(p.window->Slide_txt->text(), QStringLiteral("Title 3"));
    p.window->OpenLargeSlideView();
    QCOMPARE(view->ShownSlide(), 3);
    QCOMPARE(p.window->findChild<LargeSlideView*>(), view);
  }

  // Keys the large view has no use for run the player window's key table, as there.
  void largeViewHandsOnThePlayersKeys_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<QStringList>("calls");
    QTest::newRow("Space pauses") << int(Qt::Key_Space) << QStringList{"Pause"};
    QTest::newRow("Page Down: next slide")
        << int(Qt::Key_PageDown) << QStringList{"Play", "SeekMs 10000"};
    QTest::newRow("M mutes") << int(Qt::Key_M) << QStringList{"Muted 1"};
    QTest::newRow("an unknown key") << int(Qt::Key_Z) << QStringList{};
  }
  void largeViewHandsOnThePlayersKeys() {
    QFETCH(int, key);
    QFETCH(QStringList, calls);
    Player p;
    p.Tick(100);
    p.window->OpenLargeSlideView();
    LargeSlideView* view = p.window->findChild<LargeSlideView*>();
    QVERIFY(view);
    p.engine.paused = false;
    QTest::keyClick(view, Qt::Key(key));
    QCOMPARE(p.engine.calls, calls);
    QVERIFY(view->isVisible());
  }

  // The keys that open these windows are in the key list, also when it is asked for from the
  // large view.
  void keyListFromLargeViewNamesTheViewKeys() {
    Player p;
    p.Tick(100);
    p.window->OpenLargeSlideView();
    QVERIFY(!p.window->findChild<KeyHelpWindow*>());
    QTest::keyClick(p.window->findChild<LargeSlideView*>(), Qt::Key_F1);
    QVERIFY(p.window->findChild<KeyHelpWindow*>());
    QVERIFY(p.window->findChild<KeyHelpWindow*>()->isVisible());
    QTableWidget* table = p.window->findChild<KeyHelpWindow*>()->Table();
    QStringList rows;
    for (int r = 0; r < table->rowCount(); ++r)
      rows << table->item(r, 0)->text() + " | " + table->item(r, 1)->text();
    for (const char* expected :
         {"F | large slide view", "T | transcript window", "Ctrl+F | search the transcript"})
      QVERIFY2(rows.contains(QString::fromLatin1(expected)), expected);
  }

  void playerKeysWorkInLargeView() {
    Player p;
    p.Tick(100);
    p.window->OpenLargeSlideView();
    QVERIFY(!p.window->findChild<TranscriptWindow*>());
    QTest::keyClick(p.window->findChild<LargeSlideView*>(), Qt::Key_T);
    QVERIFY(p.window->findChild<TranscriptWindow*>());
    QVERIFY(p.window->findChild<TranscriptWindow*>()->isVisible());
  }

  void keyTOpensTranscriptFollowingPlayback() {
    Player p;
    p.Tick(6000);
    QTest::keyClick(p.window->Slide_img, Qt::Key_T);
    TranscriptWindow* t = p.window->findChild<TranscriptWindow*>();
    QVERIFY(t);
    QVERIFY(t->isVisible());
    QCOMPARE(t->CueCount(), 2);
    QCOMPARE(RowText(*t, 1), QStringLiteral("0:00\tWelcome to the première"));
    QCOMPARE(t->CurrentCue(), 2);
    p.Tick(1000);
    QCOMPARE(t->CurrentCue(), 1);
  }

  // T again brings the open window to the front as the reader left it.
  void reopeningKeepsTheReadersPlace() {
    Player p;
    p.window->OpenTranscriptWindow();
    TranscriptWindow* t = p.window->findChild<TranscriptWindow*>();
    SearchField(*t)->setText("again");
    QTextCursor cursor(t->List()->document());
    cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
    t->List()->setTextCursor(cursor);
    QTest::keyClick(p.window->Slide_img, Qt::Key_T);
    QCOMPARE(p.window->findChild<TranscriptWindow*>(), t);
    QVERIFY(t->List()->textCursor().hasSelection());
    QCOMPARE(t->MatchCount(), 1);
  }

  void languageChangeRebuildsAtOnce() {
    Player p;
    p.window->OpenTranscriptWindow();
    TranscriptWindow* t = p.window->findChild<TranscriptWindow*>();
    QCOMPARE(RowText(*t, 2), QStringLiteral("0:05\tAgain"));
    p.window->Transcript_cmb->setCurrentIndex(1);
    QCOMPARE(RowText(*t, 2), QStringLiteral("0:05\tEncore"));
    QVERIFY(t->windowTitle().contains(QStringLiteral("FRENCH")));
    QVERIFY(p.engine.calls.isEmpty());  // no tick was needed
  }

  void ctrlFOpensSearch() {
    Player p;
    p.window->show();
    QTest::keyClick(p.window->Slide_img, Qt::Key_F, Qt::ControlModifier);
    TranscriptWindow* t = p.window->findChild<TranscriptWindow*>();
    QVERIFY(t);
    QVERIFY(t->isVisible());
    QCOMPARE(t->focusWidget(), static_cast<QWidget*>(SearchField(*t)));
    QTest::keyClicks(SearchField(*t), "PREMIERE");
    QCOMPARE(t->MatchCount(), 1);
    QCOMPARE(t->MatchCountText(), QStringLiteral("1 of 1"));
    QVERIFY(!p.window->findChild<LargeSlideView*>());  // Ctrl+F is not F
  }

  // A section's click plays from its time as a thumbnail click does, and the player shows that
  // moment at once: the slide, its title, the transcript text.
  void clickOnSectionPlaysFromIt() {
    Player p;
    p.Tick(21000);
    p.window->OpenTranscriptWindow();
    TranscriptWindow* t = p.window->findChild<TranscriptWindow*>();
    QTextBrowser* list = t->List();
    QTextCursor cursor(list->document()->findBlockByNumber(1));
    cursor.movePosition(QTextCursor::EndOfBlock);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->cursorRect(cursor).center());
    QCOMPARE(p.engine.calls, (QStringList{"Play", "SeekMs 5000"}));
    QCOMPARE(p.window->Slide_txt->text(), QStringLiteral("Title 1"));
    QCOMPARE(p.window->Trans_txt->toPlainText(), QStringLiteral("Again"));
    QCOMPARE(Strip(*p.window)->HighlightLeftTwips(), 100.0f);
    QCOMPARE(t->CurrentCue(), 2);
  }

  void controlPanelButtonsOpenTheWindows() {
    TempMedium m;
    Write(m);
    medium::RecordingReporter r;
    PanelEngine* engine = nullptr;
    PlayerWindow w(
        ProfileFor(PlayerBuild::Tavisco), r,
        [&engine](QWidget* parent) {
          auto e = std::make_unique<PanelEngine>(parent);
          engine = e.get();
          return e;
        },
        "-p P");
    w.Form_Load();
    QVERIFY(engine);
    QToolButton* large = nullptr;
    QToolButton* transcript = nullptr;
    for (QToolButton* b : engine->panel->findChildren<QToolButton*>()) {
      if (b->accessibleName() == QStringLiteral("Large slide view")) large = b;
      if (b->accessibleName() == QStringLiteral("Transcript window")) transcript = b;
    }
    QVERIFY(large);
    QVERIFY(transcript);
    QVERIFY(!large->toolTip().isEmpty());
    large->click();
    QVERIFY(w.findChild<LargeSlideView*>() && w.findChild<LargeSlideView*>()->isVisible());
    transcript->click();
    QVERIFY(w.findChild<TranscriptWindow*>() && w.findChild<TranscriptWindow*>()->isVisible());
  }

  void closeWithThePlayer() {
    Player p;
    p.window->OpenLargeSlideView();
    p.window->OpenTranscriptWindow();
    QPointer<LargeSlideView> view = p.window->findChild<LargeSlideView*>();
    QPointer<TranscriptWindow> t = p.window->findChild<TranscriptWindow*>();
    QVERIFY(view->isVisible() && t->isVisible());
    p.window->close();
    QVERIFY(!view->isVisible());
    QVERIFY(!t->isVisible());
    p.window.reset();
    QVERIFY(view.isNull());
    QVERIFY(t.isNull());
  }

  void controlPanelToolButton() {
    ControlPanel panel;
    panel.resize(320, ControlPanel::kHeight);
    int calls = 0;
    QToolButton* text =
        panel.AddToolButton("Transcript (T)", "Transcript window", [&calls] { ++calls; });
    QToolButton* icon = panel.AddToolButton("Large slide view (F)", "Large slide view", {},
                                            panel.style()->standardIcon(QStyle::SP_DirIcon));
    QCOMPARE(text->text(), QStringLiteral("Transcript (T)"));
    QCOMPARE(text->toolTip(), QStringLiteral("Transcript (T)"));
    QCOMPARE(text->accessibleName(), QStringLiteral("Transcript window"));
    QVERIFY(icon->text().isEmpty());
    QVERIFY(!icon->icon().isNull());
    QCOMPARE(icon->toolTip(), QStringLiteral("Large slide view (F)"));
    text->click();
    QCOMPARE(calls, 1);
    icon->click();  // no callback: nothing happens
    QCOMPARE(calls, 1);
    // The keys stay with the window, as with the other buttons; the new ones come before the
    // sound controls, in the order added.
    QCOMPARE(text->focusPolicy(), Qt::NoFocus);
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    QVERIFY(text->geometry().left() > panel.StopButton()->geometry().right());
    QVERIFY(icon->geometry().left() > text->geometry().right());
    QVERIFY(panel.MuteButton()->geometry().left() > icon->geometry().right());
  }

  void stillPictureInLargeView() {
    TempMedium m;
    Write(m);
    m.WriteLines("Data/P/database.txt", {"SlideMode=2", "MediaMode=0", "Flag=False", "Free=x"});
    m.WriteJpeg("Images/P/slide.jpg", 472, 360, 0x22cc22);
    medium::RecordingReporter r;
    FakeEngine e;
    PlayerWindow w(ProfileFor(PlayerBuild::Tavisco), r, Borrow(e), "-p P");
    w.Form_Load();
    w.OpenLargeSlideView();
    LargeSlideView* view = w.findChild<LargeSlideView*>();
    const QImage shown = view->grab(view->SlideRect()).toImage();
    QVERIFY(!shown.isNull());
    const QColor centre = shown.pixelColor(shown.width() / 2, shown.height() / 2);
    QVERIFY2(centre.green() > 150 && centre.red() < 90, qPrintable(centre.name()));
  }
};

QTEST_MAIN(ViewsWindowTest)
#include "test_views_window.moc"
