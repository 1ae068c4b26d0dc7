// The cost of one synchronisation tick on a large presentation: 1,000 slides, 2,000 marks, every
// slide drawing 50 of them over its 472 x 360 JPEG picture, which is read and decoded from its
// file on every tick as the players do. Prints percentiles of the whole tick and of its parts.
//
//   bench_tick [ticks]        (default 2000; exit status 1 when the median is 5 ms or more)

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <numeric>
#include <vector>

#include "medium/Paths.h"
#include "medium/Picture.h"
#include "player/core/Playback.h"
#include "player/core/SlideRenderer.h"
#include "presentation/Marks.h"
#include "presentation/MediumLayout.h"
#include "presentation/Model.h"
#include "tests/support/FakeEngine.h"

namespace {

constexpr int kSlides = 1000;
constexpr int kAnns = 2000;
constexpr int kMarksPerSlide = 50;
constexpr int kDistinctPictures = 10;
constexpr double kBudgetMs = 5.0;

// A view that keeps what the playing state tells it, as the player window does.
struct KeepingView {
  explicit KeepingView(const PlayingState& state) {
    QObject::connect(&state, &PlayingState::changed, [this, &state](PlayingState::Parts parts) {
      if (parts & PlayingState::Transcript) transcript = state.TranscriptText();
      if (parts & PlayingState::Picture) picture = state.SlidePicture();
      if (parts & PlayingState::Title) title = state.SlideTitle();
      if (parts & PlayingState::Highlight)
        highlight = HighlightLeft(1215.0f, state.HighlightSlide());
    });
  }
  QString transcript, title;
  QImage picture;
  float highlight = 0;
};

// A slide as a presentation would have it: title bar, gradient, a photo-like block of detail
// and lines of text, so that the JPEG carries realistic detail to decode.
QImage MakeSlide(int variant) {
  QImage img(kSlideAreaWidthPx, kSlideAreaHeightPx, QImage::Format_RGB32);
  QPainter p(&img);
  QLinearGradient g(0, 0, 472, 360);
  g.setColorAt(0, QColor::fromHsv((variant * 36) % 360, 60, 250));
  g.setColorAt(1, Qt::white);
  p.fillRect(img.rect(), g);
  p.fillRect(0, 0, 472, 48, QColor(20, 40, 110));
  QRandomGenerator rng(static_cast<quint32>(variant + 1));
  for (int y = 70; y < 300; y += 4)
    for (int x = 260; x < 452; x += 4)
      p.fillRect(x, y, 4, 4, QColor::fromRgb(rng.generate() & 0xFFFFFF));
  p.setPen(Qt::black);
  for (int line = 0; line < 9; ++line)
    p.drawText(20, 90 + line * 24,
               QStringLiteral("Point %1 of slide variant %2").arg(line).arg(variant));
  p.end();
  return img;
}

struct Percentiles {
  double min, p50, p90, p99, max, mean;
};

Percentiles Summarise(std::vector<double> ms) {
  std::sort(ms.begin(), ms.end());
  auto at = [&](double q) {
    return ms[static_cast<size_t>(q * static_cast<double>(ms.size() - 1))];
  };
  const double mean = std::accumulate(ms.begin(), ms.end(), 0.0) / static_cast<double>(ms.size());
  return {ms.front(), at(0.5), at(0.9), at(0.99), ms.back(), mean};
}

void Print(const char* what, const Percentiles& p) {
  std::printf("%-28s min %7.3f  median %7.3f  p90 %7.3f  p99 %7.3f  max %7.3f  mean %7.3f ms\n",
              what, p.min, p.p50, p.p90, p.p99, p.max, p.mean);
}

template <class Step>
std::vector<double> Measure(int runs, Step&& step) {
  std::vector<double> ms;
  ms.reserve(static_cast<size_t>(runs));
  QElapsedTimer clock;
  for (int i = 0; i < runs; ++i) {
    clock.start();
    step(i);
    ms.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
  }
  return ms;
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  const int ticks = argc > 1 ? std::max(10, QString::fromLocal8Bit(argv[1]).toInt()) : 2000;

  QTemporaryDir dir;
  medium::SetApplicationFolder(dir.path());
  QDir().mkpath(dir.path() + QStringLiteral("/Slides/Deck"));
  std::vector<QByteArray> jpegs;
  for (int v = 0; v < kDistinctPictures; ++v) {
    const QString first = dir.path() + QStringLiteral("/Slides/Deck/Slide%1.jpg").arg(v + 1);
    MakeSlide(v).save(first, "JPG", 90);
    QFile f(first);
    f.open(QIODevice::ReadOnly);
    jpegs.push_back(f.readAll());
  }
  for (int n = kDistinctPictures + 1; n <= kSlides; ++n) {
    QFile f(dir.path() + QStringLiteral("/Slides/Deck/Slide%1.jpg").arg(n));
    f.open(QIODevice::WriteOnly);
    f.write(jpegs[static_cast<size_t>((n - 1) % kDistinctPictures)]);
  }

  // Slide n starts at (n - 1) s. Marks 1..49 lie before the start and mark j >= 50 at the start
  // of slide j - 49, so every slide's range n..n + 49 holds 50 marks; the rest come after the end.
  Slides_cls slides;
  Anns_cls anns;
  Trans_cls trans;
  for (int n = 1; n <= kSlides; ++n) {
    Slide_cls s;
    s.SlideTime = (n - 1) * 1000.0;
    s.SlidePres = QStringLiteral("Deck");
    s.SlideNum = static_cast<int16_t>(n);
    s.SlideName = QStringLiteral("Slide title %1").arg(n);
    slides.Slides.Add(std::move(s));
  }
  QRandomGenerator rng(42);
  for (int j = 1; j <= kAnns; ++j) {
    Ann_cls a;
    a.AnnTime = j < kMarksPerSlide ? j - kMarksPerSlide : (j - kMarksPerSlide) * 1000.0;
    a.AnnType = static_cast<int16_t>((j % 2) ? MarkKind::Line : MarkKind::Text);
    a.AnnX = static_cast<int16_t>(rng.bounded(7080));
    a.AnnY = static_cast<int16_t>(rng.bounded(5400));
    a.AnnWidth = static_cast<int16_t>(rng.bounded(7080));
    a.AnnHeight = static_cast<int16_t>(rng.bounded(5400));
    a.AnnRed = QString::number(rng.bounded(256));
    a.AnnGreen = QString::number(rng.bounded(256));
    a.AnnBlue = QString::number(rng.bounded(256));
    anns.Anns.Add(std::move(a));
  }
  for (int c = 1; c <= kSlides; ++c) {
    Tran_cls t;
    t.TranTime = (c - 1) * 1000.0;
    t.Languages.Add(QStringLiteral("Section %1 of the talk").arg(c));
    trans.Trans.Add(std::move(t));
  }

  const int16_t slideMode = 0;
  FakeEngine engine;
  PlayingState state;
  state.ChooseLanguage(0, QStringLiteral("ENGLISH"));
  KeepingView view(state);
  int loads = 0;
  const SlideRenderer renderer(layout::Current(), slides, anns, [&](const QString& path) {
    ++loads;
    return medium::LoadPicture(path);
  });
  Playback playback(slides, anns, trans, slideMode, engine, state, renderer);

  // Positions spread over the whole recording, each in the middle of a slide.
  auto positionOf = [](int i) { return ((i * 7919) % kSlides) * 1000.0 + 500.0; };
  for (int i = 0; i < 50; ++i) playback.SyncToPosition(positionOf(i));  // warm the file cache
  loads = 0;
  const auto whole = Measure(ticks, [&](int i) { playback.SyncToPosition(positionOf(i)); });
  if (loads != ticks || view.picture.text(QString::fromLatin1(kMissingPictureKey)).size()) {
    std::fprintf(stderr, "slide pictures were not all loaded from their files\n");
    return 2;
  }

  const auto lookups = Measure(ticks, [&](int i) {
    const int16_t s = FindSlideIndex(slides, 1, slides.Slides.Count(), positionOf(i));
    volatile int16_t sink =
        FindAnnIndex(anns, 1, anns.Anns.Count(), slides.Slides.Item(s).SlideTime) +
        FindTranIndex(trans, 1, trans.Trans.Count(), positionOf(i));
    (void)sink;
  });
  const auto decode = Measure(ticks, [&](int i) {
    const auto n = static_cast<int16_t>(positionOf(i) / 1000.0 + 1);
    volatile int w =
        medium::LoadPicture(layout::Current().SlidePicturePath(slides.Slides.Item(n))).width();
    (void)w;
  });
  const QImage picture =
      medium::LoadPicture(layout::Current().SlidePicturePath(slides.Slides.Item(1)));
  const auto draw = Measure(ticks, [&](int i) {
    QImage canvas = SlideCanvas(picture);
    const int s = static_cast<int>(positionOf(i) / 1000.0) + 1;
    DrawAnnotationRange(canvas, anns, s, s + kMarksPerSlide - 1);
  });

  std::printf("one tick: %d slides, %d marks, %d marks drawn, %dx%d JPEG of %lld bytes, %d ticks\n",
              kSlides, kAnns, kMarksPerSlide, kSlideAreaWidthPx, kSlideAreaHeightPx,
              static_cast<long long>(jpegs[0].size()), ticks);
  const Percentiles total = Summarise(whole);
  Print("SyncToPosition (whole tick)", total);
  Print("  lookups", Summarise(lookups));
  Print("  read + decode JPEG", Summarise(decode));
  Print("  draw 50 marks", Summarise(draw));
  const bool within = total.p50 < kBudgetMs;
  std::printf("median %s the %.1f ms budget\n", within ? "within" : "OVER", kBudgetMs);
  return within ? 0 : 1;
}
