#include "librarywindow/LibraryApp.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <cstdio>

#include "launcher/ProcessStarter.h"
#include "library/LibraryCommands.h"
#include "library/LibraryFolders.h"
#include "library/LibraryIndex.h"
#include "librarywindow/LibraryWindow.h"
#include "ui/MessageBoxReporter.h"

namespace librarywindow {

int RunLibraryWindow(const QStringList& folders, const QString& index) {
  QStringList given = folders;
  if (given.isEmpty() && library::RememberedFolders().isEmpty()) {
    // The first time, with no folder named: the shelf is asked for, as the launcher asks for a
    // medium.
    const QString folder = QFileDialog::getExistingDirectory(
        nullptr, QStringLiteral("Ambrel - choose the folder that holds your media"),
        QDir::homePath(), QFileDialog::ShowDirsOnly);
    if (folder.isEmpty()) return 0;
    given << folder;
  }
  // The folders given are remembered for the next bare --library, as on the command line.
  QString error;
  const std::optional<QStringList> roots = library::ChooseLibraryFolders(given, &error);
  if (!roots) {
    std::fprintf(stderr, "Ambrel: %s\n", qPrintable(error));
    return 2;
  }

  ui::MessageBoxReporter reporter(QStringLiteral("Ambrel"));
  launcher::DetachedProcessStarter starter;
  LibraryWindowServices services;
  services.reporter = &reporter;
  services.starter = &starter;
  services.indexFile = library::ChooseIndex(index);
  LibraryWindow window(*roots, services);
  reporter.SetParent(&window);
  window.Start();
  return QApplication::exec();
}

}  // namespace librarywindow
