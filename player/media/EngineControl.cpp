#include "player/media/EngineControl.h"

#include <QFileInfo>
#include <QKeyEvent>
#include <QSlider>
#include <QTimer>
#include <QToolButton>
#include <QWindow>
#include <algorithm>
#include <cmath>

#include "medium/Error.h"
#include "medium/Paths.h"
#include "player/media/ControlPanel.h"
#include "player/media/MediaEngine.h"
#include "player/media/MpvVideoWidget.h"

namespace {
constexpr double kKeySeekSeconds = 5;
constexpr int kLongestWaitForScreenMs = 500;

QString LastComponent(const QString& path) {
  const qsizetype cut = std::max(path.lastIndexOf(QLatin1Char('\\')), path.lastIndexOf('/'));
  return path.mid(cut + 1);
}
}  // namespace

EngineControl::EngineControl(const MpvCoreOptions& options, QWidget* parent)
    : QWidget(parent), core_(std::make_unique<MpvCore>(options, MpvCore::Start::Later)) {
  setFocusPolicy(Qt::StrongFocus);
  setAutoFillBackground(true);
  QPalette dark = palette();
  dark.setColor(QPalette::Window, Qt::black);
  setPalette(dark);

  if (!options.headless) {
    picture_ = new MpvVideoWidget(this);
    picture_->setFocusPolicy(Qt::NoFocus);
  }
  connect(core_.get(), &MpvCore::started, this, &EngineControl::OnCoreStarted);
  connect(core_.get(), &MpvCore::startFailed, this, [this](const QString& reason) {
    // A recording asked for meanwhile cannot be played; the panel says why.
    if (state_ == State::Waiting)
      Fail(QStringLiteral("The media engine could not be started: ") + reason);
  });
  panel_ = new ControlPanel(this);

  connect(core_.get(), &MpvCore::fileLoaded, this, &EngineControl::OnFileLoaded);
  connect(core_.get(), &MpvCore::loadFailed, this, &EngineControl::Fail);
  connect(core_.get(), &MpvCore::seekFinished, this, &EngineControl::seekFinished);
  connect(core_.get(), &MpvCore::positionChanged, panel_, &ControlPanel::SetPosition);
  connect(core_.get(), &MpvCore::durationChanged, panel_, &ControlPanel::SetDuration);
  connect(core_.get(), &MpvCore::pausedChanged, panel_, &ControlPanel::SetPaused);
  connect(core_.get(), &MpvCore::pausedChanged, this, [this](bool paused) {
    if (!paused) holding_ = false;
  });
  connect(core_.get(), &MpvCore::endReachedChanged, this, &EngineControl::OnEndReached);
  connect(core_.get(), &MpvCore::soundOutputMissingChanged, panel_,
          &ControlPanel::SetSoundOutputMissing);
  connect(core_.get(), &MpvCore::pausedChanged, this, &EngineControl::TellPlaying);
  connect(core_.get(), &MpvCore::positionChanged, this, [this](double seconds) {
    NoteRaw(seconds);
    if (state_ == State::Open && seconds >= 0) emit positionSampled(seconds);
  });
  connect(core_.get(), &MpvCore::speedChanged, this, [this](double speed) { speed_ = speed; });
  connect(core_.get(), &MpvCore::speedChanged, panel_, &ControlPanel::SetSpeed);
  connect(core_.get(), &MpvCore::speedChanged, this, &EngineControl::speedChanged);
  connect(panel_, &ControlPanel::speedRequested, this, &EngineControl::SetSpeed);
  connect(panel_, &ControlPanel::playPauseClicked, this, &EngineControl::TogglePlay);
  connect(panel_, &ControlPanel::stopClicked, this, &EngineControl::Stop);
  connect(panel_, &ControlPanel::seekRequested, this, &EngineControl::SeekSeconds);
  connect(panel_, &ControlPanel::volumeChanged, core_.get(), &MpvCore::SetVolume);
  connect(panel_, &ControlPanel::muteChanged, core_.get(), &MpvCore::SetMuted);
  core_->SetPaused(true);
  panel_->SetPaused(true);
  sinceStart_.start();
  Arrange();
  // The core starts on a thread of its own once the window is on screen, and the recording opens
  // when it is there. Not before: loading libmpv holds the dynamic loader for all of its libraries,
  // and the window's first painting waits for the loader too.
  QTimer::singleShot(0, this, &EngineControl::StartCoreWhenSeen);
}

