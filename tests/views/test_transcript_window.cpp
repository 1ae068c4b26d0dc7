// The transcript window on its own: every section in the chosen language, the section being
// played highlighted and kept in view (unless the reader scrolled a moment ago, on a fake clock),
// a click or Enter plays from a section, the search is case- and accent-blind and counts its
// matches, a language change rebuilds the list, and text can be copied.

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTextBlock>
#include <QTextBrowser>
#include <QtTest>

#include "player/TranscriptWindow.h"
#include "tests/support/PlayerLook.h"

namespace {

// Cues every 5 s; each holds the given texts, one per language (fewer: the rest missing).
struct Cues {
  Trans_cls trans;
  void Add(double time, QStringList texts) {
    Tran_cls t;
    t.TranTime = time;
    t.TranNum = int16_t(trans.Trans.Count() + 1);
    for (const QString& text : texts) t.Languages.Add(text);
    trans.Trans.Add(std::move(t));
  }
};

struct Window {
  Cues cues;
  TranscriptWindow window;
  qint64 now = 100000;

  Window() {
    cues.Add(0, {"Welcome to the première", "Bienvenue à la Première"});
    cues.Add(5000, {"The first slide", "La première diapositive"});
    cues.Add(65000, {"PREMIERE results", "Résultats"});
    cues.Add(130500, {"Only English here"});
    window.SetClock([this] { return now; });
    window.SetTranscript(&cues.trans);
    window.SetLanguage(0, "ENGLISH");
  }
};

// Many sections, so that the list scrolls.
struct LongWindow {
  Cues cues;
  TranscriptWindow window;
  qint64 now = 100000;
  LongWindow() {
    for (int i = 0; i < 80; ++i)
      cues.Add(i * 4000.0, {QStringLiteral("Section %1 of a long talk about slides").arg(i + 1)});
    window.SetClock([this] { return now; });
    window.SetTranscript(&cues.trans);
    window.SetLanguage(0, "ENGLISH");
    window.resize(400, 300);
    window.show();
    exposed = QTest::qWaitForWindowExposed(&window);
  }
  bool exposed = false;
  int Scroll() const { return window.List()->verticalScrollBar()->value(); }
};

QPoint RowPoint(TranscriptWindow& w, int k) {
  QTextBrowser* list = w.List();
  QTextCursor cursor(list->document()->findBlockByNumber(k - 1));
  cursor.movePosition(QTextCursor::EndOfBlock);
  cursor.movePosition(QTextCursor::Left, QTextCursor::MoveAnchor, 3);
  return list->cursorRect(cursor).center();
}

}  // namespace

class TranscriptWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void listsSectionsOfTheLanguage_data() {
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("rows");
    QTest::newRow("english") << 0 << "ENGLISH"
                             << QStringList{"0:00\tWelcome to the première",
                                            "0:05\tThe first slide", "1:05\tPREMIERE results",
                                            "2:10\tOnly English here"};
    QTest::newRow("french") << 1 << "FRENCH"
                            << QStringList{"0:00\tBienvenue à la Première",
                                           "0:05\tLa première diapositive", "1:05\tRésultats",
                                           "2:10\t(section 4 is missing in FRENCH)"};
    QTest::newRow("none chosen") << -1 << ""
                                 << QStringList{"0:00\t(no transcript language chosen)",
                                                "0:05\t(no transcript language chosen)",
                                                "1:05\t(no transcript language chosen)",
                                                "2:10\t(no transcript language chosen)"};
  }
  void listsSectionsOfTheLanguage() {
    QFETCH(int, language);
    QFETCH(QString, name);
    QFETCH(QStringList, rows);
    Window w;
    w.window.SetLanguage(language, name);
    QCOMPARE(w.window.CueCount(), 4);
    QStringList shown;
    for (int k = 1; k <= 4; ++k) shown << RowText(w.window, k);
    QCOMPARE(shown, rows);
    QCOMPARE(w.window.RowMissing(4), language != 0);
    QVERIFY(!w.window.RowMissing(1) || language < 0);
    if (!name.isEmpty()) QVERIFY(w.window.windowTitle().contains(name));
  }

  void formatCueTime_data() {
    QTest::addColumn<double>("ms");
    QTest::addColumn<QString>("text");
    QTest::newRow("zero") << 0.0 << "0:00";
    QTest::newRow("under a second") << 999.0 << "0:00";
    QTest::newRow("minute") << 60000.0 << "1:00";
    QTest::newRow("long") << 3725000.0 << "62:05";
  }
  void formatCueTime() {
    QFETCH(double, ms);
    QFETCH(QString, text);
    QCOMPARE(TranscriptWindow::FormatCueTime(ms), text);
  }

  void highlightsAndFollowsPlayback() {
    LongWindow w;
    QVERIFY(w.exposed);
    QCOMPARE(w.window.CurrentCue(), 0);
    w.window.SetCurrentCue(1);
    QCOMPARE(w.window.CurrentCue(), 1);
    QVERIFY(w.window.RowVisible(1));
    // Far down: the list scrolls to it.
    w.window.SetCurrentCue(60);
    QCOMPARE(w.window.CurrentCue(), 60);
    QVERIFY(w.window.RowVisible(60));
    QVERIFY(w.Scroll() > 0);
    // The highlight is drawn on the current row only.
    const QList<QTextEdit::ExtraSelection> marks = w.window.List()->extraSelections();
    QCOMPARE(marks.size(), 1);
    QCOMPARE(marks.first().cursor.block().blockNumber(), 59);
    // A row already in view does not move the list.
    const int at = w.Scroll();
    w.window.SetCurrentCue(61);
    QCOMPARE(w.Scroll(), at);
  }

  void userScrollHoldsForFiveSeconds() {
    LongWindow w;
    QVERIFY(w.exposed);
    w.window.SetCurrentCue(10);
    QVERIFY(w.window.RowVisible(10));
    // The reader scrolls to the end.
    QScrollBar* bar = w.window.List()->verticalScrollBar();
    bar->setValue(bar->maximum());
    QVERIFY(!w.window.RowVisible(11));
    w.now += 1000;
    w.window.SetCurrentCue(11);
    QCOMPARE(w.window.CurrentCue(), 11);  // highlighted, but the list stays
    QCOMPARE(bar->value(), bar->maximum());
    w.now += 3999;  // 4.999 s after the scroll
    w.window.SetCurrentCue(11);
    QVERIFY(!w.window.RowVisible(11));
    w.now += 1;  // 5 s
    w.window.SetCurrentCue(12);
    QVERIFY(w.window.RowVisible(12));
  }

  void clickPlaysFromSection() {
    Window w;
    w.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w.window));
    QSignalSpy spy(&w.window, &TranscriptWindow::playFrom);
    QTest::mouseClick(w.window.List()->viewport(), Qt::LeftButton, {}, RowPoint(w.window, 3));
    QCOMPARE(spy.size(), 1);
    QCOMPARE(spy.at(0).at(0).toInt(), 3);
    QCOMPARE(spy.at(0).at(1).toDouble(), 65000.0);
    QCOMPARE(w.window.CurrentCue(), 3);

    // A drag selects text and plays nothing.
    QWidget* viewport = w.window.List()->viewport();
    const QPoint from = RowPoint(w.window, 2) - QPoint(60, 0);
    QTest::mousePress(viewport, Qt::LeftButton, {}, from);
    QMouseEvent move(QEvent::MouseMove, QPointF(from + QPoint(50, 0)),
                     viewport->mapToGlobal(QPointF(from + QPoint(50, 0))), Qt::LeftButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &move);
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, from + QPoint(50, 0));
    QVERIFY(w.window.List()->textCursor().hasSelection());
    QCOMPARE(spy.size(), 1);
  }

  void enterPlaysFromSectionAtCursor() {
    Window w;
    w.window.show();
    QSignalSpy spy(&w.window, &TranscriptWindow::playFrom);
    QTextBrowser* list = w.window.List();
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Down);
    QTest::keyClick(list, Qt::Key_Return);
    QCOMPARE(spy.size(), 1);
    QCOMPARE(spy.at(0).at(0).toInt(), 2);
    QCOMPARE(spy.at(0).at(1).toDouble(), 5000.0);
  }

  void searchIsCaseAndAccentBlind_data() {
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("needle");
    QTest::addColumn<QList<int>>("cues");
    QTest::newRow("premiere english") << 0 << "premiere" << QList<int>{1, 3};
    QTest::newRow("premiere french") << 1 << "premiere" << QList<int>{1, 2};
    QTest::newRow("upper accented") << 1 << "PREMIÈRE" << QList<int>{1, 2};
    QTest::newRow("missing rows skipped") << 1 << "missing" << QList<int>{};
    // "Welcome to the première": 6, "The first slide": 2, "PREMIERE results": 4,
    // "Only English here": 3.
    QTest::newRow("several in one")
        << 0 << "e" << QList<int>{1, 1, 1, 1, 1, 1, 2, 2, 3, 3, 3, 3, 4, 4, 4};
  }
  void searchIsCaseAndAccentBlind() {
    QFETCH(int, language);
    QFETCH(QString, needle);
    QFETCH(QList<int>, cues);
    Window w;
    w.window.SetLanguage(language, language ? "FRENCH" : "ENGLISH");
    SearchField(w.window)->setText(needle);
    QCOMPARE(w.window.MatchCount(), int(cues.size()));
    QList<int> found;
    for (int i = 0; i < w.window.MatchCount(); ++i) found << CueOfMatch(w.window, i);
    QCOMPARE(found, cues);
    auto* count = w.window.findChild<QLabel*>(QStringLiteral("TranscriptMatches"));
    QVERIFY(count);
    QCOMPARE(count->text(),
             QStringLiteral("%1 of %2").arg(cues.isEmpty() ? 0 : 1).arg(cues.size()));
    // Every match is highlighted, besides no current row.
    QCOMPARE(w.window.List()->extraSelections().size(), cues.size());
  }

  void searchMovesWithEnterAndF3() {
    Window w;
    w.window.show();
    QLineEdit* field = SearchField(w.window);
    w.window.FocusSearch();
    QTest::keyClicks(field, "PREMIERE");
    QCOMPARE(w.window.MatchCount(), 2);
    QCOMPARE(w.window.MatchCountText(), QStringLiteral("1 of 2"));
    QCOMPARE(CueOfMatch(w.window, w.window.CurrentMatch()), 1);
    QTest::keyClick(field, Qt::Key_Return);
    QCOMPARE(w.window.MatchCountText(), QStringLiteral("2 of 2"));
    QCOMPARE(CueOfMatch(w.window, w.window.CurrentMatch()), 3);
    QTest::keyClick(field, Qt::Key_Return);  // round the end
    QCOMPARE(w.window.MatchCountText(), QStringLiteral("1 of 2"));
    QTest::keyClick(field, Qt::Key_Return, Qt::ShiftModifier);
    QCOMPARE(w.window.MatchCountText(), QStringLiteral("2 of 2"));
    QTest::keyClick(w.window.List(), Qt::Key_F3);
    QCOMPARE(w.window.MatchCountText(), QStringLiteral("1 of 2"));
    QTest::keyClick(w.window.List(), Qt::Key_F3, Qt::ShiftModifier);
    QCOMPARE(w.window.MatchCountText(), QStringLiteral("2 of 2"));
    // The current match is marked apart from the others, over the shown text "PREMIERE".
    const QList<QTextEdit::ExtraSelection> marks = w.window.List()->extraSelections();
    QCOMPARE(marks.size(), 2);
    QCOMPARE(marks.at(1).cursor.selectedText(), QStringLiteral("PREMIERE"));
    QVERIFY(marks.at(1).format.background() != marks.at(0).format.background());
    // Enter in the list then plays from the match's section.
    QSignalSpy spy(&w.window, &TranscriptWindow::playFrom);
    QTest::keyClick(w.window.List(), Qt::Key_Return);
    QCOMPARE(spy.size(), 1);
    QCOMPARE(spy.at(0).at(0).toInt(), 3);
    // Escape in the field clears the search first.
    QTest::keyClick(field, Qt::Key_Escape);
    QCOMPARE(field->text(), QString());
    QCOMPARE(w.window.MatchCount(), 0);
    QVERIFY(w.window.isVisible());
  }

  void ctrlFFocusesSearch() {
    Window w;
    w.window.show();
    w.window.List()->setFocus();
    QTest::keyClick(w.window.List(), Qt::Key_F, Qt::ControlModifier);
    QCOMPARE(w.window.focusWidget(), static_cast<QWidget*>(SearchField(w.window)));
  }

  void searchSurvivesLanguageChange() {
    Window w;
    SearchField(w.window)->setText("premiere");
    QCOMPARE(w.window.MatchCount(), 2);
    w.window.SetCurrentCue(2);
    w.window.SetLanguage(1, "FRENCH");
    QCOMPARE(RowText(w.window, 2), QStringLiteral("0:05\tLa première diapositive"));
    QCOMPARE(w.window.MatchCount(), 2);
    QCOMPARE(CueOfMatch(w.window, 1), 2);
    QCOMPARE(w.window.CurrentCue(), 2);
  }

  void textCanBeCopied() {
    Window w;
    w.window.show();
    QTextBrowser* list = w.window.List();
    list->setFocus();
    QTest::keyClick(list, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(list, Qt::Key_C, Qt::ControlModifier);
    const QString copied = QApplication::clipboard()->text();
    QVERIFY2(copied.contains(QStringLiteral("Welcome to the première")), qPrintable(copied));
    QVERIFY(copied.contains(QStringLiteral("2:10")));
  }

  void escapeCloses() {
    Window w;
    w.window.show();
    QTest::keyClick(w.window.List(), Qt::Key_Escape);
    QVERIFY(!w.window.isVisible());
  }

  void accessibleNames() {
    Window w;
    QVERIFY(!w.window.accessibleName().isEmpty());
    QVERIFY(!SearchField(w.window)->accessibleName().isEmpty());
    QVERIFY(!w.window.List()->accessibleName().isEmpty());
    QVERIFY(!w.window.List()->accessibleDescription().isEmpty());
  }
};

QTEST_MAIN(TranscriptWindowTest)
#include "test_transcript_window.moc"
