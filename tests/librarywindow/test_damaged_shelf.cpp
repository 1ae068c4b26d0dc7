// The library on a shelf with a damaged medium, as a new user meets it: the sample medium beside
// one whose config.txt holds control characters and undefined bytes in its titles and names a
// presentation that is not there. The window counts the damaged medium's problems on its row and
// lists them folded in a pane of their own, shows every text read from the damaged file as text
// (no control character reaches a row, a tooltip or a screen reader), shows each talk with its
// first slide and each hit with the slide on screen at its moment, and keeps the search text
// while the keys move between the field and the hits. The command line (--search, --check
// --library, --library) prints the same texts on one line each.

#include <QAccessible>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QLineEdit>
#include <QListView>
#include <QProcess>
#include <QTemporaryDir>
#include <QTreeView>
#include <QtTest>

#include "librarywindow/HitsModel.h"
#include "librarywindow/LibraryWindow.h"
#include "librarywindow/MediaModel.h"
#include "librarywindow/SlidePictures.h"
#include "medium/Paths.h"
#include "medium/Report.h"
#include "tests/launcher/LauncherFakes.h"
#include "tests/support/RecordingReporter.h"

using librarywindow::HitsModel;
using librarywindow::LibraryWindow;
using librarywindow::MediaModel;

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

bool Write(const QString& path, const QByteArray& bytes) {
  QDir().mkpath(QFileInfo(path).path());
  QFile f(path);
  return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// The first character of text that a terminal or a list row would take for a control, or -1.
// Line ends are allowed only where a text is made of lines (tooltips, the terminal).
qsizetype ControlAt(const QString& text, bool linesAllowed = false) {
  for (qsizetype i = 0; i < text.size(); ++i) {
    const char16_t c = text[i].unicode();
    if (linesAllowed && c == u'\n') continue;
    if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) return i;
  }
  return -1;
}

// Every text a view's model gives for any row and column, in the roles shown or read out.
QStringList Texts(const QAbstractItemModel* model, const QModelIndex& parent = {}) {
  QStringList out;
  for (int r = 0; r < model->rowCount(parent); ++r) {
    for (int c = 0; c < model->columnCount(parent); ++c) {
      const QModelIndex i = model->index(r, c, parent);
      for (int role : {int(Qt::DisplayRole), int(Qt::AccessibleTextRole),
                       int(Qt::AccessibleDescriptionRole), int(Qt::ToolTipRole)})
        out << QString::number(role) + u':' + i.data(role).toString();
    }
    out << Texts(model, model->index(r, 0, parent));
  }
  return out;
}

void VerifyPrintable(const QStringList& texts) {
  for (const QString& t : texts) {
    const bool tooltip = t.startsWith(QString::number(Qt::ToolTipRole) + u':');
    QVERIFY2(ControlAt(t, tooltip) < 0, qPrintable(t.toUtf8().toPercentEncoding(" :\\")));
  }
}

const QString kKeynote = QString::fromUtf8("zENTO Launch 2004 \u2013 Archive 4 keynote");

}  // namespace

class DamagedShelfTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void windowShowsTextPicturesAndFoldedProblems();
  void commandLinePrintsOneLineEach();

 private:
  QTemporaryDir shelf_;
  QTemporaryDir cache_;
  QString broken_;
  medium::RecordingReporter reporter_{QStringLiteral("Ambrel")};
  FakeStarter starter_;
};

