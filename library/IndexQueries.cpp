#include "library/IndexQueries.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <algorithm>
#include <optional>

#include "library/ListMatches.h"
#include "library/Postings.h"
#include "library/TextTerms.h"

namespace library {

namespace {

// The last word typed stands for itself and for at most this many of the terms of the words it
// begins, the most frequent (the word being typed is most likely a common one), so that three
// letters cost a search no more than a word does ...
constexpr int kPrefixTerms = 24;
// ... chosen among at most this many words of the vocabulary it begins.
constexpr int kPrefixScan = 20000;
// A snippet is at most this many words of its passage.
constexpr int kSnippetWords = 24;
// Words longer than this are no typo of anything the index holds.
constexpr int kLongestTypo = 40;

// The highest code point: a prefix's words lie between it and it followed by this.
const QString kAfterAll = QString::fromUcs4(U"\U0010FFFF", 1);

// The media of the index with their places, and which of them a listing or a search takes.
struct MediumRow {
  MediumEntry entry;
  bool included = false;
  qint64 pieces = 0;  // of its passages, for the ranking's statistics
  qint64 words = 0;
};

bool ReadMedia(IndexDatabase& db, const QString& host, const QStringList& roots,
               std::vector<MediumRow>* out, DbError* error) {
  std::vector<DbRow> media;
  std::vector<DbRow> places;
  if (!db.Query(QStringLiteral("SELECT id, identity, problems, replaced_by, pieces, words FROM "
                               "media"),
                {}, &media, error) ||
      !db.Query(QStringLiteral("SELECT medium, host, path, seen_ms, present FROM places ORDER BY "
                               "seen_ms DESC, id DESC"),
                {}, &places, error))
    return false;
  QHash<qint64, size_t> byId;
  for (const DbRow& r : media) {
    MediumRow row;
    row.entry.id = r.value(0).toLongLong();
    row.entry.identity = r.value(1).toString();
    row.entry.problems = r.value(2).toString().split(u'\n', Qt::SkipEmptyParts);
    row.entry.replacedBy = r.value(3).toLongLong();
    row.pieces = r.value(4).toLongLong();
    row.words = r.value(5).toLongLong();
    byId.insert(row.entry.id, out->size());
    out->push_back(std::move(row));
  }
  for (const DbRow& r : places) {
    const auto at = byId.constFind(r.value(0).toLongLong());
    if (at == byId.cend()) continue;
    (*out)[*at].entry.places.push_back(
        MediumPlace{r.value(1).toString(), PathFromStore(r.value(2).toString()),
                    r.value(3).toLongLong(), r.value(4).toInt() != 0});
  }
  for (MediumRow& row : *out) {
    MediumEntry& m = row.entry;
    bool here = false;  // a place on this workstation at all
    bool underRoots = false;
    const MediumPlace* local = nullptr;
    for (const MediumPlace& p : m.places) {
      if (p.host != host) continue;
      here = true;
      if (!UnderRoots(p.path, roots)) continue;
      underRoots = true;
      if (!local || (p.present && !local->present)) local = &p;
    }
    bool presentAnywhere = false;
    for (const MediumPlace& p : m.places) presentAnywhere = presentAnywhere || p.present;
    // A medium replaced at its place by other content is kept, not shown, until it is found
    // somewhere again.
    if (m.replacedBy != 0 && !presentAnywhere) continue;
    // Those seen here under the folders asked for, and those never seen here: a shared index
    // lists what the other workstations have, absent here.
    row.included = roots.isEmpty() ? true : (underRoots || !here);
    if (roots.isEmpty() && here && !local) {
      for (const MediumPlace& p : m.places) {
        if (p.host == host && (!local || (p.present && !local->present))) local = &p;
      }
    }
    if (local) {
      m.path = local->path;
      m.present = local->present;
    } else if (!m.places.empty()) {
      m.path = m.places.front().path;
      m.present = false;
    }
    m.name = QFileInfo(QDir::fromNativeSeparators(m.path)).fileName();
  }
  return true;
}

void SortByPath(std::vector<MediumEntry>& media) {
  std::stable_sort(media.begin(), media.end(),
                   [](const MediumEntry& a, const MediumEntry& b) { return a.path < b.path; });
}

// The words of a hit's passage to mark: those whose term (in any of the index's stemmers) was
// searched for, or that begin with the last word typed.
class Marker {
 public:
  Marker(const QSet<QString>& terms, const QStringList& prefixes, const QStringList& stemmers)
      : terms_(terms), prefixes_(prefixes), stemmers_(stemmers) {}
  bool Marks(const QString& folded) const {
    if (terms_.contains(folded)) return true;
    for (const QString& p : prefixes_) {
      if (!p.isEmpty() && folded.startsWith(p)) return true;
    }
    for (const QString& s : stemmers_) {
      const QString stem = StemOf(folded, s);
      if (terms_.contains(stem)) return true;
      for (const QString& p : prefixes_) {
        if (!p.isEmpty() && stem.startsWith(p)) return true;
      }
    }
    return false;
  }

