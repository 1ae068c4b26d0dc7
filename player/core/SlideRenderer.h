#pragma once
// The one way a slide reaches the screen: its picture from the medium, a placeholder naming the
// file when it is missing or damaged, and the marks of a range drawn over it at any scale.
// Slide_img shows the picture at its own size, drawn in twips (15 to a pixel) with a solid
// one-pixel pen and no smoothing, so the marks land on the same pixels as on the old players
// whatever the screen's scale; the large slide view shows it enlarged, marks scaled with it.

#include <QImage>
#include <QSize>
#include <QString>
#include <functional>

#include "presentation/Marks.h"
#include "presentation/MediumLayout.h"
#include "presentation/Model.h"

class QFont;
class QPainter;

// Slide_img: 472 by 360 pixels, 7080 by 5400 twips; the picture sits in its top-left corner.
inline constexpr int kSlideAreaWidthPx = 472;
inline constexpr int kSlideAreaHeightPx = 360;
inline constexpr double kTwipsPerPixel = 15.0;

// The key under which a placeholder picture carries the name of the file it stands for.
inline constexpr char kMissingPictureKey[] = "MissingPicture";

// Loads a picture from a medium-form path; throws medium::AppError when it is missing or cannot
// be decoded (medium::LoadPicture is the real one).
using PictureLoader = std::function<QImage(const QString& mediumPath)>;

// Sets up a painter on a slide canvas to draw in twips: scaled 1/15, no antialiasing. A canvas
// that shows the slide picture enlarged passes how many of its pixels make one picture pixel.
void BeginTwipsPainting(QPainter& painter, double scale = 1.0);

// The small sans-serif font, in pixels and unsmoothed, that text marks are written in.
QFont TextMarkFont();

// Draws one mark, resolved by the one rule, with a painter set up by BeginTwipsPainting. False
// when its colour was unusable and nothing was drawn. On an enlarged canvas (scale as given to
// BeginTwipsPainting) pen and text grow with the picture.
bool DrawAnnotation(QPainter& painter, const Ann_cls& ann, double scale = 1.0);

// A picture ready to be drawn on and shown in Slide_img: the slide picture at its own size from
// the top-left corner, on a canvas at least as large as the area (the rest transparent, so the
// area's own background shows there), because marks may reach beyond a small picture.
QImage SlideCanvas(const QImage& picture);

// Draws annotations first..last (inclusive, from 1) of anns on the canvas; none when last < first.
// Returns the number of marks drawn. scale: canvas pixels per slide picture pixel.
int DrawAnnotationRange(QImage& canvas, const Anns_cls& anns, int first, int last,
                        double scale = 1.0);

// Shown instead of a slide picture that is missing or cannot be decoded: a neutral grey area of
// Slide_img's size that names the file, so the viewer knows what is missing while the
// presentation goes on. The file name is also kept under kMissingPictureKey.
QImage MissingSlidePicture(const QString& file, const QString& reason);

// The slide picture scaled smoothly to deviceSize (which should keep its aspect ratio) with
// marks firstMark..lastMark of anns drawn over it, scaled from their twips as on Slide_img.
QImage RenderLargeSlide(const QImage& picture, const Anns_cls* anns, int firstMark, int lastMark,
                        const QSize& deviceSize);

class SlideRenderer {
 public:
  // An empty loader means medium::LoadPicture.
  SlideRenderer(const layout::MediumLayout& medium, const Slides_cls& slides, const Anns_cls& anns,
                PictureLoader loader = {});

  // Slide n's picture (from 1) as its file gives it; missing (with the placeholder naming the
  // file instead) when it cannot be loaded. One damaged file on an old disc must not end the
  // presentation, and a tick comes every second, so no message box either.
  struct Loaded {
    QImage picture;
    bool missing = false;
  };
  Loaded Load(int n) const;
  // Slide_img's picture of slide n with marks first..last drawn (none over a placeholder).
  QImage AtOwnSize(int n, int first, int last) const;

  const Slides_cls& Slides() const { return slides_; }
  const Anns_cls& Anns() const { return anns_; }

 private:
  layout::MediumLayout medium_;
  const Slides_cls& slides_;
  const Anns_cls& anns_;
  PictureLoader loader_;
};
