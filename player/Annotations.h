#pragma once
// Drawing the marks of a slide over its picture. Slide_img draws in twips (15 to a pixel) with a
// solid one-pixel pen and no smoothing, so the marks land on the same pixels as on the old
// players whatever the screen's scale.

#include <QColor>
#include <QFont>
#include <QImage>
#include <QString>
#include <cstdint>
#include <optional>

#include "presentation/Model.h"

class QPainter;

// Slide_img: 472 by 360 pixels, 7080 by 5400 twips; the picture sits in its top-left corner.
inline constexpr int kSlideAreaWidthPx = 472;
inline constexpr int kSlideAreaHeightPx = 360;
inline constexpr double kTwipsPerPixel = 15.0;

// The key under which a placeholder picture carries the name of the file it stands for.
inline constexpr char kMissingPictureKey[] = "MissingPicture";

// The pen colour of an annotation from its three text fields: whole numbers (a fraction rounds
// half to even), above 255 counts as 255. Empty, not a number, negative or beyond 16 bits:
// no colour, and the mark is not drawn.
std::optional<QColor> AnnotationColour(const Ann_cls& ann);

// Sets up a painter on a slide canvas to draw in twips: scaled 1/15, no antialiasing. A canvas
// that shows the slide picture enlarged passes how many of its pixels make one picture pixel.
void BeginTwipsPainting(QPainter& painter, double scale = 1.0);

// A text mark: type 2 as the timeline gives it, a point, a colour and AnnText but no second
// corner (AnnWidth and AnnHeight both 0).
bool IsTextMark(const Ann_cls& ann);
// The small sans-serif font, in pixels and unsmoothed, that text marks are written in.
QFont TextMarkFont();

// Draws one annotation with a painter set up by BeginTwipsPainting: a text mark its AnnText with
// its top-left corner at (AnnX, AnnY) and no outline; type 0 a line from (AnnX, AnnY) to
// (AnnWidth, AnnHeight), any other type 2 the outline of the rectangle with those two corners,
// any other type (shapes of type 3 too) nothing. False when the colour was unusable and nothing
// was drawn. On an enlarged canvas (scale as given to BeginTwipsPainting) pen and text grow with
// the picture.
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
