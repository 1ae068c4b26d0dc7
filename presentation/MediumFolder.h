#pragma once
// Choosing the medium a program plays: the folder given with --medium, the program's own folder,
// or, for the launcher started away from any disc, a folder the user picks.

#include <QString>
#include <optional>

namespace medium {

// A folder the programs can read a medium from: it exists, is a folder and can be listed.
bool IsReadableFolder(const QString& folder);

// The one message for a medium folder that is not there or cannot be read.
QString UnreadableMediumText(const QString& folder);

// The folder dialog behind an interface, so that tests never block on it.
class FolderChooser {
 public:
  virtual ~FolderChooser() = default;
  // The folder picked, or nothing when the user cancelled.
  virtual std::optional<QString> Choose() = 0;
};

struct MediumChoice {
  enum class Kind {
    OwnFolder,   // play the medium the program stands on
    Folder,      // play the medium at `folder`
    Cancelled,   // the user closed the folder dialog without a choice
    Unreadable,  // `folder` does not exist or cannot be read
  };
  Kind kind = Kind::OwnFolder;
  QString folder;
};

// given: the --medium option. Without it, the program's own folder is used when it holds
// Data/config.txt; otherwise chooser (when there is one) asks the user.
MediumChoice ChooseMedium(const std::optional<QString>& given, FolderChooser* chooser);

}  // namespace medium
