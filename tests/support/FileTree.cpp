#include "tests/support/FileTree.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

QByteArray ReadBytes(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList TreeSnapshot(const QString& root) {
  QStringList out;
  QDirIterator it(root, QDir::Files | QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot,
                  QDirIterator::Subdirectories);
  while (it.hasNext()) {
    const QFileInfo info(it.next());
    out << QStringLiteral("%1 %2 %3")
               .arg(info.filePath().mid(root.size()))
               .arg(info.size())
               .arg(info.lastModified().toMSecsSinceEpoch());
  }
  out.sort();
  return out;
}
