// The launcher and a real player together, on a real display (run under xvfb-run): Ambrel starts
// on the sample medium and shows its window; then the launcher window, built with the real
// probes and the real process start, picks the first presentation and clicks the first player
// button. Tavisco must then run with "-p" and that folder and show its window, and the
// launcher's event loop must have ended.
//
// The clicks are made from inside the test process, through the window's own controls: the
// product has no remote-control hook, and no input-synthesis tool is installed on the machine.

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTimer>
#include <QtTest>
#include <csignal>
#include <optional>

#include "launcher/Ambrel_frm.h"
#include "launcher/EngineProbe.h"
#include "launcher/ProcessStarter.h"
#include "launcher/WebLink.h"
#include "medium/Paths.h"
#include "medium/Report.h"
#include "presentation/ConfigReader.h"
#include "tests/support/RecordingReporter.h"
#include "tests/support/TempMedium.h"
#include "ui/DesignFonts.h"

using namespace launcher;

namespace {

const QString kBin = QStringLiteral(TEST_BIN_DIR);

QString Run(const QString& program, const QStringList& args) {
  QProcess p;
  p.start(program, args);
  if (!p.waitForFinished(10000)) {
    p.kill();
    p.waitForFinished(1000);
    return QString();
  }
  return QString::fromLocal8Bit(p.readAllStandardOutput());
}

// Top-level windows on the display that are mapped, with the process each belongs to.
struct XWindow {
  QString id;
  QString name;
  qint64 pid = -1;
};

QList<XWindow> MappedTopLevels() {
  QList<XWindow> windows;
  const QStringList lines = Run("xwininfo", {"-root", "-children"}).split(u'\n');
  static const QRegularExpression row(
      QStringLiteral("^\\s+(0x[0-9a-f]+) (\"[^\"]*\"|\\(has no name\\))"));
  for (const QString& line : lines) {
    const auto m = row.match(line);
    if (!m.hasMatch()) continue;
    XWindow w;
    w.id = m.captured(1);
    w.name = m.captured(2);
    if (!Run("xwininfo", {"-id", w.id}).contains(QStringLiteral("IsViewable"))) continue;
    const QString pid = Run("xprop", {"-id", w.id, "_NET_WM_PID"});
    static const QRegularExpression number(QStringLiteral("= (\\d+)"));
    const auto pm = number.match(pid);
    if (pm.hasMatch()) w.pid = pm.captured(1).toLongLong();
    windows << w;
  }
  return windows;
}

// Processes running the given program, with their arguments.
QList<QPair<qint64, QStringList>> ProcessesOf(const QString& program) {
  QList<QPair<qint64, QStringList>> found;
  const QString wanted = QFileInfo(program).canonicalFilePath();
  for (const QString& entry : QDir("/proc").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
    bool ok = false;
    const qint64 pid = entry.toLongLong(&ok);
    if (!ok) continue;
    if (QFileInfo("/proc/" + entry + "/exe").canonicalFilePath() != wanted) continue;
    QFile f("/proc/" + entry + "/cmdline");
    if (!f.open(QIODevice::ReadOnly)) continue;
    QStringList args;
    for (const QByteArray& a : f.readAll().split('\0')) args << QString::fromLocal8Bit(a);
    if (!args.isEmpty() && args.last().isEmpty()) args.removeLast();
    found.append({pid, args.mid(1)});
  }
  return found;
}

}  // namespace

class LauncherEndToEndTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void launcherProgramShowsItsWindow_data();
  void launcherProgramShowsItsWindow();
  void wrongOptionsGiveUsageAndStatus2_data();
  void wrongOptionsGiveUsageAndStatus2();
  void checkTakesABareFolder();
  void firstPresentationStartsTavisco();
  void cleanupTestCase();

 private:
  std::optional<TempMedium> ownMedium_;
  QString mediumDir_;  // native
  QString firstDir_;   // PresDir of the first presentation
  QList<qint64> started_;
};

