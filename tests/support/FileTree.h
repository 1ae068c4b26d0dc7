#pragma once
// Files of a folder tree as tests make and look at them: a file written with its folders, the
// bytes of one file, and a snapshot of the whole tree (every entry with its size and time) to
// show that a job left it untouched.

#include <QByteArray>
#include <QString>
#include <QStringList>

// Writes bytes to path, making its folders; a failure fails the test.
void WriteFile(const QString& path, const QByteArray& bytes = "x\r\n");
// Windows-1252 lines ending in CR LF, as a medium holds them.
void WriteLines(const QString& path, const QStringList& lines);

// The bytes of a file; empty when it cannot be read.
QByteArray ReadBytes(const QString& path);
// Every file and folder below root (hidden ones too) with its size and modification time, sorted.
QStringList TreeSnapshot(const QString& root);
// Overwrites 4 KiB in the middle of a file with bytes that mean nothing, the same on every run,
// as a scratch on a disc does.
void ScratchMiddle(const QString& path);
