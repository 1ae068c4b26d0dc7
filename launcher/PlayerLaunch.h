#pragma once
// Which player belongs to which engine, which presentations each can play, and how a player is
// started: the two players stand beside the launcher and take "-p" and the presentation's folder.

#include <QString>
#include <QStringList>
#include <optional>

#include "presentation/MediumLayout.h"

namespace launcher {

// A player is a PlayerBuild: Tavisco (Windows Media, button Command1) or Norvanta (RealMedia,
// button Command2).

// The engine's identifier, by which the engine is known.
QString ProbeIdentifier(PlayerBuild player);
// "Tavisco" or "Norvanta".
QString ProgramName(PlayerBuild player);
// The program's file name on this platform (".exe" on Windows).
QString ProgramFileName(PlayerBuild player);
// The program's native path in a folder given in the medium's form.
QString ProgramPath(PlayerBuild player, const QString& programFolder);

struct ButtonStates {
  bool command1 = false;
  bool command2 = false;
  bool operator==(const ButtonStates&) const = default;
};
// A player button is usable when its engine is installed and the presentation's media folder
// holds a recording of the engine's kind.
ButtonStates ButtonRule(const QString& mediaFolder, bool winMediaFound, bool realFound);

// The command line as the medium's players have always been started:
// application folder + "\Tavisco.exe -p " + folder, every "\\" then made "\".
QString PlayerCommandLine(PlayerBuild player, const QString& applicationFolder,
                          const QString& presDir);

struct PlayerLaunch {
  QString commandLine;  // the line above, for the record
  QString program;      // native path of the player beside the launcher
  // --medium when the launcher had it, the end of options "--", "-p" and the folder (repaired)
  QStringList arguments;
};
// mediumFolder: the medium's folder when the launcher was started with --medium. atMs: the
// moment to play from (the player's --at), from the library's search.
PlayerLaunch BuildPlayerLaunch(PlayerBuild player, const QString& presDir,
                               const QString& applicationFolder, const QString& programFolder,
                               const std::optional<QString>& mediumFolder,
                               std::optional<double> atMs = std::nullopt);

// A moment as the players' --at takes it: seconds with up to three decimals ("75", "75.5").
QString AtArgument(double ms);

}  // namespace launcher
