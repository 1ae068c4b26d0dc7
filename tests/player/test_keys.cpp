// The player window by keyboard and screen reader: every key of the key table with its engine
// calls and screen changes, the keys a focused list keeps, the key list window, the thumbnails by
// keyboard with their focus frame, the strip that follows the slide, accessible names and the
// announcement of a slide change, and the control panel's speed button. A fake engine and a fake
// clock: nothing waits.

#include <QAccessible>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSlider>
#include <QTableWidget>
#include <QToolButton>
#include <QtTest>
#include <memory>

#include "medium/Paths.h"
#include "player/PlayerWindow.h"
#include "player/media/ControlPanel.h"
#include "tests/support/FakeEngine.h"
#include "tests/support/PlayerLook.h"
#include "tests/support/RecordingReporter.h"
#include "tests/support/TempMedium.h"
#include "tests/sync/FakeClock.h"

namespace {

// Slide k at (k - 1) * 10 s, titled "Title k"; two transcript sections.
void WriteMedium(TempMedium& m, int slides) {
  m.WriteLines("Data/P/database.txt", {"SlideMode=0", "MediaMode=0"});
  QStringList events;
  for (int i = 1; i <= slides; ++i) {
    events << QStringLiteral("0~%1~Deck~%2~Title %2").arg((i - 1) * 10000).arg(i);
    m.WriteJpeg(QStringLiteral("Slides/Deck/thumbs/Slide%1.jpg").arg(i), 80, 65, 0xcc2222);
    m.WriteJpeg(QStringLiteral("Slides/Deck/Slide%1.jpg").arg(i), 472, 360, 0x2222cc);
    if (i == 1)
      events << "2~0~1"
             << "2~5000~2";
  }
  m.WriteLines("Data/P/events.txt", events);
  m.WriteLines("Data/P/transcripts/ENGLISH.html", {"SECTION1", "Hello", "SECTION2", "Again"});
  m.WriteLines("Data/P/details.txt", {"Speaker: A. Person"});
  m.Write("Media/P/media.wma", "x");
}

struct Player {
  TempMedium m;
  medium::RecordingReporter r;
  FakeEngine e;
  FakeClock* clock = nullptr;
  std::unique_ptr<PlayerWindow> w;

  explicit Player(int slides = 3) {
    WriteMedium(m, slides);
    w = std::make_unique<PlayerWindow>(ProfileFor(PlayerBuild::Tavisco), r, Borrow(e), "-p P");
    auto fake = std::make_unique<FakeClock>();
    clock = fake.get();
    w->Session().SetSyncClock(std::move(fake));
    w->Form_Load();
    e.calls.clear();
  }
  // The slide at position ms on screen, through the tick.
  void ShowAt(double ms) {
    e.position = ms;
    w->Timer1_Timer();
  }
};

}  // namespace

class KeysTest : public QObject {
  Q_OBJECT

 private slots:
  void keys_data();
  void keys();
  void questionMarkOpensKeyList();
  void keyListListsEveryKey();
  void keysFromOtherWindows();
  void focusedListKeepsItsKeys_data();
  void focusedListKeepsItsKeys();
  void thumbnailsByKeyboard();
  void thumbnailFocusFrame();
  void stripFollowsThenLeavesUserScroll();
  void accessibleNames();
  void slideChangeAnnounced();
  void seekBackBeforeFirstSlideInTheWindow();
  void controlPanelSpeedButton();
  void controlPanelAccessibleNames();
};

