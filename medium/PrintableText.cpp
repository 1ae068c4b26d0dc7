#include "medium/PrintableText.h"

#include <algorithm>

namespace medium {

namespace {

bool Printable(char32_t c) {
  if (c == U' ') return true;
  if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) return false;
  const QChar::Category category = QChar::category(c);
  switch (category) {
    case QChar::Other_Control:
    case QChar::Other_Format:
    case QChar::Other_Surrogate:
    case QChar::Other_PrivateUse:
    case QChar::Other_NotAssigned:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
      return false;
    default:
      return true;
  }
}

QString Escaped(char32_t c) {
  // A byte of a file's name that is no UTF-8, as medium::NameFromBytes keeps it.
  if (c >= 0xDC80 && c <= 0xDCFF) return QString::asprintf("\\x%02X", unsigned(c - 0xDC00));
  return c <= 0xFF ? QString::asprintf("\\x%02X", unsigned(c))
                   : QString::asprintf("\\u{%04X}", unsigned(c));
}

}  // namespace

QString PrintableText(const QString& text, int maxChars) {
  QString out;
  out.reserve(std::min<qsizetype>(text.size(), maxChars) + 8);
  for (qsizetype i = 0; i < text.size(); ++i) {
    char32_t c = text[i].unicode();
    if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
      c = QChar::surrogateToUcs4(text[i], text[i + 1]);
      ++i;
    }
    const QString piece = Printable(c) ? QString::fromUcs4(&c, 1) : Escaped(c);
    if (out.size() + piece.size() > maxChars) {
      out += u'\u2026';
      return out;
    }
    out += piece;
  }
  return out;
}

}  // namespace medium
