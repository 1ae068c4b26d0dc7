#include "medium/PrintableText.h"

#include <QChar>
#include <algorithm>

namespace medium {

namespace {

// Whether a code point is shown as itself.
bool Prints(char32_t c) {
  if (c < 0x20 || (c >= 0x7F && c < 0xA0)) return false;  // C0, DEL, C1
  if (c == 0x2028 || c == 0x2029) return false;           // line and paragraph separators
  // Format characters: invisible, and some turn the text after them around (U+202E), so that
  // what is shown is not what was read.
  switch (QChar::category(c)) {
    case QChar::Other_Format:
    case QChar::Other_Surrogate:
    case QChar::Other_NotAssigned:
      return false;
    default:
      break;
  }
  // Noncharacters: U+FDD0..U+FDEF and the last two of every plane.
  if ((c >= 0xFDD0 && c <= 0xFDEF) || (c & 0xFFFE) == 0xFFFE) return false;
  return true;
}

QString Escape(char32_t c) {
  const int width = c <= 0xFF ? 2 : c <= 0xFFFF ? 4 : 8;
  const QLatin1String prefix(c <= 0xFF ? "\\x" : c <= 0xFFFF ? "\\u" : "\\U");
  return prefix + QString::number(uint(c), 16).toUpper().rightJustified(width, u'0');
}

// Appends pieces while they fit; the first that does not ends the line with "…".
class Line {
 public:
  explicit Line(int maxLength) : max_(std::max(maxLength, 1)) {}
  // False once the line is full.
  bool Add(const QString& piece) {
    if (full_) return false;
    if (out_.size() + piece.size() > max_ - 1) {
      // The last piece may still fit exactly when nothing comes after it; Finish decides.
      pending_ = piece;
      full_ = true;
      return false;
    }
    out_ += piece;
    return true;
  }
  QString Finish(bool more) {
    if (full_) {
      if (!more && out_.size() + pending_.size() <= max_) return out_ + pending_;
      return out_ + QChar(0x2026);
    }
    return out_;
  }

 private:
  int max_;
  QString out_;
  QString pending_;
  bool full_ = false;
};

QString Piece(char32_t c) {
  if (c == u'\t') return QStringLiteral(" ");
  if (!Prints(c)) return Escape(c);
  return QString::fromUcs4(&c, 1);
}

}  // namespace

QString PrintableText(QStringView text, int maxLength) {
  Line line(maxLength);
  qsizetype i = 0;
  while (i < text.size()) {
    char32_t c = text[i].unicode();
    qsizetype next = i + 1;
    if (QChar::isHighSurrogate(c) && next < text.size() && text[next].isLowSurrogate()) {
      c = QChar::surrogateToUcs4(text[i], text[next]);
      ++next;
    }
    if (!line.Add(Piece(c))) return line.Finish(next < text.size());
    i = next;
  }
  return line.Finish(false);
}

QString PrintableText(QByteArrayView bytes, int maxLength) {
  Line line(maxLength);
  const auto* b = reinterpret_cast<const unsigned char*>(bytes.data());
  const qsizetype n = bytes.size();
  qsizetype i = 0;
  while (i < n) {
    // One UTF-8 sequence, checked by hand: overlong forms, surrogates and values past U+10FFFF
    // are no valid UTF-8, and each of their bytes is shown as it is.
    const unsigned char lead = b[i];
    int length = 0;
    char32_t c = 0;
    char32_t least = 0;
    if (lead < 0x80) {
      length = 1;
      c = lead;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
      c = lead & 0x1F;
      least = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      c = lead & 0x0F;
      least = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      c = lead & 0x07;
      least = 0x10000;
    }
    bool valid = length > 0 && i + length <= n;
    for (int k = 1; valid && k < length; ++k) {
      valid = (b[i + k] & 0xC0) == 0x80;
      c = (c << 6) | (b[i + k] & 0x3F);
    }
    valid = valid && c >= least && c <= 0x10FFFF && !(c >= 0xD800 && c <= 0xDFFF);
    const QString piece = valid ? Piece(c) : Escape(lead);
    const qsizetype next = valid ? i + length : i + 1;
    if (!line.Add(piece)) return line.Finish(next < n);
    i = next;
  }
  return line.Finish(false);
}

QStringList PrintableTextLines(QStringView text, int maxLines, int maxLength) {
  QStringList lines;
  int count = 0;
  qsizetype start = 0;
  auto take = [&](qsizetype end) {
    if (count < maxLines) lines << PrintableText(text.mid(start, end - start), maxLength);
    ++count;
  };
  for (qsizetype i = 0; i < text.size(); ++i) {
    if (text[i] == u'\r' || text[i] == u'\n') {
      take(i);
      if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
      start = i + 1;
    }
  }
  if (start < text.size()) take(text.size());
  if (count > maxLines) {
    lines << QStringLiteral("… and %1 more %2")
                 .arg(count - maxLines)
                 .arg(count - maxLines == 1 ? QStringLiteral("line") : QStringLiteral("lines"));
  }
  return lines;
}

}  // namespace medium
