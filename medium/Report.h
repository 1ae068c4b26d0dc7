#pragma once
// The failure rules shared by launcher and players: report-and-continue during start-up, and
// the last-resort report. Every message box goes through a Reporter, so that tests record the
// messages instead of blocking on a modal box.

#include <QString>
#include <QStringList>
#include <exception>
#include <utility>
#include <vector>

#include "Error.h"

namespace medium {

enum class MessageIcon { None, Exclamation, Critical };

struct Message {
  QString caption;
  QString text;
  MessageIcon icon = MessageIcon::None;
  bool operator==(const Message&) const = default;
};

class Reporter {
 public:
  explicit Reporter(QString title) : title_(std::move(title)) {}
  virtual ~Reporter() = default;
  Reporter(const Reporter&) = delete;
  Reporter& operator=(const Reporter&) = delete;

  // The program's title: the caption of every message box that names no other.
  const QString& Title() const { return title_; }

  // A modal box with the program's title, an OK button and no icon.
  void Report(const QString& text) { Show(Message{title_, text, MessageIcon::None}); }
  virtual void Show(const Message& message) = 0;
  // A program's start-up runs between these two; a reporter may treat its messages apart.
  virtual void BeginStartup() {}
  virtual void EndStartup() {}

 private:
  QString title_;
};

// For programs that keep only what can be read and say nothing of the rest (the exporter, the
// library, the preserver): every message goes nowhere.
class SilentReporter : public Reporter {
 public:
  SilentReporter() : Reporter(QStringLiteral("silent")) {}
  void Show(const Message&) override {}
};

// Used in tests: keeps every message in order and never blocks.
class RecordingReporter : public Reporter {
 public:
  explicit RecordingReporter(QString title = QStringLiteral("Test")) : Reporter(std::move(title)) {}
  void Show(const Message& message) override { messages.push_back(message); }
  QStringList Texts() const;
  void Clear() { messages.clear(); }
  std::vector<Message> messages;
};

// The description of whatever a step threw, for the message box.
QString DescribeCurrentException();

// Runs one start-up step. On failure the error's description is reported and false returned;
// the caller goes on with the next step either way.
template <class Step>
bool ReportAndContinue(Reporter& reporter, Step&& step) {
  try {
    std::forward<Step>(step)();
    return true;
  } catch (...) {
    reporter.Report(DescribeCurrentException());
    return false;
  }
}

// Outside start-up: the error's number and description in one box.
void LastResortReport(Reporter& reporter, const AppError& error);
// Runs a handler under the last-resort report; false when it failed.
template <class Handler>
bool RunWithLastResort(Reporter& reporter, Handler&& handler) {
  try {
    std::forward<Handler>(handler)();
    return true;
  } catch (const AppError& e) {
    LastResortReport(reporter, e);
  } catch (...) {
    LastResortReport(reporter, AppError(kInvalidCall, DescribeCurrentException()));
  }
  return false;
}

}  // namespace medium
