// The library window on a small shelf of two copies of the sample medium (one holds the keynote
// only in RealMedia), with the index in a temporary cache: indexing beside the window, the
// listing, a search typed into the field, Enter on a hit and on a presentation starting the
// right player with the right arguments, an absent medium, a read-only cache, a medium's
// problems in their own pane, and the medium's menu reached with the keyboard, also while the
// index is being updated.

#include <QAccessible>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QProgressBar>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QToolButton>
#include <QTreeView>
#include <QtTest>

#include "launcher/MediumMenu.h"
#include "library/LibraryIndex.h"
#include "librarywindow/LibraryWindow.h"
#include "medium/Paths.h"
#include "medium/Report.h"
#include "tests/launcher/LauncherFakes.h"
#include "tests/support/PostgresServer.h"
#include "tests/support/RecordingReporter.h"

using librarywindow::LibraryWindow;
using librarywindow::LibraryWindowServices;

namespace {

bool CopyTree(const QString& from, const QString& to) {
  QDir source(from);
  if (!QDir().mkpath(to)) return false;
  QDirIterator it(from, QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot,
                  QDirIterator::Subdirectories);
  while (it.hasNext()) {
    const QString path = it.next();
    const QString target = to + u'/' + source.relativeFilePath(path);
    if (it.fileInfo().isDir()) {
      if (!QDir().mkpath(target)) return false;
    } else if (!QFile::copy(path, target)) {
      return false;
    }
  }
  return true;
}

QString Name(QWidget* w) {
  QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
  return a ? a->text(QAccessible::Name) : QString();
}

// A row of a list's model by its row numbers from the top down ({0, 1}: the second row under
// the first), at a column.
QModelIndex At(QAbstractItemView* view, std::initializer_list<int> rows, int column = 0) {
  QModelIndex index;
  size_t k = 0;
  for (int r : rows) index = view->model()->index(r, ++k == rows.size() ? column : 0, index);
  return index;
}

QString Text(QAbstractItemView* view, std::initializer_list<int> rows, int column = 0) {
  return At(view, rows, column).data().toString();
}

// How many rows a list has at the top, or under a row.
int RowCount(QAbstractItemView* view, std::initializer_list<int> rows = {}) {
  return view->model()->rowCount(rows.size() ? At(view, rows) : QModelIndex());
}

// The rows of a list as "column|column|...", top-level rows only.
QStringList Rows(QAbstractItemView* list, QList<int> columns) {
  QStringList rows;
  for (int i = 0; i < RowCount(list); ++i) {
    QStringList cells;
    for (int c : columns) cells << Text(list, {i}, c);
    rows << cells.join(u'|');
  }
  return rows;
}

QModelIndex FindHit(QAbstractItemView* hits, const QString& medium, const QString& title) {
  for (int i = 0; i < RowCount(hits); ++i) {
    if (Text(hits, {i}, 1) == medium && Text(hits, {i}, 0) == title) return At(hits, {i});
  }
  return QModelIndex();
}

// Picks the entry of the context menu that is open once the event loop runs.
void ChooseInMenuSoon(const QString& text, QStringList* seen) {
  QTimer::singleShot(50, [text, seen] {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    if (!menu) return;
    for (QAction* a : menu->actions()) {
      *seen << a->text() + (a->isEnabled() ? QString() : QStringLiteral(" [off]"));
      if (a->text() == text) menu->setActiveAction(a);
    }
    QTest::keyClick(menu, Qt::Key_Return);
  });
}

const QString kKeynote = QString::fromUtf8("zENTO Launch 2004 \u2013 Archive 4 keynote");

}  // namespace

class LibraryWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void indexSearchAndOpen();
  void absentMediumIsListedAndSaysWhere();
  void readOnlyCacheGivesAnIndexInMemory();
  void mediumMenuChecksThatMedium();
  void mediumActionsWhileTheIndexUpdates();
  void sharedIndexGoneAndBack();

 private:
  LibraryWindowServices Services(const QString& indexFile) {
    LibraryWindowServices s;
    s.reporter = &reporter_;
    s.starter = &starter_;
    s.programFolder = medium::ToMediumForm(QStringLiteral("/opt/players"));
    s.indexFile = indexFile;
    s.searchDelayMs = 30;
    return s;
  }

  QTemporaryDir shelf_;
  QTemporaryDir cache_;
  QString disc1_;
  QString disc2_;
  medium::RecordingReporter reporter_{QStringLiteral("Ambrel")};
  FakeStarter starter_;
};

void LibraryWindowTest::initTestCase() {
  const QString sample = qEnvironmentVariable("SAMPLE_MEDIUM_DIR", SAMPLE_MEDIUM_DIR);
  QVERIFY2(QFile::exists(sample + "/Data/config.txt"), "the sample medium has not been written");
  disc1_ = shelf_.path() + "/A/disc1";
  disc2_ = shelf_.path() + "/B/disc2";
  QVERIFY(CopyTree(sample, disc1_));
  QVERIFY(CopyTree(sample, disc2_));
  // On the second disc the keynote is there in RealMedia only: Norvanta plays it.
  QVERIFY(QFile::remove(disc2_ + "/Media/Launch2004/media.wma"));
  QVERIFY(QFile::remove(disc2_ + "/Media/Launch2004/media.wmv"));
}

