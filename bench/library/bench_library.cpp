// The library on a synthetic collection (20 media of 50 presentations, each with 50 slides and
// 300 transcript sections in 3 languages, unless told otherwise): the first index, reopening the
// unchanged library, the resident memory while indexing, queries of four kinds, and the
// collection page in headless Chromium, from the file system and over HTTP (page_timing.py).
//
//   bench_library [--dir DIR] [--queries N] [--media N] [--presentations N] [--no-page]
//                 [--index URL] [--writers N] [--searchers N] [--keep-index] [--kind NAME]
//
// The collection is written once into DIR (default: bench-library in the current folder) and
// kept for later runs; the index goes to DIR/index-<media>x<presentations>.sqlite, or to --index
// (sqlite:PATH or a PostgreSQL address whose tables the bench drops first), and is made anew
// each run, unless --keep-index keeps the index there, a file or a database's tables (an index
// of 10,000 talks takes many minutes, while the page and the queries are measured again and
// again). With --writers N the first index
// is made by N Ambrel processes at once, each given the whole shelf (they share the work
// through the index's claims); with --searchers N the queries run on N threads at once, each
// with its own connection; --kind runs the queries of one kind only ("one word", "two words",
// "accented word" or "prefix").

#include <sys/resource.h>
#include <time.h>

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#include <QThread>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "SyntheticCollection.h"
#include "library/CollectionPage.h"
#include "library/IndexDatabase.h"
#include "library/LibraryIndex.h"

