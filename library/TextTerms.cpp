#include "library/TextTerms.h"

#include <libstemmer.h>

#include <QHash>
#include <algorithm>
#include <memory>
#include <unordered_map>

#include "presentation/TextSearch.h"

namespace library {

namespace {

// The folded form of one character outside ASCII, as the transcript search folds it; cached per
// thread, since a text in French or German meets the same few accented letters again and again.
const QString& FoldedCharacter(char32_t code) {
  thread_local QHash<char32_t, QString> cache;
  auto it = cache.constFind(code);
  if (it != cache.cend()) return *it;
  if (cache.size() > 4096) cache.clear();
  const char32_t one[1] = {code};
  return *cache.insert(code, textsearch::FoldedKey(QString::fromUcs4(one, 1)));
}

void AppendFolded(QString& out, const QString& text, qsizetype from, qsizetype to) {
  for (qsizetype i = from; i < to && out.size() < kMaxTermLength; ++i) {
    const char16_t u = text.at(i).unicode();
    if (u < 0x80) {
      out += QChar(u >= 'A' && u <= 'Z' ? char16_t(u + 32) : u);
      continue;
    }
    char32_t code = u;
    if (QChar::isHighSurrogate(u) && i + 1 < to && text.at(i + 1).isLowSurrogate()) {
      code = QChar::surrogateToUcs4(u, text.at(i + 1).unicode());
      ++i;
    }
    out += FoldedCharacter(code);
  }
  // Folding keeps letters and digits; a blank can only come from a compatibility form.
  out.remove(u' ');
  if (out.size() > kMaxTermLength) out.truncate(kMaxTermLength);
  // A lone surrogate left by the cut would not survive the way to either database.
  if (!out.isEmpty() && out.back().isHighSurrogate()) out.chop(1);
}

// The stemmers of this thread, one per algorithm; libstemmer's are not to be shared.
class Stemmers {
 public:
  ~Stemmers() {
    for (auto& [name, s] : stemmers_) sb_stemmer_delete(s);
  }
  QString Stem(const QString& folded, const QString& algorithm) {
    QHash<QString, QString>& cache = cache_[algorithm];
    auto it = cache.constFind(folded);
    if (it != cache.cend()) return *it;
    sb_stemmer* s = Get(algorithm);
    QString stem = folded;
    if (s) {
      const QByteArray bytes = folded.toUtf8();
      const sb_symbol* out = sb_stemmer_stem(
          s, reinterpret_cast<const sb_symbol*>(bytes.constData()), int(bytes.size()));
      if (out) {
        stem = QString::fromUtf8(reinterpret_cast<const char*>(out), sb_stemmer_length(s));
        if (stem.isEmpty()) stem = folded;
      }
    }
    // Bounded: a real vocabulary is a few hundred thousand words at most.
    if (cache.size() > 200000) cache.clear();
    cache.insert(folded, stem);
    return stem;
  }

