#include "player/PlayerApp.h"

#include <QApplication>
#include <QCoreApplication>
#include <QStringList>
#include <clocale>
#include <cstdio>

#include "medium/CommandLineOptions.h"
#include "medium/Paths.h"
#include "medium/Report.h"
#include "player/BuildProfile.h"
#include "player/PlayerWindow.h"
#include "player/media/EngineFactory.h"
#include "presentation/MediumFolder.h"
#include "ui/MessageBoxReporter.h"

namespace {

void PrintHelp(const BuildProfile& profile) {
  std::printf(
      "Usage: %s [--medium DIR] -p FOLDER\n"
      "Plays the recorded presentation FOLDER of the medium.\n\n"
      "  -p FOLDER, /p FOLDER  the presentation's folder name below Data, Images and Media\n"
      "  --medium DIR          the medium's root folder (default: the program's own folder)\n"
      "  --probe               exit 0 when the engine can play this player's formats, else 1\n"
      "  --help                show this text\n"
      "  --version             show the version\n",
      qPrintable(profile.programTitle));
}

}  // namespace

int RunPlayer(PlayerBuild build, int argc, char** argv) {
  const BuildProfile& profile = ProfileFor(build);
  // Our own options come out before the argument text is formed, so "-p NAME" reads as always.
  const medium::ProgramOptions options = medium::ParseProgramOptions(argc, argv);
  if (options.help) {
    PrintHelp(profile);
    return 0;
  }
  if (options.version) {
    std::printf("%s %s\n", qPrintable(profile.programTitle), PROJECT_VERSION_TEXT);
    return 0;
  }
  if (options.probe) {
    QCoreApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");  // the playback core needs it
    return ProbeEngine(profile.engineKind) ? 0 : 1;
  }

  QApplication app(argc, argv);
  std::setlocale(LC_NUMERIC, "C");  // the playback core needs it
  QCoreApplication::setApplicationName(profile.programTitle);
  ui::MessageBoxReporter reporter(profile.programTitle);
  if (options.medium) {
    // A mistyped --medium would otherwise surface as a cascade of missing files.
    if (!medium::IsReadableFolder(*options.medium)) {
      reporter.Report(medium::UnreadableMediumText(*options.medium));
      return 2;
    }
    medium::SetApplicationFolder(*options.medium);
  }
  PlayerWindow window(
      profile, reporter,
      [&profile](QWidget* parent) { return CreateEngine(profile.engineKind, parent); },
      medium::ArgumentText(options.rest));
  window.Form_Load();
  // Closed while start-up still waited on a message: the program has ended already.
  if (window.Session().Ended()) return window.Session().ExitCode();
  return app.exec();
}