namespace {

// Resident memory of this process now, in MiB.
double ResidentMiB() {
  QFile f(QStringLiteral("/proc/self/statm"));
  if (!f.open(QIODevice::ReadOnly)) return 0;
  const QList<QByteArray> parts = f.readAll().split(' ');
  return parts.size() > 1 ? parts[1].toDouble() * 4096.0 / (1024 * 1024) : 0;
}

// The most resident memory this process has had, in MiB.
double PeakResidentMiB() {
  QFile f(QStringLiteral("/proc/self/status"));
  if (!f.open(QIODevice::ReadOnly)) return 0;
  for (const QByteArray& line : f.readAll().split('\n')) {
    if (line.startsWith("VmHWM:")) return line.mid(6).trimmed().split(' ')[0].toDouble() / 1024.0;
  }
  return 0;
}

// CPU time of this thread, in ms: on a machine shared with other work the wall clock also
// counts the waiting, the CPU time only what the library itself did.
double ThreadCpuMs() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

struct Stats {
  double p50, p95, max, mean;
};

Stats Summarise(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  auto at = [&](double q) { return v[std::min(v.size() - 1, size_t(q * (v.size() - 1) + 0.5))]; };
  double sum = 0;
  for (const double x : v) sum += x;
  return {at(0.5), at(0.95), v.back(), sum / double(v.size())};
}

// The hits the page drew for each query against the program's search with the same limit: the
// same passages in the same order.
bool SameHits(const library::LibraryIndex& index, const std::vector<library::MediumEntry>& media,
              const QString& shelf, const QString& hitsFile) {
  QFile f(hitsFile);
  if (!f.open(QIODevice::ReadOnly)) return false;
  const QJsonObject drawn = QJsonDocument::fromJson(f.readAll()).object();
  QHash<qint64, int> talkOf;  // presentation id -> the talk's number in the page's listing
  int n = 0;
  for (const library::MediumEntry& m : media)
    for (const library::PresentationEntry& p : m.presentations) talkOf.insert(p.id, n++);
  int same = 0;
  int total = 0;
  for (auto it = drawn.begin(); it != drawn.end(); ++it) {
    const library::SearchResult result = index.Search(it.key(), {shelf}, 50);
    const QJsonArray hits = it.value().toArray();
    // A search of several words draws its best hits five at a time: those drawn are compared.
    bool equal = hits.size() <= qsizetype(result.hits.size()) &&
                 hits.size() >= std::min<qsizetype>(5, qsizetype(result.hits.size()));
    for (qsizetype i = 0; equal && i < hits.size(); ++i) {
      const QJsonArray h = hits[i].toArray();
      const library::SearchHit& s = result.hits[size_t(i)];
      equal = h[0].toInt() == talkOf.value(s.presentationId, -1) && h[1].toInt() == int(s.place) &&
              qint64(h[2].toDouble()) == s.atMs && h[3].toString() == s.language;
    }
    if (!equal && total - same < 3) {
      std::printf("page hits differ from the program's for \"%s\" (%lld drawn, %zu found)\n",
                  qPrintable(it.key()), static_cast<long long>(hits.size()), result.hits.size());
    }
    same += equal ? 1 : 0;
    ++total;
  }
  std::printf("page hits:     the program's, in its order, for %d of %d queries\n", same, total);
  return same == total;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const QStringList args = app.arguments();
  const int queries = bench::Arg(args, QStringLiteral("--queries"), 200);
  bench::BenchCollection collection;
  QString why;
  if (!bench::PrepareCollection(args, &collection, &why)) {
    std::fprintf(stderr, "bench_library: %s\n", qPrintable(why));
    return 2;
  }
  const QString& dir = collection.dir;
  const QString& shelf = collection.shelf;
  const bench::CollectionShape& shape = collection.shape;

  const qsizetype at = args.indexOf(QStringLiteral("--index"));
  const QString file =
      at >= 0 && at + 1 < args.size()
          ? args[at + 1]
          : dir + QStringLiteral("/index-%1x%2.sqlite").arg(shape.media).arg(shape.presentations);
  const int writers = bench::Arg(args, QStringLiteral("--writers"), 1);
  const int searchers = bench::Arg(args, QStringLiteral("--searchers"), 1);
  library::IndexLocation location;
  if (!library::ParseIndexLocation(file, file, &location, &why)) {
    std::fprintf(stderr, "bench_library: %s\n", qPrintable(why));
    return 2;
  }
  const bool postgres = location.kind == library::IndexLocation::Kind::Postgres;
  // --keep-index: the index of an earlier run (an SQLite file, or the tables of a database), kept
  // as it is.
  const bool keep =
      args.contains(QStringLiteral("--keep-index")) && (postgres || QFile::exists(location.path));
  if (keep) {
    // Measured as it is.
  } else if (postgres) {
    // A fresh index: the tables of the last run dropped.
    auto db = library::IndexDatabase::Make(location);
    if (!db->Open()) {
      std::fprintf(stderr, "bench_library: %s\n", qPrintable(db->OpenError().text));
      return 2;
    }
    for (const char* t : {"postings", "postings_blocks", "passages", "presentations", "places",
                          "media", "vocabulary", "terms", "stemmers", "meta"})
      db->Exec(QStringLiteral("DROP TABLE IF EXISTS %1 CASCADE").arg(QLatin1String(t)));
  } else {
    for (const char* suffix : {"", "-wal", "-shm"}) QFile::remove(location.path + suffix);
  }
  std::printf("index:         %s, %d writer(s), %d searcher(s)\n", qPrintable(location.Text()),
              writers, searchers);

  // First index.
  double peak = ResidentMiB();
  const double before = peak;
  QElapsedTimer t;
  t.start();
  const double cpuBefore = ThreadCpuMs();
  library::UpdateResult first;
  double childCpuS = 0;
  if (keep) {
    // Nothing to make.
  } else if (writers > 1) {
    // N programs at once on the whole shelf, as N workstations or users would start them.
    std::vector<std::unique_ptr<QProcess>> programs;
    const QString ambrel = QCoreApplication::applicationDirPath() + QStringLiteral("/Ambrel");
    for (int w = 0; w < writers; ++w) {
      auto p = std::make_unique<QProcess>();
      QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
      env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir + QStringLiteral("/config-%1").arg(w));
      p->setProcessEnvironment(env);
      p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
      p->start(ambrel, {QStringLiteral("--library"), shelf, QStringLiteral("--index"), file});
      programs.push_back(std::move(p));
    }
    for (auto& p : programs) {
      p->waitForFinished(-1);
      if (p->exitCode() != 0) std::fprintf(stderr, "bench_library: a writer failed\n");
    }
    rusage children{};
    getrusage(RUSAGE_CHILDREN, &children);
    childCpuS = children.ru_utime.tv_sec + children.ru_stime.tv_sec +
                (children.ru_utime.tv_usec + children.ru_stime.tv_usec) / 1e6;
    library::LibraryIndex index(file);
    index.Open();
    first = index.Update({shelf});
    first.read = QStringList();
    for (const library::MediumEntry& m : index.Media({shelf})) first.read << m.path;
  } else {
    library::LibraryIndex index(file);
    index.Open();
    int samples = 0;
    first = index.Update({shelf}, [&](const library::IndexProgress&) {
      if (++samples % 5 == 0) peak = std::max(peak, ResidentMiB());
    });
  }
  peak = std::max(peak, ResidentMiB());
  const double firstS = t.elapsed() / 1000.0;
  if (keep) {
    std::printf("first index:   kept from an earlier run (--keep-index)\n");
  } else {
    std::printf(
        "first index:   %6.1f s   (CPU %.1f s here, %.1f s in writers; %lld media; goal "
        "600 s for 10,000 talks)\n",
        firstS, (ThreadCpuMs() - cpuBefore) / 1000.0, childCpuS,
        static_cast<long long>(first.read.size()));
  }
  std::printf("resident:      %6.1f MiB at most while indexing (%.1f MiB before; goal 200 MiB)\n",
              peak, before);
  {
    // The index's size on disk against the text it holds.
    auto db = library::IndexDatabase::Make(location);
    std::vector<library::DbRow> rows;
    double text = 0;
    double size = postgres ? 0 : QFileInfo(location.path).size();
    if (db->Open()) {
      db->Query(postgres ? QStringLiteral("SELECT sum(octet_length(text)) FROM passages")
                         : QStringLiteral("SELECT sum(length(CAST(text AS BLOB))) FROM passages"),
                {}, &rows, nullptr);
      if (!rows.empty()) text = rows.front().value(0).toDouble();
      rows.clear();
      if (postgres &&
          db->Query(QStringLiteral("SELECT pg_database_size(current_database())"), {}, &rows,
                    nullptr) &&
          !rows.empty())
        size = rows.front().value(0).toDouble();
    }
    std::printf("index size:    %6.1f MiB for %.1f MiB of text: %.2f times (goal 3)\n",
                size / 1048576.0, text / 1048576.0, text > 0 ? size / text : 0.0);
  }