void EngineControl::StartCoreWhenSeen() {
  // A control on a window that is to appear waits for it to be on screen; any other starts now.
  QWindow* shown = window()->isVisible() ? window()->windowHandle() : nullptr;
  if (!shown || shown->isExposed()) {
    core_->StartInBackground();
    return;
  }
  shown->installEventFilter(this);
  // A window kept from the screen (covered, on another desktop) plays all the same.
  QTimer::singleShot(kLongestWaitForScreenMs, core_.get(), &MpvCore::StartInBackground);
}

bool EngineControl::eventFilter(QObject* watched, QEvent* event) {
  // The window paints itself while it handles its first exposure; the core starts right after.
  if (event->type() == QEvent::Expose && watched == window()->windowHandle()) {
    watched->removeEventFilter(this);
    QTimer::singleShot(0, core_.get(), &MpvCore::StartInBackground);
  }
  return QWidget::eventFilter(watched, event);
}

EngineControl::~EngineControl() {
  // The picture's render context must go while the core still exists, and the core before the
  // rest of the widget.
  if (picture_) picture_->Detach();
  delete picture_;
  picture_ = nullptr;
  core_.reset();
}

void EngineControl::OnCoreStarted() {
  // Without a picture the sound still plays; the picture window stays dark.
  if (picture_ && !picture_->Attach(core_->Handle())) renderFailed_ = true;
  TryLoad();
}

void EngineControl::OpenMedia(const QString& path) {
  if (core_->HasFailed())
    throw medium::AppError(medium::kEngineFailure,
                           QStringLiteral("The media engine could not be started"));
  fileName_ = LastComponent(path);
  nativePath_ = medium::OpenablePath(path);
  seekPending_ = false;
  holding_ = false;
  core_->SetPaused(true);
  panel_->ClearMessage();
  // Only ordinary files are handed on: a folder or a device would be taken for a playlist or a
  // stream, and a missing file is known without asking the core.
  if (!QFileInfo(nativePath_).isFile()) {
    state_ = State::Failed;
    Fail(QStringLiteral("File not found"));
    return;
  }
  state_ = State::Waiting;
  TryLoad();
}

bool EngineControl::UsesPicture() const {
  return picture_ && pictureWanted_ && height() > ControlPanel::kHeight && !renderFailed_;
}

void EngineControl::TryLoad() {
  if (state_ != State::Waiting) return;
  // The core must have started, and with a picture window the render context must exist before
  // the file is loaded, or the core would have nowhere to draw.
  if (!core_->IsValid()) return;
  if (UsesPicture() && !picture_->RenderReady()) return;
  state_ = State::Loading;
  // A seek asked for before the file could be loaded is where it starts.
  const double start = seekPending_ ? pendingSeek_ : -1;
  seekPending_ = false;
  // Headless cores decode the picture into nothing, so that times and seeks are those of the
  // whole recording.
  core_->Load(nativePath_, core_->Options().headless || UsesPicture(), start);
}

void EngineControl::Fail(const QString& detail) {
  if (state_ == State::Open) core_->Unload();  // nothing of a failed file stays playing
  state_ = State::Failed;
  const QString message = QStringLiteral("Cannot open ") + fileName_;
  panel_->ShowMessage(message, detail);
  panel_->SetPosition(-1);
  panel_->SetDuration(-1);
  TellPlaying();
  emit failed(message);
}

void EngineControl::OnFileLoaded() {
  if (state_ != State::Loading) return;
  state_ = State::Open;
  panel_->ClearMessage();
  if (seekPending_) {
    seekPending_ = false;
    SeekSeconds(pendingSeek_);
  }
  TellPlaying();
  emit opened();
}

void EngineControl::OnEndReached(bool atEnd) {
  // A file cut off after its header opens but ends before anything could be played from it;
  // the header of such a stub may even claim a duration of a few hundredths of a second.
  if (atEnd && state_ == State::Open && core_->PositionSeconds() < 0.25)
    Fail(QStringLiteral("No audio or video data could be played"));
  TellPlaying();
}

void EngineControl::TellPlaying() {
  const bool playing = Playing();
  if (playing == toldPlaying_) return;
  toldPlaying_ = playing;
  emit playingChanged(playing);
}

bool EngineControl::Paused() const {
  return core_->Paused();
}

