#include "player/core/SlideRenderer.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QPen>
#include <QPointF>
#include <algorithm>
#include <cmath>

#include "medium/Error.h"
#include "medium/Paths.h"
#include "medium/Picture.h"
#include "presentation/MediumLayout.h"

namespace {

// The text of a mark is drawn in pixels from the mark's point, its top-left corner, so that it
// reads the same at every scale of the twips painter; unsmoothed, like the lines.
void DrawTextMark(QPainter& painter, const ResolvedMark& mark, double scale) {
  if (mark.text.isEmpty()) return;
  painter.save();
  const QPointF at = painter.transform().map(QPointF(mark.from));
  painter.resetTransform();
  QFont font = TextMarkFont();
  // On an enlarged canvas the text grows with the picture, as the lines do.
  if (scale != 1.0) font.setPixelSize(std::max(1, int(std::lround(font.pixelSize() * scale))));
  painter.setFont(font);
  painter.setPen(mark.colour);
  painter.drawText(QPointF(std::floor(at.x()), std::floor(at.y()) + QFontMetricsF(font).ascent()),
                   mark.text);
  painter.restore();
}

bool Paintable(QImage::Format format) {
  return format == QImage::Format_RGB32 || format == QImage::Format_ARGB32 ||
         format == QImage::Format_ARGB32_Premultiplied;
}

}  // namespace

QFont TextMarkFont() {
  // Arial as the old players had it; the program maps it to an installed face of the same metrics.
  QFont font(QStringLiteral("Arial"));
  font.setPixelSize(static_cast<int>(kTextMarkPoints * 96.0 / 72.0 + 0.5));
  font.setStyleHint(QFont::SansSerif);
  font.setStyleStrategy(QFont::NoAntialias);
  return font;
}

void BeginTwipsPainting(QPainter& painter, double scale) {
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.scale(scale / kTwipsPerPixel, scale / kTwipsPerPixel);
}

bool DrawAnnotation(QPainter& painter, const Ann_cls& ann, double scale) {
  const ResolvedMark mark = ResolveMark(ann);
  if (!mark.colour.isValid()) return false;
  // A cosmetic pen stays one picture pixel wide under the twips scale, whole canvas pixels wide.
  const double width = std::max(1.0, std::round(scale));
  QPen pen(mark.colour, width, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin);
  pen.setCosmetic(true);
  painter.setPen(pen);
  painter.setBrush(Qt::NoBrush);
  const QPointF a(mark.from);
  const QPointF b(mark.to);
  switch (mark.shape) {
    case MarkShape::Line:
      painter.drawLine(a, b);
      break;
    case MarkShape::Rectangle: {
      // Drawn as four sides, so that a rectangle of zero height or width still shows as a line.
      const QPointF outline[] = {a, QPointF(b.x(), a.y()), b, QPointF(a.x(), b.y()), a};
      painter.drawPolyline(outline, 5);
      break;
    }
    case MarkShape::Text:
      DrawTextMark(painter, mark, scale);
      break;
    case MarkShape::None:
      break;
  }
  return true;
}

QImage SlideCanvas(const QImage& picture) {
  const int width = std::max(picture.width(), kSlideAreaWidthPx);
  const int height = std::max(picture.height(), kSlideAreaHeightPx);
  if (picture.width() == width && picture.height() == height) {
    if (Paintable(picture.format())) return picture;
    return picture.convertToFormat(QImage::Format_RGB32);
  }
  QImage canvas(width, height, QImage::Format_ARGB32_Premultiplied);
  canvas.fill(Qt::transparent);
  QPainter painter(&canvas);
  painter.drawImage(0, 0, picture);
  return canvas;
}

int DrawAnnotationRange(QImage& canvas, const Anns_cls& anns, int first, int last, double scale) {
  if (last < first) return 0;
  QPainter painter(&canvas);
  BeginTwipsPainting(painter, scale);
  int drawn = 0;
  for (int i = first; i <= last; ++i) {
    if (DrawAnnotation(painter, anns.Anns.Item(i), scale)) ++drawn;
  }
  return drawn;
}

QImage MissingSlidePicture(const QString& file, const QString& reason) {
  QImage picture(kSlideAreaWidthPx, kSlideAreaHeightPx, QImage::Format_RGB32);
  picture.fill(QColor(192, 192, 192));
  picture.setText(QString::fromLatin1(kMissingPictureKey), file);
  QPainter painter(&picture);
  painter.setPen(QColor(128, 128, 128));
  painter.drawRect(0, 0, kSlideAreaWidthPx - 1, kSlideAreaHeightPx - 1);
  painter.setPen(QColor(64, 64, 64));
  QFont font = painter.font();
  font.setPixelSize(13);
  painter.setFont(font);
  const QString text = QStringLiteral("Slide picture not available\n\n%1").arg(reason);
  painter.drawText(QRect(16, 16, kSlideAreaWidthPx - 32, kSlideAreaHeightPx - 32),
                   Qt::AlignCenter | Qt::TextWrapAnywhere, text);
  return picture;
}

QImage RenderLargeSlide(const QImage& picture, const Anns_cls* anns, int firstMark, int lastMark,
                        const QSize& deviceSize) {
  if (picture.isNull() || deviceSize.isEmpty()) return {};
  QImage canvas = picture.scaled(deviceSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                      .convertToFormat(QImage::Format_ARGB32_Premultiplied);
  if (anns && !anns->Anns.IsEmpty() && lastMark >= firstMark) {
    // Marks are placed in the picture's own pixels (15 twips each), so they scale with it.
    const double scale = double(deviceSize.width()) / picture.width();
    DrawAnnotationRange(canvas, *anns, std::max(1, firstMark),
                        std::min<int>(lastMark, anns->Anns.Count()), scale);
  }
  return canvas;
}

SlideRenderer::SlideRenderer(const layout::MediumLayout& medium, const Slides_cls& slides,
                             const Anns_cls& anns, PictureLoader loader)
    : medium_(medium),
      slides_(slides),
      anns_(anns),
      loader_(loader ? std::move(loader) : PictureLoader(&medium::LoadPicture)) {}

SlideRenderer::Loaded SlideRenderer::Load(int n) const {
  QString path;
  QString reason;
  try {
    path = medium_.SlidePicturePath(slides_.Slides.Item(n));
    QImage picture = loader_(path);
    if (!picture.isNull()) return {std::move(picture), false};
    reason = QStringLiteral("Invalid picture: %1").arg(medium::NativePath(path));
  } catch (const medium::AppError& e) {
    reason = e.description();
  }
  return {MissingSlidePicture(medium::NativePath(path), reason), true};
}

QImage SlideRenderer::AtOwnSize(int n, int first, int last) const {
  const Loaded loaded = Load(n);
  if (loaded.missing) return loaded.picture;
  QImage canvas = SlideCanvas(loaded.picture);
  DrawAnnotationRange(canvas, anns_, first, last);
  return canvas;
}
