#pragma once
// A picture box of the player window (Slide_img, Audio_img): shows its picture unscaled from the
// top-left corner on its background colour.

#include <QColor>
#include <QImage>
#include <QWidget>

class PictureArea : public QWidget {
  Q_OBJECT
 public:
  PictureArea(const QColor& background, QWidget* parent);
  void SetPicture(const QImage& picture);
  const QImage& Picture() const { return picture_; }

 signals:
  void doubleClicked();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  QColor background_;
  QImage picture_;
};
