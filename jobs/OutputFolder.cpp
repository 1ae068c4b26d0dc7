#include "jobs/OutputFolder.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <algorithm>

#include "jobs/StagingFolder.h"

namespace jobs {

bool IsPlainFolderName(const QString& name) {
  return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") &&
         !name.contains(u'/') && !name.contains(u'\\') && !name.startsWith(u'.');
}

QString OnMediumReason(const QString& out, const QString& mediumRoot) {
  if (mediumRoot.isEmpty() || !IsWithin(out, mediumRoot)) return {};
  return QStringLiteral("%1 lies on the medium, which is never written to")
      .arg(QDir::toNativeSeparators(out));
}

QString MakeOutputFolder(const QString& out, QString* error) {
  if (!QDir().mkpath(out) || !QFileInfo(out).isDir()) {
    *error =
        QStringLiteral("the output folder %1 cannot be made").arg(QDir::toNativeSeparators(out));
    return {};
  }
  return QFileInfo(out).canonicalFilePath();
}

QString ReplaceReason(const QString& target, const QString& mediumRoot, bool force) {
  if (IsWithin(mediumRoot, ResolvedAbsolute(target)))
    return QStringLiteral("holds the medium itself: not replaced");
  if (!force) return QStringLiteral("exists already: not replaced (--force replaces it)");
  return {};
}

QHash<QString, QString> MediumFolderNames(const QStringList& mediumPaths,
                                          const QStringList& reserved) {
  QStringList ordered = mediumPaths;
  std::sort(ordered.begin(), ordered.end());
  QHash<QString, QString> names;
  QSet<QString> taken;
  for (const QString& r : reserved) taken.insert(r.toLower());
  for (const QString& path : ordered) {
    if (names.contains(path)) continue;
    // The name the shelf shows, else where a link or a "." leads.
    QString base = QFileInfo(QDir::cleanPath(QDir::fromNativeSeparators(path))).fileName();
    if (!IsPlainFolderName(base)) base = QFileInfo(QFileInfo(path).canonicalFilePath()).fileName();
    if (!IsPlainFolderName(base)) base = QStringLiteral("medium");
    QString name = base;
    for (int n = 2; taken.contains(name.toLower()); ++n)
      name = QStringLiteral("%1-%2").arg(base).arg(n);
    taken.insert(name.toLower());
    names.insert(path, name);
  }
  return names;
}

}  // namespace jobs
