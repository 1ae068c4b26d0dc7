#include "player/media/Bindings.h"

#include <QCoreApplication>
#include <QResizeEvent>
#include <cmath>
#include <limits>

#include "medium/Convert.h"
#include "medium/Error.h"
#include "player/media/EngineControl.h"

HostPlacement::HostPlacement(QWidget* host) : host_(host), ownsHost_(host && !host->parent()) {
  if (host_) {
    top_ = host_->y();
    height_ = host_->height();
  }
}

HostPlacement::~HostPlacement() {
  if (ownsHost_) delete host_.data();
}

void HostPlacement::SetTop(int pixels) {
  top_ = pixels;
  if (host_) host_->move(host_->x(), pixels);
}

void HostPlacement::SetHeight(int pixels) {
  height_ = std::max(0, pixels);
  if (!host_) return;
  const QSize old = host_->size();
  host_->resize(host_->width(), height_);
  // A hidden widget hears of its new size only when shown; the control arranges its picture
  // window and panel now, since the recording may be opened before the window appears.
  if (!host_->isVisible() && old != host_->size()) {
    QResizeEvent resized(host_->size(), old);
    QCoreApplication::sendEvent(host_, &resized);
  }
}

int HostPlacement::Top() const {
  return host_ ? host_->y() : top_;
}

int HostPlacement::Height() const {
  return host_ ? host_->height() : height_;
}

void HostPlacement::SetFocus() {
  if (host_) host_->setFocus(Qt::OtherFocusReason);
}

// Both ----------------------------------------------------------------------------------------

PlacedBinding::PlacedBinding(QWidget* host) : placement_(host) {}

PlacedBinding::~PlacedBinding() {
  SetListener(nullptr);
}

EngineControl* PlacedBinding::Control() const {
  return qobject_cast<EngineControl*>(placement_.Widget());
}

void PlacedBinding::SetListener(MediaEngineListener* listener) {
  for (const QMetaObject::Connection& c : connections_) QObject::disconnect(c);
  connections_.clear();
  listener_ = listener;
  EngineControl* control = Control();
  if (!listener_ || !control) return;
  // Positions go out in the binding's own milliseconds, exactly as GetPositionMs reads them.
  connections_ << QObject::connect(control, &EngineControl::positionSampled, control, [this] {
    const double ms = GetPositionMs();
    if (listener_ && ms >= 0) listener_->EnginePosition(ms);
  });
  connections_ << QObject::connect(control, &EngineControl::playingChanged, control,
                                   [this](bool playing) {
                                     if (listener_) listener_->EnginePlaying(playing);
                                   });
  connections_ << QObject::connect(control, &EngineControl::seekFinished, control, [this] {
    if (listener_) listener_->EngineSeeked();
  });
  connections_ << QObject::connect(control, &EngineControl::speedChanged, control,
                                   [this](double speed) {
                                     if (listener_) listener_->EngineSpeed(speed);
                                   });
}

void PlacedBinding::Pause() {
  if (EngineControl* c = Control()) c->Pause();
}

bool PlacedBinding::Paused() const {
  const EngineControl* c = Control();
  return c ? !c->Playing() : false;
}

double PlacedBinding::DurationMs() const {
  const EngineControl* c = Control();
  const double seconds = c ? c->DurationSeconds() : -1;
  return seconds > 0 ? seconds * 1000.0 : -1;
}

void PlacedBinding::SetSpeed(double speed) {
  if (EngineControl* c = Control()) c->SetSpeed(speed);
}

double PlacedBinding::Speed() const {
  const EngineControl* c = Control();
  return c ? c->Speed() : 1.0;
}

void PlacedBinding::SetVolume(int percent) {
  if (EngineControl* c = Control()) c->SetVolume(percent);
}

int PlacedBinding::Volume() const {
  const EngineControl* c = Control();
  return c ? c->Volume() : 100;
}

void PlacedBinding::SetMuted(bool muted) {
  if (EngineControl* c = Control()) c->SetMuted(muted);
}

bool PlacedBinding::Muted() const {
  const EngineControl* c = Control();
  return c ? c->Muted() : false;
}

// Tavisco -------------------------------------------------------------------------------------

