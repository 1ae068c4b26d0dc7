#include "player/media/MpvVideoWidget.h"

#include <mpv/render_gl.h>

#include <QOpenGLContext>
#include <QOpenGLFunctions>

namespace {
void* GetProcAddress(void* /*context*/, const char* name) {
  QOpenGLContext* current = QOpenGLContext::currentContext();
  return current ? reinterpret_cast<void*>(current->getProcAddress(name)) : nullptr;
}
}  // namespace

MpvVideoWidget::MpvVideoWidget(mpv_handle* handle, QWidget* parent)
    : QOpenGLWidget(parent), handle_(handle) {}

MpvVideoWidget::~MpvVideoWidget() {
  FreeRenderContext();
}

void MpvVideoWidget::FreeRenderContext() {
  if (!render_) return;
  // No more calls from mpv's threads, then free the GL resources in their own context.
  mpv_render_context_set_update_callback(render_, nullptr, nullptr);
  makeCurrent();
  mpv_render_context_free(render_);
  render_ = nullptr;
  doneCurrent();
}

void MpvVideoWidget::initializeGL() {
  if (render_ || !handle_) return;
  mpv_opengl_init_params glInit{&GetProcAddress, nullptr};
  const char* api = MPV_RENDER_API_TYPE_OPENGL;
  mpv_render_param params[] = {
      {MPV_RENDER_PARAM_API_TYPE, const_cast<char*>(api)},
      {MPV_RENDER_PARAM_OPENGL_INIT_PARAMS, &glInit},
      {MPV_RENDER_PARAM_INVALID, nullptr},
  };
  if (mpv_render_context_create(&render_, handle_, params) < 0) {
    render_ = nullptr;
    emit renderFailed();
    return;
  }
  mpv_render_context_set_update_callback(render_, &MpvVideoWidget::OnUpdate, this);
  emit renderReady();
}

void MpvVideoWidget::OnUpdate(void* self) {
  // Runs on an mpv thread: only ask the GUI thread to look.
  QMetaObject::invokeMethod(static_cast<MpvVideoWidget*>(self), "OnFrameReady",
                            Qt::QueuedConnection);
}

void MpvVideoWidget::OnFrameReady() {
  if (render_ && (mpv_render_context_update(render_) & MPV_RENDER_UPDATE_FRAME)) update();
}

void MpvVideoWidget::paintGL() {
  const int w = qRound(width() * devicePixelRatioF());
  const int h = qRound(height() * devicePixelRatioF());
  if (!render_) {
    QOpenGLContext::currentContext()->functions()->glClearColor(0, 0, 0, 1);
    QOpenGLContext::currentContext()->functions()->glClear(GL_COLOR_BUFFER_BIT);
    return;
  }
  mpv_opengl_fbo fbo{static_cast<int>(defaultFramebufferObject()), w, h, 0};
  int flipY = 1;
  // Qt paints on the GUI thread; never let mpv hold it up waiting for a frame's display time.
  int block = 0;
  mpv_render_param params[] = {
      {MPV_RENDER_PARAM_OPENGL_FBO, &fbo},
      {MPV_RENDER_PARAM_FLIP_Y, &flipY},
      {MPV_RENDER_PARAM_BLOCK_FOR_TARGET_TIME, &block},
      {MPV_RENDER_PARAM_INVALID, nullptr},
  };
  mpv_render_context_render(render_, params);
  ++framesDrawn_;
}