void LibraryWindowTest::indexSearchAndOpen() {
  LibraryWindow w({shelf_.path()}, Services(cache_.filePath("library.sqlite")));
  w.Start();
  auto* search = w.findChild<QLineEdit*>("Search_txt");
  auto* tree = w.findChild<QTreeView*>("Media_tree");
  auto* hits = w.findChild<QListView*>("Hits_lst");
  auto* progress = w.findChild<QProgressBar*>("Progress_bar");
  auto* status = w.findChild<QLabel*>("Status_lbl");
  QVERIFY(search && tree && hits && progress && status);
  // Every control is named for screen readers.
  for (const char* name : {"Search_txt", "Search_lbl", "Media_tree", "Hits_lst", "Progress_bar",
                           "Status_lbl", "Notice_lbl"}) {
    auto* control = w.findChild<QWidget*>(name);
    QVERIFY2(control && !Name(control).isEmpty(), name);
  }
  // The search field's own clear button too.
  const QList<QToolButton*> buttons = search->findChildren<QToolButton*>();
  QVERIFY(!buttons.isEmpty());
  for (QToolButton* button : buttons) QCOMPARE(Name(button), QStringLiteral("Clear the search"));
  // The first index is built beside the window, which is shown with its progress bar at once,
  // the search field ready for typing.
  QVERIFY(w.isVisible());
  QVERIFY(progress->isVisible());
  w.activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(&w));
  QVERIFY(search->hasFocus());
  QTRY_VERIFY_WITH_TIMEOUT(!w.Updating(), 60000);
  QVERIFY(!progress->isVisible());

  // Every medium with its presentations: title, folder, length, slides, languages, player.
  QCOMPARE(RowCount(tree), 2);
  QVERIFY(Text(tree, {0}).startsWith("disc1"));
  QCOMPARE(RowCount(tree, {0}), 3);
  QCOMPARE(Text(tree, {1, 0}, 0), kKeynote);
  QCOMPARE(Text(tree, {1, 0}, 1), QStringLiteral("Launch2004"));
  QCOMPARE(Text(tree, {0, 0}, 2), QStringLiteral("0:48"));
  QCOMPARE(Text(tree, {1, 0}, 3), QStringLiteral("8"));
  QVERIFY(Text(tree, {1, 0}, 4).contains("ENGLISH") && Text(tree, {1, 0}, 4).contains("FRENCH"));
  QCOMPARE(Text(tree, {1, 0}, 5), QStringLiteral("Norvanta"));
  QCOMPARE(Text(tree, {0, 0}, 5), QStringLiteral("Tavisco (also Norvanta)"));
  QCOMPARE(status->text(), QStringLiteral("2 media, 6 presentations"));

  // Typed as a user types: accent-blind, the last word a prefix; the hits replace the listing.
  QTest::keyClicks(search, "annee chiff");
  QTRY_VERIFY(hits->isVisible() && RowCount(hits) > 0);
  QVERIFY(!tree->isVisible());
  // Each talk with the slide at 0:12 in both discs: found in the French transcript.
  QStringList rows = Rows(hits, {1, 2, 3});
  rows.sort();
  QCOMPARE(rows, (QStringList{"disc1|0:12|transcript (FRENCH)", "disc1|0:12|transcript (FRENCH)",
                              "disc2|0:12|transcript (FRENCH)", "disc2|0:12|transcript (FRENCH)"}));
  const QModelIndex hit = FindHit(hits, "disc2", kKeynote);
  QVERIFY(hit.isValid());
  const QString found = hit.siblingAtColumn(4).data().toString();
  QVERIFY2(found.contains(QString::fromUtf8("année en chiffres")), qPrintable(found));
  const QString marked = hit.siblingAtColumn(4).data(Qt::UserRole + 3).toString();
  QVERIFY2(marked.contains(QString::fromUtf8(">année</b>")) && marked.contains(">chiffres</b>"),
           qPrintable(marked));
  QCOMPARE(status->text(), QStringLiteral("4 hits."));

  // Down from the field into the hits, onto the second disc's keynote, and Enter: Norvanta, as
  // the launcher starts it, at the moment found.
  QTest::keyClick(search, Qt::Key_Down);
  QVERIFY(hits->hasFocus());
  while (hits->currentIndex() != hit) {
    const QModelIndex before = hits->currentIndex();
    QTest::keyClick(hits, Qt::Key_Down);
    QVERIFY(hits->currentIndex() != before);
  }
  QTest::keyClick(hits, Qt::Key_Return);
  QCOMPARE(starter_.calls, 1);
  QCOMPARE(starter_.program, QStringLiteral("/opt/players/Norvanta"));
  QCOMPARE(starter_.arguments,
           (QStringList{"--medium", disc2_, "--at", "12", "--", "-p", "Launch2004"}));

  // Enter in the field opens the best hit of what was typed, even before the pause is over.
  search->setFocus();
  search->clear();
  QTest::keyClicks(search, "paul renaud head");
  QTest::keyClick(search, Qt::Key_Return);
  QCOMPARE(starter_.calls, 2);
  QCOMPARE(starter_.arguments.mid(2), (QStringList{"--", "-p", "Interview"}));

  // Esc empties the field and the listing is back; Enter on a presentation plays it from the
  // start with the player the listing names.
  QTest::keyClick(search, Qt::Key_Escape);
  QVERIFY(search->text().isEmpty());
  QVERIFY(tree->isVisible() && !hits->isVisible());
  QTest::keyClick(search, Qt::Key_Down);
  QVERIFY(tree->hasFocus());
  tree->setCurrentIndex(At(tree, {0, 1}));
  QTest::keyClick(tree, Qt::Key_Return);
  QCOMPARE(starter_.calls, 3);
  QCOMPARE(starter_.program, QStringLiteral("/opt/players/Tavisco"));
  QCOMPARE(starter_.arguments, (QStringList{"--medium", disc1_, "--", "-p", "Interview"}));
  QCOMPARE(reporter_.Texts(), QStringList{});

  // A query of punctuation alone, or a very long one, finds nothing and says so.
  search->setText(QStringLiteral("?!.,;"));
  w.SearchNow();
  QCOMPARE(RowCount(hits), 0);
  QCOMPARE(status->text(), QStringLiteral("Type letters or digits to search."));
  search->setText(QString(10000, u'x'));
  w.SearchNow();
  QCOMPARE(RowCount(hits), 0);
}

