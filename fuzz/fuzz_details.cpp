// The details text of a presentation (details.txt): every line with CR LF after it.
#include <cstddef>
#include <cstdint>

#include "fuzz/FuzzMedium.h"
#include "presentation/MediumLayout.h"
#include "presentation/Readers.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const QString file = QStringLiteral("Data/%1/details.txt").arg(fuzz::kPresentation);
  const QByteArray bytes = fuzz::Bytes(data, size);
  fuzz::WriteFile(file, bytes);

  fuzz::DiscardingReporter reporter;
  medium::TextStream stream;
  QString text;
  ReadDetails(stream, layout::Current().DetailsPath(fuzz::kPresentation), reporter, text);
  FUZZ_REQUIRE(reporter.count == 0, QString::number(reporter.count));
  FUZZ_REQUIRE(!stream.IsOpen(), QStringLiteral("the stream is left open"));

  // The same lines read from memory, each followed by CR LF, make the same text.
  medium::TextStream lines;
  lines.OpenBytes(bytes);
  QString expected;
  while (!lines.AtEndOfStream()) expected += lines.ReadLine() + QStringLiteral("\r\n");
  FUZZ_REQUIRE(
      text == expected,
      QStringLiteral("%1 characters read, %2 expected").arg(text.size()).arg(expected.size()));
  return 0;
}
