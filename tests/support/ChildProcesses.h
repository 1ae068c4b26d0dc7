#pragma once
// Child processes of a program under test, read from /proc (Linux): which ones it runs, and
// whether one has ended, so that a test can tell that no child outlives an interrupted job.

#include <QList>
#include <QPair>
#include <QProcess>
#include <QString>
#include <QStringList>

// The children of a process, with their command names.
QList<QPair<qint64, QString>> Children(qint64 parent);
// A process that is gone, or has ended and waits only to be reaped.
bool Ended(qint64 pid);
// Waits up to ms for the process to end.
bool EndsWithin(qint64 pid, int ms);
// The first child of that name the running program starts, waited for up to ms; 0 if none
// came (or the program ended first).
qint64 WaitForChild(const QProcess& program, const QString& name, int ms);

// How a program run to its end ended and what it said; code -1 when it crashed or did not end
// within five minutes.
struct ProgramRun {
  int code = -1;
  QString out;
  QString err;
};
ProgramRun RunProgram(const QString& program, const QStringList& args, const QString& dir = {});
