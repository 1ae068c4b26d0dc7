#include "library/SiteIndex.h"

#include <QChar>
#include <QDir>
#include <QFile>
#include <QHash>
#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

#include "library/Postings.h"
#include "library/SiteWords.h"

namespace library {

namespace {

// ---- numbers and strings in scripts ------------------------------------------------------------

// The 64 characters of the numbers in passage lists: 0-31 end a number, 32-63 go on with its
// next five bits (collection.js reads them back).
constexpr char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ-_";

void AppendDigits(QByteArray& out, quint64 n) {
  int shift = 0;
  while (shift + 5 < 64 && (n >> (shift + 5)) != 0) shift += 5;
  for (; shift > 0; shift -= 5) out += kDigits[32 + ((n >> shift) & 31)];
  out += kDigits[n & 31];
}

void AppendNumber(QByteArray& out, qint64 n) {
  out += QByteArray::number(n);
}

// A key of the dictionary as a file name: ASCII letters and digits as they are, every other unit
// as "_" and four hex digits, so that no file system folds two keys into one.
QString KeyFileName(QStringView key) {
  QString name;
  for (const QChar c : key) {
    const char16_t u = c.unicode();
    if ((u >= u'a' && u <= u'z') || (u >= u'0' && u <= u'9')) {
      name += c;
    } else {
      name += u'_' + QString::number(u, 16).rightJustified(4, u'0');
    }
  }
  return name;
}

bool WriteFile(const QString& path, const QByteArray& bytes, QString* error) {
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size()) {
    *error =
        QStringLiteral("cannot write %1: %2").arg(QDir::toNativeSeparators(path), f.errorString());
    return false;
  }
  return true;
}

// A passage's words from one phrase of a query, lower is better as SQLite's bm25() has it.
double Rank(double idf, double frequency, double length, double averageLength) {
  return -1.0 * Bm25Part(idf, frequency, length, averageLength);
}

constexpr int kBlockPassages = 64;
constexpr int kBlocksPerFolder = 1024;
// A list file is closed once it holds this much; a long list fills one of its own.
constexpr qsizetype kListFileBytes = 64 * 1024;
// Best hits this small stand in the dictionary itself: no file of their own to load.
constexpr qsizetype kInlineHeadBytes = 600;
// A dictionary file larger than this is split by the next letter.
constexpr qsizetype kShardBytes = 48 * 1024;
// The words around the first word found that a snippet shows (collection.js cuts alike).
constexpr int kSnippetBefore = 8;
constexpr int kSnippetWords = 24;

}  // namespace

// ---- the writer ------------------------------------------------------------------------------

struct SiteIndexWriter::Impl {
  QString folder;
  QString name;
  std::vector<SiteTalk> talks;
  QStringList languages;
  QHash<QString, int> languageIndex;
  SiteStats stats;

  // Every word once: its text in one arena, found by a table of its own (a QString per word
  // looked up would cost an allocation per word of the whole collection).
  std::u16string arena;
  std::vector<qsizetype> termStart;
  std::vector<int> termLength;
  std::vector<int> buckets;  // open addressing, -1 free
  // Per word: its passages (step, length * 5 + place, times), the passage it was last seen in,
  // and the beginnings of it that a search may type (see Prefix).
  std::vector<std::vector<quint8>> postings;
  std::vector<int> lastPassage;
  std::vector<int> df;
  std::vector<std::vector<int>> chain;
  std::vector<int> seenIn;
  std::vector<int> tfSlot;

  // A beginning of words (two units or more; a word of one unit stands for itself alone): the
  // passages that hold a word beginning so, counted, and the first of them.
  struct Prefix {
    qint64 count = 0;
    int stamp = -1;
    std::vector<int> first;
  };
  std::vector<Prefix> prefixes;
  QHash<QString, int> prefixIndex;

  // Per passage, for the hits: its talk, place, language, moment and where its text stands in
  // its block's file.
  std::vector<int> talkOf;
  std::vector<quint8> placeOf;
  std::vector<qint16> languageOf;
  std::vector<qint64> atOf;
  std::vector<quint32> textAt;

