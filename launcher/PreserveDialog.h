#pragma once
// "Preserve this medium…" in the launcher's right-click menu: where the bag goes and whether
// the recordings get lossless masters, then the work beside the window with a progress dialog
// that can be cancelled (a cancel leaves no bag and no half of one).

#include <QString>
#include <atomic>
#include <functional>
#include <optional>

#include "presentation/MediumLayout.h"

class QProgressDialog;
class QWidget;

namespace launcher {

struct PreserveChoice {
  QString outDir;
  bool masters = false;
  bool replace = false;  // the folder holds a bag of this medium, and it may go
};

// The folder for the bag and the masters question in one small dialog, and whether to replace
// the bag of the medium (bagName) that the folder holds; nothing when cancelled.
std::optional<PreserveChoice> AskPreserveChoice(QWidget* parent, const QString& bagName);

// Preserves the medium into choice.outDir with a progress dialog; shown is told of the dialog
// once it exists (tests cancel through it). Returns the report for the user.
QString PreserveWithProgress(QWidget* parent, const layout::MediumLayout& medium,
                             const PreserveChoice& choice,
                             const std::function<void(QProgressDialog&)>& shown);

// The name of the bag of a medium.
QString BagName(const layout::MediumLayout& medium);

}  // namespace launcher
