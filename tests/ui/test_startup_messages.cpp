// A start-up that runs into a storm of messages: from the tenth on the box offers to skip the
// rest, which then go to standard error, and the program starts. Boxes are answered by a fake;
// one test drives the real box.

#include <QApplication>
#include <QComboBox>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include "launcher/Ambrel_frm.h"
#include "player/PlayerWindow.h"
#include "tests/launcher/LauncherFakes.h"
#include "tests/support/FakeEngine.h"
#include "tests/support/RecordingReporter.h"
#include "tests/support/TempMedium.h"
#include "ui/MessageBoxReporter.h"

Q_DECLARE_METATYPE(ui::StartupMessageCounter::Route)

namespace {

using Route = ui::StartupMessageCounter::Route;

// Answers every box at once; chooses to skip at the given box that offers it (1 = the first).
class FakeBox : public ui::ModalBox {
 public:
  struct Asked {
    QString text;
    bool offered;
  };
  ui::BoxChoice Ask(const medium::Message& message, bool offerSkip) override {
    asked.append({message.text, offerSkip});
    if (offerSkip && ++offers == skipAtOffer) return ui::BoxChoice::SkipFurther;
    return ui::BoxChoice::Ok;
  }
  int Offered() const {
    return int(std::count_if(asked.begin(), asked.end(), [](const Asked& a) { return a.offered; }));
  }
  QList<Asked> asked;
  int skipAtOffer = 0;  // 0: never
  int offers = 0;
};

struct Gate {
  explicit Gate(const QString& title, int skipAtOffer = 0)
      : reporter(title, box, [this](const QString& line) { standardError << line; }) {
    box.skipAtOffer = skipAtOffer;
  }
  FakeBox box;
  QStringList standardError;
  ui::MessageBoxReporter reporter;
};

// The real box open right now, once it is up.
QMessageBox* OpenBox() {
  return qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
}

}  // namespace

class StartupMessagesTest : public QObject {
  Q_OBJECT

 private slots:
  void routes_data() {
    QTest::addColumn<bool>("inStartup");
    QTest::addColumn<int>("messages");
    QTest::addColumn<int>("skipAt");  // the message at which the user skips; 0: never
    QTest::addColumn<int>("boxes");
    QTest::addColumn<int>("offering");
    QTest::addColumn<int>("toStandardError");
    QTest::newRow("nine: boxes only") << true << 9 << 0 << 9 << 0 << 0;
    QTest::newRow("ten: the tenth offers") << true << 10 << 0 << 9 << 1 << 0;
    QTest::newRow("never skipped: all shown") << true << 30 << 0 << 9 << 21 << 0;
    QTest::newRow("skipped at the tenth") << true << 30 << 10 << 9 << 1 << 20;
    QTest::newRow("skipped at the twelfth") << true << 30 << 12 << 9 << 3 << 18;
    QTest::newRow("outside start-up") << false << 30 << 0 << 30 << 0 << 0;
  }
  void routes() {
    QFETCH(bool, inStartup);
    QFETCH(int, messages);
    QFETCH(int, skipAt);
    QFETCH(int, boxes);
    QFETCH(int, offering);
    QFETCH(int, toStandardError);
    ui::StartupMessageCounter counter;
    if (inStartup) counter.Begin();
    QMap<Route, int> seen;
    for (int i = 1; i <= messages; ++i) {
      const Route route = counter.Next();
      ++seen[route];
      if (i == skipAt) {
        QCOMPARE(route, Route::BoxOfferingSkip);
        counter.SkipChosen();
      }
    }
    QCOMPARE(seen.value(Route::Box), boxes);
    QCOMPARE(seen.value(Route::BoxOfferingSkip), offering);
    QCOMPARE(seen.value(Route::StandardError), toStandardError);
  }

  void eachStartUpCountsAfresh() {
    ui::StartupMessageCounter counter;
    counter.Begin();
    for (int i = 0; i < 9; ++i) counter.Next();
    QCOMPARE(counter.Next(), Route::BoxOfferingSkip);
    counter.SkipChosen();
    QCOMPARE(counter.Next(), Route::StandardError);
    counter.End();
    // After start-up every message is a plain box again, however many came before.
    QCOMPARE(counter.Next(), Route::Box);
    counter.SkipChosen();  // no box offers it outside start-up; nothing changes
    QCOMPARE(counter.Next(), Route::Box);
    counter.Begin();
    for (int i = 0; i < 9; ++i) QCOMPARE(counter.Next(), Route::Box);
    QCOMPARE(counter.Next(), Route::BoxOfferingSkip);
  }

  void skippedMessagesGoToStandardErrorWhole() {
    Gate gate("Tavisco", 1);
    gate.reporter.BeginStartup();
    for (int i = 1; i <= 12; ++i) gate.reporter.Report(QStringLiteral("Message %1").arg(i));
    gate.reporter.Report("Two\r\nlines");
    gate.reporter.EndStartup();
    QCOMPARE(gate.box.asked.size(), 10);
    QCOMPARE(gate.box.asked.back().text, QString("Message 10"));
    QCOMPARE(gate.box.Offered(), 1);
    QCOMPARE(gate.standardError,
             (QStringList{"Tavisco: Message 11", "Tavisco: Message 12", "Tavisco: Two lines"}));
    // A handler's error after start-up is a box as before, with its own caption and icon.
    gate.reporter.Show(
        {"Tavisco", "Run-time error '6':\n\nOverflow", medium::MessageIcon::Critical});
    QCOMPARE(gate.box.asked.size(), 11);
    QVERIFY(!gate.box.asked.back().offered);
    QCOMPARE(gate.standardError.size(), 3);
  }