  // The block being gathered.
  QByteArray blockPassages;
  std::vector<int> blockTalks;
  QHash<int, int> blockSlot;
  std::vector<quint32> blockTextAt;

  std::u16string word;
  std::vector<std::pair<int, int>> distinct;  // word, times, in the passage being added

  QString Path(const QString& relative) const { return folder + u'/' + relative; }
  QByteArray Name(const QString& relative) const {
    QByteArray out;
    exporter::AppendScriptString(out, QString(name + u'/' + relative));
    return out;
  }

  static QString BlockFile(int block) {
    return QStringLiteral("x/%1/%2").arg(block / kBlocksPerFolder).arg(block);
  }

  int Term(QStringView w) {
    const size_t hash = qHash(w, 0x9E3779B9u);
    if (buckets.empty() || termStart.size() * 2 >= buckets.size()) Grow();
    size_t mask = buckets.size() - 1;
    for (size_t at = hash & mask;; at = (at + 1) & mask) {
      const int t = buckets[at];
      if (t < 0) {
        const int id = int(termStart.size());
        buckets[at] = id;
        termStart.push_back(qsizetype(arena.size()));
        termLength.push_back(int(w.size()));
        arena.append(reinterpret_cast<const char16_t*>(w.utf16()), size_t(w.size()));
        postings.emplace_back();
        lastPassage.push_back(0);
        df.push_back(0);
        seenIn.push_back(-1);
        tfSlot.push_back(0);
        chain.push_back(Chain(w));
        return id;
      }
      if (TermText(t) == w) return t;
    }
  }

  QStringView TermText(int t) const {
    return QStringView(arena.data() + termStart[size_t(t)], termLength[size_t(t)]);
  }

  void Grow() {
    std::vector<int> bigger(std::max<size_t>(1024, buckets.size() * 2), -1);
    const size_t mask = bigger.size() - 1;
    for (size_t t = 0; t < termStart.size(); ++t) {
      size_t at = qHash(TermText(int(t)), 0x9E3779B9u) & mask;
      while (bigger[at] >= 0) at = (at + 1) & mask;
      bigger[at] = int(t);
    }
    buckets.swap(bigger);
  }

  // The beginnings a search may type of a word, longest first.
  std::vector<int> Chain(QStringView w) {
    std::vector<int> out;
    for (qsizetype length = w.size(); length >= 1; --length) {
      if (length == 1 && w.size() > 1) break;
      const QString key = w.left(length).toString();
      auto found = prefixIndex.constFind(key);
      int id;
      if (found == prefixIndex.cend()) {
        id = int(prefixes.size());
        prefixes.emplace_back();
        prefixIndex.insert(key, id);
      } else {
        id = *found;
      }
      out.push_back(id);
    }
    return out;
  }

  bool FlushBlock(int block, QString* error) {
    if (blockTalks.empty()) return true;
    QByteArray head = "collectionPart(" + Name(BlockFile(block)) + ",{\"talks\":[";
    for (size_t i = 0; i < blockTalks.size(); ++i) {
      if (i > 0) head += ',';
      AppendTalk(head, blockTalks[i]);
    }
    head += "],\"passages\":[";
    const int first = block * kBlockPassages;
    for (size_t i = 0; i < blockTextAt.size(); ++i)
      textAt[size_t(first) + i] = quint32(head.size()) + blockTextAt[i];
    const QString path = Path(BlockFile(block) + QStringLiteral(".js"));
    if (block % kBlocksPerFolder == 0) QDir().mkpath(QFileInfo(path).path());
    const bool ok = WriteFile(path, head + blockPassages + "]});\n", error);
    ++stats.files;
    blockPassages.clear();
    blockTalks.clear();
    blockSlot.clear();
    blockTextAt.clear();
    return ok;
  }

  void AppendTalk(QByteArray& out, int talk) const {
    const SiteTalk& t = talks[size_t(talk)];
    out += '[';
    AppendNumber(out, t.listing);
    out += ',';
    exporter::AppendScriptString(out, t.title);
    out += ',';
    exporter::AppendScriptString(out, t.folder);
    out += ',';
    if (t.href.isEmpty()) {
      out += "null";
    } else {
      exporter::AppendScriptString(out, t.href);
    }
    out += ']';
  }

