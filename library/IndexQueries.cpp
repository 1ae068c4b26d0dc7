#include "library/LibraryIndex.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSqlQuery>
#include <QVariant>
#include <algorithm>

#include "library/IndexDatabase.h"
#include "library/LibraryIndexImpl.h"

// Reading the index: the media with their presentations, the search, a presentation's passages.

namespace library {

namespace {

// Ranking costs a lookup per passage found: a query that finds more passages than this (a word
// in most sections, the first letters of one) gives its hits place by place instead.
constexpr int kRankAll = 20000;

}  // namespace

std::vector<MediumEntry> LibraryIndex::Media(const QStringList& roots) const {
  std::vector<MediumEntry> media;
  QHash<qint64, size_t> byId;
  QSqlQuery q(d_->db.Db());
  q.setForwardOnly(true);
  if (!q.exec(QStringLiteral("SELECT id, path, present, problems FROM media ORDER BY path")))
    return media;
  while (q.next()) {
    const QString path = q.value(1).toString();
    if (!UnderRoots(path, roots)) continue;
    MediumEntry m;
    m.id = q.value(0).toLongLong();
    m.path = path;
    m.name = QFileInfo(QDir::fromNativeSeparators(path)).fileName();
    m.present = q.value(2).toBool();
    m.problems = q.value(3).toString().split(u'\n', Qt::SkipEmptyParts);
    byId.insert(m.id, media.size());
    media.push_back(std::move(m));
  }
  QSqlQuery p(d_->db.Db());
  p.setForwardOnly(true);
  if (!p.exec(QStringLiteral("SELECT id, medium, title, folder, length_ms, slides, sections, "
                             "languages, players FROM presentations ORDER BY medium, position")))
    return media;
  while (p.next()) {
    const auto at = byId.constFind(p.value(1).toLongLong());
    if (at == byId.cend()) continue;
    PresentationEntry e;
    e.id = p.value(0).toLongLong();
    e.title = p.value(2).toString();
    e.folder = p.value(3).toString();
    e.lengthMs = p.value(4).toLongLong();
    e.slides = p.value(5).toInt();
    e.sections = p.value(6).toInt();
    e.languages = p.value(7).toString().split(u'\n', Qt::SkipEmptyParts);
    const int players = p.value(8).toInt();
    e.tavisco = players & kTaviscoBit;
    e.norvanta = players & kNorvantaBit;
    media[*at].presentations.push_back(std::move(e));
  }
  return media;
}

namespace {

constexpr QChar kOpen(0x02);
constexpr QChar kClose(0x03);

void SplitSnippet(const QString& marked, SearchHit& hit) {
  hit.snippet.reserve(marked.size());
  int start = -1;
  for (const QChar c : marked) {
    if (c == kOpen) {
      start = int(hit.snippet.size());
    } else if (c == kClose) {
      if (start >= 0) hit.highlights.push_back({start, int(hit.snippet.size()) - start});
      start = -1;
    } else {
      // Line ends of a passage (details of several lines) read as blanks in one line of hits.
      hit.snippet += (c == u'\r' || c == u'\n' || c == u'\t') ? QChar(u' ') : c;
    }
  }
}

}  // namespace

SearchResult LibraryIndex::Search(const QString& text, const QStringList& roots, int limit) const {
  SearchResult result;
  result.query = ParseQuery(text);
  if (result.query.IsEmpty() || limit <= 0) return result;

  // The media to search, when the index holds others too.
  QHash<qint64, MediumEntry> media;
  bool all = true;
  {
    QSqlQuery q(d_->db.Db());
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT id, path, present FROM media"))) {
      result.error = q.lastError().text();
      return result;
    }
    while (q.next()) {
      const QString path = q.value(1).toString();
      if (!UnderRoots(path, roots)) {
        all = false;
        continue;
      }
      MediumEntry m;
      m.id = q.value(0).toLongLong();
      m.path = path;
      m.name = QFileInfo(QDir::fromNativeSeparators(path)).fileName();
      m.present = q.value(2).toBool();
      media.insert(m.id, m);
    }
  }
  if (media.isEmpty()) return result;
  QString filter;
  if (!all) {
    QStringList ids;
    for (auto it = media.cbegin(); it != media.cend(); ++it) ids << QString::number(it.key());
    filter = QStringLiteral(
                 " AND (rowid >> %1) IN (SELECT id FROM presentations WHERE medium IN "
                 "(%2))")
                 .arg(kPassageBits)
                 .arg(ids.join(u','));
  }
  const QString expression = result.query.MatchExpression();
  {
    // Counting stops at the bound, and needs no ranking.
    QSqlQuery count(d_->db.Db());
    count.setForwardOnly(true);
    count.prepare(QStringLiteral("SELECT count(*) FROM (SELECT rowid FROM passages WHERE passages "
                                 "MATCH ?%1 LIMIT %2)")
                      .arg(filter)
                      .arg(kRankAll + 1));
    count.addBindValue(expression);
    if (!count.exec() || !count.next()) {
      result.error = count.lastError().text();
      return result;
    }
    result.ranked = count.value(0).toInt() <= kRankAll;
  }
  QSqlQuery pres(d_->db.Db());
  pres.setForwardOnly(true);
  pres.prepare(
      QStringLiteral("SELECT medium, title, folder, players FROM presentations WHERE id = ?"));
  // Runs one query of passages and takes its rows as hits, up to the limit.
  auto take = [&](const QString& match, const QString& order) {
    QSqlQuery q(d_->db.Db());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT rowid, place, language, at_ms, "
                             "snippet(passages, -1, char(2), char(3), '…', 24), rank "
                             "FROM passages WHERE passages MATCH ?%1%2 LIMIT ?")
                  .arg(filter, order));
    q.addBindValue(match);
    q.addBindValue(limit + 1 - int(result.hits.size()));
    if (!q.exec()) {
      result.error = q.lastError().text();
      return;
    }
    while (q.next()) {
      if (int(result.hits.size()) == limit) {
        result.more = true;
        break;
      }
      SearchHit hit;
      hit.presentationId = q.value(0).toLongLong() >> kPassageBits;
      hit.place = Place(q.value(1).toInt());
      hit.language = q.value(2).toString();
      hit.atMs = q.value(3).toLongLong();
      SplitSnippet(q.value(4).toString(), hit);
      hit.score = result.ranked ? q.value(5).toDouble() : 0.0;
      pres.addBindValue(hit.presentationId);
      if (!pres.exec() || !pres.next()) continue;
      const auto m = media.constFind(pres.value(0).toLongLong());
      if (m == media.cend()) continue;
      hit.title = pres.value(1).toString();
      hit.folder = pres.value(2).toString();
      const int players = pres.value(3).toInt();
      hit.player = layout::PreferredPlayer(players & kTaviscoBit, players & kNorvantaBit);
      hit.mediumPath = m->path;
      hit.mediumName = m->name;
      hit.mediumPresent = m->present;
      pres.finish();
      result.hits.push_back(std::move(hit));
    }
  };
  if (result.ranked) {
    take(expression, QStringLiteral(" ORDER BY rank"));
  } else {
    // Too many to rank: the first found in the library's order, titles before slide titles
    // before the rest. (Looking for titles alone would read the whole list of passages found.)
    take(expression, QString());
    std::stable_sort(result.hits.begin(), result.hits.end(),
                     [](const SearchHit& a, const SearchHit& b) { return a.place < b.place; });
    result.more = true;
  }
  if (!result.error.isEmpty()) result.hits.clear();
  return result;
}

void LibraryIndex::Passages(qint64 presentationId,
                            const std::function<void(const StoredPassage&)>& take) const {
  QSqlQuery q(d_->db.Db());
  q.setForwardOnly(true);
  q.prepare(
      QStringLiteral("SELECT place, language, at_ms, coalesce(title, slide, transcript, "
                     "details, freetext) FROM passages WHERE rowid BETWEEN ? AND ? "
                     "ORDER BY rowid"));
  q.addBindValue(presentationId << kPassageBits);
  q.addBindValue((presentationId << kPassageBits) | kPassageMask);
  if (!q.exec()) return;
  while (q.next()) {
    take(StoredPassage{Place(q.value(0).toInt()), q.value(1).toString(), q.value(2).toLongLong(),
                       q.value(3).toString()});
  }
}

}  // namespace library
