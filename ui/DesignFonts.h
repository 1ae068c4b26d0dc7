#pragma once
// The font families the windows were designed with, mapped once per process to installed
// metric-compatible ones, so that every caption fits where it was placed.

#include <QFont>

namespace ui {

// Maps "MS Sans Serif", "Arial" and "MS Serif" to the Liberation families. Safe to call again.
void InstallDesignFonts();

// A designed font at its size in points.
QFont DesignFont(const char* family, double points, bool bold = false);
// The same size turned into pixels at 96 dots per inch, for windows whose every other measure is
// in pixels too (they scale together with the screen).
QFont DesignFontInPixels(const char* family, double points, bool bold = false);

}  // namespace ui
