#pragma once
// What every reader fuzzer shares: a private medium folder in memory-backed storage that the
// readers open their files from by path, as the players do, and a reporter that keeps no
// messages, so that millions of inputs cost no memory.

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>

#include "medium/Report.h"

namespace fuzz {

// The presentation folder name every fuzzer writes its files under (Data/<it>/...).
inline constexpr char kPresentation[] = "Fuzzed";

// The medium folder of this process, made on first use and set as the application folder.
// Removed again when the process ends normally.
QString MediumRoot();

// Writes bytes to a file below the medium root (relative path with '/'), creating folders.
void WriteFile(const QString& relative, const QByteArray& bytes);
// Removes a file below the medium root if it is there.
void RemoveFile(const QString& relative);

// The input as the bytes of a file: a deep copy, so nothing outlives the fuzzer's buffer.
inline QByteArray Bytes(const uint8_t* data, size_t size) {
  return QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
}

// Counts and forgets: the text is looked at (its length), so that building it is not skipped.
class DiscardingReporter : public medium::Reporter {
 public:
  DiscardingReporter() : medium::Reporter(QStringLiteral("Fuzz")) {}
  void Show(const medium::Message& message) override {
    ++count;
    characters += static_cast<size_t>(message.text.size());
  }
  size_t count = 0;
  size_t characters = 0;
};

// A broken promise of a reader: printed and aborted, so the fuzzer keeps the input as a crash.
[[noreturn]] void Fail(const char* what, const QString& detail = QString());

}  // namespace fuzz

// Checks a property of a reader's answer; a failure is a finding like a crash.
#define FUZZ_REQUIRE(condition, detail)                   \
  do {                                                    \
    if (!(condition)) ::fuzz::Fail(#condition, (detail)); \
  } while (false)