  // The text of a passage, read back from its block's file.
  static QString ReadText(const QByteArray& file, quint32 at) {
    QString text;
    qsizetype i = qsizetype(at) + 1;
    QByteArray run;
    auto flush = [&] {
      text += QString::fromUtf8(run);
      run.clear();
    };
    while (i < file.size() && file[i] != '"') {
      const char c = file[i];
      if (c != '\\') {
        run += c;
        ++i;
        continue;
      }
      flush();
      const char e = i + 1 < file.size() ? file[i + 1] : '\\';
      switch (e) {
        case 'n':
          text += u'\n';
          break;
        case 'r':
          text += u'\r';
          break;
        case 't':
          text += u'\t';
          break;
        case 'u':
          text += QChar(char16_t(file.mid(i + 2, 4).toUInt(nullptr, 16)));
          i += 4;
          break;
        default:
          text += QLatin1Char(e);
      }
      i += 2;
    }
    flush();
    return text;
  }

  // ---- finishing ---------------------------------------------------------------------------

  struct Node {
    int prefix = 0;  // its entry in prefixes
    int first = 0;   // the words beginning with it, in sorted order: [first, last]
    int last = 0;
    int term = -1;       // the word it is, if it is one
    bool exact = false;  // a word of one unit: found as itself alone
    int head = -1;       // its file of best hits, or -1 when they stand inline
    QByteArray inlineHead;
    QString text;
  };

  struct Hit {
    int passage;
    double rank;
  };

  // A passage of a list as its shape in the site's lists: length, place and times in one key.
  static qint64 ShapeOf(const Posting& p) {
    return (qint64(p.length * kPlaces + p.place) << 20) | p.times;
  }

  void Decode(int term, std::vector<Posting>& out) const {
    const std::vector<quint8>& list = postings[size_t(term)];
    DecodePostings(list.data(), qsizetype(list.size()), &out);
  }

  // The best hits of a node, as the program orders them.
  std::vector<int> BestHits(const Node& node, const std::vector<int>& sorted) const {
    const Prefix& prefix = prefixes[size_t(node.prefix)];
    std::vector<int> hits;
    if (prefix.count > kSiteRankAll) {
      // Not ranked: the first found, titles before slide titles before the rest.
      hits = prefix.first;
      std::stable_sort(hits.begin(), hits.end(),
                       [&](int a, int b) { return placeOf[size_t(a)] < placeOf[size_t(b)]; });
      return hits;
    }
    std::vector<Posting> entries;
    for (int s = node.first; s <= node.last; ++s) Decode(sorted[size_t(s)], entries);
    std::sort(entries.begin(), entries.end(),
              [](const Posting& a, const Posting& b) { return a.passage < b.passage; });
    SumTimesByPassage(&entries);
    const double idf = Idf(double(stats.passages), double(prefix.count));
    const double average = stats.averageLength();
    std::vector<Hit> ranked;
    for (const Posting& e : entries) {
      double frequency = 0;
      for (int k = 0; k < e.times; ++k) frequency += kPlaceWeight[e.place];
      ranked.push_back({int(e.passage), Rank(idf, frequency, double(e.length), average)});
    }
    const auto better = [](const Hit& a, const Hit& b) {
      return a.rank < b.rank || (a.rank == b.rank && a.passage < b.passage);
    };
    const size_t n = std::min<size_t>(ranked.size(), kSiteHits);
    std::partial_sort(ranked.begin(), ranked.begin() + qsizetype(n), ranked.end(), better);
    for (size_t i = 0; i < n; ++i) hits.push_back(ranked[i].passage);
    return hits;
  }

