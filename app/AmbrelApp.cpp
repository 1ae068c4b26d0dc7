#include "app/AmbrelApp.h"

#include <QApplication>
#include <QFileDialog>
#include <cstdio>

#include "checker/CheckCommand.h"
#include "checker/MediumCheck.h"
#include "exporter/ExportCommand.h"
#include "exporter/Exporter.h"
#include "launcher/Ambrel_frm.h"
#include "launcher/EngineProbe.h"
#include "launcher/MediumMenu.h"
#include "launcher/PlayerLaunch.h"
#include "launcher/ProcessStarter.h"
#include "launcher/WebLink.h"
#include "library/LibraryCommands.h"
#include "library/LibraryFolders.h"
#include "library/MediaDiscovery.h"
#include "librarywindow/LibraryApp.h"
#include "medium/CommandLineOptions.h"
#include "medium/Paths.h"
#include "medium/Report.h"
#include "presentation/MediumFolder.h"
#include "presentation/MediumLayout.h"
#include "preserver/BagVerifier.h"
#include "preserver/PreserveCommand.h"
#include "ui/ClassicColours.h"
#include "ui/DesignFonts.h"
#include "ui/MessageBoxReporter.h"

namespace {

void PrintUsage(std::FILE* out) {
  std::fprintf(out,
               "Usage: Ambrel [--medium DIR | DIR]\n"
               "       Ambrel --check [--json] [--medium DIR | DIR]\n"
               "       Ambrel --export OUTDIR [--force] [--medium DIR] [FOLDER ...]\n"
               "       Ambrel --library [DIR ...] [--index URL]\n"
               "       Ambrel --search QUERY [--json] [--library DIR ...] [--index URL]\n"
               "       Ambrel --check [--json] --library DIR ...\n"
               "       Ambrel --export OUTDIR [--force] --library DIR ...\n"
               "       Ambrel --preserve OUTDIR [--masters] [--force] [--medium DIR | DIR]\n"
               "       Ambrel --preserve OUTDIR [--masters] [--force] --library DIR ...\n"
               "       Ambrel --verify BAG...\n"
               "Lists the recorded presentations of a medium and starts the player for the\n"
               "one chosen. The medium is DIR, else the program's own folder; when the\n"
               "launcher finds no Data/config.txt there, a folder dialog asks for it.\n\n"
               "%s",
               medium::OptionsHelp(medium::OptionProgram::Launcher).toLocal8Bit().constData());
}

class DialogFolderChooser : public medium::FolderChooser {
 public:
  std::optional<QString> Choose() override {
    const QString folder = QFileDialog::getExistingDirectory(
        nullptr, QStringLiteral("Ambrel - choose the folder of the medium"), QString(),
        QFileDialog::ShowDirsOnly);
    if (folder.isEmpty()) return std::nullopt;
    return folder;
  }
};

// The library opens its window where one can be seen: on a desktop, not on the offscreen or
// minimal platform of scripts and tests, which get the listing on the terminal instead.
bool CanShowWindow() {
  const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
  if (platform.startsWith("offscreen") || platform.startsWith("minimal")) return false;
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
  return !platform.isEmpty() || qEnvironmentVariableIsSet("DISPLAY") ||
         qEnvironmentVariableIsSet("WAYLAND_DISPLAY");
#else
  return true;
#endif
}

// "--preserve OUTDIR --library DIR...": a bag for every medium of the library.
int PreserveLibrary(const QString& outDir, bool masters, bool force, const QStringList& given) {
  QString error;
  const std::optional<QStringList> folders = library::ChooseLibraryFolders(given, &error);
  if (!folders) {
    std::fprintf(stderr, "Ambrel: %s\n", qPrintable(error));
    return 2;
  }
  const library::Discovery found = library::FindMedia(*folders);
  std::fputs(qPrintable(library::DescribeSkipped(found.skipped)), stderr);
  if (found.media.isEmpty()) {
    std::fprintf(stderr, "Ambrel: no medium found in %s\n",
                 qPrintable(folders->join(QStringLiteral(", "))));
    return 2;
  }
  return preserver::RunPreserveMedia(found.media, outDir, masters, force);
}

bool HasOwnMedium() {
  return medium::FileExists(layout::Current().ConfigPath());
}

// Every command that prints to the terminal instead of showing a window.
int RunCommand(const medium::ProgramOptions& options) {
  using Command = medium::LauncherCommand;
  switch (options.command) {
    case Command::Search:
      return library::RunSearch(*options.search, options.json, options.libraryDirs,
                                options.index.value_or(QString()));
    case Command::LibraryCheck:
      return library::RunLibraryCheck(options.libraryDirs, options.json);
    case Command::LibraryExport:
      return library::RunLibraryExport(*options.exportDir, options.force, options.libraryDirs,
                                       options.index.value_or(QString()));
    case Command::LibraryPreserve:
      return PreserveLibrary(*options.preserveDir, options.masters, options.force,
                             options.libraryDirs);
    case Command::Library:
      return library::RunLibraryListing(options.libraryDirs, options.index.value_or(QString()));
    case Command::Check:
      if (!options.medium && !HasOwnMedium()) {
        // Checking the program's own folder would only list a missing config.txt.
        std::fprintf(stderr,
                     "Ambrel: no medium found: %s holds no Data/config.txt. Name the medium's "
                     "folder: Ambrel --check DIR\n",
                     qPrintable(layout::Current().NativeRoot()));
        return 2;
      }
      return checker::RunCheck(options.medium, options.json);
    case Command::Export:
      return exporter::RunExport(options.medium, *options.exportDir, options.force, options.rest);
    case Command::Verify:
      return preserver::RunVerify(options.rest);
    case Command::Preserve:
      return preserver::RunPreserve(options.medium, *options.preserveDir, options.masters,
                                    options.force);
    case Command::Window:
      break;
  }
  return 2;
}

}  // namespace

