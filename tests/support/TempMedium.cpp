#include "tests/support/TempMedium.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QStringList>

#include "medium/Paths.h"

TempMedium::TempMedium() {
  medium::SetApplicationFolder(dir_.path());
}

TempMedium::~TempMedium() = default;

QString TempMedium::Path(const QString& relative) const {
  return dir_.path() + u'/' + relative;
}

void TempMedium::MakeDir(const QString& relative) {
  QDir().mkpath(Path(relative));
}

void TempMedium::Write(const QString& relative, const QByteArray& bytes) {
  const QString p = Path(relative);
  QDir().mkpath(QFileInfo(p).path());
  QFile f(p);
  if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) f.write(bytes);
}

void TempMedium::WriteLines(const QString& relative, const QStringList& lines) {
  QByteArray bytes;
  for (const QString& l : lines) bytes += l.toLatin1() + "\r\n";
  Write(relative, bytes);
}

void TempMedium::WriteJpeg(const QString& relative, int width, int height, unsigned rgb) {
  const QString p = Path(relative);
  QDir().mkpath(QFileInfo(p).path());
  QImage img(width, height, QImage::Format_RGB32);
  img.fill(QColor::fromRgb(rgb));
  img.save(p, "JPG", 95);
}
