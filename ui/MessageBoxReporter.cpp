#include "ui/MessageBoxReporter.h"

#include <QMessageBox>
#include <QPushButton>
#include <cstdio>

namespace ui {

BoxChoice QtModalBox::Ask(const medium::Message& message, bool offerSkip) {
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
  // OK stays the default and the answer to Escape: skipping is never chosen by accident.
  box.setDefaultButton(QMessageBox::Ok);
  box.setEscapeButton(QMessageBox::Ok);
  QPushButton* skip = nullptr;
  if (offerSkip)
    skip = box.addButton(QString::fromLatin1(kSkipFurtherMessages), QMessageBox::ActionRole);
  box.exec();
  return skip && box.clickedButton() == skip ? BoxChoice::SkipFurther : BoxChoice::Ok;
}

void StartupMessageCounter::Begin() {
  inStartup_ = true;
  skipping_ = false;
  count_ = 0;
}

void StartupMessageCounter::End() {
  inStartup_ = false;
  skipping_ = false;
}

StartupMessageCounter::Route StartupMessageCounter::Next() {
  if (!inStartup_) return Route::Box;
  ++count_;
  if (skipping_) return Route::StandardError;
  return count_ >= kOfferFrom ? Route::BoxOfferingSkip : Route::Box;
}

void StartupMessageCounter::SkipChosen() {
  if (inStartup_) skipping_ = true;
}

MessageBoxReporter::MessageBoxReporter(QString title, QWidget* parent)
    : Reporter(std::move(title)),
      ownBox_(std::make_unique<QtModalBox>(parent)),
      box_(ownBox_.get()),
      standardError_([](const QString& line) {
        std::fputs((line + QLatin1Char('\n')).toLocal8Bit().constData(), stderr);
        std::fflush(stderr);
      }) {}

MessageBoxReporter::MessageBoxReporter(QString title, ModalBox& box, LineWriter standardError)
    : Reporter(std::move(title)), box_(&box), standardError_(std::move(standardError)) {}

MessageBoxReporter::~MessageBoxReporter() = default;

void MessageBoxReporter::SetParent(QWidget* parent) {
  if (ownBox_) ownBox_->SetParent(parent);
}

QString MessageBoxReporter::StandardErrorLine(const medium::Message& message) {
  QString text = message.text;
  text.replace(QLatin1String("\r\n"), QLatin1String(" "));
  text.replace(QLatin1Char('\n'), QLatin1Char(' '));
  text.replace(QLatin1Char('\r'), QLatin1Char(' '));
  return message.caption + QStringLiteral(": ") + text;
}

void MessageBoxReporter::Show(const medium::Message& message) {
  switch (counter_.Next()) {
    case StartupMessageCounter::Route::StandardError:
      standardError_(StandardErrorLine(message));
      break;
    case StartupMessageCounter::Route::Box:
      box_->Ask(message, false);
      break;
    case StartupMessageCounter::Route::BoxOfferingSkip:
      if (box_->Ask(message, true) == BoxChoice::SkipFurther) counter_.SkipChosen();
      break;
  }
}

}  // namespace ui
