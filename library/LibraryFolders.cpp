#include "library/LibraryFolders.h"

#include <QDir>
#include <QSettings>
#include <QStandardPaths>

#include "library/MediaDiscovery.h"

namespace library {

namespace {

QString FoldersFile() {
  return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
         QStringLiteral("/Ambrel/library.conf");
}

}  // namespace

QStringList RememberedFolders() {
  QSettings settings(FoldersFile(), QSettings::IniFormat);
  return settings.value(QStringLiteral("library/folders")).toStringList();
}

void RememberFolders(const QStringList& folders) {
  QStringList clean;
  for (const QString& f : folders) clean << NativeClean(f);
  clean.removeDuplicates();
  QSettings settings(FoldersFile(), QSettings::IniFormat);
  settings.setValue(QStringLiteral("library/folders"), clean);
  settings.sync();
}

QString RememberedIndex() {
  QSettings settings(FoldersFile(), QSettings::IniFormat);
  return settings.value(QStringLiteral("library/index")).toString();
}

QString ChooseIndex(const QString& given) {
  if (given.trimmed().isEmpty()) return RememberedIndex();
  QSettings settings(FoldersFile(), QSettings::IniFormat);
  settings.setValue(QStringLiteral("library/index"), given.trimmed());
  settings.sync();
  return given.trimmed();
}

std::optional<QStringList> ChooseLibraryFolders(const QStringList& given, QString* error) {
  if (!given.isEmpty()) {
    for (const QString& f : given) {
      if (f.startsWith(u'-')) {
        *error = QStringLiteral("unknown option %1").arg(f);
        return std::nullopt;
      }
    }
    RememberFolders(given);
    QStringList clean;
    for (const QString& f : given) clean << QDir::cleanPath(QDir(f).absolutePath());
    return clean;
  }
  const QStringList remembered = RememberedFolders();
  if (remembered.isEmpty()) {
    *error = QStringLiteral(
        "no library: name the folders that hold its media once, as Ambrel --library DIR...; "
        "they are remembered");
    return std::nullopt;
  }
  return remembered;
}

}  // namespace library
