#pragma once
// The progress of a command-line job: one line on a terminal, written over itself and wiped when
// the job is done; nothing when the stream is a file or a pipe, where such lines would only fill
// a log.

#include <QString>
#include <cstdio>

namespace jobs {

bool IsTerminal(std::FILE* file);

class TerminalLine {
 public:
  // Shows lines only when out is a terminal (or when forced, for tests).
  explicit TerminalLine(std::FILE* out = stderr);
  TerminalLine(std::FILE* out, bool terminal) : out_(out), terminal_(terminal) {}
  ~TerminalLine() { Clear(); }
  TerminalLine(const TerminalLine&) = delete;
  TerminalLine& operator=(const TerminalLine&) = delete;

  bool Active() const { return terminal_; }
  // Replaces the line; a text the same as the one shown is not written again, and one wider than
  // the terminal's usual 80 columns is cut.
  void Show(const QString& text);
  // Wipes the line, so that what follows starts on a clean one.
  void Clear();

 private:
  std::FILE* out_;
  bool terminal_;
  QString last_;
};

}  // namespace jobs
