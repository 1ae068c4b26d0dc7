#pragma once
// The reporter the programs use: every message as a modal box with a single OK button.

#include "medium/Report.h"

class QWidget;

namespace ui {

class MessageBoxReporter : public medium::Reporter {
 public:
  explicit MessageBoxReporter(QString title, QWidget* parent = nullptr)
      : Reporter(std::move(title)), parent_(parent) {}
  void SetParent(QWidget* parent) { parent_ = parent; }
  void Show(const medium::Message& message) override;

 private:
  QWidget* parent_;
};

}  // namespace ui
