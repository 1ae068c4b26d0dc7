#include "player/ThumbnailStrip.h"

#include <QFrame>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>

#include "medium/Error.h"
#include "player/core/PlayingState.h"
#include "ui/Twips.h"

namespace {

const QColor kHighlightYellow(255, 255, 0);
constexpr float kGapTwips = 50.0f;
// The strip's end stops this far from OuterFrame's left edge when scrolled to the end.
constexpr double kScrolledEndTwips = 8000.0;
constexpr double kOuterWidthTwips = 7095.0;
// Thumbnails on either side of the strip's window that keep their pictures, so that a scroll by
// a few steps shows them at once.
constexpr int kNearThumbnails = 16;

// Places w at a rectangle given in twips, and notes it on w for whoever reads the designed units.
void PlaceTwips(QWidget* w, const QRectF& twips) {
  w->setProperty("LeftTwips", twips.left());
  w->setProperty("TopTwips", twips.top());
  w->setProperty("WidthTwips", twips.width());
  w->setProperty("HeightTwips", twips.height());
  w->setGeometry(TwipsRect(twips.left(), twips.top(), twips.width(), twips.height()));
}

void PlaceTwips(ThumbnailButton* b, const QRectF& twips) {
  b->PlaceTwips(twips);
}

}  // namespace

// ---- the controls ------------------------------------------------------------------------------

ThumbnailButton::ThumbnailButton(int index, ThumbnailStrip* strip, QWidget* parent)
    : QAbstractButton(parent), index_(index), strip_(strip) {
  setObjectName(QStringLiteral("Command1"));
  setFocusPolicy(Qt::StrongFocus);
}

QVariant ThumbnailButton::KeepsKeys() {
  // The strip is a list to the keyboard: these keys move through it and choose a slide.
  static const QVariant keys(QVariantList{Qt::Key_Left, Qt::Key_Right, Qt::Key_Home, Qt::Key_End,
                                          Qt::Key_Space, Qt::Key_Return, Qt::Key_Enter});
  return keys;
}

void ThumbnailButton::PlaceTwips(const QRectF& twips) {
  twips_ = twips;
  setGeometry(TwipsRect(twips.left(), twips.top(), twips.width(), twips.height()));
}

void ThumbnailButton::keyPressEvent(QKeyEvent* event) {
  if (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) {
    QAbstractButton::keyPressEvent(event);
    return;
  }
  switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Home:
    case Qt::Key_End:
      strip_->MoveFocus(index_, event->key());
      break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      click();
      break;
    default:
      QAbstractButton::keyPressEvent(event);  // Space clicks
  }
}

void ThumbnailButton::focusInEvent(QFocusEvent* event) {
  QAbstractButton::focusInEvent(event);
  strip_->EnsureThumbnailVisible(index_);
}

void ThumbnailButton::SetPicture(const QImage& picture) {
  picture_ = picture;
  update();
}

void ThumbnailButton::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const QRect r = rect();
  p.fillRect(r, palette().button());
  const int shift = isDown() ? 1 : 0;
  if (!picture_.isNull()) {
    const QPoint at((r.width() - picture_.width()) / 2 + shift,
                    (r.height() - picture_.height()) / 2 + shift);
    p.drawImage(at, picture_);
  }
  // A raised face, sunken while pressed.
  const QColor light = isDown() ? QColor(64, 64, 64) : QColor(255, 255, 255);
  const QColor dark = isDown() ? QColor(255, 255, 255) : QColor(64, 64, 64);
  p.setPen(light);
  p.drawLine(r.topLeft(), r.topRight());
  p.drawLine(r.topLeft(), r.bottomLeft());
  p.setPen(dark);
  p.drawLine(r.bottomLeft(), r.bottomRight());
  p.drawLine(r.topRight(), r.bottomRight());
  if (hasFocus()) {
    // Plain to see on any thumbnail: a dark frame with a light one inside it.
    p.setPen(QPen(QColor(0, 0, 128), 2));
    p.drawRect(r.adjusted(2, 2, -3, -3));
    p.setPen(QPen(QColor(255, 255, 255), 1, Qt::DotLine));
    p.drawRect(r.adjusted(4, 4, -5, -5));
  }
}

OutlineShape::OutlineShape(const QColor& colour, int penPixels, QWidget* parent)
    : QWidget(parent), colour_(colour), pen_(penPixels) {
  setAttribute(Qt::WA_TransparentForMouseEvents);
}

void OutlineShape::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const QRect r = rect();
  p.fillRect(QRect(r.left(), r.top(), r.width(), pen_), colour_);
  p.fillRect(QRect(r.left(), r.bottom() - pen_ + 1, r.width(), pen_), colour_);
  p.fillRect(QRect(r.left(), r.top(), pen_, r.height()), colour_);
  p.fillRect(QRect(r.right() - pen_ + 1, r.top(), pen_, r.height()), colour_);
}

