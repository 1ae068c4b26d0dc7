// The timeline of a presentation (events.txt): slide, mark and cue lines taken apart into their
// "~" fields, each cue looked up in the transcripts of every language.
#include <QStringList>
#include <cstddef>
#include <cstdint>

#include "fuzz/FuzzMedium.h"
#include "presentation/Fields.h"
#include "presentation/MediumLayout.h"
#include "presentation/Model.h"
#include "presentation/Readers.h"

namespace {

// Transcripts the cues are looked up in: one language with sections 0 to 12, one with a few of
// them and a section marker on its last line, and one language whose file is missing.
QStringList WriteTranscripts() {
  const QString folder = QStringLiteral("Data/%1/transcripts/").arg(fuzz::kPresentation);
  QByteArray english = "<html><body>\r\n";
  for (int section = 0; section <= 12; ++section) {
    english += "<p>SECTION" + QByteArray::number(section) + "</p>\r\ntext " +
               QByteArray::number(section) + "\r\n";
  }
  fuzz::WriteFile(folder + QStringLiteral("English.html"), english + "</body></html>\r\n");
  fuzz::WriteFile(folder + QStringLiteral("french.HTML"),
                  "SECTION1\r\nun\r\nSECTION-2\r\nmoins deux\r\nSECTION3");
  return {QStringLiteral("English"), QStringLiteral("french"), QStringLiteral("Missing")};
}

class CountingSink : public TimelineSink {
 public:
  void AddSlideTitle(const QString& title) override {
    ++titles;
    (void)title.size();
  }
  void SlideAppended(const Slide_cls& slide, int16_t k) override {
    FUZZ_REQUIRE(k == appended + 1, QStringLiteral("slide %1 after %2").arg(k).arg(appended));
    appended = k;
    (void)slide.SlideName.size();
  }
  void LineRead() override { ++lines; }
  int titles = 0;
  int appended = 0;
  int lines = 0;
};

// The separators of a line are exactly its "~" characters, and its fields put back together
// with them give the line again.
void CheckFields(const QString& line) {
  const qsizetype separators = line.count(u'~');
  if (separators >= 32767) return;  // beyond what a 16-bit field count can hold
  const int16_t n = GetNumFields(line);
  FUZZ_REQUIRE(n == separators, line);
  QStringList fields;
  for (int16_t i = 0; i <= n; ++i) {
    fields << GetField(i, line);
    if (i > 0) {
      const int16_t start = FieldStart(line, i);
      FUZZ_REQUIRE(start >= 2 && start - 2 < line.size() && line[start - 2] == u'~', line);
    }
  }
  FUZZ_REQUIRE(fields.join(u'~') == line, line);
  FUZZ_REQUIRE(GetField(static_cast<int16_t>(n + 1), line).isEmpty(), line);
}

void ReadOnce(int16_t slideMode, const QStringList& languages, int expectedLines) {
  fuzz::DiscardingReporter reporter;
  medium::TextStream stream;
  stream.Open(layout::Current().TimelinePath(fuzz::kPresentation));
  TranscriptIndex texts(layout::Current().TranscriptsFolderPath(fuzz::kPresentation), languages);
  Slides_cls slides;
  Anns_cls anns;
  Trans_cls trans;
  CountingSink sink;
  ReadTimeline(stream, reporter, slideMode, texts, int(languages.size()), slides, anns, trans,
               sink);
  stream.Close();

  FUZZ_REQUIRE(sink.lines == expectedLines,
               QStringLiteral("%1 lines read, %2 expected").arg(sink.lines).arg(expectedLines));
  FUZZ_REQUIRE(sink.appended == slides.Slides.Count(), QString::number(sink.appended));
  if (slideMode == 2) FUZZ_REQUIRE(sink.titles == 0 && slides.Slides.IsEmpty(), QString());
  for (int k = 1; k <= trans.Trans.Count(); ++k) {
    FUZZ_REQUIRE(trans.Trans.Item(k).Languages.Count() <= languages.size(), QString::number(k));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const QStringList languages = WriteTranscripts();
  static const QString file = QStringLiteral("Data/%1/events.txt").arg(fuzz::kPresentation);
  const QByteArray bytes = fuzz::Bytes(data, size);
  fuzz::WriteFile(file, bytes);

  // The timeline ends at its first empty line; every line before it is taken apart.
  medium::TextStream lines;
  lines.OpenBytes(bytes);
  int count = 0;
  while (!lines.AtEndOfLine()) {
    CheckFields(lines.ReadLine());
    ++count;
  }

  // With slides and all three languages; every other input as the audio-only mode with one
  // language (one reading per input keeps each run short under the sanitizers).
  if (size % 2 == 0) {
    ReadOnce(0, languages, count);
  } else {
    ReadOnce(2, languages.mid(0, 1), count);
  }
  return 0;
}
