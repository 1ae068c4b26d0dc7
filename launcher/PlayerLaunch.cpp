#include "launcher/PlayerLaunch.h"

#include <algorithm>

#include "medium/Paths.h"

namespace launcher {

namespace {

QString ProgramSuffix() {
#ifdef Q_OS_WIN
  return QStringLiteral(".exe");
#else
  return QString();
#endif
}

}  // namespace

QString ProbeIdentifier(PlayerBuild player) {
  return player == PlayerBuild::Tavisco ? QStringLiteral("MediaPlayer.MediaPlayer.1")
                                        : QStringLiteral("rmocx.RealPlayer G2 Control");
}

QString ProgramName(PlayerBuild player) {
  return layout::PlayerName(player);
}

QString ProgramFileName(PlayerBuild player) {
  return ProgramName(player) + ProgramSuffix();
}

QString ProgramPath(PlayerBuild player, const QString& programFolder) {
  return medium::NativePath(
      medium::BuildPath({programFolder, QStringLiteral("\\"), ProgramFileName(player)}));
}

ButtonStates ButtonRule(const QString& mediaFolder, bool winMediaFound, bool realFound) {
  return ButtonStates{layout::HasRecording(PlayerBuild::Tavisco, mediaFolder) && winMediaFound,
                      layout::HasRecording(PlayerBuild::Norvanta, mediaFolder) && realFound};
}

QString PlayerCommandLine(PlayerBuild player, const QString& applicationFolder,
                          const QString& presDir) {
  return medium::RepairBackslashes(applicationFolder + QStringLiteral("\\") +
                                   ProgramFileName(player) + QStringLiteral(" -p ") + presDir);
}

PlayerLaunch BuildPlayerLaunch(PlayerBuild player, const QString& presDir,
                               const QString& applicationFolder, const QString& programFolder,
                               const std::optional<QString>& mediumFolder,
                               std::optional<double> atMs) {
  PlayerLaunch launch;
  launch.commandLine = PlayerCommandLine(player, applicationFolder, presDir);
  launch.program = ProgramPath(player, programFolder);
  if (mediumFolder) launch.arguments << QStringLiteral("--medium") << *mediumFolder;
  if (atMs) launch.arguments << QStringLiteral("--at") << AtArgument(*atMs);
  // The options end before the switch, so that a folder named like an option ("--help") is only
  // a folder; and the folder travels as one argument, so that a name with blanks arrives whole.
  launch.arguments << QStringLiteral("--") << QStringLiteral("-p")
                   << medium::RepairBackslashes(presDir);
  return launch;
}

QString AtArgument(double ms) {
  QString text = QString::number(std::max(0.0, ms) / 1000.0, 'f', 3);
  while (text.endsWith(u'0')) text.chop(1);
  if (text.endsWith(u'.')) text.chop(1);
  return text;
}

}  // namespace launcher
