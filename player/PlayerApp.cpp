#include "player/PlayerApp.h"

#include <QApplication>
#include <QWidget>

int RunPlayer(PlayerBuild build, int argc, char** argv) {
  QApplication app(argc, argv);
  QWidget window;
  window.setWindowTitle(build == PlayerBuild::Tavisco ? QStringLiteral(" ") : QString());
  window.setFixedSize(800, 613);
  window.show();
  return app.exec();
}