void LibraryWindowTest::absentMediumIsListedAndSaysWhere() {
  // Taken off the shelf (as a disc taken out of its drive).
  const QString away = cache_.filePath("away");
  QVERIFY(QDir().rename(disc2_, away));
  LibraryWindow w({shelf_.path()}, Services(cache_.filePath("library.sqlite")));
  w.Start();
  QTRY_VERIFY_WITH_TIMEOUT(!w.Updating(), 60000);
  auto* tree = w.findChild<QTreeView*>("Media_tree");
  QCOMPARE(RowCount(tree), 2);
  QVERIFY2(Text(tree, {1}).contains("absent"), qPrintable(Text(tree, {1})));
  QCOMPARE(w.findChild<QLabel*>("Status_lbl")->text(),
           QStringLiteral("2 media, 6 presentations (1 absent)"));
  // Still searchable; opening it says where it was expected and starts nothing.
  auto* search = w.findChild<QLineEdit*>("Search_txt");
  auto* hits = w.findChild<QListView*>("Hits_lst");
  QTest::keyClicks(search, "diapositive trois");
  QTRY_VERIFY(RowCount(hits) > 0);
  const QModelIndex hit = FindHit(hits, "disc2 (absent)", kKeynote);
  QVERIFY(hit.isValid());
  hits->setCurrentIndex(hit);
  const int calls = starter_.calls;
  const int messages = reporter_.Texts().size();
  QTest::keyClick(hits, Qt::Key_Return);
  QCOMPARE(starter_.calls, calls);
  QCOMPARE(reporter_.Texts().size(), messages + 1);
  QVERIFY2(reporter_.Texts().last().contains("expected at " + QDir::toNativeSeparators(disc2_)),
           qPrintable(reporter_.Texts().last()));
  QVERIFY(QDir().rename(away, disc2_));
}

void LibraryWindowTest::readOnlyCacheGivesAnIndexInMemory() {
  // A cache folder that cannot be made: a file stands where it would be.
  QFile blocker(cache_.filePath("blocked"));
  QVERIFY(blocker.open(QIODevice::WriteOnly));
  blocker.close();
  LibraryWindow w({disc1_}, Services(cache_.filePath("blocked/Ambrel/library.sqlite")));
  w.Start();
  auto* notice = w.findChild<QLabel*>("Notice_lbl");
  QVERIFY(notice->isVisible());
  QVERIFY2(notice->text().contains("memory"), qPrintable(notice->text()));
  QTRY_VERIFY_WITH_TIMEOUT(!w.Updating(), 60000);
  QVERIFY2(notice->text().contains("memory"), qPrintable(notice->text()));
  // The index in memory lists and searches as the file does.
  QCOMPARE(RowCount(w.findChild<QTreeView*>("Media_tree")), 1);
  w.findChild<QLineEdit*>("Search_txt")->setText("Renaud");
  w.SearchNow();
  QVERIFY(RowCount(w.findChild<QListView*>("Hits_lst")) > 0);
}

