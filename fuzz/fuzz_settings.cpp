// The settings file of a presentation (database.txt): four "name=value" lines, each converted on
// its own, each failure reported and skipped.
#include <cstddef>
#include <cstdint>

#include "fuzz/FuzzMedium.h"
#include "presentation/MediumLayout.h"
#include "presentation/Readers.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const QString file = QStringLiteral("Data/%1/database.txt").arg(fuzz::kPresentation);
  fuzz::WriteFile(file, fuzz::Bytes(data, size));

  fuzz::DiscardingReporter reporter;
  medium::TextStream stream;
  Settings settings;
  ReadSettings(stream, layout::Current().SettingsPath(fuzz::kPresentation), reporter, settings);
  // The file was there, so the open and the close cannot have been what failed; at most the four
  // lines did.
  FUZZ_REQUIRE(reporter.count <= 4, QString::number(reporter.count));
  FUZZ_REQUIRE(!stream.IsOpen(), QStringLiteral("the stream is left open"));
  return 0;
}
