#include "library/IndexDatabase.h"

#include <libpq-fe.h>

#include <QDir>
#include <algorithm>

#include "library/Postings.h"
#include "medium/LocalNames.h"

namespace library {

QString IndexLocation::Text() const {
  return kind == Kind::Postgres ? uri : QStringLiteral("sqlite:") + path;
}

bool ParseIndexLocation(const QString& text, const QString& defaultFile, IndexLocation* location,
                        QString* error) {
  IndexLocation l;
  const QString t = text.trimmed();
  if (t.isEmpty()) {
    l.path = QDir::cleanPath(QDir(defaultFile).absolutePath());
  } else if (t.startsWith(QLatin1String("postgresql://")) ||
             t.startsWith(QLatin1String("postgres://"))) {
    char* message = nullptr;
    PQconninfoOption* options = PQconninfoParse(t.toUtf8().constData(), &message);
    if (!options) {
      *error = QStringLiteral("the index %1 is no PostgreSQL address libpq can read: %2")
                   .arg(t, message ? QString::fromUtf8(message).trimmed() : QString());
      PQfreemem(message);
      return false;
    }
    bool password = false;
    for (PQconninfoOption* o = options; o->keyword; ++o) {
      if (qstrcmp(o->keyword, "password") == 0 && o->val && *o->val) password = true;
    }
    PQconninfoFree(options);
    if (password) {
      // A command line is seen by every user of the machine, and library.conf is kept in plain
      // text: the password goes where libpq keeps it for the user alone.
      *error = QStringLiteral(
          "the index's address holds a password: leave it out and keep it in ~/.pgpass (or the "
          "file PGPASSFILE names, PGPASSWORD, or a service file), where libpq finds it");
      return false;
    }
    l.kind = IndexLocation::Kind::Postgres;
    l.uri = t;
  } else if (t.startsWith(QLatin1String("sqlite:"))) {
    const QString path = t.mid(7);
    if (path.isEmpty()) {
      *error = QStringLiteral("sqlite: needs the index file's path: sqlite:PATH");
      return false;
    }
    l.path = QDir::cleanPath(QDir(path).absolutePath());
  } else if (t.contains(QLatin1String("://"))) {
    *error = QStringLiteral(
                 "the index %1 is neither sqlite:PATH nor a PostgreSQL address "
                 "(postgresql://[user@][host][:port]/dbname)")
                 .arg(t);
    return false;
  } else {
    l.path = QDir::cleanPath(QDir(t).absolutePath());
  }
  *location = l;
  return true;
}

namespace {

const QLatin1String kBytesMark("bytes:");

}  // namespace

QString PathToStore(const QString& path) {
  if (!medium::HasRawBytes(path)) return path;
  return kBytesMark + QString::fromLatin1(medium::BytesOfName(path).toPercentEncoding("/"));
}

QString PathFromStore(const QString& stored) {
  if (!stored.startsWith(kBytesMark)) return stored;
  return medium::NameFromBytes(
      QByteArray::fromPercentEncoding(QStringView(stored).mid(kBytesMark.size()).toLatin1()));
}

QString Placeholders(qsizetype n) {
  QStringList marks;
  for (qsizetype i = 0; i < n; ++i) marks << QStringLiteral("?");
  return marks.join(QStringLiteral(", "));
}

QString JoinedIds(const QList<qint64>& ids) {
  QStringList parts;
  parts.reserve(ids.size());
  for (const qint64 id : ids) parts << QString::number(id);
  return parts.join(u',');
}

void PostingsBuilder::Add(qint64 passage, int length, int place, const QString& term, int times) {
  List& list = lists_[term];
  AppendPosting(list.bytes, &list.last, Posting{passage, length, place, times});
}

std::vector<PostingRow> PostingsBuilder::Take() {
  std::vector<PostingRow> rows;
  rows.reserve(size_t(lists_.size()));
  for (auto it = lists_.begin(); it != lists_.end(); ++it)
    rows.push_back(PostingRow{it.key(), medium_, std::move(it->bytes)});
  lists_.clear();
  // In one order for every writer.
  std::sort(rows.begin(), rows.end(),
            [](const PostingRow& a, const PostingRow& b) { return a.term < b.term; });
  return rows;
}

std::unique_ptr<IndexDatabase> IndexDatabase::Make(const IndexLocation& location) {
  if (location.kind == IndexLocation::Kind::Postgres) return MakePostgresIndex(location);
  return MakeSqliteIndex(location);
}

QStringList CommonSchema(bool postgres) {
  const QString id =
      postgres ? QStringLiteral("BIGSERIAL PRIMARY KEY") : QStringLiteral("INTEGER PRIMARY KEY");
  // Vocabulary words are compared by their code points, so that a prefix is a range of them.
  const QString bytewise = postgres ? QStringLiteral(" COLLATE \"C\"") : QString();
  return {
      // A medium is known by what it holds: the identity is a hash of its text files.
      // pieces and words: of its passages, for the ranking's average length.
      QStringLiteral("CREATE TABLE media(id %1, identity TEXT NOT NULL UNIQUE, problems TEXT, "
                     "replaced_by BIGINT, made_ms BIGINT NOT NULL, pieces BIGINT NOT NULL "
                     "DEFAULT 0, words BIGINT NOT NULL DEFAULT 0)")
          .arg(id),
      // Where each workstation has seen it: one row per host and folder.
      QStringLiteral("CREATE TABLE places(id %1, medium BIGINT NOT NULL, host TEXT NOT NULL, path "
                     "TEXT NOT NULL, files TEXT, present INTEGER NOT NULL, seen_ms BIGINT NOT "
                     "NULL, UNIQUE(host, path))")
          .arg(id),
      QStringLiteral("CREATE INDEX places_medium ON places(medium)"),
      QStringLiteral("CREATE TABLE presentations(id %1, medium BIGINT NOT NULL, position INTEGER "
                     "NOT NULL, title TEXT, folder TEXT, length_ms BIGINT NOT NULL, slides "
                     "INTEGER NOT NULL, sections INTEGER NOT NULL, languages TEXT, players "
                     "INTEGER NOT NULL, UNIQUE(medium, position))")
          .arg(id),
      // The words the index holds, with the terms they were indexed under: prefixes are looked
      // up here, and a word that finds nothing is compared with these for a typo.
      QStringLiteral("CREATE TABLE vocabulary(word TEXT%1 NOT NULL, term TEXT NOT NULL, length "
                     "INTEGER NOT NULL, PRIMARY KEY(word, term))")
          .arg(bytewise),
      QStringLiteral("CREATE INDEX vocabulary_length ON vocabulary(length)"),
      // Each term with the number of pieces that hold it: how rare a word is, for the ranking,
      // and which of the words a prefix begins are the most frequent.
      QStringLiteral("CREATE TABLE terms(term TEXT%1 PRIMARY KEY, pieces BIGINT NOT NULL)")
          .arg(bytewise),
      // The stemmers the index's texts were cut with: a query's words are cut with each of them.
      QStringLiteral("CREATE TABLE stemmers(name TEXT PRIMARY KEY)"),
  };
}

}  // namespace library
