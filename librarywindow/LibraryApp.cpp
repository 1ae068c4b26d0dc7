#include "librarywindow/LibraryApp.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>

#include "launcher/ProcessStarter.h"
#include "library/LibraryIndex.h"
#include "librarywindow/LibraryWindow.h"
#include "ui/MessageBoxReporter.h"

namespace librarywindow {

int RunLibraryWindow(const QStringList& folders) {
  QStringList roots = folders.isEmpty() ? library::RememberedFolders() : folders;
  if (roots.isEmpty()) {
    // The first time, with no folder named: the shelf is asked for, as the launcher asks for a
    // medium.
    const QString folder = QFileDialog::getExistingDirectory(
        nullptr, QStringLiteral("Ambrel - choose the folder that holds your media"),
        QDir::homePath(), QFileDialog::ShowDirsOnly);
    if (folder.isEmpty()) return 0;
    roots << folder;
  }
  for (QString& root : roots) root = QDir(root).absolutePath();
  library::RememberFolders(roots);

  ui::MessageBoxReporter reporter(QStringLiteral("Ambrel"));
  launcher::DetachedProcessStarter starter;
  LibraryWindowServices services;
  services.reporter = &reporter;
  services.starter = &starter;
  LibraryWindow window(roots, services);
  reporter.SetParent(&window);
  window.Start();
  return QApplication::exec();
}

}  // namespace librarywindow