void LibraryWindowTest::mediumMenuChecksThatMedium() {
  // A medium with no recording and no pictures: its check is quick and finds problems.
  QTemporaryDir small;
  const QString tiny = small.path() + "/tiny";
  QDir().mkpath(tiny + "/Data/Talk");
  auto write = [](const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
  };
  QVERIFY(write(tiny + "/Data/config.txt", "Presentations 1\r\nA tiny talk\r\nTalk\r\n"));
  QVERIFY(write(tiny + "/Data/Talk/database.txt",
                "SlideMode=0\r\nMediaMode=0\r\nShowDetails=True\r\nUserDefined=\r\n"));
  QVERIFY(write(tiny + "/Data/Talk/events.txt", "0~0~Deck~1~Opening words\r\n"));

  std::vector<std::pair<QString, QString>> reports;
  LibraryWindowServices services = Services(cache_.filePath("tiny.sqlite"));
  services.menuDialogs.showReport = [&](QWidget*, const QString& title, const QString& text) {
    reports.emplace_back(title, text);
  };
  const QString before = medium::ApplicationFolder();
  LibraryWindow w({small.path()}, services);
  w.Start();
  auto* tree = w.findChild<QTreeView*>("Media_tree");
  QTRY_VERIFY_WITH_TIMEOUT(!w.Updating(), 60000);
  QCOMPARE(RowCount(tree), 1);
  // What could not be read is counted on the medium's row, the talks alone under it, and listed
  // in the problems pane beside the list, which the keyboard reaches.
  QCOMPARE(RowCount(tree, {0}), 1);
  QVERIFY2(Text(tree, {0}).contains(QRegularExpression(" \u2014 \\d+ problems?$")),
           qPrintable(Text(tree, {0})));
  tree->setCurrentIndex(At(tree, {0}));
  auto* problems = w.findChild<QTreeView*>("Problems_lst");
  QVERIFY(problems && problems->isVisible() && !Name(problems).isEmpty());
  QVERIFY(RowCount(problems) > 0 && RowCount(problems, {0}) > 0);
  QVERIFY2(Text(problems, {0}).startsWith("A tiny talk (Talk)"), qPrintable(Text(problems, {0})));
  // The talk cannot be played: Enter says so instead of starting a player.
  tree->setFocus();
  tree->setCurrentIndex(At(tree, {0, 0}));
  QCOMPARE(tree->currentIndex().siblingAtColumn(5).data().toString(),
           QStringLiteral("none (no recording)"));
  const int calls = starter_.calls;
  QTest::keyClick(tree, Qt::Key_Return);
  QCOMPARE(starter_.calls, calls);
  QVERIFY2(reporter_.Texts().last().contains("Neither player"),
           qPrintable(reporter_.Texts().last()));

  // Shift+F10 opens the medium's menu; its check reports on that medium, and the medium folder
  // of the process is what it was before.
  QStringList seen;
  ChooseInMenuSoon(launcher::MediumMenu::CheckText(), &seen);
  QTest::keyClick(tree, Qt::Key_F10, Qt::ShiftModifier);
  QCOMPARE(seen,
           (QStringList{"Play", "", launcher::MediumMenu::CheckText(),
                        launcher::MediumMenu::ExportText(), launcher::MediumMenu::PreserveText()}));
  QCOMPARE(reports.size(), size_t(1));
  QVERIFY2(reports[0].second.startsWith("Medium " + QDir::toNativeSeparators(tiny)),
           qPrintable(reports[0].second));
  QVERIFY2(reports[0].second.contains("A tiny talk"), qPrintable(reports[0].second));
  QCOMPARE(medium::ApplicationFolder(), before);
}

