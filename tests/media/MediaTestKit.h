#pragma once
// Shared bits of the engine tests: the recordings the build generated, and a medium that holds
// them under the names the players look for.

#include <QFile>
#include <QString>

#include "medium/Paths.h"
#include "tests/support/TempMedium.h"

inline QString RecordingPath(const QString& name) {
  return QStringLiteral(TEST_DATA_DIR "/recordings/") + name;
}

inline QByteArray RecordingBytes(const QString& name) {
  QFile file(RecordingPath(name));
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Puts bytes at Media\P\<name> of the medium and returns the medium-form path.
inline QString PutMedia(TempMedium& medium, const QString& name, const QByteArray& bytes) {
  medium.Write(QStringLiteral("Media/P/") + name, bytes);
  return medium::BuildPath({medium::ApplicationFolder(), QStringLiteral("\\Media\\P\\"), name});
}