  // The passage around the first word of it that the node finds, cut as the page cuts.
  QString Snippet(const QString& text, const Node& node) {
    struct Span {
      qsizetype start, end;
      bool found;
    };
    std::vector<Span> spans;
    SiteWordsOf(text, word, [&](qsizetype start, qsizetype end, QStringView w) {
      spans.push_back({start, end, node.exact ? w == node.text : w.startsWith(node.text)});
    });
    if (spans.empty()) return text;
    size_t found = 0;
    for (size_t i = 0; i < spans.size(); ++i) {
      if (spans[i].found) {
        found = i;
        break;
      }
    }
    const size_t from = found > size_t(kSnippetBefore) ? found - kSnippetBefore : 0;
    const size_t to = std::min(spans.size(), from + kSnippetWords);
    QString out = from > 0 ? QStringLiteral("… ") : QString();
    out += QStringView(text).mid(spans[from].start, spans[to - 1].end - spans[from].start);
    if (to < spans.size()) out += QStringLiteral(" …");
    return out;
  }

  bool WriteHeads(std::vector<Node>& nodes, const std::vector<int>& sorted, QString* error) {
    std::vector<std::vector<int>> best(nodes.size());
    std::vector<int> needed;
    for (size_t i = 0; i < nodes.size(); ++i) {
      best[i] = BestHits(nodes[i], sorted);
      needed.insert(needed.end(), best[i].begin(), best[i].end());
    }
    std::sort(needed.begin(), needed.end());
    needed.erase(std::unique(needed.begin(), needed.end()), needed.end());
    // The texts of every passage some head shows, read block by block.
    QHash<int, QString> texts;
    texts.reserve(qsizetype(needed.size()));
    int open = -1;
    QByteArray file;
    for (const int passage : needed) {
      const int block = passage / kBlockPassages;
      if (block != open) {
        QFile f(Path(BlockFile(block) + QStringLiteral(".js")));
        if (!f.open(QIODevice::ReadOnly)) {
          *error = QStringLiteral("cannot read %1: %2")
                       .arg(QDir::toNativeSeparators(f.fileName()), f.errorString());
          return false;
        }
        file = f.readAll();
        open = block;
      }
      texts.insert(passage, ReadText(file, textAt[size_t(passage)]));
    }
    QDir().mkpath(Path(QStringLiteral("h")));
    int files = 0;
    for (size_t i = 0; i < nodes.size(); ++i) {
      Node& node = nodes[i];
      const Prefix& prefix = prefixes[size_t(node.prefix)];
      QByteArray data = "{\"count\":";
      AppendNumber(data, prefix.count);
      data += ",\"hits\":[";
      std::vector<int> talkSlots;
      QHash<int, int> slotOf;
      for (size_t h = 0; h < best[i].size(); ++h) {
        const int passage = best[i][h];
        const int talk = talkOf[size_t(passage)];
        auto slot = slotOf.constFind(talk);
        if (slot == slotOf.cend()) {
          slot = slotOf.insert(talk, int(talkSlots.size()));
          talkSlots.push_back(talk);
        }
        if (h > 0) data += ',';
        data += '[';
        AppendNumber(data, passage);
        data += ',';
        AppendNumber(data, *slot);
        data += ',';
        AppendNumber(data, placeOf[size_t(passage)]);
        data += ',';
        AppendNumber(data, languageOf[size_t(passage)]);
        data += ',';
        AppendNumber(data, atOf[size_t(passage)]);
        data += ',';
        exporter::AppendScriptString(data, Snippet(texts.value(passage), node));
        data += ']';
      }
      data += "],\"talks\":[";
      for (size_t s = 0; s < talkSlots.size(); ++s) {
        if (s > 0) data += ',';
        AppendTalk(data, talkSlots[s]);
      }
      data += "]}";
      if (data.size() <= kInlineHeadBytes) {
        node.inlineHead = data;
        continue;
      }
      node.head = files++;
      const QString relative = QStringLiteral("h/%1").arg(node.head);
      if (!WriteFile(Path(relative + QStringLiteral(".js")),
                     "collectionPart(" + Name(relative) + ',' + data + ");\n", error))
        return false;
      ++stats.files;
    }
    return true;
  }

