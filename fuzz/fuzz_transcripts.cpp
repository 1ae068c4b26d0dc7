// A transcript file and the index over it: the languages listed from the folder, and the text
// after the first line that marks a section, for every section the file could mark.
#include <QSet>
#include <QStringList>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "fuzz/FuzzMedium.h"
#include "medium/Error.h"
#include "presentation/MediumLayout.h"
#include "presentation/Readers.h"

namespace {

// The answer of a scan from the top: the line after the first line that holds "SECTION<n>".
std::optional<QString> ScanFromTop(const QStringList& lines, int16_t section) {
  const QString marker = QStringLiteral("SECTION") + QString::number(section);
  for (qsizetype i = 0; i < lines.size(); ++i) {
    if (lines[i].contains(marker)) {
      if (i + 1 < lines.size()) return lines[i + 1];
      return std::nullopt;
    }
  }
  return std::nullopt;
}

// Sections worth asking for: the edges, the first few, and every number the file spells after a
// marker (signed, up to six characters, so out-of-range spellings are asked for clipped).
QList<int16_t> SectionsToAsk(const QStringList& lines) {
  QSet<int> sections{-32768, -1, 0, 1, 2, 3, 10, 12, 125, 32767};
  for (const QString& line : lines) {
    qsizetype from = 0;
    while ((from = line.indexOf(QStringLiteral("SECTION"), from)) >= 0) {
      from += 7;
      for (qsizetype len = 1; len <= 6 && from + len <= line.size(); ++len) {
        bool ok = false;
        const int value = QStringView(line).mid(from, len).toInt(&ok);
        if (ok) sections.insert(qBound(-32768, value, 32767));
      }
    }
  }
  QList<int16_t> out;
  for (int s : sections) out << static_cast<int16_t>(s);
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const QString folder = QStringLiteral("Data/%1/transcripts/").arg(fuzz::kPresentation);
  const QByteArray bytes = fuzz::Bytes(data, size);
  // The same text under an exact name, under a name found only case-blind, and a file without
  // "." that repeats the language before it.
  static const bool once = [] {
    fuzz::WriteFile(folder + QStringLiteral("notes"), QByteArray());
    return true;
  }();
  (void)once;
  fuzz::WriteFile(folder + QStringLiteral("English.html"), bytes);
  fuzz::WriteFile(folder + QStringLiteral("french.HTML"), bytes);

  fuzz::DiscardingReporter reporter;
  const QString transcripts = layout::Current().TranscriptsFolderPath(fuzz::kPresentation);
  const LanguageList languages = ListTranscriptLanguages(transcripts, reporter);
  const QStringList expectedNames{QStringLiteral("English"), QStringLiteral("french"),
                                  QStringLiteral("french")};
  FUZZ_REQUIRE(languages.names == expectedNames, languages.names.join(u','));
  FUZZ_REQUIRE(languages.selected == 0, QString::number(languages.selected));
  FUZZ_REQUIRE(reporter.count == 1, QString::number(reporter.count));

  medium::TextStream stream;
  stream.OpenBytes(bytes);
  QStringList lines;
  while (!stream.AtEndOfStream()) lines << stream.ReadLine();

  TranscriptIndex index(transcripts, languages.names);
  for (int16_t position = 0; position < languages.names.size(); ++position) {
    for (int16_t section : SectionsToAsk(lines)) {
      std::optional<QString> answer;
      try {
        answer = index.GetTranscriptText(position, section);
      } catch (const medium::AppError& e) {
        FUZZ_REQUIRE(e.number() == medium::kInputPastEnd, e.description());
      }
      const std::optional<QString> expected = ScanFromTop(lines, section);
      FUZZ_REQUIRE(answer == expected,
                   QStringLiteral("language %1, section %2: \"%3\" where a scan finds \"%4\"")
                       .arg(position)
                       .arg(section)
                       .arg(answer.value_or(QStringLiteral("(none)")),
                            expected.value_or(QStringLiteral("(none)"))));
    }
  }
  // Positions outside the list are refused, not read.
  for (int16_t position : {int16_t(-1), int16_t(languages.names.size())}) {
    bool refused = false;
    try {
      index.GetTranscriptText(position, 1);
    } catch (const medium::AppError& e) {
      refused = e.number() == medium::kSubscriptOutOfRange;
    }
    FUZZ_REQUIRE(refused, QString::number(position));
  }
  return 0;
}
