#pragma once
// Read-only text files of the medium: single-byte Windows-1252, read line by line with the
// stream semantics the readers rely on. Nothing is ever created or written.

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace medium {

// Decodes Windows-1252 bytes; all 256 values map (the five undefined ones as in Latin-1).
QString DecodeWindows1252(const QByteArray& bytes);

class TextStream {
 public:
  TextStream() = default;
  // Opens a regular file for reading. Throws with the reason it cannot: "File not found: <path>"
  // (53), a folder, pipe, device or a file over 64 MiB in its place (75), "Permission denied"
  // (70), or a read error (57).
  void Open(const QString& mediumPath);
  // Opens bytes already in memory (tests, benchmarks).
  void OpenBytes(const QByteArray& bytes, const QString& name = QString());
  bool IsOpen() const { return open_; }
  const QString& Name() const { return name_; }

  // One line without its end (CR LF, LF or a lone CR). Throws "Input past end of file" (62)
  // at the end, and "No open file" (91) when nothing is open.
  QString ReadLine();
  bool AtEndOfStream() const;
  // True in front of an empty line and at the end of the stream.
  bool AtEndOfLine() const;
  // 1-based number of the line the next ReadLine returns.
  int LineNumber() const { return line_; }
  // Whether the last ReadLine failed for the end of the stream: the line it wanted is missing.
  bool ReadPastEnd() const { return readPastEnd_; }
  // Releases the file; closing a stream that never opened does nothing.
  void Close();

 private:
  void RequireOpen() const;
  QByteArray data_;
  qsizetype pos_ = 0;
  int line_ = 1;
  bool open_ = false;
  bool readPastEnd_ = false;
  QString name_;
};

// Splits like the old runtime's Split: at every separator, empty pieces kept, and the empty
// string gives no piece at all.
QStringList SplitPieces(const QString& text, QChar separator);
// Piece i, or "Subscript out of range" (9) when there is none.
QString PieceAt(const QStringList& pieces, qsizetype index);

}  // namespace medium