void KeysTest::keys_data() {
  QTest::addColumn<int>("key");
  QTest::addColumn<double>("position");  // on screen and in the engine before the key
  QTest::addColumn<bool>("paused");
  QTest::addColumn<double>("speed");
  QTest::addColumn<int>("volume");
  QTest::addColumn<QStringList>("calls");
  QTest::addColumn<QString>("title");  // Slide_txt afterwards

  const QString two = QStringLiteral("Title 2");
  QTest::newRow("Space pauses") << int(Qt::Key_Space) << 12000.0 << false << 1.0 << 100
                                << QStringList{"Pause"} << two;
  QTest::newRow("Space plays") << int(Qt::Key_Space) << 12000.0 << true << 1.0 << 100
                               << QStringList{"Play"} << two;
  QTest::newRow("Left: back 5 s") << int(Qt::Key_Left) << 12000.0 << false << 1.0 << 100
                                  << QStringList{"GetPositionMs", "SeekMs 7000"} << "Title 1";
  QTest::newRow("Left near the start") << int(Qt::Key_Left) << 3000.0 << false << 1.0 << 100
                                       << QStringList{"GetPositionMs", "SeekMs 0"} << "Title 1";
  QTest::newRow("Right: forward 5 s") << int(Qt::Key_Right) << 17000.0 << false << 1.0 << 100
                                      << QStringList{"GetPositionMs", "SeekMs 22000"} << "Title 3";
  QTest::newRow("Page Down: next slide") << int(Qt::Key_PageDown) << 12000.0 << false << 1.0 << 100
                                         << QStringList{"Play", "SeekMs 20000"} << "Title 3";
  QTest::newRow("Page Down on the last") << int(Qt::Key_PageDown) << 25000.0 << false << 1.0 << 100
                                         << QStringList{"Play", "SeekMs 20000"} << "Title 3";
  QTest::newRow("Page Up: previous slide") << int(Qt::Key_PageUp) << 12000.0 << false << 1.0 << 100
                                           << QStringList{"Play", "SeekMs 0"} << "Title 1";
  QTest::newRow("Home: first slide") << int(Qt::Key_Home) << 25000.0 << true << 1.0 << 100
                                     << QStringList{"Play", "SeekMs 0"} << "Title 1";
  QTest::newRow("Up: louder") << int(Qt::Key_Up) << 12000.0 << false << 1.0 << 50
                              << QStringList{"Volume 60"} << two;
  QTest::newRow("Up at the top") << int(Qt::Key_Up) << 12000.0 << false << 1.0 << 100
                                 << QStringList{"Volume 100"} << two;
  QTest::newRow("Down: softer") << int(Qt::Key_Down) << 12000.0 << false << 1.0 << 50
                                << QStringList{"Volume 40"} << two;
  QTest::newRow("M: mute") << int(Qt::Key_M) << 12000.0 << false << 1.0 << 100
                           << QStringList{"Muted 1"} << two;
  QTest::newRow("]: faster") << int(Qt::Key_BracketRight) << 12000.0 << false << 1.0 << 100
                             << QStringList{"Speed 1.25"} << two;
  QTest::newRow("] at 2x") << int(Qt::Key_BracketRight) << 12000.0 << false << 2.0 << 100
                           << QStringList{"Speed 2"} << two;
  QTest::newRow("[: slower") << int(Qt::Key_BracketLeft) << 12000.0 << false << 1.0 << 100
                             << QStringList{"Speed 0.75"} << two;
  QTest::newRow("[ at 0.5x") << int(Qt::Key_BracketLeft) << 12000.0 << false << 0.5 << 100
                             << QStringList{"Speed 0.5"} << two;
  QTest::newRow("Backspace: normal speed")
      << int(Qt::Key_Backspace) << 12000.0 << false << 1.75 << 100 << QStringList{"Speed 1"} << two;
  QTest::newRow("an unknown key") << int(Qt::Key_Z) << 12000.0 << false << 1.0 << 100
                                  << QStringList{} << two;
}

void KeysTest::keys() {
  QFETCH(int, key);
  QFETCH(double, position);
  QFETCH(bool, paused);
  QFETCH(double, speed);
  QFETCH(int, volume);
  QFETCH(QStringList, calls);
  QFETCH(QString, title);
  Player p;
  p.ShowAt(position);
  p.e.paused = paused;
  p.e.speed = speed;
  p.e.volume = volume;
  p.e.calls.clear();
  p.w->Slide_img->setFocus();
  QTest::keyClick(p.w->Slide_img, Qt::Key(key));
  QCOMPARE(p.e.calls, calls);
  QCOMPARE(p.w->Slide_txt->text(), title);
  // A seek shows the new place at once, also its transcript section.
  if (calls.contains("SeekMs 7000")) QCOMPARE(p.w->Trans_txt->toPlainText(), "Again");
}

