#include "presentation/MediumFolder.h"

#include <QDir>
#include <QFileInfo>

#include "medium/Paths.h"
#include "presentation/MediumLayout.h"

namespace medium {

bool IsReadableFolder(const QString& folder) {
  if (folder.isEmpty()) return false;
  const QFileInfo info(folder);
  // QDir::isReadable asks for a listing, which is what reading a medium needs.
  return info.exists() && info.isDir() && QDir(folder).isReadable();
}

QString UnreadableMediumText(const QString& folder) {
  return QStringLiteral("The medium folder %1 does not exist or cannot be read.")
      .arg(QDir::toNativeSeparators(folder));
}

MediumChoice ChooseMedium(const std::optional<QString>& given, FolderChooser* chooser) {
  if (given) {
    if (!IsReadableFolder(*given)) return {MediumChoice::Kind::Unreadable, *given};
    return {MediumChoice::Kind::Folder, *given};
  }
  const bool ownMedium = FileExists(layout::Current().ConfigPath());
  if (ownMedium || !chooser) return {MediumChoice::Kind::OwnFolder, {}};
  const std::optional<QString> picked = chooser->Choose();
  if (!picked || picked->isEmpty()) return {MediumChoice::Kind::Cancelled, {}};
  if (!IsReadableFolder(*picked)) return {MediumChoice::Kind::Unreadable, *picked};
  return {MediumChoice::Kind::Folder, *picked};
}

}  // namespace medium
