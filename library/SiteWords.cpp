#include "library/SiteWords.h"

namespace library {

namespace {

bool IsMark(QChar::Category c) {
  return c == QChar::Mark_NonSpacing || c == QChar::Mark_SpacingCombining ||
         c == QChar::Mark_Enclosing;
}

}  // namespace

namespace site_words {

bool IsWordCategory(QChar::Category c) {
  switch (c) {
    case QChar::Letter_Uppercase:
    case QChar::Letter_Lowercase:
    case QChar::Letter_Titlecase:
    case QChar::Letter_Modifier:
    case QChar::Letter_Other:
    case QChar::Number_DecimalDigit:
    case QChar::Number_Letter:
    case QChar::Number_Other:
    case QChar::Mark_NonSpacing:
    case QChar::Mark_SpacingCombining:
    case QChar::Mark_Enclosing:
    case QChar::Other_PrivateUse:
      return true;
    default:
      return false;
  }
}

char32_t FoldCodePoint(char32_t c) {
  if (IsMark(QChar::category(c))) return 0;
  // The capital I with a dot has no simple case folding; SQLite makes it "i".
  const char32_t folded = c == 0x130 ? U'i' : QChar::toCaseFolded(c);
  char32_t base = folded;
  while (QChar::decompositionTag(base) == QChar::Canonical) {
    const QString parts = QChar::decomposition(base);
    if (parts.isEmpty()) break;
    base = parts.at(0).isHighSurrogate() && parts.size() > 1
               ? QChar::surrogateToUcs4(parts.at(0), parts.at(1))
               : parts.at(0).unicode();
  }
  if (base != folded && base < 0x80 && QChar::isLetter(base)) return QChar::toCaseFolded(base);
  return folded;
}

const std::array<char16_t, 0x10000>& BmpTable() {
  static const std::array<char16_t, 0x10000> table = [] {
    std::array<char16_t, 0x10000> t{};
    for (char32_t u = 0; u < 0x10000; ++u) {
      if ((u >= 0xD800 && u < 0xE000) || u == kSeparator || u == kDropped ||
          !IsWordCategory(QChar::category(u))) {
        t[u] = kSeparator;
        continue;
      }
      const char32_t f = FoldCodePoint(u);
      t[u] = f == 0 ? kDropped : f < 0x10000 ? char16_t(f) : char16_t(u);
    }
    return t;
  }();
  return table;
}

}  // namespace site_words

void ForEachWord(QStringView text,
                 const std::function<void(qsizetype start, qsizetype end, QStringView)>& take) {
  std::u16string word;
  SiteWordsOf(text, word, take);
}

QStringList SiteWords(QStringView text) {
  QStringList words;
  ForEachWord(text, [&](qsizetype, qsizetype, QStringView w) { words << w.toString(); });
  return words;
}

}  // namespace library
