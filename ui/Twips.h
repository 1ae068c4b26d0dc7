#pragma once
// The player window places its own children in pixels; its frames and Slide_img work in twips,
// 15 to a pixel at the standard 96 dots per inch.

#include <QRect>
#include <cmath>

// Twips to whole pixels, to the nearest pixel.
inline int TwipsToPixels(double twips) {
  return static_cast<int>(std::lround(twips / 15.0));
}

// The pixel rectangle of a twips rectangle: both edges rounded, so neighbours 50 twips apart
// keep their gap.
inline QRect TwipsRect(double left, double top, double width, double height) {
  const int l = TwipsToPixels(left);
  const int t = TwipsToPixels(top);
  return QRect(l, t, TwipsToPixels(left + width) - l, TwipsToPixels(top + height) - t);
}
