#include "library/IndexWriter.h"

#include <QDateTime>
#include <QSysInfo>
#include <algorithm>

namespace library {

namespace {

qint64 Now() {
  return QDateTime::currentMSecsSinceEpoch();
}

qint64 FirstId(const std::vector<DbRow>& rows) {
  return rows.empty() ? 0 : rows.front().value(0).toLongLong();
}

int PlayersOf(const PresentationEntry& p) {
  return (p.tavisco ? kTaviscoBit : 0) | (p.norvanta ? kNorvantaBit : 0);
}

// A medium new to the index: its presentations, their passages and its new words.
bool WriteContent(IndexDatabase& db, qint64 medium, const MediumContent& content,
                  const QSet<QString>& knownPairs, QStringList* added, DbError* e) {
  std::vector<PassageRow> rows;
  std::vector<const PassageRecord*> records;
  for (size_t k = 0; k < content.presentations.size(); ++k) {
    const PresentationRecord& record = content.presentations[k];
    const PresentationEntry& p = record.entry;
    std::vector<DbRow> id;
    if (!db.Query(QStringLiteral("INSERT INTO presentations(medium, position, title, folder, "
                                 "length_ms, slides, sections, languages, players) VALUES (?, ?, "
                                 "?, ?, ?, ?, ?, ?, ?) RETURNING id"),
                  {medium, int(k) + 1, p.title, p.folder, p.lengthMs, p.slides, p.sections,
                   p.languages.join(u'\n'), PlayersOf(p)},
                  &id, e))
      return false;
    const qint64 presentation = FirstId(id);
    for (const PassageRecord& r : record.passages) {
      rows.push_back(PassageRow{0, medium, presentation, int(r.place), r.language, r.atMs, r.piece,
                                r.words, r.text});
      records.push_back(&r);
    }
  }
  if (!db.InsertPassages(rows, e)) return false;
  PostingsBuilder lists(medium);
  for (size_t k = 0; k < rows.size(); ++k) {
    for (const TermTimes& t : records[k]->terms)
      lists.Add(rows[k].id, rows[k].words, rows[k].place, t.term, t.times);
  }
  if (!db.InsertPostings(lists.Take(), e)) return false;
  QStringList fresh;
  for (const QString& pair : content.vocabulary) {
    if (!knownPairs.contains(pair)) fresh << pair;
  }
  if (!fresh.isEmpty() && !db.InsertVocabulary(fresh, e)) return false;
  for (const QString& s : content.stemmers) {
    if (!db.Exec(QStringLiteral("INSERT INTO stemmers(name) VALUES (?) ON CONFLICT DO NOTHING"),
                 {s}, e))
      return false;
  }
  *added = fresh;
  return true;
}

}  // namespace

QString HostName() {
  const QString given = qEnvironmentVariable("AMBREL_HOST").trimmed();
  if (!given.isEmpty()) return given;
  const QString host = QSysInfo::machineHostName();
  return host.isEmpty() ? QStringLiteral("localhost") : host;
}

QHash<QString, StoredPlace> StoredPlaces(IndexDatabase& db, const QString& host, DbError* error) {
  QHash<QString, StoredPlace> places;
  std::vector<DbRow> rows;
  if (!db.Query(QStringLiteral("SELECT medium, path, files, present FROM places WHERE host = ?"),
                {host}, &rows, error))
    return places;
  for (const DbRow& r : rows) {
    const QString path = PathFromStore(r.value(1).toString());
    places.insert(path, StoredPlace{r.value(0).toLongLong(), path, r.value(2).toString(),
                                    r.value(3).toInt() != 0});
  }
  return places;
}

std::optional<StoredPlace> StoredPlaceAt(IndexDatabase& db, const QString& host,
                                         const QString& path, DbError* error) {
  std::vector<DbRow> rows;
  if (!db.Query(
          QStringLiteral("SELECT medium, files, present FROM places WHERE host = ? AND path = ?"),
          {host, PathToStore(path)}, &rows, error) ||
      rows.empty())
    return std::nullopt;
  const DbRow& r = rows.front();
  return StoredPlace{r.value(0).toLongLong(), path, r.value(1).toString(), r.value(2).toInt() != 0};
}

bool WriteMedium(IndexDatabase& db, const MediumContent& content, const QString& host,
                 KnownWords& known, DbError* error) {
  if (!known.loaded) {
    std::vector<DbRow> rows;
    if (!db.Query(QStringLiteral("SELECT word, term FROM vocabulary"), {}, &rows, error))
      return false;
    for (const DbRow& r : rows)
      known.pairs.insert(r.value(0).toString() + u'\t' + r.value(1).toString());
    known.loaded = true;
  }
  QStringList added;
  const bool ok = db.Transaction(error, [&](DbError* e) {
    added.clear();
    // Two programs that read copies of one disc at once: the second waits, then finds it.
    if (!db.LockIdentity(content.identity, e)) return false;
    std::vector<DbRow> found;
    if (!db.Query(QStringLiteral("SELECT id FROM media WHERE identity = ?"), {content.identity},
                  &found, e))
      return false;
    qint64 medium = FirstId(found);
    const bool isNew = medium == 0;
    const QString problems = content.problems.join(u'\n');
    if (isNew) {
      std::vector<DbRow> id;
      if (!db.Query(QStringLiteral("INSERT INTO media(identity, problems, made_ms, pieces, words) "
                                   "VALUES (?, ?, ?, ?, ?) RETURNING id"),
                    {content.identity, problems, Now(), content.pieces, content.words}, &id, e))
        return false;
      medium = FirstId(id);
      if (!WriteContent(db, medium, content, known.pairs, &added, e)) return false;
    } else {
      // The same text: what it holds is there already. Its recordings are no part of its
      // identity, so their lengths and players are taken as read now.
      if (!db.Exec(QStringLiteral("UPDATE media SET problems = ? WHERE id = ?"), {problems, medium},
                   e))
        return false;
      for (size_t k = 0; k < content.presentations.size(); ++k) {
        const PresentationEntry& p = content.presentations[k].entry;
        if (!db.Exec(QStringLiteral("UPDATE presentations SET length_ms = ?, players = ? WHERE "
                                    "medium = ? AND position = ?"),
                     {p.lengthMs, PlayersOf(p), medium, int(k) + 1}, e))
          return false;
      }
    }
    std::vector<DbRow> before;
    if (!db.Query(QStringLiteral("SELECT medium FROM places WHERE host = ? AND path = ?"),
                  {host, PathToStore(content.path)}, &before, e))
      return false;
    if (!db.Exec(QStringLiteral("INSERT INTO places(medium, host, path, files, present, seen_ms) "
                                "VALUES (?, ?, ?, ?, 1, ?) ON CONFLICT(host, path) DO UPDATE SET "
                                "medium = excluded.medium, files = excluded.files, present = 1, "
                                "seen_ms = excluded.seen_ms"),
                 {medium, host, PathToStore(content.path), content.stamps, Now()}, e))
      return false;
    // A disc whose content changed is a new medium; the old one stays, replaced by it here.
    const qint64 old = FirstId(before);
    if (old != 0 && old != medium &&
        !db.Exec(
            QStringLiteral("UPDATE media SET replaced_by = ? WHERE id = ? AND replaced_by IS NULL"),
            {medium, old}, e))
      return false;
    // Last: on a server, the rows of the words most media share are held from here to the
    // commit, and another writer waits for them.
    return !isNew || db.AddTermPieces(content.termPieces, e);
  });
  if (ok) {
    for (const QString& pair : added) known.pairs.insert(pair);
  }
  return ok;
}

bool MarkPlaces(IndexDatabase& db, const QString& host, const QStringList& paths, bool present,
                DbError* error) {
  if (paths.isEmpty()) return true;
  return db.Transaction(error, [&](DbError* e) {
    const QString sql =
        present ? QStringLiteral(
                      "UPDATE places SET present = 1, seen_ms = ? WHERE host = ? AND path = ?")
                : QStringLiteral("UPDATE places SET present = 0 WHERE host = ? AND path = ?");
    for (const QString& path : paths) {
      const QString stored = PathToStore(path);
      const QVariantList params =
          present ? QVariantList{Now(), host, stored} : QVariantList{host, stored};
      if (!db.Exec(sql, params, e)) return false;
    }
    return true;
  });
}

}  // namespace library
