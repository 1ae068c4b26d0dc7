#pragma once
// Options our programs take besides the argument text the old players parsed. They come first:
// the player's switch ("-p" or "/p") or an end-of-options marker "--" ends them, so whatever
// follows, a folder named "--help" included, is the player's argument text and never an option.

#include <QString>
#include <QStringList>
#include <optional>

namespace medium {

// Which program reads the options: each accepts only its own.
enum class OptionProgram { Launcher, Player };

// What one run of the launcher does: exactly one of these.
enum class LauncherCommand {
  Window,           // the launcher's window on a medium
  Check,            // --check
  Export,           // --export OUTDIR
  Preserve,         // --preserve OUTDIR
  Verify,           // --verify BAG...
  Library,          // --library: the library's window, or its listing off a desktop
  Search,           // --search QUERY
  LibraryCheck,     // --check --library
  LibraryExport,    // --export OUTDIR --library
  LibraryPreserve,  // --preserve OUTDIR --library
};

struct ProgramOptions {
  std::optional<QString> medium;  // --medium DIR, or a bare folder given to the launcher
  bool help = false;              // --help
  bool version = false;           // --version
  bool probe = false;             // --probe (players)
  bool check = false;             // --check (launcher)
  bool json = false;              // --json (with --check or --search)
  QStringList rest;  // the player's arguments: the switch and all after it; the export's folders
  // What was wrong with the options ("unknown option --x"); empty when they were right. The
  // program then shows it with its usage and exits with status 2.
  QString error;
  // --export OUTDIR (launcher); the folders named after it are in rest. --force goes with it.
  std::optional<QString> exportDir;
  bool force = false;
  // --preserve OUTDIR (launcher), with --masters; --verify takes the bags named after it in rest.
  std::optional<QString> preserveDir;
  bool masters = false;
  bool verify = false;
  // --library [DIR...] (launcher): the folders given without an option are the library's;
  // none given means the folders remembered from the last time.
  bool library = false;
  QStringList libraryDirs;
  std::optional<QString> search;  // --search QUERY (launcher), over the library
  std::optional<QString> index;   // --index URL (launcher): the library's index
  // --at TIME (players): the moment to play from, in milliseconds.
  std::optional<double> atMs;
  // The launcher's one command. Two commands, or an option that goes with none of the command
  // given, is an error: nothing is ever dropped in silence.
  LauncherCommand command = LauncherCommand::Window;
};

// Takes the program's arguments without argv[0].
ProgramOptions ParseProgramOptions(const QStringList& args,
                                   OptionProgram program = OptionProgram::Player);
// The same from main's arguments, before any QApplication exists (--help, --probe and --check
// need none).
ProgramOptions ParseProgramOptions(int argc, char** argv, OptionProgram program);

// A moment as typed: seconds ("75", "75.5"), m:ss ("1:15") or h:mm:ss, in milliseconds; none
// when it is malformed or negative.
std::optional<double> ParseMomentMs(const QString& text);

// The options a program takes, one per line (or more when its text wraps), for its usage.
QString OptionsHelp(OptionProgram program);

// The argument text the players read: the arguments joined by single blanks. When an argument
// itself holds a blank, every argument is marked off by kArgumentBoundary instead, so that such
// an argument (a folder name with a blank, as the launcher passes it) stays one word.
QString ArgumentText(const QStringList& rest);
// The words of an argument text: its arguments when it was formed from arguments that hold
// blanks, otherwise the pieces between single blanks, as typed.
QStringList ArgumentWords(const QString& argumentText);
// Program arguments are C strings, so none can hold this character.
inline constexpr char16_t kArgumentBoundary = u'\0';

}  // namespace medium
