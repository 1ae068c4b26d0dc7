// make_sample_medium OUTPUT_DIR: writes a sample medium for trying the launcher and players.

#include <QGuiApplication>
#include <cstdio>

#include "tools/SampleMedium.h"

int main(int argc, char** argv) {
  // The pictures are drawn off screen; no display is needed.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  const auto print = [](FILE* stream) {
    return [stream](const QString& text) {
      std::fprintf(stream, "%s\n", text.toLocal8Bit().constData());
      std::fflush(stream);
    };
  };
  return sample::RunGenerator(QCoreApplication::arguments(), print(stdout), print(stderr));
}
