#pragma once
// Errors raised while reading the medium. Every failure carries a number and a description,
// because the start-up rule shows the description and the last-resort report shows both.

#include <QString>
#include <stdexcept>

namespace medium {

// The error numbers the programs raise; they keep the values users of the old players saw.
enum ErrorNumber : int {
  kInvalidCall = 5,
  kOverflow = 6,
  kSubscriptOutOfRange = 9,
  kTypeMismatch = 13,
  kBadFileName = 52,  // a name from the medium's own files that would lead outside it
  kFileNotFound = 53,
  kDeviceIO = 57,  // the file is there but its bytes cannot be read (a damaged disc)
  kInputPastEnd = 62,
  kPermissionDenied = 70,
  kPathAccess = 75,  // a folder or a device where a file belongs, or a file far too large
  kNoOpenFile = 91,
  kInvalidPicture = 481,
  kEngineFailure = 1001,
  kCannotStartProgram = 1002,
};

class AppError : public std::runtime_error {
 public:
  AppError(int number, const QString& description)
      : std::runtime_error(description.toStdString()), number_(number), description_(description) {}
  int number() const { return number_; }
  const QString& description() const { return description_; }

 private:
  int number_;
  QString description_;
};

[[noreturn]] void RaiseSubscriptOutOfRange();
[[noreturn]] void RaiseTypeMismatch(const QString& value);
[[noreturn]] void RaiseOverflow(const QString& value);

}  // namespace medium
