#pragma once
// A reporter for tests and benchmarks: keeps every message in order and never blocks, so that a
// test can run start-up without a message box and compare what would have been shown. It keeps
// the reporters' namespace, beside the interface it stands in for.

#include <QString>
#include <QStringList>
#include <utility>
#include <vector>

#include "medium/Report.h"

namespace medium {

class RecordingReporter : public Reporter {
 public:
  explicit RecordingReporter(QString title = QStringLiteral("Test")) : Reporter(std::move(title)) {}
  void Show(const Message& message) override { messages.push_back(message); }
  QStringList Texts() const;
  void Clear() { messages.clear(); }
  std::vector<Message> messages;
};

}  // namespace medium