void KeysTest::questionMarkOpensKeyList() {
  Player p;
  QVERIFY(!p.w->findChild<KeyHelpWindow*>());
  QTest::keyClick(p.w->Slide_img, Qt::Key_Question, Qt::ShiftModifier);
  QVERIFY(p.w->findChild<KeyHelpWindow*>());
  QVERIFY(p.w->findChild<KeyHelpWindow*>()->isVisible());
  p.w->findChild<KeyHelpWindow*>()->close();
  QTest::keyClick(p.w->Trans_txt, Qt::Key_F1);
  QVERIFY(p.w->findChild<KeyHelpWindow*>()->isVisible());
  QVERIFY(p.e.calls.isEmpty());
}

void KeysTest::keyListListsEveryKey() {
  Player p;
  p.w->ShowKeyHelp();
  QTableWidget* table = p.w->findChild<KeyHelpWindow*>()->Table();
  QStringList rows;
  for (int r = 0; r < table->rowCount(); ++r)
    rows << table->item(r, 0)->text() + " | " + table->item(r, 1)->text();
  for (const char* expected :
       {"Space | play / pause", "Left | back 5 s", "Right | forward 5 s", "Home | first slide",
        "Up | volume up", "Down | volume down", "M | mute / sound on", "Backspace | normal speed",
        "F1 or ? | this list of keys", "F | large slide view", "T | transcript window",
        "Ctrl+F | search the transcript"})
    QVERIFY2(rows.contains(QString::fromLatin1(expected)), expected);
  QCOMPARE(rows.size(), p.w->Keys().Entries().size());
  // A key added later (another window's) shows when the list is opened again.
  p.w->Keys().Add({Qt::Key_G}, "G", "a window's own key", [] {});
  p.w->ShowKeyHelp();
  QCOMPARE(table->rowCount(), int(p.w->Keys().Entries().size()));
  QCOMPARE(table->item(table->rowCount() - 1, 0)->text(), "G");
}

void KeysTest::keysFromOtherWindows() {
  Player p;
  p.ShowAt(12000);
  p.e.calls.clear();
  int opened = 0;
  p.w->Keys().Add(
      {Qt::Key_G}, "Ctrl+G", "find again", [&] { ++opened; }, Qt::ControlModifier);
  QWidget other;  // a window of its own, handing its keys on
  QKeyEvent space(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, " ");
  QVERIFY(p.w->HandleKey(&space));
  QCOMPARE(p.e.calls, QStringList{"Pause"});
  QKeyEvent plainG(QEvent::KeyPress, Qt::Key_G, Qt::NoModifier, "g");
  QVERIFY(!p.w->HandleKey(&plainG));
  QTest::keyClick(p.w->Slide_img, Qt::Key_G, Qt::ControlModifier);
  QCOMPARE(opened, 1);
  QTest::keyClick(&other, Qt::Key_Space);  // not the player's window: not its key
  QCOMPARE(p.e.calls, QStringList{"Pause"});
}

void KeysTest::focusedListKeepsItsKeys_data() {
  QTest::addColumn<QString>("focus");
  QTest::addColumn<int>("key");
  QTest::addColumn<bool>("kept");
  QTest::newRow("slide list, Down") << "Slides_cmb" << int(Qt::Key_Down) << true;
  QTest::newRow("slide list, Page Up") << "Slides_cmb" << int(Qt::Key_PageUp) << true;
  QTest::newRow("slide list, Space") << "Slides_cmb" << int(Qt::Key_Space) << true;
  QTest::newRow("slide list, M") << "Slides_cmb" << int(Qt::Key_M) << false;
  QTest::newRow("slide list, Left") << "Slides_cmb" << int(Qt::Key_Left) << false;
  QTest::newRow("language list, Up") << "Transcript_cmb" << int(Qt::Key_Up) << true;
  QTest::newRow("scroll bar, Right") << "HScroll1" << int(Qt::Key_Right) << true;
  QTest::newRow("scroll bar, Space") << "HScroll1" << int(Qt::Key_Space) << false;
  QTest::newRow("transcript text, Left") << "Trans_txt" << int(Qt::Key_Left) << false;
}