  // The passage lists in sorted order; firstFile[s] is the file of the s-th word.
  bool WriteLists(const std::vector<int>& sorted, std::vector<int>& fileOf, QString* error) {
    QDir().mkpath(Path(QStringLiteral("l")));
    fileOf.assign(sorted.size(), 0);
    int file = 0;
    int firstInFile = 0;
    QByteArray lists;
    auto close = [&](int next) {
      if (lists.isEmpty()) return true;
      const QString relative = QStringLiteral("l/%1").arg(file);
      QByteArray out = "collectionPart(" + Name(relative) + ",{\"first\":";
      AppendNumber(out, firstInFile);
      out += ",\"lists\":[" + lists + "]});\n";
      lists.clear();
      ++file;
      ++stats.files;
      firstInFile = next;
      return WriteFile(Path(relative + QStringLiteral(".js")), out, error);
    };
    std::vector<Posting> entries;
    for (size_t s = 0; s < sorted.size(); ++s) {
      const int term = sorted[s];
      entries.clear();
      Decode(term, entries);
      // The shapes of the word's passages, the commonest first, so that most take one digit.
      QHash<qint64, int> count;
      for (const Posting& e : entries) ++count[ShapeOf(e)];
      std::vector<std::pair<int, qint64>> shapes;
      for (auto it = count.cbegin(); it != count.cend(); ++it)
        shapes.push_back({it.value(), it.key()});
      std::sort(shapes.begin(), shapes.end(), [](const auto& a, const auto& b) {
        return a.first > b.first || (a.first == b.first && a.second < b.second);
      });
      QHash<qint64, int> shapeIndex;
      if (!lists.isEmpty()) lists += ',';
      lists += "[[";
      for (size_t k = 0; k < shapes.size(); ++k) {
        shapeIndex.insert(shapes[k].second, int(k));
        const qint64 lengthPlace = shapes[k].second >> 20;
        if (k > 0) lists += ',';
        AppendNumber(lists, lengthPlace / kPlaces);
        lists += ',';
        AppendNumber(lists, lengthPlace % kPlaces);
        lists += ',';
        AppendNumber(lists, shapes[k].second & 0xFFFFF);
      }
      lists += "],\"";
      qint64 last = 0;
      // Each passage as twice its step from the one before, plus one when a shape other than
      // the commonest follows: most passages of a word have the commonest and take no more.
      for (const Posting& e : entries) {
        const int shape = shapeIndex.value(ShapeOf(e));
        AppendDigits(lists, quint64(e.passage - last) * 2 + (shape != 0 ? 1 : 0));
        last = e.passage;
        if (shape != 0) AppendDigits(lists, quint64(shape));
      }
      lists += "\"]";
      fileOf[s] = file;
      std::vector<quint8>().swap(postings[size_t(term)]);
      if (lists.size() >= kListFileBytes && !close(int(s) + 1)) return false;
    }
    return close(int(sorted.size()));
  }

  void AppendNode(QByteArray& out, const Node& node, const std::vector<int>& fileOf) const {
    out += '[';
    exporter::AppendScriptString(out, node.text);
    out += ',';
    AppendNumber(out, prefixes[size_t(node.prefix)].count);
    out += ',';
    if (node.head >= 0) {
      AppendNumber(out, node.head);
    } else {
      out += node.inlineHead;
    }
    out += ',';
    AppendNumber(out, node.first);
    out += ',';
    AppendNumber(out, node.last);
    out += ',';
    AppendNumber(out, fileOf[size_t(node.first)]);
    out += ',';
    AppendNumber(out, fileOf[size_t(node.last)]);
    out += ',';
    AppendNumber(out, node.term >= 0 ? df[size_t(node.term)] : -1);
    out += ']';
  }

