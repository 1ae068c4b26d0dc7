#include "tests/support/FileTree.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QtTest>

void WriteFile(const QString& path, const QByteArray& bytes) {
  QDir().mkpath(QFileInfo(path).path());
  QFile f(path);
  QVERIFY(f.open(QIODevice::WriteOnly));
  f.write(bytes);
}

void WriteLines(const QString& path, const QStringList& lines) {
  QByteArray bytes;
  for (const QString& l : lines) bytes += l.toLatin1() + "\r\n";
  WriteFile(path, bytes);
}

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

void ScratchMiddle(const QString& path) {
  QFile f(path);
  QVERIFY(f.open(QIODevice::ReadWrite));
  QVERIFY(f.seek(f.size() / 2));
  QByteArray noise(4096, Qt::Uninitialized);
  quint32 x = 0x12345678;
  for (char& c : noise) {
    x = x * 1664525u + 1013904223u;
    c = char(x >> 24);
  }
  QCOMPARE(f.write(noise), noise.size());
}
