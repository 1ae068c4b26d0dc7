#pragma once
// A failure of the generator: a missing or failing tool, a file that cannot be written. The
// message is shown to the user as it stands, so it says what went wrong and what to do.

#include <QString>
#include <stdexcept>

namespace sample {

class GeneratorError : public std::runtime_error {
 public:
  explicit GeneratorError(const QString& message)
      : std::runtime_error(message.toStdString()), message_(message) {}
  const QString& message() const { return message_; }

 private:
  QString message_;
};

}  // namespace sample
