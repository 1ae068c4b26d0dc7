#pragma once
// The picture window: draws the core's video frames through the libmpv render API. Drawing only;
// the core owns playback.

#include <QOpenGLWidget>

struct mpv_handle;
struct mpv_render_context;

class MpvVideoWidget : public QOpenGLWidget {
  Q_OBJECT

 public:
  // handle must outlive this widget.
  explicit MpvVideoWidget(mpv_handle* handle, QWidget* parent = nullptr);
  ~MpvVideoWidget() override;

  bool RenderReady() const { return render_ != nullptr; }
  // Frames drawn since creation (tests and diagnostics).
  int FramesDrawn() const { return framesDrawn_; }

 signals:
  // The render context exists: files may now be loaded with their pictures.
  void renderReady();
  // No render context could be made (no OpenGL); the picture stays empty.
  void renderFailed();

 protected:
  void initializeGL() override;
  void paintGL() override;

 private slots:
  void OnFrameReady();

 private:
  static void OnUpdate(void* self);
  void FreeRenderContext();

  mpv_handle* handle_;
  mpv_render_context* render_ = nullptr;
  int framesDrawn_ = 0;
};
