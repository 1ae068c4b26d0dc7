#pragma once
// The launcher window is designed in twips; widgets are placed in pixels. At the standard 96
// dots per inch fifteen twips make one pixel, and every designed value divides evenly.

#include <QRect>

namespace launcher {

constexpr int kTwipsPerPixel = 15;

constexpr int TwipsToPixels(int twips) {
  return twips / kTwipsPerPixel;
}

// Left, top, width and height as designed, in twips.
constexpr QRect TwipsRect(int left, int top, int width, int height) {
  return QRect(TwipsToPixels(left), TwipsToPixels(top), TwipsToPixels(width),
               TwipsToPixels(height));
}

}  // namespace launcher
