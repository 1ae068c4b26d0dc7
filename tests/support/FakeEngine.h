#pragma once
// A media engine that records the calls made to it and returns the position a test sets.

#include <QStringList>
#include <functional>
#include <memory>

#include "player/media/MediaEngine.h"

class FakeEngine : public MediaEngine {
 public:
  void OpenMedia(const QString& path) override;
  void Play() override;
  double GetPositionMs() override;
  void SeekMs(double ms) override;
  void ShowControlPanelOnly() override;
  void SetTop(int pixels) override;
  void SetHeight(int pixels) override;
  int Top() const override { return top; }
  int Height() const override { return height; }
  void SetFocus() override;
  QWidget* Widget() override { return nullptr; }

  void SetListener(MediaEngineListener* l) override { listener = l; }
  void Pause() override;
  bool Paused() const override { return paused; }
  double DurationMs() const override { return duration; }
  void SetSpeed(double s) override;
  double Speed() const override { return speed; }
  void SetVolume(int percent) override;
  int Volume() const override { return volume; }
  void SetMuted(bool m) override;
  bool Muted() const override { return muted; }

  // What a real engine tells its listener by itself (nothing when none is set).
  void TellPosition(double ms);  // also sets the position
  void TellPlaying(bool playing);
  void TellSeeked();
  void TellSpeed(double s);

  // Calls in order, e.g. "OpenMedia /m/Media/P/media.wma", "Play", "SeekMs 61500", "Pause",
  // "Speed 1.25", "Volume 90", "Muted 1". Reading the state is not recorded.
  QStringList calls;
  MediaEngineListener* listener = nullptr;
  bool paused = true;  // Play and Pause change it
  double speed = 1.0;
  int volume = 100;
  bool muted = false;
  double duration = -1;
  double position = -1;
  int top = 88;
  int height = 260;
  // When set, every call throws an engine failure (after recording it).
  bool failing = false;
};

// An engine factory for the player that hands out `engine` itself, so the test keeps the fake and
// reads its calls; the player's session owns only a stand-in that passes every call on.
std::function<std::unique_ptr<MediaEngine>(QWidget* parent)> Borrow(MediaEngine& engine);
