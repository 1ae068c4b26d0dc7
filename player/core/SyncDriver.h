#pragma once
// Brings the window in line with the recording at the moment a slide, a mark or a transcript
// section begins, instead of at the next once-a-second tick. The engine's position samples come
// in steps (about 50 ms of sound at normal speed), so the driver keeps a clock of its own anchored
// at the latest sample and aims a one-shot timer at the next time in any of the three lists,
// divided by the speed; every sample, seek, pause and speed change aims it again. A seek shows
// the new place at once. Each boundary is synced once.

#include <QList>
#include <functional>
#include <memory>

#include "player/core/PlayingState.h"
#include "player/media/MediaEngine.h"

// A monotonic clock in milliseconds and one single-shot timer on it (tests use a fake).
class SyncClock {
 public:
  virtual ~SyncClock() = default;
  virtual double NowMs() const = 0;
  // Replaces any shot armed before.
  virtual void Arm(double delayMs, std::function<void()> shot) = 0;
  virtual void Disarm() = 0;
};

// The clock of the window's event loop: QElapsedTimer and a precise QTimer.
std::unique_ptr<SyncClock> MakeEventLoopClock();

class SyncDriver : public MediaEngineListener {
 public:
  using SyncFn = std::function<void(double positionMs)>;

  // times: the times of all slides, marks and transcript sections, in any order.
  SyncDriver(MediaEngine& engine, SyncClock& clock, QList<double> times, SyncFn sync);
  ~SyncDriver() override;

  // MediaEngineListener
  void EnginePosition(double ms) override;
  void EnginePlaying(bool playing) override;
  void EngineSeeked() override;
  void EngineSpeed(double speed) override;

  // The player moved the recording itself (a jump, a key): show the target at once.
  void SeekedTo(double ms);
  // Before the engine has the recording open: shows what the moment it is to start from will
  // show, without taking that moment for the engine's position.
  void ShowStart(double ms);
  // The best estimate of the position now; negative before the first sample.
  double EstimateMs() const;
  // What the tick should sync to, given the engine's own reading: the reading can lag the sound
  // by one sample step, and a tick must not take the window back to what the driver has just
  // left.
  double TickPosition(double engineMs) const;
  // Nothing more is synced (the window is closing).
  void Stop();

  bool Playing() const { return playing_; }
  double Speed() const { return speed_; }
  // Where the speed the engine tells is written for the views (none: nowhere).
  void SetState(PlayingState* state) { state_ = state; }

  // Extrapolation stops this long (wall time) after the last sample: a recording that stalls
  // shows nothing ahead of itself.
  static constexpr double kMaxExtrapolationMs = 300;
  // Samples come every block of sound; after this long without one the shot reads the engine.
  static constexpr double kQuietMs = 150;
  // A sample this far (recording time) from the estimate is a seek made elsewhere (the control
  // panel's bar).
  static constexpr double kJumpMs = 400;

 private:
  void Anchor(double ms);
  int SegmentOf(double position) const;
  void SyncAt(double position, bool force);
  void Aim();
  void Fire();

  MediaEngine& engine_;
  SyncClock& clock_;
  QList<double> times_;  // sorted, distinct
  SyncFn sync_;
  bool stopped_ = false;
  bool playing_ = false;
  double speed_ = 1.0;
  double anchorMs_ = -1;   // recording time of the latest sample
  double anchorAt_ = 0;    // clock time it was taken
  int shownSegment_ = -1;  // boundaries at or before what the window shows; -1: nothing yet
  double shownAt_ = -1;    // the position last synced
  PlayingState* state_ = nullptr;
};
