// The library window on the synthetic collection of bench/library (20 media of 50 presentations,
// each with 50 slides and 300 transcript sections in 3 languages, unless told otherwise):
//
//   bench_library_window [--dir DIR] [--queries N] [--media N] [--presentations N]
//                        [--reopen-only]
//
// - first index through the window: how long it takes, and the longest wait of the window's
//   event loop meanwhile (a timer asks every 10 ms; the window must never freeze);
// - reopening the unchanged library: from making the window to the listing shown, and to the
//   index found up to date (no medium read);
// - a search typed into the window: the search and the hit list filled, per query;
// - the pictures: the rows in view of the listing answered, then the whole listing scrolled
//   through a page at a time while they are read (the window's longest wait meanwhile), first
//   from the media, then from the cache beside the index; and a search to its hits in view drawn
//   with their slides. The collection has no pictures of its own: a slide picture and its
//   thumbnail are written for every slide number of every medium the first time.
//
// Run it offscreen (QT_QPA_PLATFORM=offscreen). The collection is the one bench_library writes
// into DIR (default: bench-library in the current folder), written here when it is missing; the
// window's index goes to DIR/window-index.sqlite and is made anew each run, unless --reopen-only
// keeps the one of the last run and measures only the reopening and the searches.

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QLineEdit>
#include <QListView>
#include <QPainter>
#include <QScrollBar>
#include <QTimer>
#include <QTreeView>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "SyntheticCollection.h"
#include "launcher/ProcessStarter.h"
#include "library/LibraryIndex.h"
#include "librarywindow/LibraryWindow.h"
#include "librarywindow/SlidePictures.h"
#include "medium/Report.h"
#include "tests/support/RecordingReporter.h"