  // Reopening the unchanged library: open, update (no medium read), list.
  std::vector<double> reopen;
  for (int run = 0; run < 5; ++run) {
    t.restart();
    library::LibraryIndex index(file);
    index.Open();
    const library::UpdateResult u = index.Update({shelf});
    const std::vector<library::MediumEntry> media = index.Media({shelf});
    reopen.push_back(t.nsecsElapsed() / 1e6);
    if (!u.read.isEmpty() || int(u.unchanged.size()) != shape.media) {
      std::fprintf(stderr, "bench_library: the unchanged library was read again\n");
      return 1;
    }
  }
  const Stats r = Summarise(reopen);
  std::printf("reopen:        %6.1f ms median, %.1f ms max of 5 (no medium read; goal 1000 ms)\n",
              r.p50, r.max);

  // Queries: words of the middle of the vocabulary (ranks 100 to 4000: the words people look
  // for, neither "the" nor a typo), two of them, the accented words, and prefixes of 3 to 5
  // letters.
  bench::Vocabulary v;
  const QStringList& words = v.Words();
  auto word = [&] { return words[100 + int(v.Next() % 3900)]; };
  struct Kind {
    const char* name;
    std::function<QString()> make;
  };
  const Kind kinds[] = {
      {"one word", [&] { return word(); }},
      {"two words", [&] { return word() + u' ' + word(); }},
      {"accented word", [&] { return v.Accented()[int(v.Next() % v.Accented().size())]; }},
      {"prefix",
       [&] {
         const QString w = word();
         return w.left(3 + int(v.Next() % 3));
       }},
  };
  library::LibraryIndex index(file);
  index.Open();
  index.Search(QStringLiteral("warm up"));
  // With --searchers N, N threads each keep one index (one connection) from the first query of
  // the first kind to the last, opened and warmed up once as the single searcher is, as N
  // windows keep theirs: a new connection's first statements are planned on a cold server
  // session, which no one who searches all day waits for.
  std::function<void(library::LibraryIndex&)> job;
  std::mutex poolLock;
  std::condition_variable poolWake;
  int phase = 0;
  int finished = 0;
  bool stop = false;
  std::vector<std::thread> pool;
  for (int n = 0; searchers > 1 && n < searchers; ++n) {
    pool.emplace_back([&] {
      library::LibraryIndex own(file);
      own.Open();
      own.Search(QStringLiteral("warm up"));
      for (int seen = 0;;) {
        std::unique_lock<std::mutex> held(poolLock);
        ++finished;
        poolWake.notify_all();
        poolWake.wait(held, [&] { return stop || phase != seen; });
        if (stop) return;
        seen = phase;
        held.unlock();
        job(own);
      }
    });
  }
  // Runs job on every searcher of the pool at once and waits for all of them.
  auto runPool = [&](const std::function<void(library::LibraryIndex&)>& each) {
    std::unique_lock<std::mutex> held(poolLock);
    poolWake.wait(held, [&] { return finished == searchers; });
    finished = 0;
    job = each;
    ++phase;
    poolWake.notify_all();
    poolWake.wait(held, [&] { return finished == searchers; });
  };
  const double talks = double(shape.media) * shape.presentations;
  bool met = (keep || firstS <= 600 * talks / 10000) && r.p50 <= 1000 && peak <= 200;
  const double goal = searchers > 1 ? 100 : 50;
  const qsizetype kindAt = args.indexOf(QStringLiteral("--kind"));
  const QString onlyKind = kindAt >= 0 ? args.value(kindAt + 1) : QString();
  const qsizetype slowestAt = args.indexOf(QStringLiteral("--slowest"));
  const int slowest = slowestAt >= 0 ? args.value(slowestAt + 1).toInt() : 0;
  for (const Kind& kind : kinds) {
    if (!onlyKind.isEmpty() && onlyKind != QLatin1String(kind.name)) continue;
    std::vector<double> times, cpu;
    std::vector<std::pair<double, QString>> slow;
    size_t hits = 0;
    std::vector<QString> made;
    for (int i = 0; i < queries; ++i) made.push_back(kind.make());
    std::mutex lock;
    std::atomic<int> next{0};
    auto searcher = [&](library::LibraryIndex& own) {
      for (int i; (i = next++) < queries;) {
        QElapsedTimer each;
        each.start();
        const double c = ThreadCpuMs();
        const library::SearchResult result = own.Search(made[size_t(i)], {shelf}, 50);
        const double spent = ThreadCpuMs() - c;
        const double wall = each.nsecsElapsed() / 1e6;
        std::lock_guard<std::mutex> held(lock);
        cpu.push_back(spent);
        times.push_back(wall);
        slow.emplace_back(wall, made[size_t(i)]);
        hits += result.hits.size();
      }
    };
    if (searchers <= 1) {
      searcher(index);
    } else {
      runPool(searcher);
    }
    const Stats s = Summarise(times);
    const Stats sc = Summarise(cpu);
    met = met && s.p95 <= goal;
    std::printf(
        "query %-14s p50 %6.2f ms  p95 %6.2f ms  max %6.2f ms  CPU p95 %6.2f mean %5.2f ms  (%d "
        "queries, %.1f hits each; goal p95 %.0f ms)\n",
        kind.name, s.p50, s.p95, s.max, sc.p95, sc.mean, queries, double(hits) / queries, goal);
    std::sort(slow.begin(), slow.end(),
              [](const auto& a, const auto& b) { return a.first > b.first; });
    for (int k = 0; k < slowest && k < int(slow.size()); ++k)
      std::printf("  %7.2f ms  %s\n", slow[size_t(k)].first, qPrintable(slow[size_t(k)].second));
  }