void KeysTest::focusedListKeepsItsKeys() {
  QFETCH(QString, focus);
  QFETCH(int, key);
  QFETCH(bool, kept);
  Player p;
  p.ShowAt(12000);
  p.e.volume = 50;
  p.e.paused = false;
  p.e.calls.clear();
  auto* target = p.w->findChild<QWidget*>(focus);
  QVERIFY(target);
  const bool keyOfTheTable = p.w->Keys().Find(key, Qt::NoModifier) != nullptr;
  QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier);
  QCOMPARE(PlayerKeys::WidgetKeepsKey(target, &event), kept);
  if (!kept) QVERIFY(keyOfTheTable);
  // Through the window: a kept key never reaches the table.
  p.w->show();
  QVERIFY(QTest::qWaitForWindowExposed(p.w.get()));
  p.w->activateWindow();
  target->setFocus();
  QTRY_VERIFY(target->hasFocus());
  QTest::keyClick(target, Qt::Key(key));
  const bool tableRan =
      !p.e.calls.filter(QRegularExpression("^(Volume|Pause|Muted|GetPositionMs)")).isEmpty();
  QCOMPARE(tableRan, !kept);
  p.w->close();
}

void KeysTest::thumbnailsByKeyboard() {
  Player p(4);
  p.w->show();
  QVERIFY(QTest::qWaitForWindowExposed(p.w.get()));
  p.w->activateWindow();
  // Reachable with Tab: every thumbnail takes the focus by Tab and follows the one before.
  for (int i = 0; i < 4; ++i) QVERIFY(Thumb(*p.w, i)->focusPolicy() & Qt::TabFocus);
  for (int i = 0; i < 3; ++i) {
    QWidget* next = Thumb(*p.w, i)->nextInFocusChain();
    while (next && !(next->focusPolicy() & Qt::TabFocus)) next = next->nextInFocusChain();
    QCOMPARE(next, Thumb(*p.w, i + 1));
  }
  Thumb(*p.w, 0)->setFocus(Qt::TabFocusReason);
  QTRY_VERIFY(Thumb(*p.w, 0)->hasFocus());
  QTest::keyClick(Thumb(*p.w, 0), Qt::Key_Right);
  QTRY_VERIFY(Thumb(*p.w, 1)->hasFocus());
  QTest::keyClick(Thumb(*p.w, 1), Qt::Key_End);
  QTRY_VERIFY(Thumb(*p.w, 3)->hasFocus());
  QTest::keyClick(Thumb(*p.w, 3), Qt::Key_Right);  // stays at the end
  QTRY_VERIFY(Thumb(*p.w, 3)->hasFocus());
  QTest::keyClick(Thumb(*p.w, 3), Qt::Key_Left);
  QTRY_VERIFY(Thumb(*p.w, 2)->hasFocus());
  QVERIFY(p.e.calls.isEmpty());  // moving chooses nothing
  QTest::keyClick(Thumb(*p.w, 2), Qt::Key_Return);
  QCOMPARE(p.e.calls, (QStringList{"Play", "SeekMs 20000"}));
  QCOMPARE(p.w->Slide_txt->text(), "Title 3");
  p.e.calls.clear();
  QTest::keyClick(Thumb(*p.w, 2), Qt::Key_Home);
  QTRY_VERIFY(Thumb(*p.w, 0)->hasFocus());
  QTest::keyClick(Thumb(*p.w, 0), Qt::Key_Space);
  QCOMPARE(p.e.calls, (QStringList{"Play", "SeekMs 0"}));
  QCOMPARE(Strip(*p.w)->HighlightLeftTwips(), 100.0f);
  p.w->close();
}