bool EngineControl::Playing() const {
  return state_ == State::Open && !core_->Paused() && !core_->AtEnd();
}

double EngineControl::DurationSeconds() const {
  return state_ == State::Open ? core_->DurationSeconds() : -1;
}

void EngineControl::SetSpeed(double speed) {
  if (!std::isfinite(speed)) return;
  core_->SetSpeed(std::clamp(speed, kMinSpeed, kMaxSpeed));
}

double EngineControl::Speed() const {
  return core_->Speed();
}

void EngineControl::SetVolume(int percent) {
  panel_->VolumeBar()->setValue(std::clamp(percent, 0, 100));  // the bar tells the core
}

int EngineControl::Volume() const {
  return panel_->VolumeBar()->value();
}

void EngineControl::SetMuted(bool muted) {
  panel_->MuteButton()->setChecked(muted);  // the button tells the core
}

bool EngineControl::Muted() const {
  return panel_->MuteButton()->isChecked();
}

void EngineControl::Play() {
  if (state_ == State::Open && core_->AtEnd()) core_->SeekSeconds(0);
  core_->SetPaused(false);
}

void EngineControl::Pause() {
  core_->SetPaused(true);
}

void EngineControl::TogglePlay() {
  if (core_->Paused())
    Play();
  else
    Pause();
}

void EngineControl::Stop() {
  core_->SetPaused(true);
  SeekSeconds(0);
}

double EngineControl::PositionSeconds() const {
  if (state_ != State::Open) return -1;
  if (holding_ && core_->Paused()) return heldPosition_;
  return Smoothed(core_->PositionSeconds());
}

void EngineControl::NoteRaw(double raw) const {
  if (raw == lastRaw_) return;
  lastRaw_ = raw;
  lastRawAt_ = static_cast<double>(sinceStart_.nsecsElapsed()) / 1e9;
}

double EngineControl::Smoothed(double raw) const {
  NoteRaw(raw);
  if (raw < 0 || core_->Paused() || core_->AtEnd()) {
    smoothed_ = raw;
    return raw;
  }
  const double now = static_cast<double>(sinceStart_.nsecsElapsed()) / 1e9;
  double value = raw + std::clamp(now - lastRawAt_, 0.0, kStepSeconds) * speed_;
  const double duration = core_->DurationSeconds();
  if (duration > 0) value = std::min(value, duration);
  // A step noticed late must not take the reading back; a larger step back is a seek.
  if (value < smoothed_ && smoothed_ - value <= 2 * kStepSeconds * speed_) value = smoothed_;
  smoothed_ = value;
  return value;
}

void EngineControl::SeekSeconds(double seconds) {
  if (!std::isfinite(seconds)) return;
  if (state_ == State::Waiting || state_ == State::Loading) {
    seekPending_ = true;
    pendingSeek_ = seconds;
  } else if (state_ == State::Open) {
    if (!core_->SeekSeconds(seconds)) return;
    smoothed_ = -1;
    lastRaw_ = -1;
    const double duration = core_->DurationSeconds();
    holding_ = core_->Paused();
    heldPosition_ = std::max(0.0, duration > 0 ? std::min(seconds, duration) : seconds);
  }
}

void EngineControl::SetPictureWanted(bool wanted) {
  pictureWanted_ = wanted;
  Arrange();
  TryLoad();
}

QString EngineControl::StatusText() const {
  return panel_->Message();
}

void EngineControl::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  Arrange();
  TryLoad();
}

void EngineControl::Arrange() {
  const int panelHeight = std::min(height(), ControlPanel::kHeight);
  panel_->setGeometry(0, height() - panelHeight, width(), panelHeight);
  if (!picture_) return;
  const bool show = pictureWanted_ && height() > ControlPanel::kHeight;
  picture_->setGeometry(0, 0, width(), std::max(0, height() - panelHeight));
  picture_->setVisible(show);
}

void EngineControl::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Space:
    case Qt::Key_MediaTogglePlayPause:
      TogglePlay();
      break;
    case Qt::Key_Left:
      SeekSeconds(std::max(0.0, PositionSeconds() - kKeySeekSeconds));
      break;
    case Qt::Key_Right:
      if (PositionSeconds() >= 0) SeekSeconds(PositionSeconds() + kKeySeekSeconds);
      break;
    case Qt::Key_M:
      panel_->MuteButton()->toggle();
      break;
    default:
      QWidget::keyPressEvent(event);
  }
}
