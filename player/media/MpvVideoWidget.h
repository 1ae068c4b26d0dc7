#pragma once
// The picture window: the core's video frames drawn through libmpv's render API into a picture
// of the window's size, which the widget paints like any other. The picture is small (270 x 220
// as designed) and old recordings are smaller still, so the core scales each frame in software
// in a fraction of a millisecond; the window then needs no OpenGL at all, which would cost its
// first appearance the start of a GL driver, and every frame a composition of the whole window.
// Drawing only; the core owns playback.
//
// Frames are drawn on a thread of their own that calls nothing else of libmpv: the core waits
// for each frame to be drawn before it goes on, and the GUI thread asks the core for positions
// and seeks, so a frame drawn there could wait for the core while the core waits for it (libmpv
// breaks that circle only after 200 ms). The core hands each frame over when it is due, so the
// picture on screen and the position the core reports move together.

#include <QImage>
#include <QWidget>
#include <condition_variable>
#include <mutex>
#include <thread>

struct mpv_handle;
struct mpv_render_context;

class MpvVideoWidget : public QWidget {
  Q_OBJECT

 public:
  explicit MpvVideoWidget(QWidget* parent = nullptr);
  ~MpvVideoWidget() override;

  // Binds the picture to a started core (which must outlive the binding, or Detach first).
  // False when the core gives no render context; the picture then stays dark.
  bool Attach(mpv_handle* handle);
  // Lets the core go: no more frames, and nothing of the core is held.
  void Detach();
  bool RenderReady() const { return render_ != nullptr; }
  // Frames drawn since creation (tests and diagnostics).
  int FramesDrawn() const;
  // The picture as last drawn, at the widget's size in device pixels (tests).
  QImage Frame() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  static void OnUpdate(void* self);
  void DrawFrames();
  void Wake(bool redraw);

  mpv_render_context* render_ = nullptr;
  std::thread drawer_;
  mutable std::mutex lock_;
  std::condition_variable wake_;
  // Guarded by lock_.
  bool updatePending_ = false;
  bool redrawWanted_ = false;
  bool stopping_ = false;
  QSize size_;       // the widget in device pixels, as the drawer is to draw
  QImage frame_;     // the picture last drawn; lines kept 64-byte aligned
  QSize frameSize_;  // the part of frame_ that holds it
  int framesDrawn_ = 0;
};
