#include "player/Annotations.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QPen>
#include <QPointF>
#include <algorithm>
#include <cmath>

#include "medium/Convert.h"
#include "medium/Error.h"
#include "ui/DesignFonts.h"

namespace {

// One colour component; nullopt when the text cannot be a component at all.
std::optional<int> Component(const QString& text) {
  int16_t value = 0;
  try {
    value = medium::ToInt16(text);
  } catch (const medium::AppError&) {
    return std::nullopt;
  }
  if (value < 0) return std::nullopt;
  return std::min<int>(value, 255);
}

// The text of a mark is drawn in pixels from the mark's point, its top-left corner, so that it
// reads the same at every scale of the twips painter; unsmoothed, like the lines.
void DrawTextMark(QPainter& painter, const Ann_cls& ann, const QColor& colour, double scale) {
  if (ann.AnnText.isEmpty()) return;
  painter.save();
  const QPointF at = painter.transform().map(QPointF(ann.AnnX, ann.AnnY));
  painter.resetTransform();
  QFont font = TextMarkFont();
  // On an enlarged canvas the text grows with the picture, as the lines do.
  if (scale != 1.0) font.setPixelSize(std::max(1, int(std::lround(font.pixelSize() * scale))));
  painter.setFont(font);
  painter.setPen(colour);
  painter.drawText(QPointF(std::floor(at.x()), std::floor(at.y()) + QFontMetricsF(font).ascent()),
                   ann.AnnText);
  painter.restore();
}

bool Paintable(QImage::Format format) {
  return format == QImage::Format_RGB32 || format == QImage::Format_ARGB32 ||
         format == QImage::Format_ARGB32_Premultiplied;
}

}  // namespace

std::optional<QColor> AnnotationColour(const Ann_cls& ann) {
  const auto red = Component(ann.AnnRed);
  const auto green = Component(ann.AnnGreen);
  const auto blue = Component(ann.AnnBlue);
  if (!red || !green || !blue) return std::nullopt;
  return QColor(*red, *green, *blue);
}

bool IsTextMark(const Ann_cls& ann) {
  return ann.AnnType == 2 && ann.AnnWidth == 0 && ann.AnnHeight == 0;
}

QFont TextMarkFont() {
  QFont font = ui::DesignFontInPixels("Arial", 8);
  font.setStyleHint(QFont::SansSerif);
  font.setStyleStrategy(QFont::NoAntialias);
  return font;
}

void BeginTwipsPainting(QPainter& painter, double scale) {
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.scale(scale / kTwipsPerPixel, scale / kTwipsPerPixel);
}

bool DrawAnnotation(QPainter& painter, const Ann_cls& ann, double scale) {
  const std::optional<QColor> colour = AnnotationColour(ann);
  if (!colour) return false;
  // A cosmetic pen stays one picture pixel wide under the twips scale, whole canvas pixels wide.
  const double width = std::max(1.0, std::round(scale));
  QPen pen(*colour, width, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin);
  pen.setCosmetic(true);
  painter.setPen(pen);
  painter.setBrush(Qt::NoBrush);

  // The second point is given as coordinates, not as extents from the first.
  const QPointF a(ann.AnnX, ann.AnnY);
  const QPointF b(ann.AnnWidth, ann.AnnHeight);
  if (IsTextMark(ann)) {
    DrawTextMark(painter, ann, *colour, scale);
    return true;
  }
  switch (ann.AnnType) {
    case 0:
      painter.drawLine(a, b);
      break;
    case 2: {
      // Drawn as four sides, so that a rectangle of zero height or width still shows as a line.
      const QPointF outline[] = {a, QPointF(b.x(), a.y()), b, QPointF(a.x(), b.y()), a};
      painter.drawPolyline(outline, 5);
      break;
    }
    default:
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