namespace {

struct Stats {
  double p50, p95, p99, max;
};

Stats Summarise(std::vector<double> v) {
  if (v.empty()) return {0, 0, 0, 0};
  std::sort(v.begin(), v.end());
  auto at = [&](double q) { return v[std::min(v.size() - 1, size_t(q * (v.size() - 1) + 0.5))]; };
  return {at(0.5), at(0.95), at(0.99), v.back()};
}

class NoStarter : public launcher::ProcessStarter {
 public:
  void StartDetached(const QString&, const QStringList&) override {}
};

// Runs the event loop until done() holds, noting every wait between two 10 ms ticks.
void RunUntil(const std::function<bool()>& done, std::vector<double>* gaps) {
  QElapsedTimer since;
  since.start();
  QTimer tick;
  tick.setTimerType(Qt::PreciseTimer);
  QObject::connect(&tick, &QTimer::timeout, [&] {
    if (gaps) gaps->push_back(since.nsecsElapsed() / 1e6);
    since.restart();
  });
  tick.start(10);
  while (!done()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
}

// A slide picture and its thumbnail for each slide number, on every medium of the shelf (the
// synthetic timelines name the deck "Deck"); written once.
bool WritePictures(const QString& shelf, int slides) {
  QStringList media;
  for (QDirIterator it(shelf, QDir::Dirs | QDir::NoDotAndDotDot); it.hasNext();) media << it.next();
  if (media.isEmpty()) return false;
  if (QFile::exists(media.front() + QStringLiteral("/Slides/Deck/thumbs/Slide1.jpg"))) return true;
  for (int n = 1; n <= slides; ++n) {
    QImage slide(472, 360, QImage::Format_RGB32);
    slide.fill(QColor::fromHsv((n * 37) % 360, 60, 240));
    {
      QPainter p(&slide);
      p.setPen(Qt::black);
      QFont f = p.font();
      f.setPixelSize(40);
      p.setFont(f);
      p.drawText(slide.rect(), Qt::AlignCenter, QStringLiteral("Slide %1").arg(n));
    }
    const QImage thumb = slide.scaled(96, 73, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    for (const QString& m : media) {
      const QString deck = m + QStringLiteral("/Slides/Deck");
      if (!QDir().mkpath(deck + QStringLiteral("/thumbs"))) return false;
      if (!slide.save(deck + QStringLiteral("/Slide%1.jpg").arg(n), "JPG", 85) ||
          !thumb.save(deck + QStringLiteral("/thumbs/Slide%1.jpg").arg(n), "JPG", 85))
        return false;
    }
  }
  return true;
}

// Runs the event loop until the pictures asked for are all answered (once some were asked).
double WaitForPictures(librarywindow::LibraryWindow& w, std::vector<double>* gaps) {
  QElapsedTimer t;
  t.start();
  RunUntil([&] { return w.Pictures()->Waiting() > 0 || t.elapsed() > 1000; }, gaps);
  RunUntil([&] { return w.Pictures()->Waiting() == 0; }, gaps);
  return t.nsecsElapsed() / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const QStringList args = app.arguments();
  const int queries = bench::Arg(args, QStringLiteral("--queries"), 100);
  bench::BenchCollection collection;
  QString why;
  if (!bench::PrepareCollection(args, &collection, &why)) {
    std::fprintf(stderr, "bench_library_window: %s\n", qPrintable(why));
    return 2;
  }
  const QString& dir = collection.dir;
  const QString& shelf = collection.shelf;
  const bench::CollectionShape& shape = collection.shape;

  const QString file = dir + QStringLiteral("/window-index.sqlite");
  const bool reopenOnly = args.contains(QStringLiteral("--reopen-only")) && QFile::exists(file);
  if (!reopenOnly) {
    for (const char* suffix : {"", "-wal", "-shm"}) QFile::remove(file + suffix);
  }
  medium::RecordingReporter reporter(QStringLiteral("Ambrel"));
  NoStarter starter;
  librarywindow::LibraryWindowServices services;
  services.reporter = &reporter;
  services.starter = &starter;
  services.indexFile = file;
  const auto listed = [&](librarywindow::LibraryWindow& w) {
    return w.Media_tree->model()->rowCount() == shape.media;
  };

  // The first index, built beside the window.
  bool met = true;
  if (!reopenOnly) {
    QElapsedTimer t;
    t.start();
    librarywindow::LibraryWindow w({shelf}, services);
    w.Start();
    std::vector<double> gaps;
    RunUntil([&] { return !w.Updating(); }, &gaps);
    const Stats g = Summarise(gaps);
    std::printf(
        "first index through the window: %.1f s; event loop waits: p50 %.1f  p99 %.1f  "
        "max %.1f ms (%zu ticks of 10 ms)\n",
        t.elapsed() / 1000.0, g.p50, g.p99, g.max, gaps.size());
    if (!listed(w)) {
      std::fprintf(stderr, "bench_library_window: the window lists %d media\n",
                   w.Media_tree->model()->rowCount());
      return 1;
    }
    met = met && g.max <= 250;
  }

  // Reopening the unchanged library.
  std::vector<double> shown;
  std::vector<double> upToDate;
  for (int run = 0; run < 5; ++run) {
    QElapsedTimer t;
    t.start();
    librarywindow::LibraryWindow w({shelf}, services);
    w.Start();
    QCoreApplication::processEvents();
    if (!listed(w)) {
      std::fprintf(stderr, "bench_library_window: the reopened window did not list the media\n");
      return 1;
    }
    shown.push_back(t.nsecsElapsed() / 1e6);
    RunUntil([&] { return !w.Updating(); }, nullptr);
    upToDate.push_back(t.nsecsElapsed() / 1e6);
  }
  const Stats s = Summarise(shown);
  const Stats u = Summarise(upToDate);
  std::printf("reopen, listing shown:       %6.1f ms median, %6.1f ms max of 5\n", s.p50, s.max);
  std::printf("reopen, index up to date:    %6.1f ms median, %6.1f ms max of 5 (goal 1000 ms)\n",
              u.p50, u.max);
  met = met && u.p50 <= 1000;

  // Searches typed into the window: the search and the list of hits filled.
  {
    librarywindow::LibraryWindow w({shelf}, services);
    w.Start();
    RunUntil([&] { return !w.Updating(); }, nullptr);
    bench::Vocabulary v;
    const QStringList& words = v.Words();
    std::vector<double> times;
    std::vector<double> core;  // the same query through an index of its own: the window's share
    library::LibraryIndex alone(file);
    alone.Open();
    size_t hits = 0;
    for (int i = 0; i < queries; ++i) {
      const QString word = words[100 + int(v.Next() % 3900)];
      const QString q = i % 4 == 0   ? word
                        : i % 4 == 1 ? word + u' ' + words[100 + int(v.Next() % 3900)]
                        : i % 4 == 2 ? v.Accented()[int(v.Next() % v.Accented().size())]
                                     : word.left(4);
      QElapsedTimer t;
      t.start();
      alone.Search(q, {shelf}, 100);
      core.push_back(t.nsecsElapsed() / 1e6);
      w.Search_txt->setText(q);
      t.restart();
      w.SearchNow();
      times.push_back(t.nsecsElapsed() / 1e6);
      hits += static_cast<size_t>(w.Hits_lst->model()->rowCount());
    }
    const Stats q = Summarise(times);
    std::printf(
        "search in the window:        p50 %6.2f ms  p95 %6.2f ms  max %6.2f ms (%d "
        "queries, %.1f hits shown each)\n",
        q.p50, q.p95, q.max, queries, double(hits) / queries);
    const Stats c = Summarise(core);
    std::printf("  the index's search alone:  p50 %6.2f ms  p95 %6.2f ms  max %6.2f ms\n", c.p50,
                c.p95, c.max);
    met = met && q.p95 <= 50;
  }

  // Pictures, from the media and then from the cache beside the index.
  if (!WritePictures(shelf, shape.slides)) {
    std::fprintf(stderr, "bench_library_window: cannot write the slide pictures\n");
    return 2;
  }
  QDir(dir + QStringLiteral("/thumbnails")).removeRecursively();
  for (const char* from : {"from the media", "from the cache"}) {
    librarywindow::LibraryWindow w({shelf}, services);
    w.Start();
    RunUntil([&] { return !w.Updating(); }, nullptr);
    std::vector<double> gaps;
    const double inView = WaitForPictures(w, &gaps);
    QScrollBar* bar = w.Media_tree->verticalScrollBar();
    QTimer scroll;
    QObject::connect(&scroll, &QTimer::timeout, [&] {
      bar->setValue(std::min(bar->maximum(), bar->value() + bar->pageStep()));
    });
    QElapsedTimer t;
    t.start();
    gaps.clear();
    scroll.start(16);
    RunUntil([&] { return bar->value() >= bar->maximum() && w.Pictures()->Waiting() == 0; }, &gaps);
    const Stats g = Summarise(gaps);
    std::printf(
        "pictures %-15s rows in view %6.1f ms; whole listing scrolled %6.1f ms, event loop "
        "waits p50 %.1f  p99 %.1f  max %.1f ms\n",
        from, inView, t.nsecsElapsed() / 1e6, g.p50, g.p99, g.max);
    met = met && g.max <= 100;
  }
  {
    librarywindow::LibraryWindow w({shelf}, services);
    w.Start();
    RunUntil([&] { return !w.Updating(); }, nullptr);
    bench::Vocabulary v;
    std::vector<double> times;
    std::vector<double> gaps;
    for (int tries = 0; times.size() < 20 && tries < 200; ++tries) {
      w.Search_txt->setText(v.Words()[200 + int(v.Next() % 3000)]);
      QElapsedTimer t;
      t.start();
      w.SearchNow();
      if (w.Hits_lst->model()->rowCount() == 0) continue;
      WaitForPictures(w, &gaps);
      times.push_back(t.nsecsElapsed() / 1e6);
    }
    const Stats q = Summarise(times);
    const Stats g = Summarise(gaps);
    std::printf(
        "search to hits drawn with their slides: p50 %6.1f ms  p95 %6.1f ms (%zu queries); "
        "event loop waits max %.1f ms\n",
        q.p50, q.p95, times.size(), g.max);
  }
  std::printf(
      "Goals (reopen 1 s, search p95 50 ms, no wait of the window over 250 ms while indexing, "
      "nor over 100 ms while pictures are read): %s\n",
      met ? "met" : "NOT met");
  return met ? 0 : 1;
}
