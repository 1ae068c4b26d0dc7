#include "library/IndexWriter.h"

#include <QSqlQuery>
#include <QVariant>
#include <algorithm>

namespace library {

namespace {

bool Run(QSqlQuery& q, QSqlError* error) {
  if (q.exec()) return true;
  *error = q.lastError();
  return false;
}

// The medium's id, its row made first when there is none (another program may be making it at
// the same moment: the path is unique, and the second one finds the first one's row).
qint64 MediumId(IndexDatabase& db, const QString& path, QSqlError* error) {
  QSqlQuery ins(db.Db());
  ins.prepare(
      QStringLiteral("INSERT INTO media(path, present, files, problems) VALUES (?, 1, '', "
                     "'') ON CONFLICT(path) DO NOTHING"));
  ins.addBindValue(path);
  if (!Run(ins, error)) return 0;
  QSqlQuery id(db.Db());
  id.prepare(QStringLiteral("SELECT id FROM media WHERE path = ?"));
  id.addBindValue(path);
  if (!Run(id, error) || !id.next()) return 0;
  return id.value(0).toLongLong();
}

bool RemovePresentations(IndexDatabase& db, qint64 medium, QSqlError* error) {
  QSqlQuery ids(db.Db());
  ids.setForwardOnly(true);
  ids.prepare(QStringLiteral("SELECT id FROM presentations WHERE medium = ?"));
  ids.addBindValue(medium);
  if (!Run(ids, error)) return false;
  QList<qint64> list;
  while (ids.next()) list << ids.value(0).toLongLong();
  QSqlQuery del(db.Db());
  del.prepare(QStringLiteral("DELETE FROM passages WHERE rowid BETWEEN ? AND ?"));
  for (qint64 id : list) {
    del.addBindValue(id << kPassageBits);
    del.addBindValue((id << kPassageBits) | kPassageMask);
    if (!Run(del, error)) return false;
  }
  QSqlQuery rows(db.Db());
  rows.prepare(QStringLiteral("DELETE FROM presentations WHERE medium = ?"));
  rows.addBindValue(medium);
  return Run(rows, error);
}

bool WritePresentation(IndexDatabase& db, qint64 medium, int position,
                       const PresentationRecord& record, QSqlError* error) {
  const PresentationEntry& p = record.entry;
  QSqlQuery ins(db.Db());
  ins.prepare(QStringLiteral(
      "INSERT INTO presentations(medium, position, title, folder, length_ms, slides, "
      "sections, languages, players) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"));
  ins.addBindValue(medium);
  ins.addBindValue(position);
  ins.addBindValue(p.title);
  ins.addBindValue(p.folder);
  ins.addBindValue(p.lengthMs);
  ins.addBindValue(p.slides);
  ins.addBindValue(p.sections);
  ins.addBindValue(p.languages.join(u'\n'));
  ins.addBindValue((p.tavisco ? kTaviscoBit : 0) | (p.norvanta ? kNorvantaBit : 0));
  if (!Run(ins, error)) return false;
  const qint64 id = ins.lastInsertId().toLongLong();
  QSqlQuery text(db.Db());
  text.prepare(QStringLiteral(
      "INSERT INTO passages(rowid, title, slide, transcript, details, freetext, place, "
      "language, at_ms) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"));
  const qint64 count = std::min<qint64>(qint64(record.passages.size()), kPassageMask + 1);
  for (qint64 k = 0; k < count; ++k) {
    const PassageRecord& passage = record.passages[size_t(k)];
    text.bindValue(0, (id << kPassageBits) | k);
    for (int column = 0; column < 5; ++column) {
      text.bindValue(1 + column,
                     int(passage.place) == column ? QVariant(passage.text) : QVariant());
    }
    text.bindValue(6, int(passage.place));
    text.bindValue(7, passage.language);
    text.bindValue(8, passage.atMs);
    if (!Run(text, error)) return false;
  }
  return true;
}

}  // namespace

QHash<QString, StoredMedium> StoredMedia(IndexDatabase& db, QSqlError* error) {
  QHash<QString, StoredMedium> rows;
  QSqlQuery q(db.Db());
  q.setForwardOnly(true);
  if (!q.exec(QStringLiteral("SELECT id, path, files FROM media"))) {
    *error = q.lastError();
    return rows;
  }
  while (q.next()) {
    rows.insert(q.value(1).toString(), StoredMedium{q.value(0).toLongLong(), q.value(1).toString(),
                                                    q.value(2).toString()});
  }
  return rows;
}

bool WriteMedium(IndexDatabase& db, const MediumContent& content, QSqlError* error) {
  return db.Transaction(error, [&](QSqlError* e) {
    const qint64 id = MediumId(db, content.path, e);
    if (!id || !RemovePresentations(db, id, e)) return false;
    for (size_t k = 0; k < content.presentations.size(); ++k) {
      if (!WritePresentation(db, id, int(k) + 1, content.presentations[k], e)) return false;
    }
    QSqlQuery q(db.Db());
    q.prepare(QStringLiteral("UPDATE media SET files = ?, problems = ?, present = 1 WHERE id = ?"));
    q.addBindValue(content.stamps);
    q.addBindValue(content.problems.join(u'\n'));
    q.addBindValue(id);
    return Run(q, e);
  });
}

bool MarkPresent(IndexDatabase& db, qint64 id, bool present, QSqlError* error) {
  QSqlQuery q(db.Db());
  q.prepare(QStringLiteral("UPDATE media SET present = ? WHERE id = ?"));
  q.addBindValue(present ? 1 : 0);
  q.addBindValue(id);
  if (q.exec()) return true;
  if (error) *error = q.lastError();
  return false;
}

}  // namespace library
