#include "fuzz/FuzzMedium.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "medium/Paths.h"

namespace fuzz {
namespace {

// Memory-backed when the machine has it: every input is written to a file and read back.
QString TemplatePath() {
  const QFileInfo shm(QStringLiteral("/dev/shm"));
  const QString base = shm.isDir() && shm.isWritable() ? shm.filePath() : QDir::tempPath();
  return base + QStringLiteral("/fuzz-medium-XXXXXX");
}

QTemporaryDir& Folder() {
  // Ends with the process (static destruction), so an ordinary end leaves no folder behind.
  static QTemporaryDir dir(TemplatePath());
  return dir;
}

}  // namespace

QString MediumRoot() {
  static const QString root = [] {
    QTemporaryDir& dir = Folder();
    if (!dir.isValid()) Fail("a private medium folder can be made", dir.errorString());
    medium::SetApplicationFolder(dir.path());
    return dir.path();
  }();
  return root;
}

void WriteFile(const QString& relative, const QByteArray& bytes) {
  const QString path = MediumRoot() + u'/' + relative;
  QDir().mkpath(QFileInfo(path).path());
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
    Fail("the fuzzer can write its medium", path);
  }
  if (file.write(bytes) != bytes.size()) Fail("the fuzzer can write its medium", path);
}

void RemoveFile(const QString& relative) {
  QFile::remove(MediumRoot() + u'/' + relative);
}

void Fail(const char* what, const QString& detail) {
  std::fprintf(stderr, "fuzz: broken: %s\n  %s\n", what, qUtf8Printable(detail));
  std::fflush(stderr);
  std::abort();
}

}  // namespace fuzz
