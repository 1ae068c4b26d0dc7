#pragma once
// Options our programs take besides the argument text the old players parsed. They are removed
// before the argument text is formed, so "-p NAME" reads as it always did.

#include <QString>
#include <QStringList>
#include <optional>

namespace medium {

struct ProgramOptions {
  std::optional<QString> medium;  // --medium DIR: the root of the medium
  bool help = false;              // --help
  bool version = false;           // --version
  bool probe = false;             // --probe (players)
  bool check = false;             // --check (launcher)
  bool json = false;              // --json (with --check)
  QStringList rest;               // everything else, in order
  // --export OUTDIR (launcher), empty when OUTDIR is missing; --force goes with it.
  std::optional<QString> exportDir;
  bool force = false;
};

// Takes the program's arguments without argv[0].
ProgramOptions ParseProgramOptions(const QStringList& args);
// The same from main's arguments, before any QApplication exists (--help, --probe and --check
// need none).
ProgramOptions ParseProgramOptions(int argc, char** argv);
// The argument text the players read: the remaining arguments joined by single blanks.
QString ArgumentText(const QStringList& rest);

}  // namespace medium
