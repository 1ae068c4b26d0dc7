#pragma once
// A presentation model, a fake engine and a view of the playing state for driving playback
// without media, timers or waiting. Slide pictures come from a loader that counts its calls and
// hands out a plain white picture of Slide_img's size, unless a test sets a loader of its own.

#include <QColor>
#include <QImage>
#include <QStringList>
#include <initializer_list>
#include <memory>

#include "medium/Error.h"
#include "player/core/Playback.h"
#include "player/core/SlideRenderer.h"
#include "presentation/Model.h"
#include "tests/support/FakeEngine.h"
#include "tests/sync/FakeView.h"

struct SyncFixture {
  Slides_cls slides;
  Anns_cls anns;
  Trans_cls trans;
  int16_t slideMode = 0;
  FakeEngine engine;
  PlayingState state;
  FakeView view{state};
  QStringList loaded;   // paths the loader was asked for, in order
  QStringList missing;  // paths (or parts of them) the loader treats as missing files
  std::unique_ptr<SlideRenderer> renderer;
  std::unique_ptr<Playback> playback;

  explicit SyncFixture(int16_t mode = 0) : slideMode(mode) {
    state.ChooseLanguage(0, QStringLiteral("ENGLISH"));
    renderer = std::make_unique<SlideRenderer>(
        layout::Current(), slides, anns, [this](const QString& path) {
          loaded << path;
          for (const QString& m : missing) {
            if (path.contains(m))
              throw medium::AppError(medium::kFileNotFound,
                                     QStringLiteral("File not found: ") + path);
          }
          QImage picture(kSlideAreaWidthPx, kSlideAreaHeightPx, QImage::Format_RGB32);
          picture.fill(Qt::white);
          return picture;
        });
    playback = std::make_unique<Playback>(slides, anns, trans, slideMode, engine, state, *renderer);
  }

  // Slide pictures come from loader from now on.
  void UseLoader(PictureLoader loader) {
    playback.reset();
    renderer = std::make_unique<SlideRenderer>(layout::Current(), slides, anns, std::move(loader));
    playback = std::make_unique<Playback>(slides, anns, trans, slideMode, engine, state, *renderer);
  }

  void AddSlide(double time, const QString& name, int16_t num = 0,
                const QString& deck = QStringLiteral("Deck")) {
    Slide_cls s;
    s.SlideTime = time;
    s.SlidePres = deck;
    s.SlideNum = num ? num : static_cast<int16_t>(slides.Slides.Count() + 1);
    s.SlideName = name;
    slides.Slides.Add(std::move(s));
  }
  void AddSlides(std::initializer_list<double> times) {
    for (double t : times) AddSlide(t, QStringLiteral("Slide %1").arg(slides.Slides.Count() + 1));
  }

  Ann_cls& AddAnn(double time, int16_t type, int16_t x, int16_t y, int16_t w, int16_t h,
                  const QString& red = QStringLiteral("255"),
                  const QString& green = QStringLiteral("0"),
                  const QString& blue = QStringLiteral("0")) {
    Ann_cls a;
    a.AnnTime = time;
    a.AnnType = type;
    a.AnnX = x;
    a.AnnY = y;
    a.AnnWidth = w;
    a.AnnHeight = h;
    a.AnnRed = red;
    a.AnnGreen = green;
    a.AnnBlue = blue;
    return anns.Anns.Add(std::move(a));
  }

  void AddCue(double time, std::initializer_list<QString> texts) {
    Tran_cls t;
    t.TranTime = time;
    t.TranNum = static_cast<int16_t>(trans.Trans.Count() + 1);
    for (const QString& text : texts) t.Languages.Add(text);
    trans.Trans.Add(std::move(t));
  }

  void Tick(double position) {
    engine.position = position;
    playback->Tick();
  }

  // Pixels of the last picture shown that are not the white of the test slide.
  QList<QPoint> MarkedPixels() const {
    QList<QPoint> points;
    const QImage& p = view.picture;
    for (int y = 0; y < p.height(); ++y)
      for (int x = 0; x < p.width(); ++x)
        if (p.pixel(x, y) != qRgb(255, 255, 255)) points << QPoint(x, y);
    return points;
  }
};
