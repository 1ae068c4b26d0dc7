#include "player/media/MpvVideoWidget.h"

#include <QPainter>
#include <QResizeEvent>

#include "player/media/MpvLibrary.h"

namespace {
// The core writes whole groups of 16 pixels (64 bytes) per line fastest.
constexpr int kLineAlignPixels = 16;
}  // namespace

MpvVideoWidget::MpvVideoWidget(QWidget* parent) : QWidget(parent) {
  // Every pixel is painted here: no background to fill first.
  setAttribute(Qt::WA_OpaquePaintEvent);
}

MpvVideoWidget::~MpvVideoWidget() {
  Detach();
}

bool MpvVideoWidget::Attach(mpv_handle* handle) {
  if (render_ || !handle) return render_ != nullptr;
  const char* api = MPV_RENDER_API_TYPE_SW;
  mpv_render_param params[] = {
      {MPV_RENDER_PARAM_API_TYPE, const_cast<char*>(api)},
      {MPV_RENDER_PARAM_INVALID, nullptr},
  };
  if (Mpv().render_context_create(&render_, handle, params) < 0) {
    render_ = nullptr;
    return false;
  }
  {
    std::lock_guard<std::mutex> hold(lock_);
    size_ = (QSizeF(size()) * devicePixelRatioF()).toSize();
    stopping_ = false;
  }
  drawer_ = std::thread([this] { DrawFrames(); });
  Mpv().render_context_set_update_callback(render_, &MpvVideoWidget::OnUpdate, this);
  return true;
}

void MpvVideoWidget::Detach() {
  if (!render_) return;
  // No more calls from mpv's threads, then the drawer ends, then the context goes.
  Mpv().render_context_set_update_callback(render_, nullptr, nullptr);
  {
    std::lock_guard<std::mutex> hold(lock_);
    stopping_ = true;
  }
  wake_.notify_one();
  if (drawer_.joinable()) drawer_.join();
  Mpv().render_context_free(render_);
  render_ = nullptr;
}

void MpvVideoWidget::OnUpdate(void* self) {
  // Runs on an mpv thread, which must not call mpv here: only wake the drawer.
  static_cast<MpvVideoWidget*>(self)->Wake(false);
}

void MpvVideoWidget::Wake(bool redraw) {
  {
    std::lock_guard<std::mutex> hold(lock_);
    updatePending_ = true;
    redrawWanted_ = redrawWanted_ || redraw;
  }
  wake_.notify_one();
}

void MpvVideoWidget::DrawFrames() {
  std::unique_lock<std::mutex> hold(lock_);
  for (;;) {
    wake_.wait(hold, [this] { return stopping_ || updatePending_; });
    if (stopping_) return;
    updatePending_ = false;
    const bool redraw = redrawWanted_;
    redrawWanted_ = false;
    const QSize size = size_;
    hold.unlock();
    // The core asks for each frame to be drawn; a resize asks for the last one again.
    const uint64_t flags = Mpv().render_context_update(render_);
    const bool draw = (flags & MPV_RENDER_UPDATE_FRAME) || redraw;
    QImage target;
    if (draw && !size.isEmpty()) {
      const int line = (size.width() + kLineAlignPixels - 1) / kLineAlignPixels * kLineAlignPixels;
      // "rgb0": red, green, blue and one unused byte, in that order in memory.
      target = QImage(line, size.height(), QImage::Format_RGBX8888);
      int surface[2] = {size.width(), size.height()};
      const char* format = "rgb0";
      size_t stride = static_cast<size_t>(target.bytesPerLine());
      // The core has handed the frame over at its time; it goes on screen at once.
      int block = 0;
      mpv_render_param params[] = {
          {MPV_RENDER_PARAM_SW_SIZE, surface},
          {MPV_RENDER_PARAM_SW_FORMAT, const_cast<char*>(format)},
          {MPV_RENDER_PARAM_SW_STRIDE, &stride},
          {MPV_RENDER_PARAM_SW_POINTER, target.bits()},
          {MPV_RENDER_PARAM_BLOCK_FOR_TARGET_TIME, &block},
          {MPV_RENDER_PARAM_INVALID, nullptr},
      };
      if (Mpv().render_context_render(render_, params) < 0) target = QImage();
    }
    hold.lock();
    if (!target.isNull()) {
      frame_ = std::move(target);
      frameSize_ = size;
      ++framesDrawn_;
      // Painted by the GUI thread as soon as it looks; dropped if the widget is gone by then.
      QMetaObject::invokeMethod(this, qOverload<>(&QWidget::update), Qt::QueuedConnection);
    }
  }
}

int MpvVideoWidget::FramesDrawn() const {
  std::lock_guard<std::mutex> hold(lock_);
  return framesDrawn_;
}

QImage MpvVideoWidget::Frame() const {
  std::lock_guard<std::mutex> hold(lock_);
  if (frame_.isNull()) return QImage();
  return frame_.copy(0, 0, frameSize_.width(), frameSize_.height());
}

void MpvVideoWidget::paintEvent(QPaintEvent*) {
  QPainter p(this);
  std::lock_guard<std::mutex> hold(lock_);
  if (frame_.isNull()) {
    p.fillRect(rect(), Qt::black);
    return;
  }
  p.drawImage(rect(), frame_, QRect(QPoint(0, 0), frameSize_));
}

void MpvVideoWidget::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  {
    std::lock_guard<std::mutex> hold(lock_);
    size_ = (QSizeF(size()) * devicePixelRatioF()).toSize();
  }
  // The last frame again, at the new size.
  if (render_) Wake(true);
}
