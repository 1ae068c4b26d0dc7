#include "library/CollectionPage.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSaveFile>
#include <QSet>
#include <algorithm>

#include "exporter/PresentationContent.h"
#include "presentation/TextSearch.h"

// Resources of a static library are registered by hand, from the global namespace.
static void InitLibraryResources() {
  Q_INIT_RESOURCE(library);
}

namespace library {

namespace {

// A JSON string that may also stand in a script: line and paragraph separators escaped, and no
// "</" that could end a script element.
void AppendJsonString(QString& out, const QString& text) {
  out += u'"';
  for (const QChar c : text) {
    switch (c.unicode()) {
      case '"':
        out += QStringLiteral("\\\"");
        break;
      case '\\':
        out += QStringLiteral("\\\\");
        break;
      case '\n':
        out += QStringLiteral("\\n");
        break;
      case '\r':
        out += QStringLiteral("\\r");
        break;
      case '\t':
        out += QStringLiteral("\\t");
        break;
      case '/':
        out += QStringLiteral("\\/");
        break;
      case 0x2028:
      case 0x2029:
        out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        break;
      default:
        if (c.unicode() < 0x20) {
          out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        } else {
          out += c;
        }
    }
  }
  out += u'"';
}

QString JsonString(const QString& text) {
  QString out;
  AppendJsonString(out, text);
  return out;
}

bool WriteText(const QString& path, const QString& text, QString* error) {
  QDir().mkpath(QFileInfo(path).path());
  QSaveFile file(path);
  const QByteArray bytes = text.toUtf8();
  if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
    *error = QStringLiteral("cannot write %1: %2")
                 .arg(QDir::toNativeSeparators(path), file.errorString());
    return false;
  }
  return true;
}

bool IsPlainName(const QString& name) {
  return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") &&
         !name.contains(u'/') && !name.contains(u'\\') && !name.startsWith(u'.');
}

bool IsWithin(const QString& path, const QString& folder) {
  return path == folder || path.startsWith(folder.endsWith(u'/') ? folder : folder + u'/');
}

// The 64 characters of the passage lists: 0-31 end a number, 32-63 go on with its next five bits.
constexpr char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ-_";

// A number as five-bit groups, most significant first, with no separator: most steps between
// passages take one character.
void AppendNumber(QString& out, quint32 n) {
  int shift = 0;
  while (shift + 5 < 32 && (n >> (shift + 5)) != 0) shift += 5;
  for (; shift > 0; shift -= 5) out += QLatin1Char(kDigits[32 + ((n >> shift) & 31)]);
  out += QLatin1Char(kDigits[n & 31]);
}

// The search data of one medium.
QString ShardScript(int shard, const LibraryIndex& index, const MediumEntry& m) {
  QStringList languages;
  QHash<QString, int> languageIndex;
  QHash<QString, std::vector<int>> postings;
  QString passages;
  int id = 0;
  for (size_t t = 0; t < m.presentations.size(); ++t) {
    index.Passages(m.presentations[t].id, [&](const StoredPassage& p) {
      int language = -1;
      if (!p.language.isEmpty()) {
        const auto found = languageIndex.constFind(p.language);
        if (found == languageIndex.cend()) {
          language = int(languages.size());
          languageIndex.insert(p.language, language);
          languages << p.language;
        } else {
          language = *found;
        }
      }
      if (id > 0) passages += u',';
      passages +=
          QStringLiteral("[%1,%2,%3,%4,").arg(t).arg(int(p.place)).arg(language).arg(p.atMs);
      AppendJsonString(passages, p.text);
      passages += u']';
      QStringList words = FoldedWords(p.text);
      words.removeDuplicates();
      for (const QString& w : words) postings[w].push_back(id);
      ++id;
    });
  }
  // Sorted by the word, as the page looks words up (UTF-16 order, as JavaScript compares).
  QStringList sorted = postings.keys();
  std::sort(sorted.begin(), sorted.end());
  QString terms;
  QString lists;
  bool first = true;
  for (const QString& word : sorted) {
    const std::vector<int>& ids = postings[word];
    if (!first) {
      terms += u',';
      lists += u',';
    }
    first = false;
    AppendJsonString(terms, word);
    // Each passage number as the step from the one before, so most take one or two characters.
    lists += u'"';
    int last = 0;
    for (const int passage : ids) {
      AppendNumber(lists, quint32(passage - last));
      last = passage;
    }
    lists += u'"';
  }
  QString languageList;
  for (int i = 0; i < languages.size(); ++i) {
    if (i > 0) languageList += u',';
    AppendJsonString(languageList, languages[i]);
  }
  return QStringLiteral(
             "collectionShard(%1,{\"languages\":[%2],\"passages\":[%3],\"terms\":[%4],"
             "\"postings\":[%5]});\n")
      .arg(shard)
      .arg(languageList, passages, terms, lists);
}

QByteArray Resource(const QString& name) {
  InitLibraryResources();
  QFile f(QStringLiteral(":/library/page/") + name);
  f.open(QIODevice::ReadOnly);
  return f.readAll();
}

}  // namespace

