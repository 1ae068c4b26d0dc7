#include "library/IndexTypes.h"

#include <QDateTime>
#include <algorithm>

namespace library {

QString MediumEntry::SeenElsewhere() const {
  if (present || places.empty()) return QString();
  const MediumPlace& p = places.front();
  return QStringLiteral("seen on %1 at %2, %3")
      .arg(p.host, ShownPath(p.path),
           QDateTime::fromMSecsSinceEpoch(p.seenMs).toString(QStringLiteral("yyyy-MM-dd hh:mm")));
}

double IndexProgress::Fraction() const {
  if (media <= 0) return 1.0;
  double part = 0;
  if (presentations > 0) part = double(presentation) / presentations;
  if (unchanged) part = 1.0;
  return std::clamp((std::max(medium, 1) - 1 + part) / media, 0.0, 1.0);
}

QString IndexProgress::Line() const {
  QString line =
      QStringLiteral("Indexing %1/%2 %3").arg(medium).arg(media).arg(ShownPath(mediumPath));
  if (unchanged) return line + QStringLiteral(": unchanged");
  if (presentations > 0) line += QStringLiteral(": %1/%2").arg(presentation).arg(presentations);
  return line;
}

}  // namespace library
