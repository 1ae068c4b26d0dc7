#include "library/LibrarySearch.h"

#include <QSet>
#include <algorithm>

#include "library/TextTerms.h"

namespace library {

Query ParseQuery(const QString& text) {
  Query q;
  QSet<QString> seen;
  QString word;
  auto flush = [&] {
    if (word.isEmpty()) return;
    const QString key = textsearch::FoldedKey(word);
    if (!key.isEmpty() && !seen.contains(key)) {
      if (q.words.size() >= kMaxQueryWords) {
        q.shortened = true;
      } else {
        seen.insert(key);
        q.words << word;
      }
    }
    word.clear();
  };
  for (const QChar c : text) {
    if (IsWordCharacter(c)) {
      word += c;
    } else {
      flush();
    }
  }
  flush();
  // Searched as it is typed: the last word may be the beginning of a longer one, from its
  // second letter on (one letter would match a good part of every passage).
  q.lastIsPrefix = !q.words.isEmpty() && q.words.last().size() >= 2;
  return q;
}

QString PlaceText(Place place, const QString& language) {
  switch (place) {
    case Place::Title:
      return QStringLiteral("title");
    case Place::SlideTitle:
      return QStringLiteral("slide title");
    case Place::Transcript:
      return language.isEmpty() ? QStringLiteral("transcript")
                                : QStringLiteral("transcript (%1)").arg(language);
    case Place::Details:
      return QStringLiteral("details");
    case Place::FreeText:
      return QStringLiteral("free text");
  }
  return QString();
}

QString SearchHit::MarkedSnippet(const QString& open, const QString& close,
                                 QString (*escape)(const QString&)) const {
  auto plain = [&](qsizetype from, qsizetype n) {
    const QString part = snippet.mid(from, n);
    return escape ? escape(part) : part;
  };
  QString out;
  qsizetype at = 0;
  for (const textsearch::Match& m : highlights) {
    if (m.start < at) continue;
    out += plain(at, m.start - at) + open + plain(m.start, m.length) + close;
    at = m.start + m.length;
  }
  return out + plain(at, snippet.size() - at);
}

QString FormatMoment(qint64 ms) {
  const qint64 s = std::max<qint64>(ms, 0) / 1000;
  if (s >= 3600) {
    return QStringLiteral("%1:%2:%3")
        .arg(s / 3600)
        .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(s % 60, 2, 10, QLatin1Char('0'));
  }
  return QStringLiteral("%1:%2").arg(s / 60).arg(s % 60, 2, 10, QLatin1Char('0'));
}

}  // namespace library