void DamagedShelfTest::initTestCase() {
  const QString sample = qEnvironmentVariable("SAMPLE_MEDIUM_DIR", SAMPLE_MEDIUM_DIR);
  QVERIFY2(QFile::exists(sample + "/Data/config.txt"), "the sample medium has not been written");
  QVERIFY(CopyTree(sample, shelf_.path() + "/good"));
  // Three presentations: one readable with a title full of controls, one whose folder is not
  // there, one whose title is undefined bytes and whose folder holds a control.
  broken_ = shelf_.path() + "/broken";
  QVERIFY(
      Write(broken_ + "/Data/config.txt", QByteArray("Presentations 3\r\n"
                                                     "Bro\x01ken \x1b[31mtitle\x07\r\nTalk\r\n"
                                                     "Second\x08 talk\r\nMissing\r\n"
                                                     "\x81\x8d\x90\x9d garbage\r\nGone\x02\r\n")));
  QVERIFY(Write(broken_ + "/Data/Talk/database.txt",
                "SlideMode=0\r\nMediaMode=0\r\nShowDetails=True\r\nUserDefined=\r\n"));
  QVERIFY(Write(broken_ + "/Data/Talk/events.txt", "0~0~Deck~1~Opening\x1b words\r\n"));
}

void DamagedShelfTest::windowShowsTextPicturesAndFoldedProblems() {
  librarywindow::LibraryWindowServices services;
  services.reporter = &reporter_;
  services.starter = &starter_;
  services.programFolder = medium::ToMediumForm(QStringLiteral("/opt/players"));
  services.indexFile = cache_.filePath("library.sqlite");
  services.searchDelayMs = 30;
  LibraryWindow w({shelf_.path()}, services);
  w.Start();
  QTRY_VERIFY_WITH_TIMEOUT(!w.Updating(), 60000);
  auto* tree = w.findChild<QTreeView*>("Media_tree");
  auto* hits = w.findChild<QListView*>("Hits_lst");
  auto* search = w.findChild<QLineEdit*>("Search_txt");
  auto* problems = w.findChild<QTreeView*>("Problems_lst");
  QVERIFY(tree && hits && search && problems);
  const QAbstractItemModel* media = tree->model();

  // The damaged medium's row counts its problems; under it only its three talks, no problem
  // among them.
  QCOMPARE(media->rowCount(), 2);
  const QModelIndex broken = media->index(0, 0);
  const QModelIndex good = media->index(1, 0);
  const QString row = broken.data().toString();
  QVERIFY2(row.startsWith(QString::fromUtf8("broken \u2014 ")) && row.endsWith(" problems"),
           qPrintable(row));
  QCOMPARE(media->rowCount(broken), 3);
  QCOMPARE(media->index(0, 0, broken).data().toString(),
           QStringLiteral("Bro\\x01ken \\x1B[31mtitle\\x07"));
  for (int p = 0; p < 3; ++p)
    QVERIFY(!media->index(p, 0, broken).data().toString().startsWith("Problem"));
  // Its whole title for screen readers and as a tooltip, as text too.
  QCOMPARE(media->index(0, 0, broken).data(Qt::AccessibleTextRole).toString(),
           QStringLiteral("Bro\\x01ken \\x1B[31mtitle\\x07"));
  VerifyPrintable(Texts(media));

  // Chosen, its problems show in their own pane, grouped by presentation, repeated ones folded;
  // a medium without problems has no pane.
  tree->setCurrentIndex(media->index(0, 0, good));
  QVERIFY(!problems->isVisible());
  tree->setCurrentIndex(broken);
  QVERIFY(problems->isVisible());
  const QStringList listed = Texts(problems->model());
  VerifyPrintable(listed);
  const QString all = listed.join(u'\n');
  QVERIFY2(all.contains("Second\\x08 talk (Missing)"), qPrintable(all));
  QVERIFY2(all.contains(QString::fromUtf8("No open file \u00d74")), qPrintable(all));
  QVERIFY2(all.contains("Gone\\x02/events.txt"), qPrintable(all));

  // Each talk with its first slide and the first line of its details, read on the worker.
  const QModelIndex keynote = media->index(0, 0, good);
  QCOMPARE(keynote.data().toString(), kKeynote);
  keynote.data(MediaModel::kPictureRole);  // as the row is drawn
  QTRY_VERIFY_WITH_TIMEOUT(keynote.data(MediaModel::kPictureAskedRole).toBool(), 30000);
  QVERIFY(!keynote.data(MediaModel::kPictureRole).value<QImage>().isNull());
  QVERIFY2(!keynote.data(MediaModel::kDetailsRole).toString().isEmpty(),
           qPrintable(keynote.data(Qt::ToolTipRole).toString()));

  // A hit with the slide on screen at its moment and that slide's title.
  w.activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(&w));
  search->setFocus();
  QTest::keyClicks(search, "year numbers");
  QTRY_VERIFY(hits->isVisible() && hits->model()->rowCount() > 0);
  const QModelIndex first = hits->model()->index(0, 0);
  QCOMPARE(first.data().toString(), kKeynote);
  first.data(HitsModel::kPictureRole);
  QTRY_VERIFY_WITH_TIMEOUT(first.data(HitsModel::kPictureAskedRole).toBool(), 30000);
  QVERIFY(!first.data(HitsModel::kPictureRole).value<QImage>().isNull());
  QCOMPARE(first.data(HitsModel::kSlideTitleRole).toString(),
           QStringLiteral("Our year in numbers"));
  QVERIFY2(first.data(Qt::AccessibleTextRole).toString().contains("Our year in numbers"),
           qPrintable(first.data(Qt::AccessibleTextRole).toString()));

  // The keys move between the field and the hits; the field keeps its text.
  QTest::keyClick(search, Qt::Key_Down);
  QVERIFY(hits->hasFocus());
  QTest::keyClick(hits, Qt::Key_Up);
  QVERIFY(search->hasFocus());
  QCOMPARE(search->text(), QStringLiteral("year numbers"));
  QTest::keyClick(search, Qt::Key_Down);
  QTest::keyClick(hits, Qt::Key_F, Qt::ControlModifier);
  QVERIFY(search->hasFocus());
  QCOMPARE(search->text(), QStringLiteral("year numbers"));
  // Letters typed among the hits go on the query.
  QTest::keyClick(search, Qt::Key_Down);
  QTest::keyClicks(hits, " num");
  QVERIFY(search->hasFocus());
  QCOMPARE(search->text(), QStringLiteral("year numbers num"));

  // The damaged talks are found and their hits are text too.
  search->setText(QStringLiteral("garbage"));
  w.SearchNow();
  QVERIFY(hits->model()->rowCount() > 0);
  VerifyPrintable(Texts(hits->model()));
}