void KeysTest::thumbnailFocusFrame() {
  Player p(2);
  p.w->show();
  QVERIFY(QTest::qWaitForWindowExposed(p.w.get()));
  p.w->activateWindow();
  auto frameDrawn = [&](ThumbnailButton* b) {
    const QImage shot = b->grab().toImage();
    int dark = 0;
    for (int x = 0; x < shot.width(); ++x)
      if (shot.pixelColor(x, 2) == QColor(0, 0, 128)) ++dark;
    return dark > shot.width() / 2;
  };
  QVERIFY(!frameDrawn(Thumb(*p.w, 1)));
  Thumb(*p.w, 1)->setFocus(Qt::TabFocusReason);
  QTRY_VERIFY(Thumb(*p.w, 1)->hasFocus());
  QVERIFY(frameDrawn(Thumb(*p.w, 1)));
  p.w->close();
}

void KeysTest::stripFollowsThenLeavesUserScroll() {
  Player p(9);
  QCOMPARE(p.w->HScroll1->maximum(), 4);
  auto wholly = [&](int index) {
    const double left = Thumb(*p.w, index)->property("LeftTwips").toDouble() +
                        p.w->InnerFrame->property("LeftTwips").toDouble();
    return left >= 0 && left + 1215 <= 7095;
  };
  p.ShowAt(5000);
  QCOMPARE(p.w->HScroll1->value(), 0);  // slide 1 is in view: nothing moves
  p.ShowAt(75000);                      // slide 8
  QVERIFY(wholly(7));
  QVERIFY(p.w->HScroll1->value() > 0);
  // The user scrolls back to the start; the same slide on the next ticks leaves it there.
  p.w->HScroll1->setValue(0);
  p.ShowAt(76000);
  p.ShowAt(77000);
  QCOMPARE(p.w->HScroll1->value(), 0);
  QVERIFY(!wholly(7));
  // The next slide brings it into view again.
  p.ShowAt(85000);
  QVERIFY(wholly(8));
  // A jump back to slide 1 by the list scrolls back.
  p.w->Slides_cmb->setCurrentIndex(0);
  p.w->Slides_cmb_Click();
  QVERIFY(wholly(0));
}

void KeysTest::accessibleNames() {
  Player p;
  PlayerWindow& w = *p.w;
  QList<QWidget*> controls{
      w.UserDef1_txt, w.Transcript_cmb, w.Trans_txt,  w.Slide_img, w.Details_txt,
      w.Slides_cmb,   w.OuterFrame,     w.InnerFrame, w.Shape1,    w.HScroll1,
      w.Audio_img,    w.Label1,         w.Label2,     w.Slide_txt, &w};
  for (int i = 0; i < Strip(w)->Count(); ++i) controls << Thumb(w, i);
  for (QWidget* c : controls) {
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(c);
    QVERIFY2(a, qPrintable(c->objectName()));
    QVERIFY2(!a->text(QAccessible::Name).isEmpty(), qPrintable(c->objectName()));
    if (c != w.Label1 && c != w.Label2 && c != w.InnerFrame)
      QVERIFY2(!a->text(QAccessible::Description).isEmpty(), qPrintable(c->objectName()));
  }
  QCOMPARE(QAccessible::queryAccessibleInterface(Thumb(w, 1))->text(QAccessible::Name),
           "Slide 2: Title 2");
}

void KeysTest::slideChangeAnnounced() {
  Player p;
  // What the window says to screen readers, each time it says it (the name Slide_img then has).
  QSignalSpy events(p.w.get(), &PlayerWindow::slideAnnounced);
  auto nameChanges = [&] { return int(events.size()); };
  auto description = [&] {
    return QAccessible::queryAccessibleInterface(p.w->Slide_img)->text(QAccessible::Description);
  };
  p.ShowAt(12000);
  QCOMPARE(description(), "Slide 2 of 3: Title 2");
  QCOMPARE(QAccessible::queryAccessibleInterface(p.w->Slide_img)->text(QAccessible::Name),
           "Slide 2 of 3: Title 2");
  QCOMPARE(nameChanges(), 1);
  QCOMPARE(events.last().at(0).toString(), "Slide 2 of 3: Title 2");
  const int afterFirst = nameChanges();
  p.ShowAt(13000);  // the same slide: nothing to announce
  QCOMPARE(nameChanges(), afterFirst);
  p.w->Command1_Click(2);  // a jump is a slide change too
  QCOMPARE(description(), "Slide 3 of 3: Title 3");
  QCOMPARE(nameChanges(), afterFirst + 1);
  QCOMPARE(events.last().at(0).toString(), "Slide 3 of 3: Title 3");
}

