#include "ui/MessageBoxReporter.h"

#include <QMessageBox>

namespace ui {

void MessageBoxReporter::Show(const medium::Message& message) {
  QMessageBox box(parent_);
  box.setWindowTitle(message.caption);
  box.setText(message.text);
  switch (message.icon) {
    case medium::MessageIcon::None:
      box.setIcon(QMessageBox::NoIcon);
      break;
    case medium::MessageIcon::Exclamation:
      box.setIcon(QMessageBox::Warning);
      break;
    case medium::MessageIcon::Critical:
      box.setIcon(QMessageBox::Critical);
      break;
  }
  box.setStandardButtons(QMessageBox::Ok);
  box.exec();
}

}  // namespace ui
