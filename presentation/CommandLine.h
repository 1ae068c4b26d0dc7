#pragma once
// The player's command line: "-p" or "/p" and the presentation folder name.

#include <QString>

#include "medium/Report.h"

// Reads the argument text (medium::ArgumentText of the program's arguments) and returns
// PresFolder. Reports "Filename not specified, using default value." and "Invalid argument: "
// messages, and any failure of its steps, through the reporter; it never stops early.
QString ReadCommandLine(const QString& argumentText, medium::Reporter& reporter);
