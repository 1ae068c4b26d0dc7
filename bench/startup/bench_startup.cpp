// Start-up of a large presentation, from the load handler to the window shown: 1,000 slides,
// 5,000 transcript cues in 3 languages and 2,000 marks, the engine stubbed. Compares the indexed
// transcripts with a rescan of the transcript file from the top for every cue and language.
//
//   bench_startup [--runs N]
//   bench_startup --long-timeline [LINES]
//
// Exits 1 when the indexed start-up takes 1 s or more, or is not at least 50 times faster than
// the rescan.
//
// With --long-timeline, a crafted (or runaway) timeline of LINES slide lines (default 200,000)
// over 100 real thumbnails: the player takes the designed 32,767 slides, reports every line
// beyond them, and shows its window. Prints the time to the window shown and the memory the
// process holds (resident now and at its peak); exits 1 when the peak passes 300 MB.

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "bench/startup/LargePresentation.h"
#include "medium/Paths.h"
#include "medium/Report.h"
#include "medium/TextStream.h"
#include "player/PlayerWindow.h"
#include "tests/support/FakeEngine.h"
#include "tests/support/RecordingReporter.h"

namespace {

constexpr int kSlides = kLargeSlides;
constexpr int kCues = kLargeCues;
constexpr int kAnns = kLargeAnns;
const QStringList& kLanguages = kLargeLanguages;

// The scan from the top, for every cue and language: open the file, read until the marker,
// return the next line.
class RescanTranscripts : public TranscriptTexts {
 public:
  RescanTranscripts(QString folder, QStringList languages)
      : folder_(std::move(folder)), languages_(std::move(languages)) {}
  QString GetTranscriptText(int16_t position, int16_t section) override {
    medium::TextStream s;
    s.Open(medium::RepairBackslashes(folder_) + languages_.value(position) + ".html");
    const QString marker = QStringLiteral("SECTION") + QString::number(section);
    while (!s.AtEndOfStream()) {
      if (s.ReadLine().contains(marker)) break;
    }
    return s.ReadLine();
  }

 private:
  QString folder_;
  QStringList languages_;
};

void WriteFile(const QString& path, const QByteArray& bytes) {
  QDir().mkpath(QFileInfo(path).path());
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly)) {
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    std::exit(2);
  }
  f.write(bytes);
}

void BuildPresentation(const QString& root) {
  WriteLargePresentation(root, QStringLiteral("BIG"));
  WriteFile(root + "/Media/BIG/media.wma", "stub");
}

struct Run {
  double shownMs = -1;  // from the load handler's start to the window shown
  double totalMs = 0;   // the whole load handler
  size_t messages = 0;
  int cues = 0;
};

class ShowWatch : public QObject {
 public:
  explicit ShowWatch(QElapsedTimer& clock) : clock_(clock) {}
  double shownMs = -1;

 protected:
  bool eventFilter(QObject* o, QEvent* e) override {
    if (e->type() == QEvent::Show && shownMs < 0) shownMs = clock_.nsecsElapsed() / 1e6;
    return QObject::eventFilter(o, e);
  }

 private:
  QElapsedTimer& clock_;
};

// The kB figure of one "Vm...:" line of /proc/self/status (0 where there is none).
double ProcessMemoryMb(const char* field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  const std::string key = std::string(field) + ":";
  while (std::getline(status, line)) {
    if (line.rfind(key, 0) == 0) return std::stod(line.substr(key.size())) / 1024.0;
  }
  return 0;
}

// Counts the messages without keeping them, as a user who chose "Skip further messages" sees
// none of them.
class CountingReporter : public medium::Reporter {
 public:
  CountingReporter() : Reporter(QStringLiteral("Tavisco")) {}
  void Show(const medium::Message&) override { ++count; }
  size_t count = 0;
};

