#pragma once
// A throw-away medium folder for tests: files are written as raw bytes (Windows-1252), and the
// application folder points at it while the object lives.

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

class TempMedium {
 public:
  TempMedium();
  ~TempMedium();
  // Native root folder.
  QString Root() const { return dir_.path(); }
  // Writes a file below the root; relative path with '/' separators; folders are created.
  void Write(const QString& relative, const QByteArray& bytes);
  // Writes lines joined by CR LF, with a CR LF after the last.
  void WriteLines(const QString& relative, const QStringList& lines);
  // Writes a small valid JPEG of the given size and colour.
  void WriteJpeg(const QString& relative, int width = 80, int height = 65, unsigned rgb = 0x336699);
  void MakeDir(const QString& relative);
  QString Path(const QString& relative) const;

 private:
  QTemporaryDir dir_;
};
