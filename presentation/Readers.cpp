#include "presentation/Readers.h"

#include "medium/Convert.h"
#include "medium/Error.h"
#include "medium/Paths.h"
#include "presentation/Fields.h"
#include "presentation/Marks.h"

using medium::ReportAndContinue;

// ---- database.txt ----------------------------------------------------------------------------

namespace {

// The value of a settings line: the text after the first "=" up to a second one, if any.
QString SettingValue(const QString& line) {
  return medium::PieceAt(medium::SplitPieces(line, u'='), 1);
}

}  // namespace

void ReadSettings(medium::TextStream& stream, const QString& path, medium::Reporter& reporter,
                  Settings& settings) {
  ReportAndContinue(reporter, [&] { stream.Open(path); });
  ReportAndContinue(reporter,
                    [&] { settings.SlideMode = medium::ToInt16(SettingValue(stream.ReadLine())); });
  ReportAndContinue(reporter,
                    [&] { settings.MediaMode = medium::ToInt16(SettingValue(stream.ReadLine())); });
  // The third value is converted and then not used.
  ReportAndContinue(reporter, [&] { (void)medium::ToBool(SettingValue(stream.ReadLine())); });
  ReportAndContinue(reporter, [&] { settings.UserDef1 = SettingValue(stream.ReadLine()); });
  ReportAndContinue(reporter, [&] { stream.Close(); });
}

// ---- transcripts -----------------------------------------------------------------------------

LanguageList ListTranscriptLanguages(const QString& transcriptsFolder, medium::Reporter& reporter) {
  LanguageList list;
  QString name;  // a file name without "." repeats the language before it
  for (const QString& file : medium::ListOrdinaryFiles(transcriptsFolder)) {
    ReportAndContinue(reporter, [&] {
      const qsizetype dot = file.indexOf(u'.');
      if (dot < 0) {
        throw medium::AppError(
            medium::kInvalidCall,
            QStringLiteral("Invalid procedure call or argument: the transcript file name \"%1\" "
                           "has no \".\"")
                .arg(file));
      }
      name = file.left(dot);
    });
    list.names << name;
    if (name.toUpper() == QLatin1String("ENGLISH")) list.selected = int(list.names.size()) - 1;
  }
  return list;
}

TranscriptIndex::TranscriptIndex(QString transcriptsFolder, QStringList languages)
    : folder_(std::move(transcriptsFolder)),
      languages_(std::move(languages)),
      files_(static_cast<size_t>(languages_.size())) {}

QString TranscriptFilePath(const QString& transcriptsFolder, const QString& language) {
  // The name is appended after the repair, as the file name may itself begin oddly.
  return medium::RepairBackslashes(transcriptsFolder) + language + QStringLiteral(".html");
}

QString TranscriptIndex::FilePath(int languagePosition) const {
  return TranscriptFilePath(folder_, languages_.value(languagePosition));
}

namespace {

// Every section number that a line marks: each "SECTION" followed by the decimal spelling of a
// 16-bit number (as a substring, so SECTION125 marks 1, 12 and 125).
template <class Add>
void MarkersOf(const QString& line, Add add) {
  static const QString kMarker = QStringLiteral("SECTION");
  qsizetype from = 0;
  while ((from = line.indexOf(kMarker, from)) >= 0) {
    from += kMarker.size();
    const qsizetype maxLen = qMin<qsizetype>(6, line.size() - from);
    for (qsizetype len = 1; len <= maxLen; ++len) {
      const QStringView prefix = QStringView(line).mid(from, len);
      const QChar last = prefix.back();
      if (!last.isDigit() || last.unicode() > '9') {
        if (len == 1 && last == u'-') continue;
        break;
      }
      bool ok = false;
      const int value = prefix.toInt(&ok);
      if (!ok || value < -32768 || value > 32767) break;
      if (QString::number(value) == prefix) add(value);
    }
  }
}

}  // namespace

void TranscriptIndex::Load(File& file, const QString& path) {
  file.loaded = true;
  medium::TextStream stream;
  try {
    stream.Open(path);
  } catch (const medium::AppError& e) {
    file.errorNumber = e.number();
    file.errorText = e.description();
    return;
  }
  while (!stream.AtEndOfStream()) {
    const QString line = stream.ReadLine();
    const int index = int(file.lines.size());
    MarkersOf(line, [&](int section) {
      if (!file.firstMarker.contains(section)) file.firstMarker.insert(section, index);
    });
    file.lines << line;
  }
  stream.Close();
}

QString TranscriptIndex::GetTranscriptText(int16_t languagePosition, int16_t section) {
  if (languagePosition < 0 || languagePosition >= languages_.size()) {
    medium::RaiseSubscriptOutOfRange();
  }
  File& file = files_[static_cast<size_t>(languagePosition)];
  const QString path = FilePath(languagePosition);
  if (!file.loaded) Load(file, path);
  if (file.errorNumber) throw medium::AppError(*file.errorNumber, file.errorText);
  const auto found = file.firstMarker.constFind(section);
  const QString shown = medium::NativePath(path);
  if (found == file.firstMarker.cend()) {
    throw medium::AppError(
        medium::kInputPastEnd,
        QStringLiteral("Input past end of file: no SECTION%1 in %2").arg(section).arg(shown));
  }
  const int next = found.value() + 1;
  if (next >= file.lines.size()) {
    throw medium::AppError(
        medium::kInputPastEnd,
        QStringLiteral("Input past end of file: SECTION%1 is the last line of %2")
            .arg(section)
            .arg(shown));
  }
  return file.lines[next];
}

