#include "tests/support/ChildProcesses.h"

#include "tests/support/FileTree.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTest>

QList<QPair<qint64, QString>> Children(qint64 parent) {
  QList<QPair<qint64, QString>> out;
  for (const QString& entry : QDir("/proc").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
    bool number = false;
    const qint64 pid = entry.toLongLong(&number);
    if (!number) continue;
    // pid (comm) state ppid ...: the name may hold blanks, so count from its closing bracket.
    const QByteArray stat = ReadBytes("/proc/" + entry + "/stat");
    const qsizetype close = stat.lastIndexOf(')');
    if (close < 0) continue;
    const QList<QByteArray> rest = stat.mid(close + 2).split(' ');
    if (rest.size() > 1 && rest[1].toLongLong() == parent) {
      out.append({pid, QString::fromLatin1(
                           stat.mid(stat.indexOf('(') + 1, close - stat.indexOf('(') - 1))});
    }
  }
  return out;
}

bool Ended(qint64 pid) {
  const QByteArray stat = ReadBytes(QString("/proc/%1/stat").arg(pid));
  if (stat.isEmpty()) return true;
  const qsizetype close = stat.lastIndexOf(')');
  return close > 0 && stat.mid(close + 2, 1) == "Z";
}

bool EndsWithin(qint64 pid, int ms) {
  QElapsedTimer clock;
  clock.start();
  while (!Ended(pid)) {
    if (clock.elapsed() > ms) return false;
    QTest::qSleep(10);
  }
  return true;
}

qint64 WaitForChild(const QProcess& program, const QString& name, int ms) {
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < ms && program.state() == QProcess::Running) {
    for (const auto& [pid, childName] : Children(program.processId())) {
      if (childName == name) return pid;
    }
    QTest::qSleep(5);
  }
  return 0;
}

ProgramRun RunProgram(const QString& program, const QStringList& args, const QString& dir) {
  QProcess p;
  if (!dir.isEmpty()) p.setWorkingDirectory(dir);
  p.start(program, args);
  p.waitForFinished(300000);
  return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
          QString::fromUtf8(p.readAllStandardOutput()),
          QString::fromUtf8(p.readAllStandardError())};
}
