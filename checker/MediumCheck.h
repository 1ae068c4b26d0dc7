#pragma once
// The medium checker: reads every presentation of a medium with the readers the programs use and
// lists every problem in one report, where the programs would show one message box at a time.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>
#include <optional>
#include <vector>

#include "presentation/MediumLayout.h"

namespace checker {

// A problem is what a player would report, show wrongly or fail to play. A note is worth knowing
// but plays as it should: a presentation that only one of the two players can play (most discs
// carry one format), a name found only in another case (the case-blind lookup finds it).
enum class Severity { Problem, Note };

struct Problem {
  QString file;  // relative to the medium's root, '/' separated
  int line = 0;  // 1-based; 0 when the problem is not in one line
  QString message;
  Severity severity = Severity::Problem;
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
  int ProblemCount() const;  // entries of severity Problem
  int NoteCount() const;
};

struct CheckOptions {
  // Every recording a player would play is read through (demultiplexed and decoded).
  bool readRecordings = true;
  // While a recording is read: its place relative to the medium's root and the share read so
  // far (0 to 1); called once more with an empty file when all are read.
  std::function<void(const QString& file, double fraction)> progress;
  // The presentation folders to check, as config.txt names them; all when empty. The others are
  // listed with their name and folder and nothing checked.
  QStringList folders;
  // Recordings (medium-form paths) that the caller reads through itself, as the export does
  // while it transcodes them; they are not read here.
  QStringList recordingsReadElsewhere;
  // Once set, no further presentation is checked and a recording being read is left: the result
  // is then incomplete.
  const std::atomic<bool>* cancel = nullptr;
};

// What a recording a player plays suffers from (a sentence of DescribeDamage), as the report
// names it: "recording: cut short: ... (Tavisco plays it)".
Problem RecordingProblem(const layout::MediumLayout& medium, const QString& mediumPath,
                         PlayerBuild player, const QString& damage);

// Checks the medium. Any number of media may be checked at once, each on a thread of its own.
CheckResult CheckMedium(const layout::MediumLayout& medium, const CheckOptions& options = {});

QString FormatText(const CheckResult& result);
QByteArray FormatJson(const CheckResult& result);

}  // namespace checker
