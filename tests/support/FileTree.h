#pragma once
// Files of a folder tree as tests look at them: the bytes of one file, and a snapshot of the
// whole tree (every entry with its size and time) to show that a job left it untouched.

#include <QByteArray>
#include <QString>
#include <QStringList>

// The bytes of a file; empty when it cannot be read.
QByteArray ReadBytes(const QString& path);
// Every file and folder below root (hidden ones too) with its size and modification time, sorted.
QStringList TreeSnapshot(const QString& root);
// Overwrites 4 KiB in the middle of a file with bytes that mean nothing, the same on every run,
// as a scratch on a disc does.
void ScratchMiddle(const QString& path);
