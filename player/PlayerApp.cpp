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
#include "ui/ClassicColours.h"
#include "ui/MessageBoxReporter.h"

namespace {

void PrintUsage(std::FILE* out, const BuildProfile& profile) {
  const QByteArray title = profile.programTitle.toLocal8Bit();
  std::fprintf(out,
               "Usage: %s [--medium DIR] [--at TIME] [--] -p FOLDER\n"
               "       %s --probe\n"
               "Plays the recorded presentation FOLDER of the medium.\n\n"
               "  -p FOLDER, /p FOLDER  the presentation's folder name below Data, Images and\n"
               "                        Media; all that follows -p is the folder name, never an\n"
               "                        option\n"
               "%s",
               title.constData(), title.constData(),
               medium::OptionsHelp(medium::OptionProgram::Player).toLocal8Bit().constData());
}

}  // namespace

void StartPlayerWindow(PlayerWindow& window, const medium::ProgramOptions& options) {
  if (options.atMs) window.Session().SetStartPosition(*options.atMs);
  window.Form_Load();
  // A start-up that ended (the window closed while a message waited) plays nothing; one that
  // finished has its sync driver running.
  if (options.atMs && window.Session().Sync() && !window.Session().Ended())
    window.Session().PlayFrom(*options.atMs);
}

int RunPlayer(PlayerBuild build, int argc, char** argv) {
  const BuildProfile& profile = ProfileFor(build);
  // Our own options come before the argument text, so "-p NAME" reads as always.
  const medium::ProgramOptions options =
      medium::ParseProgramOptions(argc, argv, medium::OptionProgram::Player);
  if (!options.error.isEmpty()) {
    // A mistyped option would otherwise start a player on nothing.
    std::fprintf(stderr, "%s: %s\n\n", qPrintable(profile.programTitle), qPrintable(options.error));
    PrintUsage(stderr, profile);
    return 2;
  }
  if (options.help) {
    PrintUsage(stdout, profile);
    return 0;
  }
  if (options.version) {
    std::printf("%s %s\n", qPrintable(profile.programTitle), PROJECT_VERSION_TEXT);
    return 0;
  }
  if (options.probe) {
    QCoreApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");  // the playback core needs it
    return ProbeEngine(profile.build) ? 0 : 1;
  }

  QApplication app(argc, argv);
  std::setlocale(LC_NUMERIC, "C");  // the playback core needs it
  QCoreApplication::setApplicationName(profile.programTitle);
  QApplication::setPalette(ui::ClassicPalette());
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
      [&profile](QWidget* parent) { return CreateEngine(profile.build, parent); },
      medium::ArgumentText(options.rest));
  StartPlayerWindow(window, options);
  // Closed while start-up still waited on a message: the program has ended already.
  if (window.Session().Ended()) return window.Session().ExitCode();
  return app.exec();
}
