#pragma once
// The reporter the programs use: every message as a modal box with an OK button. A start-up
// that runs into a storm of messages (a damaged timeline, a count far beyond the lines of
// config.txt) does not hold the user for thousands of boxes: from the tenth message of one
// start-up on, the box also offers to skip the rest, which then go to standard error.

#include <functional>
#include <memory>

#include "medium/Report.h"

class QWidget;

namespace ui {

// The text of the button that sends the rest of a start-up's messages to standard error.
inline constexpr char kSkipFurtherMessages[] = "Skip further messages";

// What the user did with a box.
enum class BoxChoice { Ok, SkipFurther };

// One modal box. The programs show a QMessageBox; tests answer without one.
class ModalBox {
 public:
  virtual ~ModalBox() = default;
  // Shows the message and waits; offerSkip adds the button kSkipFurtherMessages.
  virtual BoxChoice Ask(const medium::Message& message, bool offerSkip) = 0;
};

// The real box, modal over parent.
class QtModalBox : public ModalBox {
 public:
  explicit QtModalBox(QWidget* parent = nullptr) : parent_(parent) {}
  void SetParent(QWidget* parent) { parent_ = parent; }
  BoxChoice Ask(const medium::Message& message, bool offerSkip) override;

 private:
  QWidget* parent_;
};

// Where each message of a start-up goes: counts them and remembers a choice to skip. Outside a
// start-up every message is a plain box.
class StartupMessageCounter {
 public:
  // The first message whose box offers to skip the rest.
  static constexpr int kOfferFrom = 10;
  enum class Route { Box, BoxOfferingSkip, StandardError };

  void Begin();
  void End();
  // The route of the next message; counts it.
  Route Next();
  // The user chose to skip: the rest of this start-up goes to standard error.
  void SkipChosen();
  int Count() const { return count_; }

 private:
  bool inStartup_ = false;
  bool skipping_ = false;
  int count_ = 0;
};

class MessageBoxReporter : public medium::Reporter {
 public:
  using LineWriter = std::function<void(const QString& line)>;

  // Real boxes over parent; skipped messages go to the process's standard error.
  explicit MessageBoxReporter(QString title, QWidget* parent = nullptr);
  // The given box (kept by the caller) and writer of standard-error lines.
  MessageBoxReporter(QString title, ModalBox& box, LineWriter standardError);
  ~MessageBoxReporter() override;

  // Only for the real boxes.
  void SetParent(QWidget* parent);
  void BeginStartup() override { counter_.Begin(); }
  void EndStartup() override { counter_.End(); }
  void Show(const medium::Message& message) override;

  // One line of standard error for a message: "<caption>: <text>", line breaks as blanks.
  static QString StandardErrorLine(const medium::Message& message);

 private:
  std::unique_ptr<QtModalBox> ownBox_;
  ModalBox* box_;
  LineWriter standardError_;
  StartupMessageCounter counter_;
};

}  // namespace ui
