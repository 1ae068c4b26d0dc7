#pragma once
// A long command line job (an export, a preservation) asked to stop from outside: Ctrl-C in a
// terminal (SIGINT), a logout (SIGHUP), a service manager's stop (SIGTERM). While an Interruption
// lives, these signals only set its flag, which the job watches as its cancel flag; the job then
// stops its children, throws away what it had half made and says what was left undone. At the
// very end the program calls EndLikeTheSignal(), which ends it as the signal would have (status
// 128 + n in a shell), so that a script or service manager sees it was interrupted.

#include <QString>
#include <atomic>

namespace medium {

class Interruption {
 public:
  // Catches SIGINT, SIGTERM and SIGHUP (on Windows, the console's Ctrl-C only). One at a time.
  Interruption();
  // Puts back the actions that were there before.
  ~Interruption();
  Interruption(const Interruption&) = delete;
  Interruption& operator=(const Interruption&) = delete;

  // Set once one of the signals came; hand it to the job as its cancel flag.
  const std::atomic<bool>* CancelFlag() const;
  bool Interrupted() const;
  // The signal that came first, 0 while none came.
  int Signal() const;
  // "SIGINT", "SIGTERM", "SIGHUP"; empty while none came.
  QString SignalName() const;

  // When a signal came: puts back its default action and raises it again, so that the program
  // ends by it. Returns only when none came (or the default action does not end the program).
  void EndLikeTheSignal();
};

}  // namespace medium