 private:
  sb_stemmer* Get(const QString& algorithm) {
    const auto it = stemmers_.find(algorithm);
    if (it != stemmers_.end()) return it->second;
    sb_stemmer* s = sb_stemmer_new(algorithm.toLatin1().constData(), "UTF_8");
    stemmers_[algorithm] = s;
    return s;
  }
  std::unordered_map<QString, sb_stemmer*> stemmers_;
  QHash<QString, QHash<QString, QString>> cache_;
};

}  // namespace

bool IsWordCharacter(QChar c) {
  if (c.isLetterOrNumber() || c.isSurrogate()) return true;
  const QChar::Category k = c.category();
  return k == QChar::Mark_NonSpacing || k == QChar::Mark_SpacingCombining ||
         k == QChar::Mark_Enclosing;
}

std::vector<TextWord> CutWords(const QString& text) {
  std::vector<TextWord> words;
  const qsizetype n = text.size();
  qsizetype i = 0;
  while (i < n) {
    while (i < n && !IsWordCharacter(text.at(i))) ++i;
    const qsizetype start = i;
    while (i < n && IsWordCharacter(text.at(i))) ++i;
    if (i == start) break;
    TextWord w;
    w.start = int(start);
    w.length = int(i - start);
    AppendFolded(w.folded, text, start, i);
    if (!w.folded.isEmpty()) words.push_back(std::move(w));
  }
  return words;
}

QString FoldWord(const QString& word) {
  QString out;
  AppendFolded(out, word, 0, word.size());
  return out;
}

QString StemmerFor(const QString& language) {
  // The transcripts' files are named by the language in English, sometimes in its own tongue.
  static const QHash<QString, QString> kOwnNames = {
      {QStringLiteral("deutsch"), QStringLiteral("german")},
      {QStringLiteral("francais"), QStringLiteral("french")},
      {QStringLiteral("espanol"), QStringLiteral("spanish")},
      {QStringLiteral("castellano"), QStringLiteral("spanish")},
      {QStringLiteral("italiano"), QStringLiteral("italian")},
      {QStringLiteral("nederlands"), QStringLiteral("dutch")},
      {QStringLiteral("portugues"), QStringLiteral("portuguese")},
      {QStringLiteral("svenska"), QStringLiteral("swedish")},
      {QStringLiteral("norsk"), QStringLiteral("norwegian")},
      {QStringLiteral("dansk"), QStringLiteral("danish")},
      {QStringLiteral("suomi"), QStringLiteral("finnish")},
      {QStringLiteral("magyar"), QStringLiteral("hungarian")},
      {QStringLiteral("turkce"), QStringLiteral("turkish")},
      {QStringLiteral("romana"), QStringLiteral("romanian")},
  };
  static const QStringList kAlgorithms = [] {
    QStringList list;
    for (const char** name = sb_stemmer_list(); name && *name; ++name) {
      // Porter's is the older English one, not a language.
      if (qstrcmp(*name, "porter") != 0) list << QString::fromLatin1(*name);
    }
    return list;
  }();
  QString key;
  for (const QChar c : FoldWord(language)) {
    if (c.isLetter()) key += c;
  }
  key = kOwnNames.value(key, key);
  return kAlgorithms.contains(key) ? key : QString();
}

QString StemOf(const QString& folded, const QString& stemmer) {
  if (stemmer.isEmpty() || folded.isEmpty()) return folded;
  thread_local Stemmers stemmers;
  return stemmers.Stem(folded, stemmer);
}

QStringList TermsOf(const QString& text, const QString& stemmer) {
  QStringList terms;
  for (const TextWord& w : CutWords(text)) terms << StemOf(w.folded, stemmer);
  return terms;
}

int EditDistance(const QString& a, const QString& b, int limit) {
  const int n = int(a.size());
  const int m = int(b.size());
  if (std::abs(n - m) > limit) return limit + 1;
  // Three rows of the optimal string alignment distance (Damerau's swap of neighbours counts
  // one), given up as soon as a whole row is beyond the limit.
  std::vector<int> before(size_t(m + 1)), previous(size_t(m + 1)), row(size_t(m + 1));
  for (int j = 0; j <= m; ++j) previous[size_t(j)] = j;
  for (int i = 1; i <= n; ++i) {
    row[0] = i;
    int best = row[0];
    for (int j = 1; j <= m; ++j) {
      const int cost = a.at(i - 1) == b.at(j - 1) ? 0 : 1;
      int d = std::min(
          {previous[size_t(j)] + 1, row[size_t(j - 1)] + 1, previous[size_t(j - 1)] + cost});
      if (i > 1 && j > 1 && a.at(i - 1) == b.at(j - 2) && a.at(i - 2) == b.at(j - 1))
        d = std::min(d, before[size_t(j - 2)] + 1);
      row[size_t(j)] = d;
      best = std::min(best, d);
    }
    if (best > limit) return limit + 1;
    std::swap(before, previous);
    std::swap(previous, row);
  }
  return std::min(previous[size_t(m)], limit + 1);
}

int TyposAllowed(int length) {
  if (length < 4) return 0;
  return length < 8 ? 1 : 2;
}

}  // namespace library