void LauncherEndToEndTest::initTestCase() {
  // No sound device is needed.
  qputenv("PRESENTATION_ENGINE_AO", "null");
  QVERIFY2(QFileInfo(kBin + "/Ambrel").isExecutable(), "Ambrel is not built");
  QVERIFY2(QFileInfo(kBin + "/Tavisco").isExecutable(), "Tavisco is not built");
  QVERIFY2(!Run("xwininfo", {"-root"}).isEmpty(), "no X display (run under xvfb-run)");

  // SAMPLE_MEDIUM_DIR in the environment points the test at another copy of the medium.
  mediumDir_ = qEnvironmentVariable("SAMPLE_MEDIUM_DIR", QStringLiteral(SAMPLE_MEDIUM_DIR));
  if (!QFileInfo::exists(mediumDir_ + "/Data/config.txt")) {
    // The sample medium is not there: a small one with one Windows Media recording.
    ownMedium_.emplace();
    mediumDir_ = ownMedium_->Root();
    ownMedium_->WriteLines("Data/config.txt",
                           {"Presentations 2", "Short talk", "Short", "Other talk", "Other"});
    ownMedium_->MakeDir("Media/Short");
    QProcess ffmpeg;
    ffmpeg.start("ffmpeg",
                 {"-loglevel", "error", "-y", "-f", "lavfi", "-i", "sine=frequency=440:duration=3",
                  "-c:a", "wmav2", ownMedium_->Path("Media/Short/media.wma")});
    QVERIFY(ffmpeg.waitForFinished(30000));
    QCOMPARE(ffmpeg.exitCode(), 0);
    ownMedium_->WriteLines("Data/Short/database.txt", {"SlideMode=2", "MediaMode=2"});
    ownMedium_->WriteLines("Data/Short/events.txt", {});
    ownMedium_->WriteJpeg("Images/Short/slide.jpg", 320, 240);
    ownMedium_->WriteJpeg("Images/Short/audio.jpg", 270, 260);
  }
  medium::SetApplicationFolder(mediumDir_);

  medium::RecordingReporter reporter(QStringLiteral("Ambrel"));
  ConfigReader reader(layout::Current(), reporter);
  reader.ReadCount();
  PresArr_cls list;
  FillPresentationList(reporter, reader, list, [](const QString&) {});
  reader.Release();
  QVERIFY2(reporter.Texts().isEmpty(), qPrintable(reporter.Texts().join(" / ")));
  firstDir_ = list.arr.Item(1).PresDir;
}

void LauncherEndToEndTest::launcherProgramShowsItsWindow_data() {
  QTest::addColumn<bool>("bare");
  QTest::newRow("--medium DIR") << false;
  QTest::newRow("DIR, as a desktop entry passes it") << true;
}

void LauncherEndToEndTest::launcherProgramShowsItsWindow() {
  QFETCH(bool, bare);
  QProcess ambrel;
  ambrel.start(kBin + "/Ambrel",
               bare ? QStringList{mediumDir_} : QStringList{"--medium", mediumDir_});
  QVERIFY(ambrel.waitForStarted(5000));
  const qint64 pid = ambrel.processId();
  bool shown = false;
  QString windowClass;
  for (int i = 0; i < 60 && !shown; ++i) {
    QTest::qWait(250);
    for (const XWindow& w : MappedTopLevels()) {
      if (w.pid == pid && w.name == QStringLiteral("\"Archived zENTO\"")) {
        shown = true;
        windowClass = Run("xprop", {"-id", w.id, "WM_CLASS"});
      }
    }
  }
  ambrel.terminate();
  if (!ambrel.waitForFinished(5000)) {
    ambrel.kill();
    ambrel.waitForFinished(2000);
  }
  QVERIFY2(shown, "Ambrel showed no window captioned \"Archived zENTO\"");
  // Docks group the window with the desktop entry by this class.
  QVERIFY2(windowClass.trimmed().endsWith(QStringLiteral(", \"") + QLatin1String(kWindowClass) +
                                          QStringLiteral("\"")),
           qPrintable(windowClass));
  QFile entry(QStringLiteral(DESKTOP_ENTRY));
  QVERIFY(entry.open(QIODevice::ReadOnly));
  QVERIFY(entry.readAll().contains("\nStartupWMClass=" + QByteArray(kWindowClass) + "\n"));
}

void LauncherEndToEndTest::wrongOptionsGiveUsageAndStatus2_data() {
  QTest::addColumn<QString>("program");
  QTest::addColumn<QStringList>("args");
  QTest::addColumn<QString>("named");
  QTest::newRow("launcher, unknown option")
      << "Ambrel" << QStringList{"--bogus"} << "unknown option --bogus";
  QTest::newRow("launcher, --medium without a value")
      << "Ambrel" << QStringList{"--medium"} << "--medium needs a value";
  QTest::newRow("launcher, a player's option")
      << "Ambrel" << QStringList{"--probe"} << "--probe is an option of the players";
  QTest::newRow("launcher, two folders")
      << "Ambrel" << QStringList{"My", "Disc"} << "more than one medium given: Disc";
  QTest::newRow("Tavisco, the launcher's option")
      << "Tavisco" << QStringList{"--check", "-p", "X"} << "--check is an option of the launcher";
  QTest::newRow("Norvanta, unknown option")
      << "Norvanta" << QStringList{"-x", "-p", "X"} << "unknown option -x";
  QTest::newRow("Norvanta, --medium without a value")
      << "Norvanta" << QStringList{"--medium="} << "--medium needs a value";
  QTest::newRow("Tavisco, a negative --at")
      << "Tavisco" << QStringList{"--at", "-5", "-p", "X"} << "--at cannot be negative: -5";
  QTest::newRow("Norvanta, a malformed --at") << "Norvanta" << QStringList{"--at=1:75", "-p", "X"}
                                              << "--at needs a time in seconds or m:ss: 1:75";
}

