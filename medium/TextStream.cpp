#include "TextStream.h"

#include "Error.h"
#include "Paths.h"

namespace medium {
namespace {

// 0x80..0x9F of Windows-1252; the five bytes it leaves undefined map as in Latin-1.
constexpr char16_t kHigh[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  //
                                0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  //
                                0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  //
                                0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

}  // namespace

QString DecodeWindows1252(const QByteArray& bytes) {
  QString out(bytes.size(), Qt::Uninitialized);
  QChar* d = out.data();
  for (qsizetype i = 0; i < bytes.size(); ++i) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    d[i] = (b >= 0x80 && b <= 0x9F) ? QChar(kHigh[b - 0x80]) : QChar(char16_t(b));
  }
  return out;
}

void TextStream::Open(const QString& mediumPath) {
  Close();
  // Only a regular file of a sane size: a pipe or a device would block or never end.
  const QByteArray data = ReadRegularFile(mediumPath);
  OpenBytes(data, NativePath(mediumPath));
}

void TextStream::OpenBytes(const QByteArray& bytes, const QString& name) {
  data_ = bytes;
  pos_ = 0;
  line_ = 1;
  open_ = true;
  readPastEnd_ = false;
  name_ = name;
}

void TextStream::RequireOpen() const {
  if (!open_) throw AppError(kNoOpenFile, QStringLiteral("No open file"));
}

QString TextStream::ReadLine() {
  RequireOpen();
  readPastEnd_ = pos_ >= data_.size();
  if (readPastEnd_) throw AppError(kInputPastEnd, QStringLiteral("Input past end of file"));
  qsizetype end = pos_;
  while (end < data_.size() && data_[end] != '\r' && data_[end] != '\n') ++end;
  const QString line = DecodeWindows1252(data_.mid(pos_, end - pos_));
  pos_ = end;
  if (pos_ < data_.size() && data_[pos_] == '\r') ++pos_;
  if (pos_ < data_.size() && data_[pos_] == '\n') ++pos_;
  ++line_;
  return line;
}

bool TextStream::AtEndOfStream() const {
  RequireOpen();
  return pos_ >= data_.size();
}

bool TextStream::AtEndOfLine() const {
  RequireOpen();
  return pos_ >= data_.size() || data_[pos_] == '\r' || data_[pos_] == '\n';
}

void TextStream::Close() {
  data_.clear();
  pos_ = 0;
  open_ = false;
}

QStringList SplitPieces(const QString& text, QChar separator) {
  if (text.isEmpty()) return {};
  return text.split(separator, Qt::KeepEmptyParts);
}

QString PieceAt(const QStringList& pieces, qsizetype index) {
  if (index < 0 || index >= pieces.size()) RaiseSubscriptOutOfRange();
  return pieces[index];
}

}  // namespace medium
