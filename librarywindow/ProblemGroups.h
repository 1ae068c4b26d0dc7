#pragma once
// A medium's problems as the window shows them: grouped by the presentation they belong to (the
// list of presentations itself first), the same line repeated folded into one with its count
// ("No open file ×4"), every line printable (text read from a damaged file shown as \xNN, one
// line, cut at a sensible length).

#include <QString>
#include <QStringList>
#include <vector>

#include "library/LibraryIndex.h"

namespace librarywindow {

struct ProblemGroup {
  QString heading;    // "The list of presentations (Data/config.txt)", "<title> (<folder>)"
  QStringList lines;  // folded and printable, in the order first met
  int count = 0;      // the problems before folding
};

std::vector<ProblemGroup> GroupProblems(const library::MediumEntry& medium);

// How many problems the medium had when it was indexed, those only counted included.
int ProblemCount(const library::MediumEntry& medium);

// The whole of it as plain text, a group a paragraph (what screen readers and the clipboard get).
QString ProblemsText(const std::vector<ProblemGroup>& groups);

}  // namespace librarywindow
