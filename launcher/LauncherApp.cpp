#include "launcher/LauncherApp.h"

#include <QApplication>
#include <QWidget>

int RunLauncher(int argc, char** argv) {
  QApplication app(argc, argv);
  QWidget window;
  window.setWindowTitle(QStringLiteral("Archived zENTO"));
  window.show();
  return app.exec();
}