void KeysTest::seekBackBeforeFirstSlideInTheWindow() {
  TempMedium m;
  m.WriteLines("Data/P/database.txt", {"SlideMode=0", "MediaMode=0"});
  m.WriteLines("Data/P/events.txt", {"0~4000~Deck~1~Late start", "0~9000~Deck~2~Second"});
  for (int i = 1; i <= 2; ++i) {
    m.WriteJpeg(QStringLiteral("Slides/Deck/thumbs/Slide%1.jpg").arg(i), 80, 65, 0xcc2222);
    m.WriteJpeg(QStringLiteral("Slides/Deck/Slide%1.jpg").arg(i), 472, 360, 0x2222cc);
  }
  m.Write("Media/P/media.wma", "x");
  medium::RecordingReporter r;
  FakeEngine e;
  PlayerWindow w(ProfileFor(PlayerBuild::Norvanta), r, Borrow(e), "-p P");
  w.Form_Load();
  QVERIFY(w.Slide_img->Picture().isNull());  // start-up: no slide yet
  e.position = 10000;
  w.Timer1_Timer();
  QCOMPARE(w.Slide_txt->text(), "Second");
  QVERIFY(!w.Slide_img->Picture().isNull());
  QCOMPARE(Strip(w)->HighlightLeftTwips(), 1365.0f);
  // Left: back 5 s, before the first slide.
  e.position = 6000;
  e.calls.clear();
  QTest::keyClick(w.Slide_img, Qt::Key_Left);
  QCOMPARE(e.calls, (QStringList{"GetPositionMs", "SeekMs 1000"}));
  QVERIFY(w.Slide_img->Picture().isNull());
  QCOMPARE(w.Slide_txt->text(), QString());
  QCOMPARE(Strip(w)->HighlightLeftTwips(), 100.0f);
  QCOMPARE(w.Shape1->property("LeftTwips").toDouble(), 100.0);
}

void KeysTest::controlPanelSpeedButton() {
  ControlPanel panel;
  QToolButton* speed = panel.SpeedButton();
  QVERIFY(speed);
  QCOMPARE(speed->text(), "1x");
  QSignalSpy asked(&panel, &ControlPanel::speedRequested);
  QStringList offered;
  for (QAction* a : speed->menu()->actions()) offered << a->text();
  QCOMPARE(offered, (QStringList{"0.5x", "0.75x", "1x", "1.25x", "1.5x", "1.75x", "2x"}));
  speed->menu()->actions().at(5)->trigger();
  QCOMPARE(asked.size(), 1);
  QCOMPARE(asked.at(0).at(0).toDouble(), 1.75);
  panel.SetSpeed(1.25);
  QCOMPARE(speed->text(), "1.25x");
  int checked = 0;
  for (QAction* a : speed->menu()->actions()) checked += a->isChecked() ? 1 : 0;
  QCOMPARE(checked, 1);
  QVERIFY(speed->menu()->actions().at(3)->isChecked());
}

void KeysTest::controlPanelAccessibleNames() {
  ControlPanel panel;
  const QList<QWidget*> controls{panel.PlayButton(),  panel.StopButton(), panel.MuteButton(),
                                 panel.SpeedButton(), panel.SeekBar(),    panel.VolumeBar()};
  for (QWidget* c : controls) {
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(c);
    QVERIFY(a);
    QVERIFY(!a->text(QAccessible::Name).isEmpty());
    QVERIFY(!a->text(QAccessible::Description).isEmpty());
  }
  for (QLabel* label : panel.findChildren<QLabel*>()) QVERIFY(!label->accessibleName().isEmpty());
}

QTEST_MAIN(KeysTest)
#include "test_keys.moc"
