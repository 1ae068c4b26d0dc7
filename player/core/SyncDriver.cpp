#include "player/core/SyncDriver.h"

#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <cmath>

#include "medium/Error.h"

namespace {

class EventLoopClock : public SyncClock {
 public:
  EventLoopClock() {
    elapsed_.start();
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      // The shot may arm the next one.
      std::function<void()> shot = std::move(shot_);
      shot_ = {};
      if (shot) shot();
    });
  }
  double NowMs() const override { return static_cast<double>(elapsed_.nsecsElapsed()) / 1e6; }
  void Arm(double delayMs, std::function<void()> shot) override {
    shot_ = std::move(shot);
    // Rounded up: a shot a fraction early would find the boundary not yet reached.
    timer_.start(static_cast<int>(std::ceil(std::clamp(delayMs, 0.0, 86400000.0))));
  }
  void Disarm() override {
    timer_.stop();
    shot_ = {};
  }

 private:
  QElapsedTimer elapsed_;
  QTimer timer_;
  std::function<void()> shot_;
};

}  // namespace

std::unique_ptr<SyncClock> MakeEventLoopClock() {
  return std::make_unique<EventLoopClock>();
}

SyncDriver::SyncDriver(MediaEngine& engine, SyncClock& clock, QList<double> times, SyncFn sync)
    : engine_(engine), clock_(clock), sync_(std::move(sync)) {
  times.erase(
      std::remove_if(times.begin(), times.end(), [](double t) { return !std::isfinite(t); }),
      times.end());
  // At exactly 0 the transcript box stays empty and a section shows from just after, so a
  // section at 0 has a second moment of its own.
  if (times.contains(0.0)) times << 1e-3;
  std::sort(times.begin(), times.end());
  times.erase(std::unique(times.begin(), times.end()), times.end());
  times_ = std::move(times);
  try {
    playing_ = !engine_.Paused();
    speed_ = engine_.Speed() > 0 ? engine_.Speed() : 1.0;
  } catch (const medium::AppError&) {
  }
}

SyncDriver::~SyncDriver() {
  clock_.Disarm();
}

void SyncDriver::Stop() {
  stopped_ = true;
  clock_.Disarm();
}

double SyncDriver::EstimateMs() const {
  if (anchorMs_ < 0) return -1;
  if (!playing_) return anchorMs_;
  const double since = std::clamp(clock_.NowMs() - anchorAt_, 0.0, kMaxExtrapolationMs);
  return anchorMs_ + since * speed_;
}

double SyncDriver::TickPosition(double engineMs) const {
  if (engineMs < 0 || stopped_) return engineMs;
  // Only a reading just behind what the driver knows is a lagging sample; anything further off
  // is the truth (a seek the driver has not heard of yet).
  const double lead = std::max(EstimateMs(), shownAt_);
  if (engineMs < lead && lead - engineMs <= kMaxExtrapolationMs * std::max(1.0, speed_))
    return lead;
  return engineMs;
}

void SyncDriver::Anchor(double ms) {
  anchorMs_ = ms;
  anchorAt_ = clock_.NowMs();
}

int SyncDriver::SegmentOf(double position) const {
  return static_cast<int>(std::upper_bound(times_.begin(), times_.end(), position) -
                          times_.begin());
}

void SyncDriver::SyncAt(double position, bool force) {
  if (stopped_ || position < 0) return;
  const int segment = SegmentOf(position);
  if (!force && segment == shownSegment_) return;
  shownSegment_ = segment;
  shownAt_ = position;
  if (sync_) sync_(position);
}

void SyncDriver::EnginePosition(double ms) {
  if (stopped_ || ms < 0) return;
  const double estimate = EstimateMs();
  const bool jumped = estimate >= 0 && std::abs(ms - estimate) > kJumpMs * std::max(1.0, speed_);
  // The clock follows the engine, also when a sample is a little behind it; what the window
  // shows is only ever taken back by a seek.
  Anchor(ms);
  if (jumped || SegmentOf(ms) > shownSegment_) SyncAt(ms, false);
  Aim();
}

void SyncDriver::EnginePlaying(bool playing) {
  if (stopped_) return;
  if (playing && !playing_) {
    // The clock starts again from where the engine stands.
    double ms = -1;
    try {
      ms = engine_.GetPositionMs();
    } catch (const medium::AppError&) {
    }
    if (ms >= 0) Anchor(ms);
  } else if (!playing && playing_) {
    const double estimate = EstimateMs();
    if (estimate >= 0) Anchor(estimate);
  }
  playing_ = playing;
  Aim();
}

void SyncDriver::EngineSeeked() {
  if (stopped_) return;
  double ms = -1;
  try {
    ms = engine_.GetPositionMs();
  } catch (const medium::AppError&) {
  }
  if (ms < 0) return;
  Anchor(ms);
  SyncAt(ms, false);
  Aim();
}

void SyncDriver::EngineSpeed(double speed) {
  if (stopped_ || !(speed > 0)) return;
  const double estimate = EstimateMs();
  if (estimate >= 0) Anchor(estimate);
  speed_ = speed;
  if (state_) state_->SetSpeed(speed);
  Aim();
}

void SyncDriver::SeekedTo(double ms) {
  if (stopped_ || !std::isfinite(ms)) return;
  Anchor(std::max(0.0, ms));
  SyncAt(anchorMs_, true);
  Aim();
}

void SyncDriver::ShowStart(double ms) {
  if (stopped_ || !std::isfinite(ms)) return;
  SyncAt(std::max(0.0, ms), true);
}

void SyncDriver::Aim() {
  clock_.Disarm();
  if (stopped_ || !playing_ || anchorMs_ < 0) return;
  const int next = std::max(0, shownSegment_);
  if (next >= times_.size()) return;  // past the last boundary: only the tick remains
  const double wait = (times_[next] - EstimateMs()) / speed_;
  // Beyond the reach of the clock the shot only asks the engine again.
  const double untilStale = kMaxExtrapolationMs - (clock_.NowMs() - anchorAt_);
  clock_.Arm(std::max(0.0, std::min(wait, std::max(untilStale, 1.0))), [this] { Fire(); });
}

void SyncDriver::Fire() {
  if (stopped_ || !playing_) return;
  double ms = -1;
  try {
    ms = engine_.GetPositionMs();
  } catch (const medium::AppError&) {
  }
  const double estimate = EstimateMs();
  const double sinceSample = clock_.NowMs() - anchorAt_;
  const bool moved = ms >= 0 && ms != anchorMs_;
  // A fresh reading ahead of the clock moves it on; one far off is a seek made elsewhere; and
  // while the engine's samples are quiet its reading keeps the clock going.
  if (ms >= 0 && (ms > estimate || std::abs(ms - estimate) > kJumpMs * std::max(1.0, speed_) ||
                  (moved && sinceSample >= kQuietMs))) {
    EnginePosition(ms);
    return;
  }
  const int segment = SegmentOf(estimate);
  if (segment > shownSegment_) {
    // Synced at the boundary itself when the shot came a fraction early.
    SyncAt(segment > 0 ? std::max(estimate, times_[segment - 1]) : estimate, false);
  }
  if (sinceSample >= kMaxExtrapolationMs) return;  // stalled: wait for a sample
  Aim();
}
