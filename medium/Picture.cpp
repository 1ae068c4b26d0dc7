#include "Picture.h"

#include <QBuffer>
#include <QImageReader>

#include "Error.h"
#include "Paths.h"

namespace medium {

QImage LoadPicture(const QString& mediumPath) {
  // The bytes first, so that a missing file, a folder, a device or a read error is named as
  // such and a pipe cannot block the decoder.
  QByteArray bytes = ReadRegularFile(mediumPath);
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer);
  reader.setDecideFormatFromContent(true);
  QImage image = reader.read();
  if (image.isNull()) {
    throw AppError(kInvalidPicture,
                   QStringLiteral("Invalid picture: %1").arg(NativePath(mediumPath)));
  }
  return image;
}

}  // namespace medium
