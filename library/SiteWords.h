#pragma once
// The words of a text as the collection's site cuts and folds them, which is as the index's
// tokenizer did (SQLite FTS5, unicode61, remove_diacritics 2): runs of letters, digits, marks and
// private-use characters; case folded, the accents of Latin letters and every combining mark
// removed. collection.js cuts a query alike.

#include <QChar>
#include <QStringList>
#include <QStringView>
#include <array>
#include <functional>
#include <string>

namespace library {

// take(start, end, folded) for each word, start and end in the text's UTF-16 units.
void ForEachWord(QStringView text,
                 const std::function<void(qsizetype start, qsizetype end, QStringView)>& take);
// The folded words alone.
QStringList SiteWords(QStringView text);

namespace site_words {

// What a unit of the Basic Multilingual Plane is in a word: kSeparator ends one, kDropped belongs
// to one but leaves nothing (a combining mark); anything else is the unit folded. Both are
// noncharacters, never folded units themselves.
inline constexpr char16_t kSeparator = 0xFFFF;
inline constexpr char16_t kDropped = 0xFFFE;

// For every unit of the Basic Multilingual Plane: kSeparator, kDropped or the unit folded.
const std::array<char16_t, 0x10000>& BmpTable();
// The tokenizer's word characters: letters, digits and other numbers, marks and private use.
bool IsWordCategory(QChar::Category c);
// A word character folded: case folded, and a Latin letter with accents as the plain letter
// (SQLite keeps the accents of other scripts: "й" stays "й"). 0 for a mark.
char32_t FoldCodePoint(char32_t c);

}  // namespace site_words

// Calls take(start, end, folded) for every word of text, word being the buffer it is folded
// into; the hot path of the export, so a template rather than a std::function.
template <class Take>
void SiteWordsOf(QStringView text, std::u16string& word, Take&& take) {
  const std::array<char16_t, 0x10000>& table = site_words::BmpTable();
  word.clear();
  qsizetype start = -1;
  const qsizetype n = text.size();
  const char16_t* s = text.utf16();
  auto end = [&](qsizetype at) {
    if (start >= 0 && !word.empty())
      take(start, at, QStringView(word.data(), qsizetype(word.size())));
    start = -1;
    word.clear();
  };
  for (qsizetype i = 0; i < n; ++i) {
    const char16_t u = s[i];
    if (u < 0x80) {
      if ((u >= u'a' && u <= u'z') || (u >= u'0' && u <= u'9')) {
        if (start < 0) start = i;
        word += u;
      } else if (u >= u'A' && u <= u'Z') {
        if (start < 0) start = i;
        word += char16_t(u + 32);
      } else {
        end(i);
      }
      continue;
    }
    if (QChar::isHighSurrogate(u) && i + 1 < n && QChar::isLowSurrogate(s[i + 1])) {
      const char32_t c = QChar::surrogateToUcs4(u, s[i + 1]);
      if (!site_words::IsWordCategory(QChar::category(c))) {
        end(i);
      } else {
        if (start < 0) start = i;
        const char32_t f = site_words::FoldCodePoint(c);
        if (f >= 0x10000) {
          word += QChar::highSurrogate(f);
          word += QChar::lowSurrogate(f);
        } else if (f != 0) {
          word += char16_t(f);
        }
      }
      ++i;
      continue;
    }
    const char16_t m = table[u];
    if (m == site_words::kSeparator) {
      end(i);
    } else {
      if (start < 0) start = i;
      if (m != site_words::kDropped) word += m;
    }
  }
  end(n);
}

}  // namespace library