WinMediaBinding::WinMediaBinding(std::unique_ptr<WinMediaControl> control, QWidget* host)
    : PlacedBinding(host), control_(std::move(control)) {}

void WinMediaBinding::OpenMedia(const QString& path) {
  control_->SetFileName(path);
}

void WinMediaBinding::Play() {
  control_->Play();
}

double WinMediaBinding::GetPositionMs() {
  return control_->CurrentPosition() * 1000.0;
}

void WinMediaBinding::SeekMs(double ms) {
  control_->SetCurrentPosition(ms / 1000.0);
}

void WinMediaBinding::ShowControlPanelOnly() {
  control_->SetShowDisplay(false);
}

// Norvanta ------------------------------------------------------------------------------------

RealMediaBinding::RealMediaBinding(std::unique_ptr<RealMediaControl> control, QWidget* host)
    : PlacedBinding(host), control_(std::move(control)) {}

void RealMediaBinding::OpenMedia(const QString& path) {
  control_->SetSource(path);
}

void RealMediaBinding::Play() {
  control_->DoPlay();
}

double RealMediaBinding::GetPositionMs() {
  return static_cast<double>(control_->GetPosition());
}

void RealMediaBinding::SeekMs(double ms) {
  const double whole = medium::RoundHalfEven(ms);
  if (!std::isfinite(whole) || whole < std::numeric_limits<int32_t>::min() ||
      whole > std::numeric_limits<int32_t>::max())
    medium::RaiseOverflow(QString::number(ms, 'g', 17));
  control_->SetPosition(static_cast<int32_t>(whole));
}

void RealMediaBinding::ShowControlPanelOnly() {
  control_->SetControls(QStringLiteral("ControlPanel"));
}

int32_t WholeMilliseconds(double seconds) {
  if (!std::isfinite(seconds) || seconds < 0) return -1;
  const double ms = std::trunc(seconds * 1000.0);
  if (ms >= static_cast<double>(std::numeric_limits<int32_t>::max()))
    return std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(ms);
}

// The controls over the hosted engine control -------------------------------------------------

namespace {

EngineControl& Alive(const QPointer<EngineControl>& control) {
  // The window (and with it the control) may already be gone while the player still holds its
  // binding; calls then fail as engine calls do.
  if (!control)
    throw medium::AppError(medium::kEngineFailure, QStringLiteral("The media engine is closed"));
  return *control;
}

class WinMediaOverEngine : public WinMediaControl {
 public:
  explicit WinMediaOverEngine(EngineControl* control) : control_(control) {}
  void SetFileName(const QString& path) override { Alive(control_).OpenMedia(path); }
  void Play() override { Alive(control_).Play(); }
  double CurrentPosition() override { return control_ ? control_->PositionSeconds() : -1; }
  void SetCurrentPosition(double seconds) override { Alive(control_).SeekSeconds(seconds); }
  void SetShowDisplay(bool show) override { Alive(control_).SetPictureWanted(show); }

 private:
  QPointer<EngineControl> control_;
};

class RealMediaOverEngine : public RealMediaControl {
 public:
  explicit RealMediaOverEngine(EngineControl* control) : control_(control) {}
  void SetSource(const QString& path) override { Alive(control_).OpenMedia(path); }
  void DoPlay() override { Alive(control_).Play(); }
  int32_t GetPosition() override {
    return control_ ? WholeMilliseconds(control_->PositionSeconds()) : -1;
  }
  void SetPosition(int32_t ms) override { Alive(control_).SeekSeconds(ms / 1000.0); }
  void SetControls(const QString& parts) override {
    const QStringList list = parts.split(QLatin1Char(','), Qt::SkipEmptyParts);
    bool picture = false;
    for (const QString& part : list)
      picture = picture ||
                part.trimmed().compare(QStringLiteral("ImageWindow"), Qt::CaseInsensitive) == 0;
    Alive(control_).SetPictureWanted(picture);
  }

 private:
  QPointer<EngineControl> control_;
};

}  // namespace

std::unique_ptr<WinMediaControl> MakeWinMediaControl(EngineControl* control) {
  return std::make_unique<WinMediaOverEngine>(control);
}

std::unique_ptr<RealMediaControl> MakeRealMediaControl(EngineControl* control) {
  return std::make_unique<RealMediaOverEngine>(control);
}
