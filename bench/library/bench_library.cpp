// The library on a synthetic collection (20 media of 50 presentations, each with 50 slides and
// 300 transcript sections in 3 languages, unless told otherwise): the first index, reopening the
// unchanged library, the resident memory while indexing, queries of four kinds, and the
// collection page's search in headless Chromium.
//
//   bench_library [--dir DIR] [--queries N] [--media N] [--presentations N] [--no-page]
//
// The collection is written once into DIR (default: bench-library in the current folder) and
// kept for later runs; the index goes to DIR/index.sqlite and is made anew each run.

#include <time.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#include "SyntheticCollection.h"
#include "library/CollectionPage.h"
#include "library/LibraryIndex.h"

namespace {

// Resident memory of this process now, in MiB.
double ResidentMiB() {
  QFile f(QStringLiteral("/proc/self/statm"));
  if (!f.open(QIODevice::ReadOnly)) return 0;
  const QList<QByteArray> parts = f.readAll().split(' ');
  return parts.size() > 1 ? parts[1].toDouble() * 4096.0 / (1024 * 1024) : 0;
}

// CPU time of this thread, in ms: on a machine shared with other work the wall clock also
// counts the waiting, the CPU time only what the library itself did.
double ThreadCpuMs() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

struct Stats {
  double p50, p95, max;
};

Stats Summarise(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  auto at = [&](double q) { return v[std::min(v.size() - 1, size_t(q * (v.size() - 1) + 0.5))]; };
  return {at(0.5), at(0.95), v.back()};
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

  const QString file = dir + QStringLiteral("/index.sqlite");
  for (const char* suffix : {"", "-wal", "-shm"}) QFile::remove(file + suffix);

  // First index.
  double peak = ResidentMiB();
  const double before = peak;
  QElapsedTimer t;
  t.start();
  const double cpuBefore = ThreadCpuMs();
  library::UpdateResult first;
  {
    library::LibraryIndex index(file);
    index.Open();
    int samples = 0;
    first = index.Update({shelf}, [&](const library::IndexProgress&) {
      if (++samples % 5 == 0) peak = std::max(peak, ResidentMiB());
    });
  }
  peak = std::max(peak, ResidentMiB());
  const double firstS = t.elapsed() / 1000.0;
  std::printf("first index:   %6.1f s   (CPU %.1f s; %lld media read; goal 60 s)\n", firstS,
              (ThreadCpuMs() - cpuBefore) / 1000.0, static_cast<long long>(first.read.size()));
  std::printf("resident:      %6.1f MiB at most while indexing (%.1f MiB before; goal 200 MiB)\n",
              peak, before);
  std::printf("index file:    %6.1f MiB\n", QFileInfo(file).size() / 1048576.0);

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
  bool met = firstS <= 60 && r.p50 <= 1000 && peak <= 200;
  for (const Kind& kind : kinds) {
    std::vector<double> times, cpu;
    size_t hits = 0;
    for (int i = 0; i < queries; ++i) {
      const QString q = kind.make();
      t.restart();
      const double c = ThreadCpuMs();
      const library::SearchResult result = index.Search(q, {shelf}, 50);
      cpu.push_back(ThreadCpuMs() - c);
      times.push_back(t.nsecsElapsed() / 1e6);
      hits += result.hits.size();
    }
    const Stats s = Summarise(times);
    const Stats sc = Summarise(cpu);
    met = met && s.p95 <= 50;
    std::printf(
        "query %-14s p50 %6.2f ms  p95 %6.2f ms  max %6.2f ms  CPU p95 %6.2f ms  (%d queries, "
        "%.1f hits each; goal p95 50 ms)\n",
        kind.name, s.p50, s.p95, s.max, sc.p95, queries, double(hits) / queries);
  }

  if (!args.contains(QStringLiteral("--no-page"))) {
    // The collection page over the same index (no recording transcoded: the search is measured).
    const QString out = dir + QStringLiteral("/page");
    QDir(out).removeRecursively();
    library::CollectionExport page(out);
    QString error;
    const std::vector<library::MediumEntry> media = index.Media({shelf});
    t.restart();
    if (!page.Prepare(media, &error) || !page.Write(index, media, &error)) {
      std::fprintf(stderr, "bench_library: %s\n", qPrintable(error));
      return 1;
    }
    qint64 bytes = 0;
    for (const QFileInfo& f : QDir(out + QStringLiteral("/search")).entryInfoList(QDir::Files))
      bytes += f.size();
    std::printf("collection page written in %.1f s (search scripts %.1f MiB)\n",
                t.elapsed() / 1000.0, bytes / 1048576.0);
    const QString script = QStringLiteral(BENCH_SOURCE_DIR "/page_timing.py");
    // Debian's python, which has python3-selenium; a python of its own on the PATH may not.
    QString python = QStringLiteral("/usr/bin/python3");
    if (!QFile::exists(python)) python = QStandardPaths::findExecutable(QStringLiteral("python3"));
    if (!python.isEmpty()) {
      QStringList queryList;
      for (int i = 0; i < 40; ++i)
        queryList << word() << v.Accented()[i % v.Accented().size()] << word().left(4)
                  << word() + u' ' + word();
      QProcess p;
      p.setProcessChannelMode(QProcess::ForwardedChannels);
      p.start(python, {script, out + QStringLiteral("/index.html"), queryList.join(u'|')});
      p.waitForFinished(-1);
      met = met && p.exitCode() == 0;
    }
  }
  std::printf("goals %s\n", met ? "met" : "NOT met");
  return met ? 0 : 1;
}
