#pragma once
// One engine control as hosted in the player window: a picture window over a control panel, on
// a playback core of its own. Both player builds host this control; their bindings differ only
// in the units they speak.

#include <QElapsedTimer>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <memory>

#include "player/media/MpvCore.h"

class ControlPanel;
class MpvVideoWidget;

class EngineControl : public QWidget {
  Q_OBJECT

 public:
  explicit EngineControl(const MpvCoreOptions& options, QWidget* parent = nullptr);
  ~EngineControl() override;

  // A path in the medium's form (or a native one). A file that is not there, or that the core
  // cannot play, leaves the control empty with "Cannot open <file name>" on its panel; so does a
  // playback core that could not start after the file was given. Throws medium::AppError (engine
  // failure) when the core is known to have failed already.
  void OpenMedia(const QString& path);
  void Play();
  void Pause();
  void TogglePlay();
  // Back to the start, paused; the recording stays open.
  void Stop();
  // Negative until a recording is open.
  double PositionSeconds() const;
  // Exact seek; remembered and made once the recording is open when it is still loading.
  void SeekSeconds(double seconds);
  bool Paused() const;
  // Playing: open, not paused and not held at the end.
  bool Playing() const;
  double DurationSeconds() const;
  // 0.5 to 2 (others are held to that range); shown on the panel.
  void SetSpeed(double speed);
  double Speed() const;
  // Through the panel's volume bar and mute button, so that they show it.
  void SetVolume(int percent);
  int Volume() const;
  void SetMuted(bool muted);
  bool Muted() const;
  // false: the control shows its panel alone (also the case whenever it is only panel-high).
  void SetPictureWanted(bool wanted);

  bool IsOpen() const { return state_ == State::Open; }
  // What the panel says instead of the time ("Cannot open media.wma"), empty when all is well.
  QString StatusText() const;
  ControlPanel* Panel() const { return panel_; }
  // Null in headless mode.
  MpvVideoWidget* Picture() const { return picture_; }
  MpvCore* Core() const { return core_.get(); }

 signals:
  void opened();
  void failed(const QString& message);
  void seekFinished();
  // A new sample of the playing position (seconds), as the core reports it.
  void positionSampled(double seconds);
  void playingChanged(bool playing);
  void speedChanged(double speed);

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  enum class State { Empty, Waiting, Loading, Open, Failed };

  bool UsesPicture() const;
  void Arrange();
  void TryLoad();
  void Fail(const QString& detail);
  void StartCoreWhenSeen();
  void OnCoreStarted();
  void OnFileLoaded();
  void OnEndReached(bool atEnd);
  void TellPlaying();

  std::unique_ptr<MpvCore> core_;
  MpvVideoWidget* picture_ = nullptr;  // a child, deleted first by hand
  ControlPanel* panel_;
  State state_ = State::Empty;
  QString nativePath_;
  QString fileName_;
  bool pictureWanted_ = true;
  bool renderFailed_ = false;
  bool seekPending_ = false;
  double pendingSeek_ = 0;
  // While paused after a seek nothing has played, so the position is the seek's target; the core
  // reports it less the sound it has buffered ahead.
  bool holding_ = false;
  double heldPosition_ = 0;
  bool toldPlaying_ = false;
  // The core's position moves in steps of one block of sound; between two steps the position
  // goes on from the last one at the playing speed (for at most kStepSeconds), so that a reading
  // tells where the sound is and never goes back while it plays.
  static constexpr double kStepSeconds = 0.1;
  double Smoothed(double raw) const;
  void NoteRaw(double raw) const;
  QElapsedTimer sinceStart_;
  mutable double lastRaw_ = -1;
  mutable double lastRawAt_ = 0;
  mutable double smoothed_ = -1;
  double speed_ = 1.0;
};
