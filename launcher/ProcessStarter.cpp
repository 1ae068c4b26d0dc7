#include "launcher/ProcessStarter.h"

#include <QFileInfo>
#include <QProcess>

#include "medium/Error.h"

namespace launcher {

void DetachedProcessStarter::StartDetached(const QString& program, const QStringList& arguments) {
  const QFileInfo info(program);
  if (!info.isFile()) {
    throw medium::AppError(medium::kCannotStartProgram,
                           QStringLiteral("The player program %1 is missing.").arg(program));
  }
  QProcess process;
  process.setProgram(program);
  process.setArguments(arguments);
  if (!process.startDetached()) {
    throw medium::AppError(medium::kCannotStartProgram,
                           QStringLiteral("The player program %1 could not be started: %2.")
                               .arg(program, process.errorString()));
  }
}

}  // namespace launcher
