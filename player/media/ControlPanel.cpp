#include "player/media/ControlPanel.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QToolButton>
#include <QVBoxLayout>
#include <cmath>

#include "player/media/MediaEngine.h"

namespace {

// A seek bar that jumps to where it is clicked, as media players' seek bars do, instead of
// creeping a page at a time towards the pointer. The handle then sits under the pointer, so the
// click becomes a drag whose release makes the seek.
class SeekSlider : public QSlider {
 public:
  using QSlider::QSlider;

 protected:
  void mousePressEvent(QMouseEvent* event) override {
    if (event->button() == Qt::LeftButton && maximum() > minimum()) {
      QStyleOptionSlider option;
      initStyleOption(&option);
      const QRect handle =
          style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
      if (!handle.contains(event->position().toPoint())) {
        const int span = std::max(1, width() - handle.width());
        const int x = qRound(event->position().x()) - handle.width() / 2;
        setSliderPosition(
            QStyle::sliderValueFromPosition(minimum(), maximum(), std::clamp(x, 0, span), span));
      }
    }
    QSlider::mousePressEvent(event);
  }
};

// The style's media symbols are drawn for a light background; on the panel's black they are
// redrawn in the panel's text colour, keeping their shapes.
QIcon PanelIcon(const QStyle* style, QStyle::StandardPixmap which) {
  QPixmap symbol = style->standardIcon(which).pixmap(QSize(16, 16));
  QPainter painter(&symbol);
  painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
  painter.fillRect(symbol.rect(), ControlPanel::kText);
  painter.end();
  return QIcon(symbol);
}

QToolButton* MakeButton(QWidget* parent, QStyle::StandardPixmap icon, const QString& tip) {
  auto* button = new QToolButton(parent);
  button->setIcon(PanelIcon(parent->style(), icon));
  button->setToolTip(tip);
  button->setAutoRaise(true);
  button->setIconSize(QSize(16, 16));
  button->setFixedSize(22, 22);
  button->setFocusPolicy(Qt::NoFocus);
  return button;
}

}  // namespace

const QColor ControlPanel::kBackground(0, 0, 0);
const QColor ControlPanel::kText(230, 230, 230);

