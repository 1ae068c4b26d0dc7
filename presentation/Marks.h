#pragma once
// The marks laid over a slide, ruled once for every program: what each kind of mark record is,
// its colour, and how it is drawn. The player draws a resolved mark on Slide_img and the large
// slide view, the exporter writes it for the page, which draws what it is given, and the checker
// judges a colour by the same rule.

#include <QColor>
#include <QPoint>
#include <QString>
#include <cstdint>
#include <optional>

#include "presentation/Model.h"

// What AnnType says a mark record is. The timeline reader gives Text (a point, a colour and a
// text) and Shape (a time, a shape, a style, a rectangle and a colour); a line is drawn from
// records made by hand only.
enum class MarkKind : int16_t { Line = 0, Text = 2, Shape = 3 };

inline bool IsMarkKind(const Ann_cls& ann, MarkKind kind) {
  return ann.AnnType == static_cast<int16_t>(kind);
}

// A text mark: kind 2 as the timeline gives it, a point, a colour and AnnText but no second
// corner (AnnWidth and AnnHeight both 0).
inline bool IsTextMark(const Ann_cls& ann) {
  return IsMarkKind(ann, MarkKind::Text) && ann.AnnWidth == 0 && ann.AnnHeight == 0;
}

// One colour component by the rule of every program: a whole number (a fraction rounds half to
// even); above 255 counts as 255. Empty, not a number, negative or beyond 16 bits: no value,
// and the mark is not drawn.
struct ColourComponent {
  std::optional<int> value;  // 0 to 255
  bool aboveRange = false;   // the text said more than 255
};
ColourComponent ReadColourComponent(const QString& text);

// The pen colour of a mark from AnnRed, AnnGreen and AnnBlue; none when a component has none.
std::optional<QColor> AnnotationColour(const Ann_cls& ann);

// How a mark is drawn, in twips of Slide_img (7080 by 5400, origin at the top-left corner).
enum class MarkShape {
  None,       // nothing: an unusable colour, a shape record, or any other kind
  Line,       // from one point to the other
  Rectangle,  // the outline with the two points as opposite corners; no fill
  Text,       // the text with its top-left corner at the first point
};

struct ResolvedMark {
  MarkShape shape = MarkShape::None;
  QPoint from;    // (AnnX, AnnY)
  QPoint to;      // (AnnWidth, AnnHeight): coordinates of the second point, not extents
  QColor colour;  // valid whenever the colour rule gives one, whatever the shape
  QString text;   // a text mark's words
};

// The one drawing rule: a line for kind 0; for kind 2 the outline of the rectangle with the two
// corners, or, with no second corner (both 0, as the timeline gives every text mark), its text;
// nothing for any other kind, shapes of kind 3 among them.
ResolvedMark ResolveMark(const Ann_cls& ann);

// A text mark is written in a small sans-serif face of this size (8 points: 160 twips).
inline constexpr double kTextMarkPoints = 8;
