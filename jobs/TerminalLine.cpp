#include "jobs/TerminalLine.h"

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace jobs {

namespace {

constexpr int kWidth = 79;

}  // namespace

bool IsTerminal(std::FILE* file) {
#ifdef Q_OS_UNIX
  return ::isatty(::fileno(file)) != 0;
#else
  (void)file;
  return false;
#endif
}

TerminalLine::TerminalLine(std::FILE* out) : out_(out), terminal_(IsTerminal(out)) {}

void TerminalLine::Show(const QString& text) {
  if (!terminal_ || text == last_) return;
  last_ = text;
  const QString shown = text.size() > kWidth ? text.left(kWidth - 3) + QStringLiteral("...") : text;
  std::fprintf(out_, "\r%s\033[K", qPrintable(shown));
  std::fflush(out_);
}

void TerminalLine::Clear() {
  if (!terminal_ || last_.isEmpty()) return;
  std::fputs("\r\033[K", out_);
  std::fflush(out_);
  last_.clear();
}

}  // namespace jobs