  // The dictionary file of key, for nodes [from, to) (all beginning with key), split by the
  // next unit while it is too large.
  bool WriteShard(const QString& key, const std::vector<Node>& nodes, size_t from, size_t to,
                  const std::vector<int>& fileOf, QString* error) {
    QByteArray entries;
    for (size_t i = from; i < to; ++i) {
      if (i > from) entries += ',';
      AppendNode(entries, nodes[i], fileOf);
    }
    QByteArray split;
    if (entries.size() > kShardBytes && nodes[to - 1].text.size() > key.size()) {
      // Longer words go to a file of their own per next unit; this one keeps the words as long
      // as its key, and the first node below it, which a search of the key alone finds.
      entries.clear();
      bool any = false;
      for (size_t i = from; i < to; ++i) {
        if (nodes[i].text.size() > key.size() && i != from) continue;
        if (any) entries += ',';
        AppendNode(entries, nodes[i], fileOf);
        any = true;
      }
      size_t i = from;
      while (i < to) {
        if (nodes[i].text.size() <= key.size()) {
          ++i;
          continue;
        }
        const QString child = nodes[i].text.left(key.size() + 1);
        size_t j = i;
        while (j < to && nodes[j].text.startsWith(child)) ++j;
        if (!split.isEmpty()) split += ',';
        exporter::AppendScriptString(split, child);
        if (!WriteShard(child, nodes, i, j, fileOf, error)) return false;
        i = j;
      }
    }
    const QString relative = QStringLiteral("d/") + KeyFileName(key);
    QByteArray out = "collectionPart(" + Name(relative) + ",{";
    if (!split.isEmpty()) out += "\"split\":[" + split + "],";
    out += "\"nodes\":[" + entries + "]});\n";
    ++stats.files;
    return WriteFile(Path(relative + QStringLiteral(".js")), out, error);
  }
};

SiteIndexWriter::SiteIndexWriter(QString folder, QString name, std::vector<SiteTalk> talks)
    : d_(std::make_unique<Impl>()) {
  d_->folder = std::move(folder);
  d_->name = std::move(name);
  d_->talks = std::move(talks);
}

SiteIndexWriter::~SiteIndexWriter() = default;

SiteStats SiteIndexWriter::Stats() const {
  SiteStats s = d_->stats;
  s.terms = int(d_->termStart.size());
  return s;
}

QStringList SiteIndexWriter::Languages() const {
  return d_->languages;
}

bool SiteIndexWriter::Add(int talk, const StoredPassage& passage, QString* error) {
  Impl& d = *d_;
  const int id = int(d.stats.passages);
  const int block = id / kBlockPassages;
  if (id % kBlockPassages == 0 && id > 0 && !d.FlushBlock(block - 1, error)) return false;
  const int place = std::clamp(int(passage.place), 0, kPlaces - 1);
  // The words, each once with the times it stands in the passage.
  int length = 0;
  d.distinct.clear();
  SiteWordsOf(passage.text, d.word, [&](qsizetype, qsizetype, QStringView w) {
    ++length;
    const int term = d.Term(w);
    if (d.seenIn[size_t(term)] != id) {
      d.seenIn[size_t(term)] = id;
      d.tfSlot[size_t(term)] = int(d.distinct.size());
      d.distinct.push_back({term, 1});
    } else {
      ++d.distinct[size_t(d.tfSlot[size_t(term)])].second;
    }
  });
  for (const auto& [term, times] : d.distinct) {
    std::vector<quint8>& list = d.postings[size_t(term)];
    AppendVarint(list, quint64(id - d.lastPassage[size_t(term)]));
    AppendVarint(list, quint64(length) * kPlaces + quint64(place));
    AppendVarint(list, quint64(std::min(times, 0xFFFFF)));
    d.lastPassage[size_t(term)] = id;
    ++d.df[size_t(term)];
    // Each beginning of the word counts the passage once, however many of its words begin so;
    // a beginning already counted here was counted with all the shorter ones.
    for (const int p : d.chain[size_t(term)]) {
      Impl::Prefix& prefix = d.prefixes[size_t(p)];
      if (prefix.stamp == id) break;
      prefix.stamp = id;
      ++prefix.count;
      if (prefix.first.size() < size_t(kSiteHits)) prefix.first.push_back(id);
    }
  }
  d.stats.words += length;
  ++d.stats.passages;

  int language = -1;
  if (!passage.language.isEmpty()) {
    auto found = d.languageIndex.constFind(passage.language);
    if (found == d.languageIndex.cend()) {
      found = d.languageIndex.insert(passage.language, int(d.languages.size()));
      d.languages << passage.language;
    }
    language = *found;
  }
  d.talkOf.push_back(talk);
  d.placeOf.push_back(quint8(place));
  d.languageOf.push_back(qint16(language));
  d.atOf.push_back(passage.atMs);
  auto slot = d.blockSlot.constFind(talk);
  if (slot == d.blockSlot.cend()) {
    slot = d.blockSlot.insert(talk, int(d.blockTalks.size()));
    d.blockTalks.push_back(talk);
  }
  if (!d.blockPassages.isEmpty()) d.blockPassages += ',';
  d.blockPassages += '[';
  AppendNumber(d.blockPassages, *slot);
  d.blockPassages += ',';
  AppendNumber(d.blockPassages, place);
  d.blockPassages += ',';
  AppendNumber(d.blockPassages, language);
  d.blockPassages += ',';
  AppendNumber(d.blockPassages, passage.atMs);
  d.blockPassages += ',';
  d.blockTextAt.push_back(quint32(d.blockPassages.size()));
  d.textAt.push_back(0);
  exporter::AppendScriptString(d.blockPassages, passage.text);
  d.blockPassages += ']';
  return true;
}

