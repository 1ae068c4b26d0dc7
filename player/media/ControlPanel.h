#pragma once
// The engine control's panel along its bottom edge: play/pause, stop, a seek bar, elapsed and
// total time, mute and volume. It shows state and reports the user's wishes; it plays nothing.

#include <QColor>
#include <QIcon>
#include <QList>
#include <QWidget>
#include <functional>

class QHBoxLayout;
class QLabel;
class QSlider;
class QToolButton;

class ControlPanel : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kHeight = 40;  // the audio-only strip is exactly the panel
  // The panel's own colours: it sits on the engine control's black wherever it is hosted.
  static const QColor kBackground;
  static const QColor kText;

  explicit ControlPanel(QWidget* parent = nullptr);

  // "m:ss" of whole seconds (minutes are not capped); nothing known reads "0:00".
  static QString FormatTime(double seconds);

  QString TimeText() const;
  QString Message() const;
  // "No sound output" while the recording plays silently for want of one, else empty.
  QString Notice() const;
  QLabel* TimeLabel() const { return time_; }
  QSlider* SeekBar() const { return seekBar_; }
  QSlider* VolumeBar() const { return volume_; }
  QToolButton* PlayButton() const { return play_; }
  QToolButton* StopButton() const { return stop_; }
  QToolButton* MuteButton() const { return mute_; }
  // A button for something the player offers beside the recording (a window of its own), placed
  // before the sound controls. Shows the icon when there is one, else the text, which is also
  // the tool tip.
  QToolButton* AddToolButton(const QString& text, const QString& accessibleName,
                             std::function<void()> callback, const QIcon& icon = {});
  QToolButton* SpeedButton() const { return speed_; }
  // "1x", "1.25x": the speed as the speed button shows it.
  static QString FormatSpeed(double speed);
  // The speeds the speed button's menu offers, slowest first.
  static const QList<double>& SpeedSteps();

 public slots:
  void SetPosition(double seconds);
  void SetDuration(double seconds);
  void SetPaused(bool paused);
  void SetSpeed(double speed);
  // Shown in place of the time, e.g. "Cannot open media.wma"; detail goes to the tool tip.
  void ShowMessage(const QString& text, const QString& detail = {});
  void ClearMessage();
  // Without a sound output the volume and mute controls give way to "No sound output".
  void SetSoundOutputMissing(bool missing);

 signals:
  void playPauseClicked();
  void stopClicked();
  void seekRequested(double seconds);
  void volumeChanged(int percent);
  void muteChanged(bool muted);
  void speedRequested(double speed);

 private:
  void UpdateTimeText();
  void UpdateMuteIcon();

  QToolButton* play_;
  QToolButton* stop_;
  QSlider* seekBar_;
  QLabel* time_;
  QToolButton* mute_;
  QSlider* volume_;
  QHBoxLayout* buttons_;
  QLabel* notice_;
  QToolButton* speed_;
  double position_ = -1;
  double duration_ = -1;
  QString message_;
};