ControlPanel::ControlPanel(QWidget* parent) : QWidget(parent) {
  setFixedHeight(kHeight);
  setAutoFillBackground(true);
  // Light text on the panel's black: the times and notices must read whatever the desktop's
  // colours (a palette left to inherit would give the black text of a light desktop).
  QPalette colours = palette();
  colours.setColor(QPalette::Window, kBackground);
  colours.setColor(QPalette::WindowText, kText);
  colours.setColor(QPalette::ButtonText, kText);  // the speed button's and tool buttons' words
  setPalette(colours);
  play_ = MakeButton(this, QStyle::SP_MediaPlay, tr("Play"));
  stop_ = MakeButton(this, QStyle::SP_MediaStop, tr("Stop"));
  mute_ = MakeButton(this, QStyle::SP_MediaVolume, tr("Mute"));
  mute_->setCheckable(true);

  seekBar_ = new SeekSlider(Qt::Horizontal, this);
  seekBar_->setFixedHeight(14);
  seekBar_->setRange(0, 0);
  seekBar_->setEnabled(false);
  seekBar_->setFocusPolicy(Qt::NoFocus);
  seekBar_->setToolTip(tr("Position"));

  time_ = new QLabel(this);
  time_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  time_->setMinimumWidth(0);
  time_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);

  volume_ = new QSlider(Qt::Horizontal, this);
  volume_->setRange(0, 100);
  volume_->setValue(100);
  volume_->setFixedWidth(60);
  volume_->setFocusPolicy(Qt::NoFocus);
  volume_->setToolTip(tr("Volume"));

  notice_ = new QLabel(QStringLiteral("No sound output"), this);
  notice_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  notice_->setToolTip(tr("No sound device could be opened; the recording plays silently."));
  notice_->setAccessibleName(tr("Sound output"));
  notice_->setAccessibleDescription(notice_->toolTip());
  notice_->hide();

  // Speed: a small button with a menu of the steps; the keyboard's [ ] and Backspace do the same.
  speed_ = new QToolButton(this);
  speed_->setAutoRaise(true);
  speed_->setFocusPolicy(Qt::NoFocus);
  speed_->setFixedSize(34, 22);
  speed_->setPopupMode(QToolButton::InstantPopup);
  speed_->setToolButtonStyle(Qt::ToolButtonTextOnly);
  {
    auto* menu = new QMenu(speed_);
    menu->setAccessibleName(tr("Playback speed"));
    for (double step : SpeedSteps()) {
      QAction* action = menu->addAction(FormatSpeed(step));
      action->setCheckable(true);
      action->setData(step);
      connect(action, &QAction::triggered, this, [this, step] { emit speedRequested(step); });
    }
    speed_->setMenu(menu);
  }

  // Plain words for screen readers.
  play_->setAccessibleName(tr("Play or pause"));
  play_->setAccessibleDescription(tr("Starts or pauses the recording (key: Space)"));
  stop_->setAccessibleName(tr("Stop"));
  stop_->setAccessibleDescription(tr("Goes back to the start of the recording and pauses"));
  seekBar_->setAccessibleName(tr("Position in the recording"));
  seekBar_->setAccessibleDescription(tr("Moves to another time of the recording"));
  time_->setAccessibleName(tr("Time"));
  time_->setAccessibleDescription(tr("Position and length of the recording"));
  mute_->setAccessibleName(tr("Mute"));
  mute_->setAccessibleDescription(tr("Turns the sound off or on again (key: M)"));
  volume_->setAccessibleName(tr("Volume"));
  volume_->setAccessibleDescription(tr("Loudness of the sound (keys: Up, Down)"));
  speed_->setAccessibleName(tr("Speed"));
  speed_->setAccessibleDescription(
      tr("Playback speed from half to double, the voice keeps its pitch (keys: [ ] Backspace)"));

  auto* buttons = new QHBoxLayout;
  buttons->setContentsMargins(0, 0, 0, 0);
  buttons->setSpacing(2);
  buttons->addWidget(play_);
  buttons->addWidget(stop_);
  buttons->addWidget(time_, 1);
  buttons->addWidget(notice_);
  buttons->addWidget(speed_);
  buttons->addWidget(mute_);
  buttons->addWidget(volume_);
  buttons_ = buttons;

  auto* rows = new QVBoxLayout(this);
  rows->setContentsMargins(3, 1, 3, 1);
  rows->setSpacing(0);
  rows->addWidget(seekBar_);
  rows->addLayout(buttons);

  connect(play_, &QToolButton::clicked, this, &ControlPanel::playPauseClicked);
  connect(stop_, &QToolButton::clicked, this, &ControlPanel::stopClicked);
  connect(mute_, &QToolButton::toggled, this, [this](bool muted) {
    UpdateMuteIcon();
    emit muteChanged(muted);
  });
  connect(volume_, &QSlider::valueChanged, this, &ControlPanel::volumeChanged);
  // While the user drags, the bar follows the pointer and the time previews the target; the seek
  // is made when the handle is let go. Clicks and keys seek at once.
  connect(seekBar_, &QSlider::sliderMoved, this, [this](int ms) {
    time_->setText(FormatTime(ms / 1000.0) + QStringLiteral(" / ") + FormatTime(duration_));
  });
  connect(seekBar_, &QSlider::sliderReleased, this,
          [this] { emit seekRequested(seekBar_->value() / 1000.0); });
  connect(seekBar_, &QSlider::actionTriggered, this, [this](int action) {
    if (action != QAbstractSlider::SliderMove || !seekBar_->isSliderDown())
      emit seekRequested(seekBar_->sliderPosition() / 1000.0);
  });
  UpdateTimeText();
  SetSpeed(1.0);
}

QString ControlPanel::FormatSpeed(double speed) {
  return QString::number(speed, 'g', 3) + QLatin1Char('x');
}

