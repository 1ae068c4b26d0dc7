#include "presentation/Marks.h"

#include <algorithm>

#include "medium/Convert.h"
#include "medium/Error.h"

ColourComponent ReadColourComponent(const QString& text) {
  int16_t value = 0;
  try {
    value = medium::ToInt16(text);
  } catch (const medium::AppError&) {
    return {};
  }
  if (value < 0) return {};
  return {std::min<int>(value, 255), value > 255};
}

std::optional<QColor> AnnotationColour(const Ann_cls& ann) {
  const auto red = ReadColourComponent(ann.AnnRed).value;
  const auto green = ReadColourComponent(ann.AnnGreen).value;
  const auto blue = ReadColourComponent(ann.AnnBlue).value;
  if (!red || !green || !blue) return std::nullopt;
  return QColor(*red, *green, *blue);
}

ResolvedMark ResolveMark(const Ann_cls& ann) {
  ResolvedMark mark;
  mark.from = QPoint(ann.AnnX, ann.AnnY);
  mark.to = QPoint(ann.AnnWidth, ann.AnnHeight);
  const std::optional<QColor> colour = AnnotationColour(ann);
  if (!colour) return mark;
  mark.colour = *colour;
  if (IsMarkKind(ann, MarkKind::Line)) {
    mark.shape = MarkShape::Line;
  } else if (IsTextMark(ann)) {
    mark.shape = MarkShape::Text;
    mark.text = ann.AnnText;
  } else if (IsMarkKind(ann, MarkKind::Text)) {
    mark.shape = MarkShape::Rectangle;
  }
  return mark;
}
