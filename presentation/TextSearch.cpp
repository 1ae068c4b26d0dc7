#include "presentation/TextSearch.h"

#include <QChar>

namespace textsearch {

namespace {

// Letters that carry their accent in the letter itself rather than as a mark, and so survive
// decomposition; readers still type them plainly.
QString PlainSpelling(char32_t c) {
  switch (c) {
    case U'ß':
    case U'ẞ':
      return QStringLiteral("ss");
    case U'æ':
    case U'Æ':
      return QStringLiteral("ae");
    case U'œ':
    case U'Œ':
      return QStringLiteral("oe");
    case U'ø':
    case U'Ø':
      return QStringLiteral("o");
    case U'ł':
    case U'Ł':
      return QStringLiteral("l");
    case U'đ':
    case U'Đ':
      return QStringLiteral("d");
    case U'ı':
      return QStringLiteral("i");
    default:
      return {};
  }
}

bool Dropped(QChar c) {
  const QChar::Category category = c.category();
  return category == QChar::Mark_NonSpacing || category == QChar::Mark_Enclosing ||
         category == QChar::Mark_SpacingCombining;
}

}  // namespace

FoldedText Fold(const QString& text) {
  FoldedText folded;
  folded.text.reserve(text.size());
  folded.from.reserve(text.size());
  folded.to.reserve(text.size());
  int i = 0;
  while (i < text.size()) {
    const int start = i;
    char32_t code = text.at(i).unicode();
    if (text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
      code = QChar::surrogateToUcs4(text.at(i), text.at(i + 1));
      i += 2;
    } else {
      i += 1;
    }
    const int end = i;

    QString pieces = PlainSpelling(code);
    if (pieces.isEmpty()) {
      pieces = text.mid(start, end - start).normalized(QString::NormalizationForm_KD);
    }
    for (QChar piece : pieces) {
      if (Dropped(piece)) {
        // The mark belongs to the letter before it.
        if (!folded.to.isEmpty()) folded.to.last() = end;
        continue;
      }
      QChar plain = piece.toCaseFolded();
      if (plain.isSpace()) plain = QLatin1Char(' ');
      folded.text.append(plain);
      folded.from.append(start);
      folded.to.append(end);
    }
  }
  return folded;
}

QString FoldedKey(const QString& text) {
  return Fold(text).text;
}

QList<Match> FindAll(const QString& haystack, const QString& needle) {
  QList<Match> matches;
  const QString key = FoldedKey(needle);
  if (key.isEmpty()) return matches;
  const FoldedText folded = Fold(haystack);
  qsizetype at = folded.text.indexOf(key);
  while (at >= 0) {
    const int first = static_cast<int>(at);
    const int last = first + static_cast<int>(key.size()) - 1;
    const int start = folded.from.at(first);
    matches.append({start, folded.to.at(last) - start});
    at = folded.text.indexOf(key, at + key.size());
  }
  return matches;
}

}  // namespace textsearch
