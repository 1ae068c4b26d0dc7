#pragma once
// The medium checker: reads every presentation of a medium with the readers the programs use and
// lists every problem in one report, where the programs would show one message box at a time.

#include <QByteArray>
#include <QString>
#include <optional>
#include <vector>

namespace checker {

struct Problem {
  QString file;  // relative to the medium's root, '/' separated
  int line = 0;  // 1-based; 0 when the problem is not in one line
  QString message;
};

struct PresentationResult {
  QString name;
  QString folder;
  int slides = 0;
  int annotations = 0;
  int cues = 0;
  int languages = 0;
  std::vector<Problem> problems;
};

struct CheckResult {
  QString root;                   // native path of the medium
  std::vector<Problem> problems;  // of the medium as a whole (config.txt, launcher pictures)
  std::vector<PresentationResult> presentations;
  int ProblemCount() const;
};

// Checks the medium at medium::ApplicationFolder().
CheckResult CheckMedium();

QString FormatText(const CheckResult& result);
QByteArray FormatJson(const CheckResult& result);

// The whole "--check": 0 clean, 1 problems found, 2 the medium cannot be read (said on stderr).
// mediumFolder: the --medium option; without it the program's own folder.
int RunCheck(const std::optional<QString>& mediumFolder, bool json);

}  // namespace checker