// ---- details.txt -----------------------------------------------------------------------------

void ReadDetails(medium::TextStream& stream, const QString& path, medium::Reporter& reporter,
                 QString& text) {
  if (!ReportAndContinue(reporter, [&] { stream.Open(path); })) return;
  while (stream.IsOpen() && !stream.AtEndOfStream()) {
    ReportAndContinue(reporter, [&] { text += stream.ReadLine() + QStringLiteral("\r\n"); });
  }
  stream.Close();
}

// ---- events.txt ------------------------------------------------------------------------------

namespace {

template <class Step>
void DoStep(medium::Reporter& reporter, Step&& step) {
  ReportAndContinue(reporter, std::forward<Step>(step));
}

void ReadSlideLine(const QString& line, medium::Reporter& reporter, Slides_cls& slides,
                   TimelineSink& sink) {
  auto slide = std::make_unique<Slide_cls>();
  DoStep(reporter, [&] { slide->SlideTime = medium::ToDouble(GetField(1, line)); });
  DoStep(reporter, [&] { slide->SlidePres = GetField(2, line); });
  DoStep(reporter, [&] { slide->SlideNum = medium::ToInt16(GetField(3, line)); });
  DoStep(reporter, [&] { slide->SlideName = GetField(4, line); });
  DoStep(reporter, [&] { sink.AddSlideTitle(slide->SlideName); });
  const Slide_cls* added = nullptr;
  DoStep(reporter, [&] { added = &slides.Slides.Add(std::move(slide)); });
  if (added) sink.SlideAppended(*added, slides.Slides.Count());
}

void ReadAnnotationLine(const QString& line, medium::Reporter& reporter, Anns_cls& anns) {
  using medium::ToDouble;
  using medium::ToInt16;
  auto ann = std::make_unique<Ann_cls>();
  DoStep(reporter, [&] { ann->AnnType = ToInt16(GetField(2, line)); });
  if (IsMarkKind(*ann, MarkKind::Text)) {
    DoStep(reporter, [&] { ann->AnnX = ToInt16(GetField(3, line)); });
    DoStep(reporter, [&] { ann->AnnY = ToInt16(GetField(4, line)); });
    DoStep(reporter, [&] { ann->AnnRed = GetField(5, line); });
    DoStep(reporter, [&] { ann->AnnGreen = GetField(6, line); });
    DoStep(reporter, [&] { ann->AnnBlue = GetField(7, line); });
    DoStep(reporter, [&] { ann->AnnText = GetField(8, line); });
  }
  if (IsMarkKind(*ann, MarkKind::Shape)) {
    // The rectangle is written horizontal first: x, width, y, height.
    DoStep(reporter, [&] { ann->AnnTime = ToDouble(GetField(1, line)); });
    DoStep(reporter, [&] { ann->AnnShape = ToInt16(GetField(3, line)); });
    DoStep(reporter, [&] { ann->AnnStyle = ToInt16(GetField(4, line)); });
    DoStep(reporter, [&] { ann->AnnX = ToInt16(GetField(5, line)); });
    DoStep(reporter, [&] { ann->AnnY = ToInt16(GetField(7, line)); });
    DoStep(reporter, [&] { ann->AnnWidth = ToInt16(GetField(6, line)); });
    DoStep(reporter, [&] { ann->AnnHeight = ToInt16(GetField(8, line)); });
    DoStep(reporter, [&] { ann->AnnRed = GetField(9, line); });
    DoStep(reporter, [&] { ann->AnnGreen = GetField(10, line); });
    DoStep(reporter, [&] { ann->AnnBlue = GetField(11, line); });
  }
  DoStep(reporter, [&] { anns.Anns.Add(std::move(ann)); });
}

void ReadCueLine(const QString& line, medium::Reporter& reporter, TranscriptTexts& texts,
                 int languageCount, Trans_cls& trans) {
  auto cue = std::make_unique<Tran_cls>();
  DoStep(reporter, [&] { cue->TranTime = medium::ToDouble(GetField(1, line)); });
  DoStep(reporter, [&] { cue->TranNum = medium::ToInt16(GetField(2, line)); });
  // A language whose section cannot be read adds no entry: the later languages move up.
  for (int i = 0; i < languageCount; ++i) {
    DoStep(reporter, [&] {
      cue->Languages.Add(texts.GetTranscriptText(static_cast<int16_t>(i), cue->TranNum));
    });
  }
  DoStep(reporter, [&] { trans.Trans.Add(std::move(cue)); });
}

}  // namespace

void ReadTimeline(medium::TextStream& stream, medium::Reporter& reporter, int16_t slideMode,
                  TranscriptTexts& texts, int languageCount, Slides_cls& slides, Anns_cls& anns,
                  Trans_cls& trans, TimelineSink& sink) {
  // A blank line ends the timeline, as does the end of the file.
  int16_t kind = 0;  // a line whose kind cannot be read is taken as the kind of the one before
  while (stream.IsOpen() && !stream.AtEndOfLine()) {
    QString line;
    DoStep(reporter, [&] { line = stream.ReadLine(); });
    DoStep(reporter, [&] { kind = medium::ToInt16(GetField(0, line)); });
    if (kind <= 0) {
      if (slideMode != 2) ReadSlideLine(line, reporter, slides, sink);
    } else if (kind == 1) {
      ReadAnnotationLine(line, reporter, anns);
    } else {
      ReadCueLine(line, reporter, texts, languageCount, trans);
    }
    sink.LineRead();
  }
}
