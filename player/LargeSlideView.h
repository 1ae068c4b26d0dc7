#pragma once
// The current slide in a window of its own, as large as the user wants it: the designed window
// shows the slide at 472 by 360 pixels, too small on today's screens and for a projector. The
// view follows the playing state (each slide with the marks Slide_img got) and draws it with the
// same slide renderer, marks scaled from the same twips; the keys it does not use itself go on to
// the player window, so the presentation can be driven from here.

#include <QImage>
#include <QWidget>
#include <functional>
#include <memory>

#include "player/core/SlideRenderer.h"
#include "presentation/Model.h"

class PlayingState;
class QKeyEvent;
class QLabel;

// The largest rectangle of picture's aspect ratio that fits area, centred in it.
QRect FitKeepingAspect(const QSize& picture, const QRect& area);

class LargeSlideView : public QWidget {
  Q_OBJECT

 public:
  explicit LargeSlideView(QWidget* parent = nullptr);
  ~LargeSlideView() override;

  // Where slides, marks and pictures come from. Null lists show nothing; an empty loader means
  // the medium's pictures.
  void SetPresentation(const Slides_cls* slides, const Anns_cls* anns, PictureLoader loader = {});
  // Shows each slide as the playing state has it.
  void Follow(const PlayingState& state);
  // Slide n (from 1) with marks firstMark..lastMark (none when lastMark < firstMark), exactly
  // when the designed window shows it so.
  void ShowSlide(int n, int firstMark, int lastMark);
  // A presentation that is one still picture.
  void ShowPicture(const QImage& picture, const QString& title);
  // Keys the view does not use itself are handed here (the player window's keys).
  void SetKeyForwarder(std::function<void(QKeyEvent*)> forward) { forward_ = std::move(forward); }

  // Shows and raises the view on the screen of player; the first time it covers two thirds of
  // that screen, centred. Later it opens where the user left it.
  void OpenBeside(QWidget* player);
  void ToggleFullScreen();

  int ShownSlide() const { return slide_; }
  QString Title() const;
  // Where the slide is drawn, in the view's own coordinates.
  QRect SlideRect() const;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  class SlideArea;

  void SetShown(const QImage& picture, int first, int last, const QString& title);

  const Slides_cls* slides_ = nullptr;
  const Anns_cls* anns_ = nullptr;
  std::unique_ptr<SlideRenderer> renderer_;
  std::function<void(QKeyEvent*)> forward_;
  SlideArea* area_;
  QLabel* title_;
  int slide_ = 0;
  int first_ = 1;
  int last_ = 0;
  bool placed_ = false;
};
