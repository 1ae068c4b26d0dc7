#include "launcher/LauncherApp.h"

#include <QApplication>

#include "launcher/Ambrel_frm.h"
#include "launcher/EngineProbe.h"
#include "launcher/ProcessStarter.h"
#include "launcher/WebLink.h"
#include "medium/CommandLineOptions.h"
#include "medium/Paths.h"
#include "medium/Report.h"

int RunLauncher(int argc, char** argv) {
  QApplication app(argc, argv);
  const medium::ProgramOptions options = medium::ParseProgramOptions(app.arguments().mid(1));

  launcher::LauncherServices services;
  if (options.medium) {
    medium::SetApplicationFolder(*options.medium);
    // The player reads the same medium, wherever the launcher's own folder is.
    services.mediumFolder = medium::NativePath(medium::ApplicationFolder());
  }
  launcher::MapDesignFonts();

  medium::MessageBoxReporter reporter(QStringLiteral("Ambrel"));
  launcher::ProcessEngineProbe probe;
  launcher::DetachedProcessStarter starter;
  launcher::DesktopWebOpener web;
  services.reporter = &reporter;
  services.probe = &probe;
  services.starter = &starter;
  services.web = &web;

  launcher::Ambrel_frm form(services);
  reporter.SetParent(&form);
  form.Form_Load();
  return app.exec();
}
