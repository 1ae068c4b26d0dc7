#pragma once
// The player's engine interface over each engine control, converting milliseconds to the
// control's units. Placement and focus act on the hosting widget.

#include <QList>
#include <QPointer>
#include <QWidget>
#include <memory>

#include "player/media/ControlInterfaces.h"
#include "player/media/MediaEngine.h"

// Where the engine control sits in the window. Without a widget (tests) it only remembers.
class HostPlacement {
 public:
  explicit HostPlacement(QWidget* host);
  ~HostPlacement();
  HostPlacement(const HostPlacement&) = delete;
  HostPlacement& operator=(const HostPlacement&) = delete;

  void SetTop(int pixels);
  void SetHeight(int pixels);
  int Top() const;
  int Height() const;
  void SetFocus();
  QWidget* Widget() const { return host_; }

 private:
  QPointer<QWidget> host_;
  bool ownsHost_;  // a control created without a parent window belongs to its binding
  int top_ = 88;
  int height_ = 260;
};

class EngineControl;

// What both bindings do alike: placement and focus act on the hosting widget, and so do the
// listener, pause, speed and volume when the host is our engine control (a host of another kind
// keeps the interface's defaults).
class PlacedBinding : public MediaEngine {
 public:
  explicit PlacedBinding(QWidget* host);
  ~PlacedBinding() override;
  void SetTop(int pixels) override { placement_.SetTop(pixels); }
  void SetHeight(int pixels) override { placement_.SetHeight(pixels); }
  int Top() const override { return placement_.Top(); }
  int Height() const override { return placement_.Height(); }
  void SetFocus() override { placement_.SetFocus(); }
  QWidget* Widget() override { return placement_.Widget(); }

  void SetListener(MediaEngineListener* listener) override;
  void Pause() override;
  bool Paused() const override;
  double DurationMs() const override;
  void SetSpeed(double speed) override;
  double Speed() const override;
  void SetVolume(int percent) override;
  int Volume() const override;
  void SetMuted(bool muted) override;
  bool Muted() const override;

 private:
  EngineControl* Control() const;
  HostPlacement placement_;
  MediaEngineListener* listener_ = nullptr;
  QList<QMetaObject::Connection> connections_;
};

// Tavisco: seconds as double.
class WinMediaBinding : public PlacedBinding {
 public:
  WinMediaBinding(std::unique_ptr<WinMediaControl> control, QWidget* host);
  void OpenMedia(const QString& path) override;
  void Play() override;
  double GetPositionMs() override;
  void SeekMs(double ms) override;
  void ShowControlPanelOnly() override;

 private:
  std::unique_ptr<WinMediaControl> control_;
};

// Norvanta: whole milliseconds as 32-bit integers.
class RealMediaBinding : public PlacedBinding {
 public:
  RealMediaBinding(std::unique_ptr<RealMediaControl> control, QWidget* host);
  void OpenMedia(const QString& path) override;
  void Play() override;
  double GetPositionMs() override;
  // Rounds half to even; a time outside the 32-bit range (or not a number) is an overflow (6).
  void SeekMs(double ms) override;
  void ShowControlPanelOnly() override;

 private:
  std::unique_ptr<RealMediaControl> control_;
};

// Seconds to whole milliseconds as the RealMedia control reports them: truncated towards zero,
// held to the 32-bit range; a negative time (nothing open) stays negative.
int32_t WholeMilliseconds(double seconds);

// The two control interfaces over the hosted engine control.
std::unique_ptr<WinMediaControl> MakeWinMediaControl(EngineControl* control);
std::unique_ptr<RealMediaControl> MakeRealMediaControl(EngineControl* control);