int RunAmbrel(int argc, char** argv) {
  const medium::ProgramOptions options =
      medium::ParseProgramOptions(argc, argv, medium::OptionProgram::Launcher);
  if (!options.error.isEmpty()) {
    // Never the folder dialog and never a silent start on a mistyped option.
    std::fprintf(stderr, "Ambrel: %s\n\n", qPrintable(options.error));
    PrintUsage(stderr);
    return 2;
  }
  if (options.help) {
    PrintUsage(stdout);
    return 0;
  }
  if (options.version) {
    std::printf("Ambrel %s\n", PROJECT_VERSION_TEXT);
    return 0;
  }
  switch (options.command) {
    case medium::LauncherCommand::Window:
      break;
    case medium::LauncherCommand::Library:
      if (CanShowWindow()) {
        QApplication app(argc, argv);
        QCoreApplication::setApplicationName(QString::fromLatin1(launcher::kWindowClass));
        QGuiApplication::setDesktopFileName(QString::fromLatin1(launcher::kDesktopEntryId));
        return librarywindow::RunLibraryWindow(options.libraryDirs,
                                               options.index.value_or(QString()));
      }
      [[fallthrough]];
    default: {
      // The commands print to the terminal, so that they run over ssh and in scripts; the
      // library needs an application object for its cache and config folders.
      QCoreApplication app(argc, argv);
      return RunCommand(options);
    }
  }
  QApplication app(argc, argv);
  // The players answer for their engines while the launcher builds its window: a probe loads a
  // whole playback core, which takes longer than everything else the window waits for.
  launcher::ProcessEngineProbe probe;
  probe.Start({launcher::ProbeIdentifier(PlayerBuild::Tavisco),
               launcher::ProbeIdentifier(PlayerBuild::Norvanta)});
  // The window class by which docks group the window with the desktop entry.
  QCoreApplication::setApplicationName(QString::fromLatin1(launcher::kWindowClass));
  QGuiApplication::setDesktopFileName(QString::fromLatin1(launcher::kDesktopEntryId));
  QApplication::setPalette(ui::ClassicPalette());
  ui::MessageBoxReporter reporter(QStringLiteral("Ambrel"));
  DialogFolderChooser chooser;
  const medium::MediumChoice choice = medium::ChooseMedium(options.medium, &chooser);
  switch (choice.kind) {
    case medium::MediumChoice::Kind::Cancelled:
      return 0;
    case medium::MediumChoice::Kind::Unreadable:
      reporter.Report(medium::UnreadableMediumText(choice.folder));
      return 2;
    case medium::MediumChoice::Kind::OwnFolder:
    case medium::MediumChoice::Kind::Folder:
      break;
  }

  launcher::LauncherServices services;
  if (choice.kind == medium::MediumChoice::Kind::Folder) {
    medium::SetApplicationFolder(choice.folder);
    // The player reads the same medium, wherever the launcher's own folder is.
    services.mediumFolder = medium::NativePath(medium::ApplicationFolder());
  }
  ui::InstallDesignFonts();

  launcher::DetachedProcessStarter starter;
  launcher::DesktopWebOpener web;
  services.reporter = &reporter;
  services.probe = &probe;
  services.starter = &starter;
  services.web = &web;

  launcher::Ambrel_frm form(services);
  reporter.SetParent(&form);
  // Checking and exporting need the checker and the exporter, which only the whole program links.
  new launcher::MediumMenu(&form);
  form.Form_Load();
  return app.exec();
}
