#include "Picture.h"

#include <QFile>
#include <QImageReader>

#include "Error.h"
#include "Paths.h"

namespace medium {

QImage LoadPicture(const QString& mediumPath) {
  const Resolved r = Resolve(mediumPath);
  const QString shown = NativePath(mediumPath);
  if (!r.exists || !FileExists(mediumPath)) {
    throw AppError(kFileNotFound, QStringLiteral("File not found: %1").arg(shown));
  }
  QImageReader reader(r.path);
  reader.setDecideFormatFromContent(true);
  QImage image = reader.read();
  if (image.isNull()) {
    throw AppError(kInvalidPicture, QStringLiteral("Invalid picture: %1").arg(shown));
  }
  return image;
}

}  // namespace medium
