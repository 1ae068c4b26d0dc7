#include "medium/LocalNames.h"

namespace medium {

namespace {

constexpr char16_t kRawFirst = 0xDC80;
constexpr char16_t kRawLast = 0xDCFF;

// The length of the valid UTF-8 sequence at the start of s (of n bytes), or 0 when there is
// none: no overlong form, no surrogate, nothing beyond U+10FFFF.
int SequenceLength(const unsigned char* s, qsizetype n) {
  const unsigned char c = s[0];
  if (c < 0x80) return 1;
  int length = 0;
  char32_t code = 0;
  char32_t least = 0;
  if ((c & 0xE0) == 0xC0) {
    length = 2;
    code = c & 0x1F;
    least = 0x80;
  } else if ((c & 0xF0) == 0xE0) {
    length = 3;
    code = c & 0x0F;
    least = 0x800;
  } else if ((c & 0xF8) == 0xF0) {
    length = 4;
    code = c & 0x07;
    least = 0x10000;
  } else {
    return 0;
  }
  if (n < length) return 0;
  for (int i = 1; i < length; ++i) {
    if ((s[i] & 0xC0) != 0x80) return 0;
    code = (code << 6) | (s[i] & 0x3F);
  }
  if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
  return length;
}

}  // namespace

QString NameFromBytes(QByteArrayView bytes) {
  const auto* s = reinterpret_cast<const unsigned char*>(bytes.data());
  const qsizetype n = bytes.size();
  QString out;
  out.reserve(n);
  qsizetype i = 0;
  while (i < n) {
    // Runs of valid UTF-8 are decoded by Qt at once.
    qsizetype end = i;
    int length = 0;
    while (end < n && (length = SequenceLength(s + end, n - end)) > 0) end += length;
    if (end > i) out += QString::fromUtf8(bytes.data() + i, end - i);
    if (end < n) {
      out += QChar(char16_t(0xDC00 + s[end]));
      ++end;
    }
    i = end;
  }
  return out;
}

QByteArray BytesOfName(const QString& name) {
  if (!HasRawBytes(name)) return name.toUtf8();
  QByteArray out;
  out.reserve(name.size());
  qsizetype from = 0;
  for (qsizetype i = 0; i < name.size(); ++i) {
    const char16_t u = name.at(i).unicode();
    const bool paired = i > 0 && name.at(i - 1).isHighSurrogate();
    if (u >= kRawFirst && u <= kRawLast && !paired) {
      out += QStringView(name).mid(from, i - from).toUtf8();
      out += char(u - 0xDC00);
      from = i + 1;
    }
  }
  out += QStringView(name).mid(from).toUtf8();
  return out;
}

bool HasRawBytes(const QString& name) {
  for (qsizetype i = 0; i < name.size(); ++i) {
    const char16_t u = name.at(i).unicode();
    if (u >= kRawFirst && u <= kRawLast && !(i > 0 && name.at(i - 1).isHighSurrogate()))
      return true;
  }
  return false;
}

}  // namespace medium