QStringList FoldedWords(const QString& text) {
  QStringList words;
  // Plain ASCII, most text, folds by its case alone.
  bool ascii = true;
  for (const QChar c : text) ascii = ascii && c.unicode() < 0x80;
  const QString folded = ascii ? text.toLower() : textsearch::FoldedKey(text);
  QString word;
  for (const QChar c : folded) {
    if (c.isLetterOrNumber() || c.isSurrogate()) {
      word += c;
    } else if (!word.isEmpty()) {
      words << word;
      word.clear();
    }
  }
  if (!word.isEmpty()) words << word;
  return words;
}

bool CollectionExport::Prepare(const std::vector<MediumEntry>& media, QString* error) {
  const QString out = QDir::cleanPath(QDir(outDir_).absolutePath());
  if (!QDir().mkpath(out)) {
    *error =
        QStringLiteral("the output folder %1 cannot be made").arg(QDir::toNativeSeparators(out));
    return false;
  }
  outDir_ = QFileInfo(out).canonicalFilePath();
  QSet<QString> taken;
  names_.clear();
  for (const MediumEntry& m : media) {
    const QString real = QFileInfo(m.path).canonicalFilePath();
    if (!real.isEmpty() && IsWithin(outDir_, real)) {
      *error = QStringLiteral("%1 lies on the medium %2, which is never written to")
                   .arg(QDir::toNativeSeparators(outDir_), m.path);
      return false;
    }
    QString base = IsPlainName(m.name) ? m.name : QStringLiteral("medium");
    QString name = base;
    for (int n = 2; taken.contains(name.toLower()); ++n)
      name = QStringLiteral("%1-%2").arg(base).arg(n);
    taken.insert(name.toLower());
    names_ << name;
  }
  return true;
}

bool CollectionExport::Write(const LibraryIndex& index, const std::vector<MediumEntry>& media,
                             QString* error) {
  QString data = QStringLiteral("window.collectionData={\"media\":[");
  QString scripts;
  for (size_t i = 0; i < media.size(); ++i) {
    const MediumEntry& m = media[i];
    if (i > 0) data += u',';
    data += QStringLiteral("{\"name\":%1,\"path\":%2,\"present\":%3,\"talks\":[")
                .arg(JsonString(m.name), JsonString(m.path),
                     m.present ? QStringLiteral("true") : QStringLiteral("false"));
    for (size_t t = 0; t < m.presentations.size(); ++t) {
      const PresentationEntry& p = m.presentations[t];
      const bool exported = QFileInfo::exists(outDir_ + u'/' + names_[int(i)] + u'/' + p.folder +
                                              QStringLiteral("/index.html"));
      const QString href =
          exported ? JsonString(exporter::RelativeUrl(names_[int(i)] + u'/' + p.folder) +
                                QStringLiteral("/index.html"))
                   : QStringLiteral("null");
      if (t > 0) data += u',';
      // One arg() call: a title holding "%4" is never filled in again.
      data += QStringLiteral(
                  "{\"title\":%1,\"folder\":%2,\"href\":%3,\"lengthMs\":%4,"
                  "\"slides\":%5,\"languages\":%6}")
                  .arg(JsonString(p.title.isEmpty() ? p.folder : p.title), JsonString(p.folder),
                       href, QString::number(p.lengthMs), QString::number(p.slides),
                       JsonString(p.languages.join(QStringLiteral(", "))));
    }
    data += QStringLiteral("]}");
    const QString shard = QStringLiteral("search/medium%1.js").arg(i);
    if (!WriteText(outDir_ + u'/' + shard, ShardScript(int(i), index, m), error)) return false;
    scripts += QStringLiteral("<script src=\"%1\"></script>\n").arg(shard);
  }
  data += QStringLiteral("]};\n");
  if (!WriteText(outDir_ + QStringLiteral("/collection-data.js"), data, error)) return false;
  for (const char* file : {"collection.js", "collection.css"}) {
    if (!WriteText(outDir_ + u'/' + QLatin1String(file),
                   QString::fromUtf8(Resource(QLatin1String(file))), error)) {
      return false;
    }
  }
  const QString page =
      exporter::FillTemplate(QString::fromUtf8(Resource(QStringLiteral("collection.html"))),
                             {{QStringLiteral("SHARDS"), scripts}});
  return WriteText(outDir_ + QStringLiteral("/index.html"), page, error);
}

}  // namespace library