// ---- the strip ---------------------------------------------------------------------------------

ThumbnailStrip::ThumbnailStrip(QWidget* window) : QObject(window) {
  setObjectName(QStringLiteral("ThumbnailStrip"));
  outer_ = new QFrame(window);
  outer_->setObjectName(QStringLiteral("OuterFrame"));
  outer_->setFrameShape(QFrame::NoFrame);
  outer_->setGeometry(16, 472, 473, 81);
  outer_->setProperty("WidthTwips", kOuterWidthTwips);
  outer_->setProperty("HeightTwips", 1215);

  inner_ = new QWidget(outer_);
  inner_->setObjectName(QStringLiteral("InnerFrame"));
  PlaceTwips(inner_, QRectF(0, 0, innerWidth_, 1220));

  shape_ = new OutlineShape(kHighlightYellow, 2, inner_);
  shape_->setObjectName(QStringLiteral("Shape1"));
  PlaceTwips(shape_, QRectF(kDesignedHighlightLeftTwips, 100, 1270, 1030));

  ThumbnailButton* first = NewButton(0);
  places_.push_back(QRectF(120, 120, 1215, 975));
  PlaceTwips(first, places_.front());
  first->SetPicture(QImage(QStringLiteral(":/player/thumbnail-placeholder.jpg")));
  first->show();

  scroll_ = new QScrollBar(Qt::Horizontal, window);
  scroll_->setObjectName(QStringLiteral("HScroll1"));
  scroll_->setGeometry(16, 552, 473, 17);
  scroll_->setRange(0, 0);
  scroll_->setValue(0);
  scroll_->setSingleStep(1);
  scroll_->setPageStep(2);
  scroll_->setFocusPolicy(Qt::StrongFocus);

  outer_->setAccessibleName(tr("Slide thumbnails"));
  outer_->setAccessibleDescription(
      tr("One small picture per slide; arrow keys move, Enter or Space plays from that slide"));
  inner_->setAccessibleName(tr("Thumbnail row"));
  shape_->setAccessibleName(tr("Current slide frame"));
  shape_->setAccessibleDescription(tr("Marks the thumbnail of the slide being shown"));
  scroll_->setAccessibleName(tr("Scroll thumbnails"));
  scroll_->setAccessibleDescription(tr("Moves the row of thumbnails sideways"));
}

void ThumbnailStrip::Follow(const PlayingState& state) {
  connect(&state, &PlayingState::changed, this, [this, &state](PlayingState::Parts parts) {
    if (parts & PlayingState::Highlight) MoveHighlight(state.HighlightSlide());
    if ((parts & PlayingState::CurrentSlide) && state.Slide() >= 1)
      EnsureThumbnailVisible(state.Slide() - 1);
  });
}

void ThumbnailStrip::MoveHighlight(int n) {
  highlightLeft_ = HighlightLeft(ThumbnailWidthTwips(), n);
  PlaceTwips(shape_, QRectF(highlightLeft_, 100, 1270, 1030));
}

ThumbnailButton* ThumbnailStrip::NewButton(int index) {
  auto* b = new ThumbnailButton(index, this, inner_);
  b->hide();
  connect(b, &QAbstractButton::clicked, this, [this, index] { emit clicked(index); });
  buttons_.push_back(b);
  takenOver_.push_back(index > 0 ? buttons_.front()->Picture() : QImage());
  ownPicture_.push_back(false);
  holding_.push_back(false);
  return b;
}

ThumbnailButton* ThumbnailStrip::Thumbnail(int index) const {
  if (index < 0 || index >= Count()) return nullptr;
  return buttons_[static_cast<size_t>(index)];
}

void ThumbnailStrip::NameThumbnail(int index) {
  ThumbnailButton* b = Thumbnail(index);
  if (!b) return;
  const QString title = titleOf_ ? titleOf_(index) : QString();
  b->setAccessibleName(title.isEmpty() ? tr("Slide %1").arg(index + 1)
                                       : tr("Slide %1: %2").arg(index + 1).arg(title));
  // One text shared by every thumbnail, not a copy for each.
  static const QString description = tr("Plays the recording from this slide");
  b->setAccessibleDescription(description);
}

// ---- growing, one slide at a time --------------------------------------------------------------

void ThumbnailStrip::WidenStrip() {
  innerWidth_ += ThumbnailWidthTwips() + kGapTwips;
  PlaceTwips(inner_, QRectF(innerLeft_, 0, innerWidth_, 1220));
}

void ThumbnailStrip::AddThumbnailButton(int n) {
  ThumbnailButton* button = NewButton(n);
  button->SetPicture(buttons_.front()->Picture());  // taken over from button 0
  QRectF place = places_.front();
  place.moveLeft(0);
  places_.push_back(place);
  PlaceTwips(button, place);
  QWidget::setTabOrder(buttons_[static_cast<size_t>(n - 1)], button);
  NameThumbnail(n);
}

