#include "player/PictureArea.h"

#include <QPainter>

PictureArea::PictureArea(const QColor& background, QWidget* parent)
    : QWidget(parent), background_(background) {}

void PictureArea::SetPicture(const QImage& picture) {
  picture_ = picture;
  update();
}

void PictureArea::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), background_);
  if (!picture_.isNull()) p.drawImage(QPoint(0, 0), picture_);
}

void PictureArea::mouseDoubleClickEvent(QMouseEvent* event) {
  QWidget::mouseDoubleClickEvent(event);
  emit doubleClicked();
}
