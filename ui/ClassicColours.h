#pragma once
// The system colours of the classic light Windows scheme, which the windows were designed with.
// Their artwork is fixed, so the colours that sit on it are fixed too: a dark desktop theme would
// otherwise turn white text on the launcher's black panel into white boxes.

#include <QColor>
#include <QPalette>

namespace ui {

inline QPalette ClassicPalette() {
  const QColor buttonFace(212, 208, 200);
  const QColor buttonShadow(128, 128, 128);
  const QColor grayText(128, 128, 128);
  QPalette p(Qt::black /*window text*/, buttonFace /*button*/, Qt::white /*light*/,
             buttonShadow /*dark*/, QColor(160, 160, 160) /*mid*/, Qt::black /*text*/,
             Qt::white /*bright text*/, Qt::white /*base*/, buttonFace /*window*/);
  p.setColor(QPalette::Midlight, buttonFace);
  p.setColor(QPalette::Shadow, QColor(64, 64, 64));
  p.setColor(QPalette::ButtonText, Qt::black);
  p.setColor(QPalette::Highlight, QColor(10, 36, 106));
  p.setColor(QPalette::HighlightedText, Qt::white);
  p.setColor(QPalette::AlternateBase, QColor(245, 245, 245));
  p.setColor(QPalette::ToolTipBase, QColor(255, 255, 225));
  p.setColor(QPalette::ToolTipText, Qt::black);
  p.setColor(QPalette::Link, QColor(0, 0, 255));
  p.setColor(QPalette::LinkVisited, QColor(128, 0, 128));
  p.setColor(QPalette::PlaceholderText, grayText);
  for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
    p.setColor(QPalette::Disabled, role, grayText);
  }
  p.setColor(QPalette::Disabled, QPalette::Base, buttonFace);
  p.setColor(QPalette::Disabled, QPalette::Highlight, grayText);
  return p;
}

}  // namespace ui