void ThumbnailStrip::PlaceThumbnailAfterPrevious(int n) {
  const QRectF& before = places_.at(static_cast<size_t>(n - 1));
  QRectF& place = places_.at(static_cast<size_t>(n));
  place.moveLeft(before.left() + before.width() + kGapTwips);
  PlaceTwips(buttons_.at(static_cast<size_t>(n)), place);
}

void ThumbnailStrip::SizeThumbnailAsPrevious(int n) {
  const QRectF& before = places_.at(static_cast<size_t>(n - 1));
  QRectF& place = places_.at(static_cast<size_t>(n));
  place.setSize(before.size());
  PlaceTwips(buttons_.at(static_cast<size_t>(n)), place);
}

void ThumbnailStrip::ShowThumbnailButton(int n) {
  buttons_.at(static_cast<size_t>(n))->show();
}

void ThumbnailStrip::SetThumbnailPicture(int n, const QImage& picture) {
  const auto i = static_cast<size_t>(n);
  ownPicture_.at(i) = true;
  if (n == 0 || NearView(n)) {
    buttons_.at(i)->SetPicture(picture);
    holding_[i] = true;
  }
}

bool ThumbnailStrip::NearView(int index) const {
  if (index < 0 || index >= Count()) return false;
  const double step = double(ThumbnailWidthTwips()) + kGapTwips;
  const double left = places_[static_cast<size_t>(index)].left() + innerLeft_;
  const double margin = kNearThumbnails * step;
  return left + step >= -margin && left <= kOuterWidthTwips + margin;
}

void ThumbnailStrip::KeepPicturesNearView() {
  // Button 0 keeps its picture: the others take theirs over from it.
  for (int index = 1; index < Count(); ++index) {
    const auto i = static_cast<size_t>(index);
    const bool near = NearView(index);
    if (holding_[i] && !near) {
      buttons_[i]->SetPicture(takenOver_[i]);
      holding_[i] = false;
    } else if (!holding_[i] && near && ownPicture_[i] && source_) {
      try {
        buttons_[i]->SetPicture(source_(index));
        holding_[i] = true;
      } catch (const medium::AppError&) {
        ownPicture_[i] = false;  // gone since start-up: it keeps what it shows
      }
    }
  }
}

void ThumbnailStrip::ExtendStripScrollBar() {
  // The scroll bar's maximum is a 16-bit value.
  if (scroll_->maximum() >= 32767) medium::RaiseOverflow(QString::number(32768));
  scroll_->setMaximum(scroll_->maximum() + 1);
}

// ---- scrolling and the keyboard ----------------------------------------------------------------

void ThumbnailStrip::FollowScrollBar() {
  const int max = scroll_->maximum();
  // A bar without steps cannot move; the strip stays where it is.
  if (max == 0) return;
  const double fraction = double(scroll_->value()) / double(max);
  innerLeft_ = static_cast<float>(-fraction * (double(innerWidth_) - kScrolledEndTwips));
  PlaceTwips(inner_, QRectF(innerLeft_, 0, innerWidth_, 1220));
  KeepPicturesNearView();
}

void ThumbnailStrip::MoveFocus(int index, int key) {
  const int last = Count() - 1;
  int target = index;
  if (key == Qt::Key_Left) target = index - 1;
  if (key == Qt::Key_Right) target = index + 1;
  if (key == Qt::Key_Home) target = 0;
  if (key == Qt::Key_End) target = last;
  target = std::clamp(target, 0, last);
  ThumbnailButton* b = buttons_[static_cast<size_t>(target)];
  if (b->isVisible() || target == 0) b->setFocus(Qt::TabFocusReason);
}

void ThumbnailStrip::EnsureThumbnailVisible(int index) {
  const int max = scroll_->maximum();
  if (index < 0 || index >= Count() || max <= 0) return;  // five or fewer: the strip never moves
  const QRectF& place = places_[static_cast<size_t>(index)];
  // How far the thumbnail sticks out of the strip's window at scroll value v (0: wholly seen).
  auto outside = [&](int v) {
    const double innerLeft = -(double(v) / double(max)) * (double(innerWidth_) - kScrolledEndTwips);
    const double l = innerLeft + place.left();
    return std::max(0.0, -l) + std::max(0.0, l + place.width() - kOuterWidthTwips);
  };
  const int now = scroll_->value();
  if (outside(now) == 0) return;
  int best = now;
  for (int d = 1; d <= max; ++d) {
    for (int v : {now - d, now + d}) {
      if (v < 0 || v > max) continue;
      if (outside(v) < outside(best)) best = v;
    }
    if (outside(best) == 0) break;
  }
  scroll_->setValue(best);  // its change handler moves the strip
}