  void untilChosenEveryMessageIsABox() {
    Gate gate("Ambrel");
    gate.reporter.BeginStartup();
    for (int i = 0; i < 500; ++i) gate.reporter.Report("Input past end of file");
    gate.reporter.EndStartup();
    QCOMPARE(gate.box.asked.size(), 500);
    QCOMPARE(gate.box.Offered(), 491);
    QVERIFY(gate.standardError.isEmpty());
  }

  void realBoxOffersTheSkipFromTheTenth_data() {
    QTest::addColumn<bool>("offer");
    QTest::addColumn<QString>("press");  // "skip", "ok" or "escape"
    QTest::addColumn<bool>("skipped");
    QTest::newRow("plain box, OK") << false << "ok" << false;
    QTest::newRow("offered, skip") << true << "skip" << true;
    QTest::newRow("offered, OK") << true << "ok" << false;
    QTest::newRow("offered, Escape") << true << "escape" << false;
  }
  void realBoxOffersTheSkipFromTheTenth() {
    QFETCH(bool, offer);
    QFETCH(QString, press);
    QFETCH(bool, skipped);
    ui::QtModalBox box;
    QStringList buttons;
    QString caption;
    QTimer::singleShot(0, [&] {
      QTRY_VERIFY(OpenBox());
      QMessageBox* open = OpenBox();
      caption = open->windowTitle();
      QAbstractButton* skip = nullptr;
      for (QAbstractButton* b : open->buttons()) {
        buttons << b->text().remove('&');
        if (b->text() == QLatin1String(ui::kSkipFurtherMessages)) skip = b;
      }
      if (press == "skip" && skip) {
        skip->click();
      } else if (press == "escape") {
        QTest::keyClick(open, Qt::Key_Escape);
      } else {
        open->button(QMessageBox::Ok)->click();
      }
    });
    const ui::BoxChoice choice = box.Ask({"Norvanta", "File not found"}, offer);
    QCOMPARE(caption, QString("Norvanta"));
    QCOMPARE(buttons.contains(ui::kSkipFurtherMessages), offer);
    QVERIFY(buttons.contains("OK"));
    QCOMPARE(choice == ui::BoxChoice::SkipFurther, skipped);
  }

  // A timeline of 5,000 garbage lines asks for 20,000 messages before the player's window
  // appears: after the tenth box the user skips, the rest go to standard error, and the player
  // starts. An error after start-up is a box again.
  void playerStartUpStorm() {
    TempMedium m;
    m.WriteLines("Data/P/database.txt", {"SlideMode=0", "MediaMode=0", "Flag=False", "Free="});
    m.WriteLines("Data/P/events.txt", QStringList(5000, "garbage"));
    m.WriteLines("Data/P/transcripts/ENGLISH.html", {"SECTION1", "Hello"});
    m.WriteLines("Data/P/details.txt", {"Details"});
    m.Write("Media/P/media.wma", "x");
    int expected = 0;
    {
      medium::RecordingReporter all("Tavisco");
      FakeEngine e;
      PlayerWindow w(ProfileFor(PlayerBuild::Tavisco), all, Borrow(e), "-p P");
      w.Form_Load();
      expected = int(all.messages.size());
    }
    QVERIFY2(expected >= 20000, qPrintable(QString::number(expected)));

    Gate gate("Tavisco", 1);
    FakeEngine e;
    PlayerWindow w(ProfileFor(PlayerBuild::Tavisco), gate.reporter, Borrow(e), "-p P");
    w.Form_Load();
    QVERIFY(w.Session().Sync() != nullptr);
    QVERIFY(w.isVisible());
    QCOMPARE(gate.box.asked.size(), 10);
    QCOMPARE(gate.standardError.size(), expected - 10);
    QVERIFY(gate.standardError.front().startsWith("Tavisco: "));
    QVERIFY(e.calls.contains("Play"));

    w.Session().RunHandler([] { throw medium::AppError(medium::kOverflow, "Overflow"); });
    QCOMPARE(gate.box.asked.size(), 11);
    QVERIFY(!gate.box.asked.back().offered);
    QCOMPARE(gate.standardError.size(), expected - 10);
  }

  // config.txt saying "P 32767" with nothing after it: 65,534 reads past the end.
  void launcherStartUpStorm() {
    TempMedium m;
    m.WriteLines("Data/config.txt", {"P 32767"});
    Gate gate("Ambrel", 2);
    FakeProbe probe;
    FakeStarter starter;
    FakeWeb web;
    launcher::LauncherServices s;
    s.reporter = &gate.reporter;
    s.probe = &probe;
    s.starter = &starter;
    s.web = &web;
    s.endProgram = [] {};
    launcher::Ambrel_frm form(s);
    form.Form_Load();
    QVERIFY(form.isVisible());
    // Skipped at the second offer: nine plain boxes and two that offered.
    QCOMPARE(gate.box.asked.size(), 11);
    QCOMPARE(gate.box.Offered(), 2);
    QCOMPARE(gate.standardError.size(), 65534 - 11);
    QVERIFY(gate.standardError.back().startsWith("Ambrel: "));
    QCOMPARE(form.Presentation_cmb->count(), 32767);

    // Nothing picked: the handler's message is a box, as before.
    form.Command1_Click();
    QCOMPARE(gate.box.asked.size(), 12);
    QCOMPARE(gate.box.asked.back().text, QString("Please Select a Presentation to View"));
    QVERIFY(!gate.box.asked.back().offered);
  }
};

QTEST_MAIN(StartupMessagesTest)
#include "test_startup_messages.moc"
