#pragma once
// A clock and single-shot timer that move only when a test moves them.

#include <functional>

#include "player/core/SyncDriver.h"

class FakeClock : public SyncClock {
 public:
  double NowMs() const override { return now; }
  void Arm(double delayMs, std::function<void()> s) override {
    dueAt = now + delayMs;
    shot = std::move(s);
    ++arms;
  }
  void Disarm() override {
    shot = {};
    dueAt = -1;
  }
  bool IsArmed() const { return bool(shot); }
  // Moves time on to t, firing a shot that falls due on the way (a fired shot may arm the next).
  void AdvanceTo(double t) {
    while (shot && dueAt <= t) {
      now = std::max(now, dueAt);
      std::function<void()> s = std::move(shot);
      shot = {};
      s();
    }
    now = std::max(now, t);
  }

  double now = 0;
  double dueAt = -1;
  int arms = 0;
  std::function<void()> shot;
};