void DamagedShelfTest::commandLinePrintsOneLineEach() {
  QTemporaryDir home;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("XDG_CACHE_HOME", home.path() + "/cache");
  env.insert("XDG_CONFIG_HOME", home.path() + "/config");
  struct Case {
    QStringList args;
    int status;
    QString shown;  // a line that must be there
  };
  const QList<Case> cases = {
      {{"--search", "ken", "--library", shelf_.path()}, 0, "Bro\\x01[ken] \\x1B[31mtitle\\x07"},
      {{"--search", "garbage"},
       0,
       "\\x81\\x8D\\x90\\x9D garbage  (broken, Gone\\x02)  title: \\x81\\x8D\\x90\\x9D [garbage]"},
      {{"--library", shelf_.path()}, 0, "  Gone\\x02: No open file\n"},
      {{"--check", "--library", shelf_.path()}, 1, "Bro\\x01ken \\x1B[31mtitle\\x07"},
  };
  for (const Case& c : cases) {
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(TEST_BIN_DIR "/Ambrel"), c.args);
    QVERIFY(p.waitForFinished(120000));
    const QString out = QString::fromLocal8Bit(p.readAllStandardOutput());
    const QString what = c.args.join(u' ') + QStringLiteral(":\n") + out;
    QCOMPARE(p.exitCode(), c.status);
    QVERIFY2(out.contains(c.shown), qPrintable(what));
    QVERIFY2(ControlAt(out, true) < 0, qPrintable(what));
  }
}

QTEST_MAIN(DamagedShelfTest)
#include "test_damaged_shelf.moc"