const QList<double>& ControlPanel::SpeedSteps() {
  static const QList<double> steps = [] {
    QList<double> all;
    for (double s = kMinSpeed; s <= kMaxSpeed; s += kSpeedStep) all << s;
    return all;
  }();
  return steps;
}

void ControlPanel::SetSpeed(double speed) {
  speed_->setText(FormatSpeed(speed));
  speed_->setToolTip(tr("Speed %1").arg(FormatSpeed(speed)));
  for (QAction* action : speed_->menu()->actions())
    action->setChecked(qFuzzyCompare(action->data().toDouble(), speed));
}

QString ControlPanel::FormatTime(double seconds) {
  if (!std::isfinite(seconds) || seconds < 0) seconds = 0;
  const long long whole = static_cast<long long>(std::floor(seconds));
  return QStringLiteral("%1:%2").arg(whole / 60).arg(whole % 60, 2, 10, QLatin1Char('0'));
}

QString ControlPanel::TimeText() const {
  return time_->text();
}

QToolButton* ControlPanel::AddToolButton(const QString& text, const QString& accessibleName,
                                         std::function<void()> callback, const QIcon& icon) {
  auto* button = new QToolButton(this);
  if (icon.isNull()) {
    button->setText(text);
    button->setFixedHeight(22);
  } else {
    button->setIcon(icon);
    button->setIconSize(QSize(16, 16));
    button->setFixedSize(22, 22);
  }
  button->setToolTip(text);
  button->setAccessibleName(accessibleName);
  button->setAutoRaise(true);
  button->setFocusPolicy(Qt::NoFocus);  // as the other buttons: the keys reach the window
  connect(button, &QToolButton::clicked, this, [callback = std::move(callback)] {
    if (callback) callback();
  });
  buttons_->insertWidget(buttons_->indexOf(mute_), button);
  return button;
}

QString ControlPanel::Message() const {
  return message_;
}

void ControlPanel::SetPosition(double seconds) {
  position_ = seconds;
  if (!seekBar_->isSliderDown() && seconds >= 0 && duration_ > 0)
    seekBar_->setValue(static_cast<int>(std::min(seconds, duration_) * 1000));
  UpdateTimeText();
}

void ControlPanel::SetDuration(double seconds) {
  duration_ = seconds;
  const bool known = seconds > 0 && seconds < 2e6;  // the bar counts in int milliseconds
  seekBar_->setRange(0, known ? static_cast<int>(seconds * 1000) : 0);
  seekBar_->setPageStep(10000);
  seekBar_->setSingleStep(5000);
  seekBar_->setEnabled(known);
  UpdateTimeText();
}

void ControlPanel::SetPaused(bool paused) {
  play_->setIcon(PanelIcon(style(), paused ? QStyle::SP_MediaPlay : QStyle::SP_MediaPause));
  play_->setToolTip(paused ? tr("Play") : tr("Pause"));
}

void ControlPanel::ShowMessage(const QString& text, const QString& detail) {
  message_ = text;
  time_->setToolTip(detail);
  UpdateTimeText();
}

void ControlPanel::ClearMessage() {
  ShowMessage({});
}

QString ControlPanel::Notice() const {
  return notice_->isVisibleTo(this) ? notice_->text() : QString();
}

void ControlPanel::SetSoundOutputMissing(bool missing) {
  notice_->setVisible(missing);
  mute_->setVisible(!missing);
  volume_->setVisible(!missing);
}

void ControlPanel::UpdateTimeText() {
  if (!message_.isEmpty()) {
    time_->setText(message_);
    return;
  }
  if (seekBar_->isSliderDown()) return;
  time_->setText(FormatTime(position_) + QStringLiteral(" / ") + FormatTime(duration_));
}

void ControlPanel::UpdateMuteIcon() {
  const bool muted = mute_->isChecked();
  mute_->setIcon(PanelIcon(style(), muted ? QStyle::SP_MediaVolumeMuted : QStyle::SP_MediaVolume));
  mute_->setToolTip(muted ? tr("Sound on") : tr("Mute"));
}
