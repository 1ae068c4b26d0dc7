#include "launcher/LauncherApp.h"

#include <QApplication>
#include <QFileDialog>
#include <cstdio>

#include "checker/MediumCheck.h"
#include "exporter/Exporter.h"
#include "launcher/Ambrel_frm.h"
#include "launcher/EngineProbe.h"
#include "launcher/MediumMenu.h"
#include "launcher/ProcessStarter.h"
#include "launcher/WebLink.h"
#include "medium/CommandLineOptions.h"
#include "medium/Paths.h"
#include "medium/Report.h"
#include "presentation/MediumFolder.h"
#include "ui/DesignFonts.h"
#include "ui/MessageBoxReporter.h"

namespace {

void PrintHelp() {
  std::printf(
      "Usage: Ambrel [--medium DIR]\n"
      "       Ambrel --check [--medium DIR] [--json]\n"
      "       Ambrel --export OUTDIR [--medium DIR] [--force] [FOLDER ...]\n"
      "Lists the recorded presentations of a medium and starts the player for the one chosen.\n\n"
      "  --medium DIR  the medium's root folder (default: the program's own folder; when that\n"
      "                holds no Data/config.txt, a folder dialog asks for the medium)\n"
      "  --check       read every presentation of the medium and list every problem found;\n"
      "                exit 0 when there is none, 1 when there are problems, 2 when the\n"
      "                medium cannot be read\n"
      "  --json        with --check: the report as JSON\n"
      "  --export OUTDIR  write every presentation (or the FOLDERs named) as a web page with\n"
      "                its recording in MP4/M4A, slides and WebVTT transcripts into\n"
      "                OUTDIR/<folder>/; exit 0 all exported, 1 problems, 2 usage error or a\n"
      "                medium that cannot be read\n"
      "  --force       with --export: replace presentation folders that exist in OUTDIR\n"
      "  --help        show this text\n"
      "  --version     show the version\n");
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

}  // namespace

int RunLauncher(int argc, char** argv) {
  const medium::ProgramOptions options = medium::ParseProgramOptions(argc, argv);
  if (options.help) {
    PrintHelp();
    return 0;
  }
  if (options.version) {
    std::printf("Ambrel %s\n", PROJECT_VERSION_TEXT);
    return 0;
  }
  if (options.check) {
    // No window: the report goes to the terminal, so that it runs over ssh and in scripts.
    QCoreApplication app(argc, argv);
    return checker::RunCheck(options.medium, options.json);
  }
  if (options.exportDir) {
    QCoreApplication app(argc, argv);
    return exporter::RunExport(options.medium, *options.exportDir, options.force, options.rest);
  }

  QApplication app(argc, argv);
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

  launcher::ProcessEngineProbe probe;
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