// Each medium is read through a value of its own, so the medium's actions need not wait for the
// index: they are offered, and work, while an update runs. The test holds the index's write lock,
// so that the update is still running when the check is done.
void LibraryWindowTest::mediumActionsWhileTheIndexUpdates() {
  const QString file = cache_.filePath("during.sqlite");
  {
    library::LibraryIndex index(file);
    QVERIFY(index.Open());
    QVERIFY(index.Update({shelf_.path()}).error.isEmpty());
  }
  // A medium changed since: the window's update reads it again, and waits to write it.
  QFile config(disc2_ + "/Data/config.txt");
  QVERIFY(config.open(QIODevice::ReadWrite));
  QVERIFY(config.setFileTime(QDateTime::currentDateTime().addSecs(60),
                             QFileDevice::FileModificationTime));
  config.close();
  QSqlDatabase blocker = QSqlDatabase::addDatabase("QSQLITE", "blocker");
  blocker.setDatabaseName(file);
  QVERIFY(blocker.open());
  QVERIFY(QSqlQuery(blocker).exec("BEGIN IMMEDIATE"));

  std::vector<QString> reports;
  LibraryWindowServices services = Services(file);
  services.menuDialogs.showReport = [&](QWidget*, const QString&, const QString& text) {
    reports.push_back(text);
  };
  {
    LibraryWindow w({shelf_.path()}, services);
    w.Start();
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    auto* tree = w.findChild<QTreeView*>("Media_tree");
    QCOMPARE(RowCount(tree), 2);
    tree->setFocus();
    tree->setCurrentIndex(At(tree, {0}));
    QStringList seen;
    ChooseInMenuSoon(launcher::MediumMenu::CheckText(), &seen);
    QTest::keyClick(tree, Qt::Key_F10, Qt::ShiftModifier);
    QCOMPARE(seen,
             (QStringList{launcher::MediumMenu::CheckText(), launcher::MediumMenu::ExportText(),
                          launcher::MediumMenu::PreserveText()}));
    QCOMPARE(reports.size(), size_t(1));
    QVERIFY2(reports[0].startsWith("Medium " + QDir::toNativeSeparators(disc1_)),
             qPrintable(reports[0]));
    QVERIFY(w.Updating());

    QVERIFY(QSqlQuery(blocker).exec("ROLLBACK"));
    QTRY_VERIFY_WITH_TIMEOUT(!w.Updating(), 60000);
    QCOMPARE(RowCount(tree), 2);
  }
  blocker.close();
  blocker = QSqlDatabase();
  QSqlDatabase::removeDatabase("blocker");
}

// On a shared index the window names it; when its server goes away the window says so, keeps
// what it shows, and lists and searches again once F5 finds the server back.
void LibraryWindowTest::sharedIndexGoneAndBack() {
  testsupport::PostgresServer server;
  QString why;
  if (!server.Start(&why)) QSKIP(qPrintable(why));
  QVERIFY2(server.CreateDatabase("window", &why), qPrintable(why));
  LibraryWindow w({disc1_}, Services(server.Uri("window")));
  w.Start();
  QTRY_VERIFY_WITH_TIMEOUT(!w.Updating(), 60000);
  auto* tree = w.findChild<QTreeView*>("Media_tree");
  auto* notice = w.findChild<QLabel*>("Notice_lbl");
  auto* status = w.findChild<QLabel*>("Status_lbl");
  auto* search = w.findChild<QLineEdit*>("Search_txt");
  auto* hits = w.findChild<QListView*>("Hits_lst");
  QVERIFY2(notice->text().startsWith("Shared index: postgresql://"), qPrintable(notice->text()));
  QCOMPARE(RowCount(tree), 1);
  QCOMPARE(RowCount(tree, {0}), 3);

  server.Stop();
  QTest::keyClick(&w, Qt::Key_F5);
  QTRY_VERIFY_WITH_TIMEOUT(!w.Updating(), 60000);
  QVERIFY2(notice->text().contains("cannot"), qPrintable(notice->text()));
  QCOMPARE(RowCount(tree), 1);
  QCOMPARE(RowCount(tree, {0}), 3);
  search->setText("renaud");
  w.SearchNow();
  QVERIFY2(status->text().contains("cannot be reached"), qPrintable(status->text()));
  QCOMPARE(RowCount(hits), 0);

  QVERIFY2(server.Start(&why), qPrintable(why));
  QTest::keyClick(&w, Qt::Key_F5);
  QTRY_VERIFY_WITH_TIMEOUT(!w.Updating(), 60000);
  QVERIFY2(!notice->text().contains("cannot"), qPrintable(notice->text()));
  w.SearchNow();
  QTRY_VERIFY(RowCount(hits) > 0);
  QVERIFY2(status->text().endsWith("hits.") || status->text().endsWith("hit."),
           qPrintable(status->text()));
  server.Stop();
}

QTEST_MAIN(LibraryWindowTest)
#include "test_library_window.moc"
