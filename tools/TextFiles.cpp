#include "tools/TextFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <array>

#include "tools/GeneratorError.h"

namespace sample {

namespace {
// Code points of the bytes 0x80..0x9F; 0 marks the five bytes the code page leaves undefined.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

char EncodeOne(char16_t c, const QString& text) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<char>(c);
  for (size_t i = 0; i < kHighControls.size(); ++i) {
    if (kHighControls[i] != 0 && kHighControls[i] == c) return static_cast<char>(0x80 + i);
  }
  throw GeneratorError(QStringLiteral("The character U+%1 in \"%2\" has no Windows-1252 byte")
                           .arg(static_cast<unsigned>(c), 4, 16, QLatin1Char('0'))
                           .arg(text));
}
}  // namespace

QByteArray EncodeWindows1252(const QString& text) {
  QByteArray bytes;
  bytes.reserve(text.size());
  for (QChar c : text) bytes.append(EncodeOne(c.unicode(), text));
  return bytes;
}

QByteArray CrLfLines(const QStringList& lines) {
  QByteArray bytes;
  for (const QString& line : lines) bytes += EncodeWindows1252(line) + "\r\n";
  return bytes;
}

void WriteFileBytes(const QString& nativePath, const QByteArray& bytes) {
  const QString folder = QFileInfo(nativePath).absolutePath();
  if (!QDir().mkpath(folder)) {
    throw GeneratorError(QStringLiteral("Cannot create the folder %1").arg(folder));
  }
  QSaveFile file(nativePath);
  if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
    throw GeneratorError(QStringLiteral("Cannot write %1: %2").arg(nativePath, file.errorString()));
  }
}

void WriteTextLines(const QString& nativePath, const QStringList& lines) {
  WriteFileBytes(nativePath, CrLfLines(lines));
}

}  // namespace sample
