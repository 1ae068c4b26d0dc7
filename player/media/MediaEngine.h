#pragma once
// The media engine as the player sees it: the designed operations (open, play, position and
// seek in milliseconds, the control panel alone) and the host control's placement in window
// pixels, each build's binding converting to its engine control's own units. Tests replace it
// with a fake that records the calls.
//
// Beside the designed operations the engine tells a listener what it does on its own (new
// position samples, pauses, seeks, speed changes), so that the window can follow the recording
// between the once-a-second ticks, and it takes the keyboard's wishes (pause, speed, volume).
// Those have harmless defaults, so an engine that cannot do them still plays.

#include <QRect>
#include <QString>

class QWidget;

// Where the engine control stands in the player window, in pixels, as designed.
inline constexpr QRect kEngineBox(512, 88, 270, 260);
// The playing speeds the player offers, in steps of a quarter.
inline constexpr double kMinSpeed = 0.5;
inline constexpr double kMaxSpeed = 2.0;
inline constexpr double kSpeedStep = 0.25;

// Told on the window's thread, always after the engine's own state has changed.
class MediaEngineListener {
 public:
  virtual ~MediaEngineListener() = default;
  // A new sample of the playing position, in the binding's milliseconds (as GetPositionMs).
  virtual void EnginePosition(double ms) = 0;
  // Playing, or not (paused, not open, or held at the end of the recording).
  virtual void EnginePlaying(bool playing) = 0;
  // A seek has landed; the position is valid again.
  virtual void EngineSeeked() = 0;
  virtual void EngineSpeed(double speed) = 0;
};

class MediaEngine {
 public:
  virtual ~MediaEngine() = default;

  virtual void OpenMedia(const QString& path) = 0;
  virtual void Play() = 0;
  // Negative while no recording is open (the tick then does nothing).
  virtual double GetPositionMs() = 0;
  virtual void SeekMs(double ms) = 0;
  virtual void ShowControlPanelOnly() = 0;

  // The hosting control, in the player window's pixels.
  virtual void SetTop(int pixels) = 0;
  virtual void SetHeight(int pixels) = 0;
  virtual int Top() const = 0;
  virtual int Height() const = 0;
  // Keyboard focus to the engine control.
  virtual void SetFocus() = 0;
  // The widget hosted in the window (null for a fake engine without one).
  virtual QWidget* Widget() = 0;

  // What the keyboard and the on-time slides need.
  virtual void SetListener(MediaEngineListener* listener) { (void)listener; }
  virtual void Pause() {}
  virtual bool Paused() const { return false; }
  // Negative while unknown.
  virtual double DurationMs() const { return -1; }
  // Playback speed, 1 normal; the voice keeps its pitch.
  virtual void SetSpeed(double speed) { (void)speed; }
  virtual double Speed() const { return 1.0; }
  // 0 to 100.
  virtual void SetVolume(int percent) { (void)percent; }
  virtual int Volume() const { return 100; }
  virtual void SetMuted(bool muted) { (void)muted; }
  virtual bool Muted() const { return false; }
};

// Engine calls may throw medium::AppError (kEngineFailure) when the engine control cannot do
// what was asked; start-up reports it, a tick or a click simply stops.