int LongTimeline(int lines) {
  QTemporaryDir dir;
  const QString root = dir.path();
  WriteFile(root + "/Data/LONG/database.txt",
            "SlideMode=1\r\nMediaMode=1\r\nFlag=0\r\nText=Long\r\n");
  constexpr int kPictures = 100;
  for (int i = 1; i <= kPictures; ++i) {
    QImage thumb(80, 65, QImage::Format_RGB32);
    thumb.fill(QColor::fromHsv((i * 37) % 360, 120, 220));
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    thumb.save(&buffer, "JPG", 90);
    WriteFile(root + QStringLiteral("/Slides/Deck/thumbs/Slide%1.jpg").arg(i), jpeg);
  }
  QByteArray events;
  events.reserve(lines * 40);
  for (int i = 0; i < lines; ++i) {
    events += "0~" + QByteArray::number(i * 1000) + "~Deck~" +
              QByteArray::number(i % kPictures + 1) + "~Slide " + QByteArray::number(i + 1) +
              "\r\n";
  }
  WriteFile(root + "/Data/LONG/events.txt", events);
  WriteFile(root + "/Data/LONG/details.txt", "A timeline far beyond the designed limit\r\n");
  WriteFile(root + "/Media/LONG/media.wma", "stub");
  medium::SetApplicationFolder(root);

  CountingReporter reporter;
  FakeEngine engine;  // no recording: the position stays negative
  PlayerWindow window(ProfileFor(PlayerBuild::Tavisco), reporter, Borrow(engine), "-p LONG");
  QElapsedTimer clock;
  ShowWatch watch(clock);
  window.installEventFilter(&watch);
  clock.start();
  window.Form_Load();
  const double totalMs = clock.nsecsElapsed() / 1e6;
  QCoreApplication::processEvents();
  const int slides =
      window.Session().SlidesList() ? window.Session().SlidesList()->Slides.Count() : 0;
  const double residentMb = ProcessMemoryMb("VmRSS");
  const double peakMb = ProcessMemoryMb("VmHWM");
  std::printf("long timeline: %d lines, %d slides taken, %zu messages\n", lines, slides,
              reporter.count);
  std::printf("window shown at %.0f ms (whole start-up %.0f ms); resident %.0f MB, peak %.0f MB\n",
              watch.shownMs, totalMs, residentMb, peakMb);
  const bool ok = peakMb <= 300;
  if (!ok) std::printf("FAILED: the player must hold at most 300 MB for this timeline\n");
  return ok ? 0 : 1;
}

Run StartOnce(bool rescan) {
  medium::RecordingReporter reporter("Tavisco");
  FakeEngine engine;  // no recording: the position stays negative
  PlayerWindow window(ProfileFor(PlayerBuild::Tavisco), reporter, Borrow(engine), "-p BIG");
  if (rescan) {
    window.Session().SetTranscriptSourceFactory(
        [](const QString& folder, const QStringList& languages) {
          return std::make_unique<RescanTranscripts>(folder, languages);
        });
  }
  QElapsedTimer clock;
  ShowWatch watch(clock);
  window.installEventFilter(&watch);
  clock.start();
  window.Form_Load();
  Run run;
  run.totalMs = clock.nsecsElapsed() / 1e6;
  run.shownMs = watch.shownMs;
  run.messages = reporter.messages.size();
  run.cues = window.Session().TransList() ? window.Session().TransList()->Trans.Count() : 0;
  return run;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  int runs = 5;
  const QStringList args = app.arguments();
  const qsizetype longAt = args.indexOf("--long-timeline");
  if (longAt >= 0) {
    const int lines = longAt + 1 < args.size() ? args[longAt + 1].toInt() : 0;
    return LongTimeline(lines > 0 ? lines : 200000);
  }
  const qsizetype at = args.indexOf("--runs");
  if (at >= 0 && at + 1 < args.size()) runs = std::max(1, args[at + 1].toInt());

  QTemporaryDir dir;
  BuildPresentation(dir.path());
  medium::SetApplicationFolder(dir.path());
  std::printf("presentation: %d slides, %d cues in %d languages, %d marks\n", kSlides, kCues,
              int(kLanguages.size()), kAnns);

  std::vector<double> indexed;
  Run last;
  for (int i = 0; i < runs; ++i) {
    last = StartOnce(false);
    indexed.push_back(last.shownMs);
  }
  std::sort(indexed.begin(), indexed.end());
  const double indexedMs = indexed[indexed.size() / 2];
  std::printf(
      "indexed transcripts: %.1f ms to the window shown (median of %d; whole start-up "
      "%.1f ms; %zu messages, %d cues)\n",
      indexedMs, runs, last.totalMs, last.messages, last.cues);

  const Run slow = StartOnce(true);
  std::printf("rescan per cue and language: %.1f ms to the window shown (%zu messages, %d cues)\n",
              slow.shownMs, slow.messages, slow.cues);
  const double ratio = slow.shownMs / indexedMs;
  std::printf("indexed is %.0f times faster\n", ratio);

  const bool ok = indexedMs < 1000 && ratio >= 50 && last.messages == 0 && slow.messages == 0;
  if (!ok) std::printf("FAILED: the indexed start-up must take under 1 s and be 50 times faster\n");
  return ok ? 0 : 1;
}
