#include "ui/DesignFonts.h"

namespace ui {

void InstallDesignFonts() {
  static bool done = false;
  if (done) return;
  done = true;
  QFont::insertSubstitution(QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"));
  QFont::insertSubstitution(QStringLiteral("MS Serif"), QStringLiteral("Liberation Serif"));
  QFont::insertSubstitution(QStringLiteral("Arial"), QStringLiteral("Liberation Sans"));
}

QFont DesignFont(const char* family, double points, bool bold) {
  QFont font{QString::fromLatin1(family)};
  font.setPointSizeF(points);
  font.setBold(bold);
  return font;
}

QFont DesignFontInPixels(const char* family, double points, bool bold) {
  QFont font{QString::fromLatin1(family)};
  font.setPixelSize(static_cast<int>(points * 96.0 / 72.0 + 0.5));
  font.setBold(bold);
  return font;
}

}  // namespace ui