bool SiteIndexWriter::Finish(QString* error) {
  Impl& d = *d_;
  if (d.stats.passages > 0 && !d.FlushBlock(int((d.stats.passages - 1) / kBlockPassages), error)) {
    return false;
  }
  // The words in the order the page compares them (UTF-16 units, as JavaScript does).
  std::vector<int> sorted(d.termStart.size());
  for (size_t i = 0; i < sorted.size(); ++i) sorted[i] = int(i);
  std::sort(sorted.begin(), sorted.end(),
            [&](int a, int b) { return d.TermText(a) < d.TermText(b); });
  // The nodes: every word, and every beginning (two units or more) that two neighbouring words
  // share. Whatever a search types, the words beginning with it are those of the first node
  // at or after it, when that node begins with it.
  std::vector<Impl::Node> nodes;
  for (size_t s = 0; s < sorted.size(); ++s) {
    const QStringView w = d.TermText(sorted[s]);
    Impl::Node node;
    node.text = w.toString();
    node.term = sorted[s];
    node.exact = w.size() == 1;
    nodes.push_back(node);
    if (s + 1 < sorted.size()) {
      const QStringView next = d.TermText(sorted[s + 1]);
      qsizetype common = 0;
      while (common < w.size() && common < next.size() && w[common] == next[common]) ++common;
      if (common >= 2 && common < w.size()) {
        Impl::Node shared;
        shared.text = w.left(common).toString();
        nodes.push_back(shared);
      }
    }
  }
  std::sort(nodes.begin(), nodes.end(), [](const Impl::Node& a, const Impl::Node& b) {
    return a.text < b.text || (a.text == b.text && a.term > b.term);
  });
  nodes.erase(
      std::unique(nodes.begin(), nodes.end(),
                  [](const Impl::Node& a, const Impl::Node& b) { return a.text == b.text; }),
      nodes.end());
  for (Impl::Node& node : nodes) {
    node.prefix = d.prefixIndex.value(node.text);
    const auto lower = std::lower_bound(sorted.begin(), sorted.end(), node.text,
                                        [&](int t, const QString& s) { return d.TermText(t) < s; });
    node.first = int(lower - sorted.begin());
    if (node.exact) {
      node.last = node.first;
    } else {
      int last = node.first;
      while (last + 1 < int(sorted.size()) &&
             d.TermText(sorted[size_t(last) + 1]).startsWith(node.text))
        ++last;
      node.last = last;
    }
  }
  if (!d.WriteHeads(nodes, sorted, error)) return false;
  std::vector<int> fileOf;
  if (!d.WriteLists(sorted, fileOf, error)) return false;
  QDir().mkpath(d.Path(QStringLiteral("d")));
  size_t i = 0;
  while (i < nodes.size()) {
    const QString key = nodes[i].text.left(nodes[i].exact ? 1 : 2);
    size_t j = i + 1;
    while (j < nodes.size() && !nodes[j].exact && nodes[j].text.startsWith(key) &&
           (key.size() == 2 || nodes[j].text.size() == 1))
      ++j;
    if (!d.WriteShard(key, nodes, i, j, fileOf, error)) return false;
    i = j;
  }
  return true;
}

}  // namespace library
