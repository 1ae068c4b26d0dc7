#include "player/LargeSlideView.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QVBoxLayout>
#include <cmath>

#include "player/core/PlayingState.h"

namespace {

// The slide stands on black, as on Slide_img and on a projector's screen.
const QColor kSurround(0, 0, 0);
const QColor kTitleText(235, 235, 235);

}  // namespace

QRect FitKeepingAspect(const QSize& picture, const QRect& area) {
  if (picture.isEmpty() || area.isEmpty()) return {};
  const double scale =
      std::min(double(area.width()) / picture.width(), double(area.height()) / picture.height());
  const int width = std::max(1, int(std::lround(picture.width() * scale)));
  const int height = std::max(1, int(std::lround(picture.height() * scale)));
  return QRect(area.left() + (area.width() - width) / 2, area.top() + (area.height() - height) / 2,
               width, height);
}

// The slide itself: scaled to fit with its aspect ratio kept, rendered in device pixels so that
// it is sharp at any screen scale; the rendering is kept until the slide or the size changes.
class LargeSlideView::SlideArea : public QWidget {
 public:
  explicit SlideArea(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    setMinimumSize(160, 120);
  }

  void Set(const QImage& picture, const Anns_cls* anns, int first, int last) {
    picture_ = picture;
    anns_ = anns;
    first_ = first;
    last_ = last;
    rendered_ = QImage();
    update();
  }

  QRect Target() const { return FitKeepingAspect(picture_.size(), rect()); }

  const QImage& Rendered() {
    const QRect target = Target();
    const double ratio = devicePixelRatioF();
    const QSize device(int(std::lround(target.width() * ratio)),
                       int(std::lround(target.height() * ratio)));
    if (rendered_.size() != device) {
      rendered_ = RenderLargeSlide(picture_, anns_, first_, last_, device);
      rendered_.setDevicePixelRatio(ratio);
    }
    return rendered_;
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.fillRect(rect(), kSurround);
    const QImage& slide = Rendered();
    if (!slide.isNull()) p.drawImage(Target().topLeft(), slide);
  }

 private:
  QImage picture_;
  const Anns_cls* anns_ = nullptr;
  int first_ = 1;
  int last_ = 0;
  QImage rendered_;
};

LargeSlideView::LargeSlideView(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName(QStringLiteral("LargeSlideView"));
  setWindowTitle(tr("Slide"));
  setAccessibleName(tr("Large slide view"));
  setAccessibleDescription(
      tr("The current slide, enlarged. F11 or a double-click: full screen. Escape: leave full "
         "screen, then close. The player's keys work here too."));
  setFocusPolicy(Qt::StrongFocus);
  setAutoFillBackground(true);
  QPalette pal = palette();
  pal.setColor(QPalette::Window, kSurround);
  pal.setColor(QPalette::WindowText, kTitleText);
  setPalette(pal);

  area_ = new SlideArea(this);
  area_->setObjectName(QStringLiteral("LargeSlide"));
  area_->setAccessibleName(tr("Slide"));

  title_ = new QLabel(this);
  title_->setObjectName(QStringLiteral("LargeSlideTitle"));
  title_->setAlignment(Qt::AlignCenter);
  title_->setWordWrap(true);
  title_->setTextInteractionFlags(Qt::NoTextInteraction);
  title_->setAccessibleName(tr("Slide title"));

  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(8, 8, 8, 8);
  column->setSpacing(6);
  column->addWidget(area_, 1);
  column->addWidget(title_);
  resize(640, 520);
}

LargeSlideView::~LargeSlideView() = default;

void LargeSlideView::SetPresentation(const Slides_cls* slides, const Anns_cls* anns,
                                     PictureLoader loader) {
  if (slides == slides_ && anns == anns_ && renderer_ && !loader) return;
  slides_ = slides;
  anns_ = anns;
  renderer_.reset();
  if (slides && anns)
    renderer_ =
        std::make_unique<SlideRenderer>(layout::Current(), *slides, *anns, std::move(loader));
}

void LargeSlideView::Follow(const PlayingState& state) {
  connect(&state, &PlayingState::changed, this, [this, &state](PlayingState::Parts parts) {
    if (parts & PlayingState::Picture)
      ShowSlide(state.Slide(), state.FirstMark(), state.LastMark());
  });
}

void LargeSlideView::ShowSlide(int n, int firstMark, int lastMark) {
  if (!renderer_ || n < 1 || n > slides_->Slides.Count()) return;
  // Ticks repeat the same slide every second; the picture only needs loading when it changes.
  if (n == slide_ && firstMark == first_ && lastMark == last_) return;
  const Slide_cls& slide = slides_->Slides.Item(n);
  const SlideRenderer::Loaded loaded = renderer_->Load(n);
  slide_ = n;
  first_ = firstMark;
  last_ = lastMark;
  // As in the designed window: a missing file is named and nothing is drawn over it.
  if (loaded.missing)
    SetShown(loaded.picture, 1, 0, slide.SlideName);
  else
    SetShown(loaded.picture, firstMark, lastMark, slide.SlideName);
  const QString where = tr("Slide %1 of %2").arg(n).arg(slides_->Slides.Count());
  area_->setAccessibleName(
      slide.SlideName.isEmpty() ? where : where + QStringLiteral(": ") + slide.SlideName);
  setWindowTitle(area_->accessibleName());
}

void LargeSlideView::ShowPicture(const QImage& picture, const QString& title) {
  slide_ = 0;
  first_ = 1;
  last_ = 0;
  SetShown(picture, 1, 0, title);
}

void LargeSlideView::SetShown(const QImage& picture, int first, int last, const QString& title) {
  area_->Set(picture, anns_, first, last);
  title_->setText(title);
  title_->setVisible(!title.isEmpty());
}

QString LargeSlideView::Title() const {
  return title_->text();
}

QRect LargeSlideView::SlideRect() const {
  const QRect target = area_->Target();
  return target.translated(area_->pos());
}

void LargeSlideView::OpenBeside(QWidget* player) {
  if (!placed_) {
    placed_ = true;
    QScreen* screen = player ? player->screen() : nullptr;
    if (!screen) screen = QGuiApplication::primaryScreen();
    if (screen) {
      const QRect available = screen->availableGeometry();
      resize(available.width() * 2 / 3, available.height() * 2 / 3);
      move(available.center() - QPoint(width() / 2, height() / 2));
    }
  }
  if (isMinimized()) setWindowState(windowState() & ~Qt::WindowMinimized);
  show();
  raise();
  activateWindow();
}

void LargeSlideView::ToggleFullScreen() {
  setWindowState(windowState() ^ Qt::WindowFullScreen);
}

void LargeSlideView::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_F11 && event->modifiers() == Qt::NoModifier) {
    ToggleFullScreen();
    return;
  }
  if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
    if (isFullScreen())
      ToggleFullScreen();
    else
      close();
    return;
  }
  if (forward_) {
    forward_(event);
    return;
  }
  QWidget::keyPressEvent(event);
}

void LargeSlideView::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    ToggleFullScreen();
    return;
  }
  QWidget::mouseDoubleClickEvent(event);
}

void LargeSlideView::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  // The title grows with the view, so it can be read from where the slide can.
  QFont font = title_->font();
  font.setPixelSize(std::clamp(height() / 28, 13, 40));
  title_->setFont(font);
}
