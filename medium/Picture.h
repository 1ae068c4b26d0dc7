#pragma once
// Pictures are loaded from their files every time they are shown; nothing is cached.

#include <QImage>
#include <QString>

namespace medium {

// Loads a JPEG (or any format Qt reads) from a medium-form path. Throws what ReadRegularFile
// throws when the file cannot be read (missing, a folder or device, refused, a read error), and
// "Invalid picture: <path>" (481) when it cannot be decoded.
QImage LoadPicture(const QString& mediumPath);

}  // namespace medium
