// The medium's presentation list (Data/config.txt): a count on line 1, then name and folder
// lines, read step by step with every failure reported and skipped.
#include <cstddef>
#include <cstdint>

#include "fuzz/FuzzMedium.h"
#include "medium/Convert.h"
#include "medium/Error.h"
#include "medium/TextStream.h"
#include "presentation/ConfigReader.h"
#include "presentation/PresList.h"

namespace {

// The count of line 1 as the reader takes it, or 0.
int CountOf(const QByteArray& bytes) {
  medium::TextStream stream;
  stream.OpenBytes(bytes);
  try {
    return medium::ToInt16(medium::PieceAt(medium::SplitPieces(stream.ReadLine(), u' '), 1));
  } catch (const medium::AppError&) {
    return 0;
  }
}

// More pairs than this only repeat the same failing read at the end of the file, each one a
// report that costs a thrown exception: thousands of them take seconds under the sanitizers and
// reach nothing new.
constexpr int kMostPairs = 256;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QByteArray bytes = fuzz::Bytes(data, size);
  if (CountOf(bytes) > kMostPairs) return 0;
  fuzz::WriteFile(QStringLiteral("Data/config.txt"), bytes);

  fuzz::DiscardingReporter reporter;
  launcher::ConfigReader reader(layout::Current(), reporter);
  reader.ReadCount();
  PresArr_cls list;
  int entries = 0;
  const bool multi = FillPresentationList(reporter, reader, list, [&](const QString& name) {
    ++entries;
    (void)name.size();
  });
  reader.Release();

  // Every pair is appended, read or not: the count of the first line when it is 2 or more, one
  // pair otherwise; and only a list offers its names one by one.
  FUZZ_REQUIRE(multi == (reader.Count() > 1), QString::number(reader.Count()));
  const int expected = multi ? reader.Count() : 1;
  FUZZ_REQUIRE(list.arr.Count() == expected,
               QStringLiteral("%1 entries for a count of %2").arg(list.arr.Count()).arg(expected));
  FUZZ_REQUIRE(entries == (multi ? expected : 0), QString::number(entries));
  return 0;
}
