#pragma once
// The two engine controls as their bindings see them, each in its own units. The bindings do
// the unit conversions against these; tests put fakes behind them.

#include <QString>
#include <cstdint>

// The Windows Media control: times are seconds as double.
class WinMediaControl {
 public:
  virtual ~WinMediaControl() = default;
  virtual void SetFileName(const QString& path) = 0;
  virtual void Play() = 0;
  // Seconds; negative while no recording is open.
  virtual double CurrentPosition() = 0;
  virtual void SetCurrentPosition(double seconds) = 0;
  // Shows or hides the picture window above the control panel.
  virtual void SetShowDisplay(bool show) = 0;
};

// The RealMedia control: times are whole milliseconds as 32-bit integers.
class RealMediaControl {
 public:
  virtual ~RealMediaControl() = default;
  virtual void SetSource(const QString& path) = 0;
  virtual void DoPlay() = 0;
  // Whole milliseconds; negative while no recording is open.
  virtual int32_t GetPosition() = 0;
  virtual void SetPosition(int32_t ms) = 0;
  // The parts the control shows, a comma-separated list of "ImageWindow" and "ControlPanel".
  virtual void SetControls(const QString& parts) = 0;
};
