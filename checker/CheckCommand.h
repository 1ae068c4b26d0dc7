#pragma once
// "Ambrel --check" on the terminal: the report on standard output, a progress line on standard
// error while recordings are read (when it is a terminal).

#include <QString>
#include <optional>

namespace checker {

// 0 clean (notes alone included), 1 problems found, 2 the medium cannot be read (said on
// stderr). mediumFolder: the --medium option; without it the program's own folder.
int RunCheck(const std::optional<QString>& mediumFolder, bool json);

}  // namespace checker