void LauncherEndToEndTest::wrongOptionsGiveUsageAndStatus2() {
  QFETCH(QString, program);
  QFETCH(QStringList, args);
  QFETCH(QString, named);
  QProcess p;
  p.start(kBin + u'/' + program, args);
  QVERIFY(p.waitForFinished(10000));
  const QString err = QString::fromLocal8Bit(p.readAllStandardError());
  QCOMPARE(p.exitStatus(), QProcess::NormalExit);
  QCOMPARE(p.exitCode(), 2);
  QVERIFY2(err.startsWith(program + QStringLiteral(": ") + named), qPrintable(err));
  QVERIFY2(err.contains(QStringLiteral("Usage: ") + program), qPrintable(err));
}

void LauncherEndToEndTest::checkTakesABareFolder() {
  // Where the launcher stands there is no medium: it says so instead of checking its own folder.
  QVERIFY(!QFileInfo::exists(kBin + "/Data/config.txt"));
  QProcess p;
  p.start(kBin + "/Ambrel", {"--check"});
  QVERIFY(p.waitForFinished(30000));
  QCOMPARE(p.exitCode(), 2);
  const QString err = QString::fromLocal8Bit(p.readAllStandardError());
  QVERIFY2(err.contains(QStringLiteral("no medium found")), qPrintable(err));
  QVERIFY(p.readAllStandardOutput().isEmpty());

  // A bare folder is the medium to check.
  p.start(kBin + "/Ambrel", {"--check", mediumDir_});
  QVERIFY(p.waitForFinished(120000));
  const QString out = QString::fromLocal8Bit(p.readAllStandardOutput());
  QVERIFY2(p.exitCode() == 0 || p.exitCode() == 1, qPrintable(QString::number(p.exitCode())));
  QVERIFY2(out.contains(firstDir_), qPrintable(out));
}

void LauncherEndToEndTest::firstPresentationStartsTavisco() {
  const QList<qint64> before = [] {
    QList<qint64> pids;
    for (const auto& p : ProcessesOf(kBin + "/Tavisco")) pids << p.first;
    return pids;
  }();

  ui::InstallDesignFonts();
  medium::RecordingReporter reporter(QStringLiteral("Ambrel"));
  ProcessEngineProbe probe(medium::ToMediumForm(kBin));
  DetachedProcessStarter starter;
  DesktopWebOpener web;
  LauncherServices services;
  services.reporter = &reporter;
  services.probe = &probe;
  services.starter = &starter;
  services.web = &web;
  services.programFolder = medium::ToMediumForm(kBin);
  services.mediumFolder = medium::NativePath(medium::ApplicationFolder());
  Ambrel_frm form(services);
  form.Form_Load();
  QVERIFY(QTest::qWaitForWindowExposed(&form));
  // The probes answer while the window is on screen.
  QTRY_VERIFY_WITH_TIMEOUT(form.EnginesKnown(), 6000);
  QVERIFY2(reporter.Texts().isEmpty(), qPrintable(reporter.Texts().join(" / ")));
  QVERIFY2(form.WinMediaFound, "Tavisco --probe did not answer yes within 5 s");

  bool clicked = false;
  QTimer::singleShot(0, &form, [&] {
    if (form.Presentation_cmb->count() > 0) {
      form.Presentation_cmb->setCurrentIndex(0);
      emit form.Presentation_cmb->activated(0);
    }
    clicked = form.Command1->isEnabled();
    QTest::mouseClick(form.Command1, Qt::LeftButton);
  });
  QTimer::singleShot(20000, [] { QCoreApplication::exit(99); });
  // The launcher's end is the end of its event loop.
  const int rc = QCoreApplication::exec();
  QVERIFY2(clicked, "the first player button was not enabled for the first presentation");
  QCOMPARE(rc, 0);
  QVERIFY(!form.isVisible());
  QVERIFY2(reporter.Texts().isEmpty(), qPrintable(reporter.Texts().join(" / ")));

  qint64 tavisco = -1;
  QStringList args;
  for (int i = 0; i < 40 && tavisco < 0; ++i) {
    for (const auto& p : ProcessesOf(kBin + "/Tavisco")) {
      if (!before.contains(p.first)) {
        tavisco = p.first;
        args = p.second;
      }
    }
    if (tavisco < 0) QTest::qWait(250);
  }
  QVERIFY2(tavisco > 0, "Tavisco is not running");
  started_ << tavisco;
  QCOMPARE(args, (QStringList{"--medium", medium::NativePath(medium::ApplicationFolder()), "--",
                              "-p", firstDir_}));

  bool shown = false;
  QString title;
  for (int i = 0; i < 80 && !shown; ++i) {
    for (const XWindow& w : MappedTopLevels()) {
      if (w.pid != tavisco) continue;
      shown = true;
      title = Run("xprop", {"-id", w.id, "_NET_WM_NAME"});
    }
    if (!shown) QTest::qWait(250);
  }
  QVERIFY2(shown, "Tavisco showed no window");
  // Its caption, as the window manager gets it, is one blank.
  QVERIFY2(title.trimmed().endsWith(QStringLiteral("= \" \"")), qPrintable(title));
}

void LauncherEndToEndTest::cleanupTestCase() {
  // Only the players this test started.
  for (qint64 pid : started_) ::kill(static_cast<pid_t>(pid), SIGTERM);
}

QTEST_MAIN(LauncherEndToEndTest)
#include "test_launcher_end_to_end.moc"
