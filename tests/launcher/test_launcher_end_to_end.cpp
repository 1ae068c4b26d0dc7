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
  void launcherProgramShowsItsWindow();
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
  ConfigReader reader(reporter);
  reader.ReadCount();
  PresArr_cls list;
  FillPresentationList(reporter, reader, list, [](const QString&) {});
  reader.Release();
  QVERIFY2(reporter.Texts().isEmpty(), qPrintable(reporter.Texts().join(" / ")));
  firstDir_ = list.arr.Item(1).PresDir;
}

void LauncherEndToEndTest::launcherProgramShowsItsWindow() {
  QProcess ambrel;
  ambrel.start(kBin + "/Ambrel", {"--medium", mediumDir_});
  QVERIFY(ambrel.waitForStarted(5000));
  const qint64 pid = ambrel.processId();
  bool shown = false;
  for (int i = 0; i < 60 && !shown; ++i) {
    QTest::qWait(250);
    for (const XWindow& w : MappedTopLevels()) {
      if (w.pid == pid && w.name == QStringLiteral("\"Archived zENTO\"")) shown = true;
    }
  }
  ambrel.terminate();
  if (!ambrel.waitForFinished(5000)) {
    ambrel.kill();
    ambrel.waitForFinished(2000);
  }
  QVERIFY2(shown, "Ambrel showed no window captioned \"Archived zENTO\"");
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
  QVERIFY2(reporter.Texts().isEmpty(), qPrintable(reporter.Texts().join(" / ")));
  QVERIFY2(form.WinMediaFound, "Tavisco --probe did not answer yes within 5 s");
  QVERIFY(QTest::qWaitForWindowExposed(&form));

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
  QCOMPARE(args, (QStringList{"-p", firstDir_, "--medium",
                              medium::NativePath(medium::ApplicationFolder())}));

  bool shown = false;
  for (int i = 0; i < 80 && !shown; ++i) {
    for (const XWindow& w : MappedTopLevels()) shown = shown || w.pid == tavisco;
    if (!shown) QTest::qWait(250);
  }
  QVERIFY2(shown, "Tavisco showed no window");
}

void LauncherEndToEndTest::cleanupTestCase() {
  // Only the players this test started.
  for (qint64 pid : started_) ::kill(static_cast<pid_t>(pid), SIGTERM);
}

QTEST_MAIN(LauncherEndToEndTest)
#include "test_launcher_end_to_end.moc"