 private:
  const QSet<QString>& terms_;
  const QStringList& prefixes_;
  const QStringList& stemmers_;
};

// The passage around its first word found, at most kSnippetWords words, with "…" where it was
// cut, and the words found marked.
void MakeSnippet(const QString& text, const Marker& marker, SearchHit& hit) {
  const std::vector<TextWord> words = CutWords(text);
  std::vector<bool> marked(words.size());
  int first = -1;
  for (size_t k = 0; k < words.size(); ++k) {
    marked[k] = marker.Marks(words[k].folded);
    if (marked[k] && first < 0) first = int(k);
  }
  int from = 0;
  int to = int(words.size());
  if (to > kSnippetWords) {
    from = std::clamp(first - 4, 0, to - kSnippetWords);
    to = from + kSnippetWords;
  }
  const qsizetype begin = from == 0 ? 0 : words[size_t(from)].start;
  const qsizetype end = to == int(words.size())
                            ? text.size()
                            : words[size_t(to - 1)].start + words[size_t(to - 1)].length;
  QString snippet = from > 0 ? QStringLiteral("…") : QString();
  const qsizetype shift = snippet.size() - begin;
  for (qsizetype i = begin; i < end; ++i) {
    const QChar c = text.at(i);
    // Line ends of a passage (details of several lines) read as blanks in one line of hits.
    snippet += (c == u'\r' || c == u'\n' || c == u'\t') ? QChar(u' ') : c;
  }
  if (to < int(words.size())) snippet += QStringLiteral("…");
  hit.snippet = snippet;
  for (int k = from; k < to; ++k) {
    if (marked[size_t(k)])
      hit.highlights.push_back({int(words[size_t(k)].start + shift), words[size_t(k)].length});
  }
}

// The terms the beginning of a word stands for (besides its own): those of the words of the
// vocabulary it begins, and the terms it begins (a stem may be spelled otherwise than its words:
// "happi" of "happy"), the most frequent kPrefixTerms of them, with their counts of pieces.
bool AddCompletions(IndexDatabase& db, const QString& folded, QHash<QString, qint64>* terms,
                    DbError* error) {
  std::vector<DbRow> found;
  const QVariantList range{folded, folded + kAfterAll};
  if (!db.Query(QStringLiteral("SELECT t.term, t.pieces FROM vocabulary v JOIN terms t ON t.term = "
                               "v.term WHERE v.word >= ? AND v.word < ? LIMIT %1")
                    .arg(kPrefixScan),
                range, &found, error) ||
      !db.Query(
          QStringLiteral("SELECT term, pieces FROM terms WHERE term >= ? AND term < ? LIMIT %1")
              .arg(kPrefixScan),
          range, &found, error))
    return false;
  std::vector<std::pair<qint64, QString>> byCount;
  QSet<QString> seen;
  for (const DbRow& r : found) {
    const QString term = r.value(0).toString();
    if (seen.contains(term) || terms->contains(term)) continue;
    seen.insert(term);
    byCount.push_back({r.value(1).toLongLong(), term});
  }
  std::sort(byCount.begin(), byCount.end(), [](const auto& a, const auto& b) {
    return a.first != b.first ? a.first > b.first : a.second < b.second;
  });
  if (byCount.size() > size_t(kPrefixTerms)) byCount.resize(size_t(kPrefixTerms));
  for (const auto& [count, term] : byCount) terms->insert(term, count);
  return true;
}

}  // namespace

bool ListMedia(IndexDatabase& db, const QString& host, const QStringList& roots,
               std::vector<MediumEntry>* out, DbError* error) {
  std::vector<MediumEntry>& media = *out;
  std::vector<MediumRow> rows;
  std::vector<DbRow> presentations;
  if (!ReadMedia(db, host, roots, &rows, error) ||
      !db.Query(QStringLiteral("SELECT id, medium, title, folder, length_ms, slides, sections, "
                               "languages, players FROM presentations ORDER BY medium, position"),
                {}, &presentations, error))
    return false;
  QHash<qint64, size_t> byId;
  for (MediumRow& row : rows) {
    if (!row.included) continue;
    byId.insert(row.entry.id, media.size());
    media.push_back(std::move(row.entry));
  }
  for (const DbRow& p : presentations) {
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
  SortByPath(media);
  return true;
}

SearchResult SearchIndex(IndexDatabase& db, const QString& host, const QString& text,
                         const QStringList& roots, int limit, DbError* failure) {
  SearchResult result;
  result.query = ParseQuery(text);
  if (result.query.IsEmpty() || limit <= 0) return result;
  DbError error;
  auto fail = [&] {
    result.hits.clear();
    result.error = error.text;
    result.unreachable = error.kind == DbFailure::Unreachable;
    db.Exec(QStringLiteral("ROLLBACK"));
    if (failure) *failure = error;
    return result;
  };
  // One snapshot for the whole search, in which nothing can be written.
  if (!db.Exec(db.IsPostgres() ? QStringLiteral("BEGIN READ ONLY") : QStringLiteral("BEGIN"), {},
               &error))
    return fail();

  std::vector<MediumRow> rows;
  if (!ReadMedia(db, host, roots, &rows, &error)) return fail();
  QHash<qint64, MediumEntry> media;
  bool all = true;
  // The ranking's statistics are those of the whole index, whichever media are searched.
  double pieces = 0;
  double words = 0;
  for (MediumRow& row : rows) {
    pieces += double(row.pieces);
    words += double(row.words);
    if (row.included) {
      media.insert(row.entry.id, row.entry);
    } else {
      all = false;
    }
  }
  QStringList stemmers;
  std::vector<DbRow> found;
  if (!db.Query(QStringLiteral("SELECT name FROM stemmers ORDER BY name"), {}, &found, &error))
    return fail();
  for (const DbRow& r : found) stemmers << r.value(0).toString();

  // Each word as the terms it stands for, with the pieces that hold each.
  std::vector<QHash<QString, qint64>> groups;
  QStringList prefixes;
  QSet<QString> allTerms;
  bool nothing = media.isEmpty();
  for (qsizetype w = 0; w < result.query.words.size(); ++w) {
    const QString& typed = result.query.words[w];
    const QString folded = FoldWord(typed);
    const bool prefix = w == result.query.words.size() - 1 && result.query.lastIsPrefix;
    QStringList candidates{folded};
    for (const QString& s : stemmers) candidates << StemOf(folded, s);
    candidates.removeDuplicates();
    found.clear();
    if (!db.Query(QStringLiteral("SELECT term, pieces FROM terms WHERE term IN (%1)")
                      .arg(Placeholders(candidates.size())),
                  QVariantList(candidates.cbegin(), candidates.cend()), &found, &error))
      return fail();
    QHash<QString, qint64> terms;
    for (const DbRow& r : found) terms.insert(r.value(0).toString(), r.value(1).toLongLong());
    // The word being typed: the words it begins too ("deployme" finds "deployment", indexed as
    // "deploy").
    if (prefix && !AddCompletions(db, folded, &terms, &error)) return fail();
    QString used = typed;
    if (terms.isEmpty()) {
      // A typo: the nearest word of the vocabulary, the shorter way round first.
      const int allowed = TyposAllowed(int(folded.size()));
      if (allowed > 0 && folded.size() <= kLongestTypo) {
        found.clear();
        if (!db.Query(QStringLiteral("SELECT DISTINCT word FROM vocabulary WHERE length BETWEEN "
                                     "? AND ?"),
                      {int(folded.size()) - allowed, int(folded.size()) + allowed}, &found, &error))
          return fail();
        QString best;
        int bestDistance = allowed + 1;
        for (const DbRow& r : found) {
          const QString word = r.value(0).toString();
          const int d = EditDistance(folded, word, allowed);
          if (d < bestDistance || (d == bestDistance && !best.isEmpty() && word < best)) {
            best = word;
            bestDistance = d;
          }
        }
        if (!best.isEmpty()) {
          found.clear();
          if (!db.Query(QStringLiteral("SELECT DISTINCT t.term, t.pieces FROM vocabulary v JOIN "
                                       "terms t ON t.term = v.term WHERE v.word = ?"),
                        {best}, &found, &error))
            return fail();
          for (const DbRow& r : found) terms.insert(r.value(0).toString(), r.value(1).toLongLong());
          result.corrections << QStringLiteral("%1 → %2").arg(typed, best);
          used = best;
        }
      }
    }
    result.used << used;
    if (terms.isEmpty()) nothing = true;
    prefixes << (prefix && used == typed ? folded : QString());
    for (auto it = terms.cbegin(); it != terms.cend(); ++it) allTerms.insert(it.key());
    groups.push_back(std::move(terms));
  }
  if (nothing) {
    db.Exec(QStringLiteral("COMMIT"));
    return result;
  }

  // The passages found (the first kRankAll + 1 in the library's order), ranked by BM25 (as
  // FTS5 and the collection's site compute it, over the whole index's statistics): for each word,
  // how rare it is times how often the passage holds it (its place's weight each time), damped by
  // the passage's length against the average. Among passages of one score the library's order.
  std::vector<QStringList> match;
  for (const QHash<QString, qint64>& g : groups) match.push_back(g.keys());
  QList<qint64> searched = media.keys();
  std::sort(searched.begin(), searched.end());
  Matches matches(match);
  if (!FindMatches(db, searched, groups, pieces, &matches, &error)) return fail();
  const size_t total = matches.Found();
  result.ranked = total <= size_t(kRankAll);
  result.more = !result.ranked || total > size_t(limit);
  // A word that stands for several terms (the words it begins, its forms in several languages)
  // is as rare as the passages that hold any of them, as the site counts a beginning: known when
  // every list was read, else taken as its commonest term's.
  const double n = std::max(pieces, 1.0);
  const double average = pieces > 0 && words > 0 ? words / pieces : 1.0;
  std::vector<double> idf;
  for (size_t g = 0; g < groups.size(); ++g) {
    qint64 most = 0;
    for (auto it = groups[g].cbegin(); it != groups[g].cend(); ++it)
      most = std::max(most, it.value());
    if (groups[g].size() >= 2 && result.ranked && all) most = matches.Held(g);
    idf.push_back(Idf(n, std::min(double(most), n)));
  }
  struct Ranked {
    double score;
    qint64 passage;
  };
  std::vector<Ranked> ranked;
  ranked.reserve(total);
  for (size_t i = 0; i < total; ++i) {
    const double weight = kPlaceWeight[std::clamp(matches.Place(i), 0, kPlaces - 1)];
    double score = 0;
    for (size_t g = 0; g < groups.size(); ++g)
      score += Bm25Part(idf[g], weight * matches.Times(i, g), matches.Length(i), average);
    ranked.push_back({score, matches.Passage(i)});
  }
  const size_t shown = std::min(ranked.size(), size_t(limit));
  std::partial_sort(ranked.begin(), ranked.begin() + qsizetype(shown), ranked.end(),
                    [](const Ranked& a, const Ranked& b) {
                      return a.score > b.score || (a.score == b.score && a.passage < b.passage);
                    });
  QHash<qint64, double> scores;
  QList<qint64> ids;
  for (size_t i = 0; i < shown; ++i) {
    ids << ranked[i].passage;
    scores.insert(ranked[i].passage, ranked[i].score);
  }
  found.clear();
  if (!ids.isEmpty() &&
      !db.Query(QStringLiteral("SELECT p.id, p.medium, p.presentation, p.place, p.language, "
                               "p.at_ms, p.text, pr.title, pr.folder, pr.players FROM passages p "
                               "JOIN presentations pr ON pr.id = p.presentation WHERE %1")
                    .arg(db.InIds(QStringLiteral("p.id"))),
                {db.IdsValue(ids)}, &found, &error))
    return fail();
  db.Exec(QStringLiteral("COMMIT"));
  QHash<qint64, const DbRow*> byId;
  for (const DbRow& r : found) byId.insert(r.value(0).toLongLong(), &r);
  const Marker marker(allTerms, prefixes, stemmers);
  for (qint64 id : ids) {
    const DbRow* r = byId.value(id);
    if (!r) continue;
    const auto m = media.constFind(r->value(1).toLongLong());
    if (m == media.cend()) continue;
    SearchHit hit;
    hit.presentationId = r->value(2).toLongLong();
    hit.place = Place(r->value(3).toInt());
    hit.language = r->value(4).toString();
    hit.atMs = r->value(5).toLongLong();
    MakeSnippet(r->value(6).toString(), marker, hit);
    hit.title = r->value(7).toString();
    hit.folder = r->value(8).toString();
    const int players = r->value(9).toInt();
    hit.player = layout::PreferredPlayer(players & kTaviscoBit, players & kNorvantaBit);
    hit.mediumPath = m->path;
    hit.mediumName = m->name;
    hit.mediumPresent = m->present;
    hit.score = -scores.value(id);  // as SQLite's bm25(): lower is better
    result.hits.push_back(std::move(hit));
  }
  return result;
}

bool ReadPassages(IndexDatabase& db, qint64 presentationId,
                  const std::function<void(const StoredPassage&)>& take, DbError* error) {
  std::vector<DbRow> rows;
  if (!db.Query(QStringLiteral("SELECT place, language, at_ms, piece, text FROM passages WHERE "
                               "presentation = ? ORDER BY id"),
                {presentationId}, &rows, error))
    return false;
  // A long passage was kept in pieces: given whole again.
  std::optional<StoredPassage> pending;
  for (const DbRow& r : rows) {
    if (r.value(3).toInt() > 0 && pending) {
      pending->text += r.value(4).toString();
      continue;
    }
    if (pending) take(*pending);
    pending = StoredPassage{Place(r.value(0).toInt()), r.value(1).toString(),
                            r.value(2).toLongLong(), r.value(4).toString()};
  }
  if (pending) take(*pending);
  return true;
}

}  // namespace library
