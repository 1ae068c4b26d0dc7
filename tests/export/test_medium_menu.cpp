// The launcher window's right-click menu: its two entries, the checker's report in a window, an
// export through the progress dialog, a replace question for folders that exist, and a cancel
// that leaves no half-written presentation folder.

#include <QDir>
#include <QMenu>
#include <QProgressDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include "launcher/MediumMenu.h"
#include "medium/Paths.h"
#include "tests/launcher/LauncherFakes.h"

namespace {

const QString kSample = QStringLiteral(SAMPLE_MEDIUM_DIR);

struct Shown {
  QString title;
  QString text;
};

}  // namespace

class MediumMenuTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { medium::SetApplicationFolder(kSample); }

  void entries() {
    QWidget window;
    launcher::MediumMenu menu(&window);
    QCOMPARE(window.contextMenuPolicy(), Qt::CustomContextMenu);
    std::unique_ptr<QMenu> m(menu.BuildMenu());
    QStringList texts;
    for (QAction* a : m->actions()) texts << a->text();
    QCOMPARE(texts, (QStringList{QString::fromUtf8("Check this medium\u2026"),
                                 QString::fromUtf8("Export to a web page\u2026"), QString(),
                                 QString::fromUtf8("Open the library\u2026")}));
  }

  // The library window is a program of its own, on the folders remembered from the last time.
  void openTheLibraryStartsItsProgram() {
    QWidget window;
    FakeStarter starter;
    std::vector<Shown> shown;
    launcher::MediumMenu menu(&window,
                              {.showReport =
                                   [&](QWidget*, const QString& t, const QString& x) {
                                     shown.push_back({t, x});
                                   },
                               .startProgram =
                                   [&](const QString& program, const QStringList& arguments) {
                                     starter.StartDetached(program, arguments);
                                   }});
    std::unique_ptr<QMenu> m(menu.BuildMenu());
    m->actions().at(3)->trigger();
    QCOMPARE(starter.calls, 1);
    QCOMPARE(starter.program, QCoreApplication::applicationFilePath());
    QCOMPARE(starter.arguments, QStringList{"--library"});
    QVERIFY(shown.empty());
    // A program that cannot be started is said in a window, and the launcher stays.
    starter.failing = true;
    m->actions().at(3)->trigger();
    QCOMPARE(shown.size(), size_t(1));
    QVERIFY2(shown[0].text.contains("is missing"), qPrintable(shown[0].text));
  }

  void checkShowsTheReport() {
    QWidget window;
    std::vector<Shown> shown;
    launcher::MediumMenu menu(&window,
                              {.showReport = [&](QWidget*, const QString& t, const QString& x) {
                                shown.push_back({t, x});
                              }});
    std::unique_ptr<QMenu> m(menu.BuildMenu());
    m->actions().at(0)->trigger();
    QCOMPARE(shown.size(), size_t(1));
    QVERIFY(shown[0].text.contains("Presentation \"zENTO Archive interview"));
    QVERIFY2(shown[0].text.endsWith("No problems found.\n"), qPrintable(shown[0].text));
  }

  void exportAndReplace() {
    QTemporaryDir tmp;
    std::vector<Shown> shown;
    QStringList asked;
    int progressDialogs = 0;
    bool replace = false;
    QWidget window;
    launcher::MediumMenu menu(&window,
                              {.chooseFolder = [&](QWidget*) { return tmp.path(); },
                               .confirmReplace =
                                   [&](QWidget*, const QStringList& existing) {
                                     asked = existing;
                                     return replace;
                                   },
                               .showReport =
                                   [&](QWidget*, const QString& t, const QString& x) {
                                     shown.push_back({t, x});
                                   },
                               .progressShown = [&](QProgressDialog&) { ++progressDialogs; }});
    QDir().mkpath(tmp.path() + "/Interview");
    // Refusing to replace what is there exports nothing.
    menu.ExportToWebPage();
    QCOMPARE(asked, QStringList{"Interview"});
    QCOMPARE(progressDialogs, 0);
    QVERIFY(shown.empty());
    QVERIFY(!QFileInfo::exists(tmp.path() + "/index.html"));

    replace = true;
    menu.ExportToWebPage();
    QCOMPARE(progressDialogs, 1);
    QCOMPARE(shown.size(), size_t(1));
    QVERIFY2(shown[0].text.contains("3 of 3 presentations exported"), qPrintable(shown[0].text));
    for (const char* f : {"Launch2004/media.m4a", "Interview/media.m4a",
                          "Launch2004Video/media.mp4", "index.html"}) {
      QVERIFY2(QFileInfo::exists(tmp.path() + "/" + f), f);
    }
  }

  void cancel() {
    QTemporaryDir tmp;
    std::vector<Shown> shown;
    QWidget window;
    launcher::MediumMenu menu(
        &window, {.chooseFolder = [&](QWidget*) { return tmp.path(); },
                  .showReport =
                      [&](QWidget*, const QString& t, const QString& x) {
                        shown.push_back({t, x});
                      },
                  // Cancel with the Cancel button once the first presentation is under way.
                  .progressShown =
                      [&](QProgressDialog& dialog) {
                        auto* poll = new QTimer(&dialog);
                        QObject::connect(poll, &QTimer::timeout, &dialog, [&dialog, poll] {
                          if (!dialog.labelText().startsWith("Exporting 1 of 3")) return;
                          poll->stop();
                          QPushButton* button = dialog.findChild<QPushButton*>();
                          QVERIFY(button);
                          button->click();
                        });
                        poll->start(5);
                      }});
    menu.ExportToWebPage();
    QCOMPARE(shown.size(), size_t(1));
    QVERIFY2(shown[0].text.contains("Cancelled"), qPrintable(shown[0].text));
    QVERIFY(!QFileInfo::exists(tmp.path() + "/Launch2004"));
    const QStringList left =
        QDir(tmp.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    for (const QString& name : left) {
      QVERIFY2(name == "index.html" || QFileInfo::exists(tmp.path() + "/" + name + "/index.html"),
               qPrintable(name));
      QVERIFY2(!name.startsWith(".export"), qPrintable(name));
    }
  }
};

QTEST_MAIN(MediumMenuTest)
#include "test_medium_menu.moc"