  {
    std::lock_guard<std::mutex> held(poolLock);
    stop = true;
    poolWake.notify_all();
  }
  for (std::thread& th : pool) th.join();

  if (!args.contains(QStringLiteral("--no-page"))) {
    // The collection page over the same index (no recording transcoded: the page is measured).
    const QString out = dir + QStringLiteral("/page");
    QDir(out).removeRecursively();
    library::CollectionExport page(out);
    QString error;
    const std::vector<library::MediumEntry> media = index.Media({shelf});
    t.restart();
    const double cpu = ThreadCpuMs();
    if (!page.Prepare(media, &error) || !page.Write(index, media, &error)) {
      std::fprintf(stderr, "bench_library: %s\n", qPrintable(error));
      return 1;
    }
    const double written = t.elapsed() / 1000.0;
    qint64 bytes = 0;
    qint64 files = 0;
    QDirIterator it(out, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
      bytes += it.nextFileInfo().size();
      ++files;
    }
    std::printf(
        "collection page written in %.1f s (CPU %.1f s; %.1f MiB in %lld files; resident at most "
        "%.0f MiB)\n",
        written, (ThreadCpuMs() - cpu) / 1000.0, bytes / 1048576.0, static_cast<long long>(files),
        PeakResidentMiB());
    const QString script = QStringLiteral(BENCH_SOURCE_DIR "/page_timing.py");
    // Debian's python, which has python3-selenium; a python of its own on the PATH may not.
    QString python = QStringLiteral("/usr/bin/python3");
    if (!QFile::exists(python)) python = QStandardPaths::findExecutable(QStringLiteral("python3"));
    if (!python.isEmpty()) {
      QStringList queryList;
      for (int i = 0; i < 40; ++i)
        queryList << word() << v.Accented()[i % v.Accented().size()] << word().left(4)
                  << word() + u' ' + word();
      QStringList wordList;
      for (int i = 0; i < 10; ++i) wordList << (i % 3 == 2 ? v.Accented()[i] : word());
      // Kept beside the collection, so that page_timing.py can measure another page (an older
      // export, say) with the same queries.
      QFile lists(dir + QStringLiteral("/page-queries.txt"));
      if (lists.open(QIODevice::WriteOnly))
        lists.write((queryList.join(u'|') + u'\n' + wordList.join(u'|') + u'\n').toUtf8());
      lists.close();
      const QString hitsFile = dir + QStringLiteral("/page-hits.json");
      QFile::remove(hitsFile);
      QProcess p;
      p.setProcessChannelMode(QProcess::ForwardedChannels);
      p.start(python, {script, out, queryList.join(u'|'), wordList.join(u'|'), hitsFile,
                       QStringLiteral("one word|accented word|prefix|two words")});
      p.waitForFinished(-1);
      met = met && p.exitCode() == 0;
      if (QFile::exists(hitsFile)) met = SameHits(index, media, shelf, hitsFile) && met;
    }
  }
  std::printf("goals %s\n", met ? "met" : "NOT met");
  return met ? 0 : 1;
}
