#pragma once
// The launcher window's right-click menu: "Check this medium…" shows the checker's report in a
// window; "Export to a web page…" asks for a folder and exports every presentation there with a
// progress dialog that can be cancelled; "Preserve this medium…" writes the medium as a BagIt
// bag (launcher/PreserveDialog); "Open the library…" starts the library window (Ambrel
// --library) as a program of its own. The designed window itself stays as it is. The library
// window uses the same check and export for each of its media.

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

#include "launcher/PreserveDialog.h"
#include "presentation/MediumLayout.h"

class QMenu;
class QProgressDialog;
class QWidget;

namespace launcher {

class MediumMenu : public QObject {
 public:
  // Every dialog the menu opens, behind a function, so that tests never block on one.
  struct Dialogs {
    // The output folder; empty when the user cancelled.
    std::function<QString(QWidget* parent)> chooseFolder;
    // Whether to replace the presentation folders the output folder holds already.
    std::function<bool(QWidget* parent, const QStringList& existing)> confirmReplace;
    // A report in a window of its own (modal).
    std::function<void(QWidget* parent, const QString& title, const QString& text)> showReport;
    // Told of the progress dialog once it exists (tests cancel through it).
    std::function<void(QProgressDialog& dialog)> progressShown;
    // Where the bag goes and whether to make masters; nothing when the user cancelled.
    std::function<std::optional<PreserveChoice>(QWidget* parent)> choosePreservation;
    // Starts a program (the library window's) as a process of its own; throws medium::AppError
    // when it cannot. Missing: a detached process.
    std::function<void(const QString& program, const QStringList& arguments)> startProgram;
  };

  // Installs itself as window's context menu, unless asContextMenu is false (the library
  // window offers the actions in a menu of its own). Missing dialogs are the real ones.
  explicit MediumMenu(QWidget* window, Dialogs dialogs = {}, bool asContextMenu = true);

  // The menu as the right click shows it, on the medium the launcher plays; the caller owns it.
  QMenu* BuildMenu();
  // Each action works on the medium it is given (the library window gives each of its media),
  // by default the one the launcher plays.
  void CheckMedium(const layout::MediumLayout& medium = layout::Current());
  void ExportToWebPage(const layout::MediumLayout& medium = layout::Current());
  void PreserveThisMedium(const layout::MediumLayout& medium = layout::Current());
  // Starts this program with --library: the folders remembered from the last time.
  void OpenLibrary();

  static QString CheckText();     // "Check this medium…"
  static QString ExportText();    // "Export to a web page…"
  static QString PreserveText();  // "Preserve this medium…"
  static QString LibraryText();   // "Open the library…"

 private:
  QWidget* window_;
  Dialogs dialogs_;
  QString bagName_;  // of the medium being preserved, for the real dialog's question
};

}  // namespace launcher
