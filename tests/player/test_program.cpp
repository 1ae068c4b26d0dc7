// The player programs load their engine (libmpv and the FFmpeg libraries behind it) only when
// they play or probe, and the launcher FFmpeg's libraries only when it reads a recording: what
// opens no window (--version, --help, a usage error) answers without them.
// The dynamic loader names every library it loads when asked to (LD_DEBUG), which is what these
// tests read.

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

struct Run {
  int code = -1;
  QByteArray out;
  QByteArray loaded;  // what the dynamic loader said about the libraries it loaded
};

Run RunPlayer(const QString& program, const QStringList& args) {
  QTemporaryDir logs;
  QProcess p;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("LD_DEBUG", "files");
  env.insert("LD_DEBUG_OUTPUT", logs.filePath("ld"));
  env.insert("QT_QPA_PLATFORM", "offscreen");
  p.setProcessEnvironment(env);
  p.start(QStringLiteral(TEST_BIN_DIR "/") + program, args);
  Run run;
  if (!p.waitForFinished(60000)) return run;
  run.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
  run.out = p.readAllStandardOutput() + p.readAllStandardError();
  for (const QFileInfo& log : QDir(logs.path()).entryInfoList(QDir::Files)) {
    QFile f(log.filePath());
    if (f.open(QIODevice::ReadOnly)) run.loaded += f.readAll();
  }
  return run;
}

bool Loads(const Run& run, const char* library) {
  return run.loaded.contains(QByteArray("file=") + library);
}

}  // namespace

class ProgramTest : public QObject {
  Q_OBJECT

 private slots:
  void noEngineWithoutAWindow_data() {
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("code");
    for (const char* program : {"Tavisco", "Norvanta", "Ambrel"}) {
      QTest::addRow("%s --version", program) << program << QStringList{"--version"} << 0;
      QTest::addRow("%s --help", program) << program << QStringList{"--help"} << 0;
      QTest::addRow("%s usage error", program) << program << QStringList{"--bogus"} << 2;
    }
  }
  void noEngineWithoutAWindow() {
    QFETCH(QString, program);
    QFETCH(QStringList, args);
    QFETCH(int, code);
    const Run run = RunPlayer(program, args);
    QCOMPARE(run.code, code);
    QVERIFY2(run.out.contains(program.toLatin1()), run.out.constData());
    // The loader did report (the Qt libraries the program links), and not the engine's.
    QVERIFY2(Loads(run, "libQt6Core"), "the dynamic loader said nothing");
    QVERIFY2(!Loads(run, "libmpv"), "libmpv was loaded");
    QVERIFY2(!Loads(run, "libavcodec"), "FFmpeg was loaded");
  }

  void theProbeLoadsTheEngine_data() {
    QTest::addColumn<QString>("program");
    QTest::newRow("Tavisco") << "Tavisco";
    QTest::newRow("Norvanta") << "Norvanta";
  }
  void theProbeLoadsTheEngine() {
    QFETCH(QString, program);
    const Run run = RunPlayer(program, {"--probe"});
    QCOMPARE(run.code, 0);
    QVERIFY2(Loads(run, "libmpv"), "the probe answered without the engine");
    QVERIFY(Loads(run, "libavcodec"));
  }
};

QTEST_GUILESS_MAIN(ProgramTest)
#include "test_program.moc"
