#pragma once
// The media engine as the player sees it: five operations in milliseconds and the host
// control's placement in window pixels. Each player build has one binding that converts to its
// engine control's own units. Tests replace it with a fake that records the calls.

#include <QString>

class QWidget;

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
};

// Engine calls may throw medium::AppError (kEngineFailure) when the engine control cannot do
// what was asked; start-up reports it, a tick or a click simply stops.
