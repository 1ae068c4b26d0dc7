#include "checker/MediumCheck.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>
#include <cstdio>
#include <optional>

#include "medium/Convert.h"
#include "medium/Paths.h"
#include "medium/Picture.h"
#include "medium/Report.h"
#include "medium/TextStream.h"
#include "presentation/ConfigReader.h"
#include "presentation/MediumFolder.h"
#include "presentation/MediumLayout.h"
#include "presentation/Model.h"
#include "presentation/Readers.h"

namespace checker {
namespace {

// A medium-form path relative to the root, as the report shows it.
QString Relative(const QString& mediumPath) {
  const QString root = medium::ApplicationFolder();
  QString rel = mediumPath;
  if (rel.startsWith(root)) rel = rel.mid(root.size());
  while (rel.startsWith(u'\\')) rel.remove(0, 1);
  while (rel.endsWith(u'\\')) rel.chop(1);
  return rel.replace(u'\\', u'/');
}

// Collects what the readers report, with the file and the line the stream stood at.
class ProblemReporter : public medium::Reporter {
 public:
  explicit ProblemReporter(std::vector<Problem>& out) : Reporter("check"), out_(out) {}
  void At(const QString& mediumPath, const medium::TextStream* stream = nullptr) {
    file_ = Relative(mediumPath);
    stream_ = stream;
  }
  void Show(const medium::Message& message) override {
    int line = 0;
    if (stream_ && stream_->IsOpen()) {
      // A read past the end names the line that is missing; anything else the line just read.
      line = stream_->LineNumber();
      if (!message.text.startsWith(QLatin1String("Input past end")) && line > 1) --line;
    }
    out_.push_back(Problem{file_, line, message.text});
  }
  void Add(const QString& mediumPath, int line, const QString& text) {
    out_.push_back(Problem{Relative(mediumPath), line, text});
  }

 private:
  std::vector<Problem>& out_;
  QString file_;
  const medium::TextStream* stream_ = nullptr;
};

// Every file the programs open is looked for with its exact name first; a copy made on a
// case-blind file system may hold it only under another case, which works here but not on
// every system the medium may be used on.
void CheckCase(ProblemReporter& reporter, const QString& mediumPath) {
  const medium::Resolved r = medium::Resolve(mediumPath);
  if (r.exists && r.caseBlind) {
    reporter.Add(mediumPath, 0,
                 QStringLiteral("found only as %1 (names differ in case)")
                     .arg(QDir::fromNativeSeparators(r.path).section(u'/', -1)));
  }
}

void CheckPicture(ProblemReporter& reporter, const QString& mediumPath, const QString& what,
                  const QString& where, int line) {
  try {
    medium::LoadPicture(mediumPath);
    CheckCase(reporter, mediumPath);
  } catch (const medium::AppError& e) {
    reporter.Add(mediumPath, 0,
                 QStringLiteral("%1: %2%3")
                     .arg(what, e.description(),
                          where.isEmpty() ? QString()
                                          : QStringLiteral(" (%1 line %2)").arg(where).arg(line)));
  }
}

// Turns a missing transcript section into a message that names the language file.
class CheckedTexts : public TranscriptTexts {
 public:
  explicit CheckedTexts(TranscriptIndex& index) : index_(index) {}
  QString GetTranscriptText(int16_t languagePosition, int16_t section) override {
    try {
      return index_.GetTranscriptText(languagePosition, section);
    } catch (const medium::AppError& e) {
      const QString file = Relative(index_.FilePath(languagePosition));
      if (e.number() == medium::kFileNotFound) throw;
      throw medium::AppError(
          e.number(),
          QStringLiteral("section %1 missing in %2 (%3)").arg(section).arg(file, e.description()));
    }
  }

 private:
  TranscriptIndex& index_;
};

// Where each record of the timeline came from, for the checks made on the records afterwards.
struct LineMap {
  std::vector<int> slides, anns, trans;
};

// Notes the line of every record as the reader appends it, and checks each slide's thumbnail.
class CheckSink : public TimelineSink {
 public:
  CheckSink(ProblemReporter& reporter, const medium::TextStream& stream, const QString& events,
            const Anns_cls& anns, const Trans_cls& trans, LineMap& lines)
      : reporter_(reporter),
        stream_(stream),
        events_(events),
        anns_(anns),
        trans_(trans),
        lines_(lines) {}
  void AddSlideTitle(const QString&) override {}
  void SlideAppended(const Slide_cls& slide, int16_t) override {
    const int line = stream_.LineNumber() - 1;
    lines_.slides.push_back(line);
    CheckPicture(reporter_, layout::ThumbnailPath(slide), QStringLiteral("thumbnail"), events_,
                 line);
  }
  void LineRead() override {
    const int line = stream_.LineNumber() - 1;
    if (anns_.Anns.Count() > static_cast<int>(lines_.anns.size())) lines_.anns.push_back(line);
    if (trans_.Trans.Count() > static_cast<int>(lines_.trans.size())) lines_.trans.push_back(line);
  }

 private:
  ProblemReporter& reporter_;
  const medium::TextStream& stream_;
  QString events_;
  const Anns_cls& anns_;
  const Trans_cls& trans_;
  LineMap& lines_;
};

int LineOf(const std::vector<int>& lines, int k) {
  return k >= 1 && k <= static_cast<int>(lines.size()) ? lines[static_cast<size_t>(k - 1)] : 0;
}

template <class List, class TimeOf>
void CheckAscending(ProblemReporter& reporter, const QString& events, const List& list,
                    const std::vector<int>& lines, const QString& kind, TimeOf timeOf) {
  for (int k = 2; k <= list.Count(); ++k) {
    const double before = timeOf(list.Item(k - 1));
    const double now = timeOf(list.Item(k));
    if (now < before) {
      reporter.Add(events, LineOf(lines, k),
                   QStringLiteral("%1 time %2 comes before the previous %1's %3")
                       .arg(kind)
                       .arg(now, 0, 'g', 15)
                       .arg(before, 0, 'g', 15));
    }
  }
}

void CheckColour(ProblemReporter& reporter, const QString& events, int line, const Ann_cls& ann) {
  const std::pair<const char*, const QString*> parts[] = {
      {"red", &ann.AnnRed}, {"green", &ann.AnnGreen}, {"blue", &ann.AnnBlue}};
  for (const auto& [name, value] : parts) {
    bool bad = false;
    try {
      const int v = medium::ToInt16(*value);
      bad = v < 0 || v > 255;
    } catch (const medium::AppError&) {
      bad = true;
    }
    if (bad) {
      reporter.Add(events, line,
                   QStringLiteral("colour %1 \"%2\" is not a number from 0 to 255")
                       .arg(QLatin1String(name), *value));
    }
  }
}

PresentationResult CheckPresentation(const QString& name, const QString& folder) {
  PresentationResult result;
  result.name = name;
  result.folder = folder;
  ProblemReporter reporter(result.problems);

  // Settings.
  Settings settings;
  const QString database = layout::SettingsPath(folder);
  {
    medium::TextStream ts;
    reporter.At(database, &ts);
    CheckCase(reporter, database);
    ReadSettings(ts, database, reporter, settings);
  }
  if (settings.SlideMode == 2) {
    CheckPicture(reporter, layout::StillPicturePath(folder), QStringLiteral("still picture"),
                 QString(), 0);
  }
  if (settings.MediaMode == 2) {
    CheckPicture(reporter, layout::AudioPicturePath(folder), QStringLiteral("audio picture"),
                 QString(), 0);
  }

  // Languages.
  const QString transcripts = layout::TranscriptsFolderPath(folder);
  reporter.At(transcripts);
  const LanguageList languages = ListTranscriptLanguages(transcripts, reporter);
  result.languages = static_cast<int>(languages.names.size());
  TranscriptIndex index(transcripts, languages.names);
  for (int i = 0; i < languages.names.size(); ++i) CheckCase(reporter, index.FilePath(i));

  // Timeline.
  const QString events = layout::TimelinePath(folder);
  Slides_cls slides;
  Anns_cls anns;
  Trans_cls trans;
  LineMap lines;
  {
    medium::TextStream ts;
    reporter.At(events, &ts);
    CheckCase(reporter, events);
    bool opened = medium::ReportAndContinue(reporter, [&] { ts.Open(events); });
    if (opened) {
      CheckedTexts texts(index);
      CheckSink sink(reporter, ts, Relative(events), anns, trans, lines);
      ReadTimeline(ts, reporter, settings.SlideMode, texts,
                   static_cast<int>(languages.names.size()), slides, anns, trans, sink);
      ts.Close();
    }
  }
  reporter.At(events);
  result.slides = slides.Slides.Count();
  result.annotations = anns.Anns.Count();
  result.cues = trans.Trans.Count();

  if (settings.SlideMode != 2) {
    if (slides.Slides.IsEmpty()) {
      reporter.Add(events, 0, QStringLiteral("no slide: the slide show has nothing to show"));
    } else if (slides.Slides.Item(1).SlideTime != 0) {
      reporter.Add(events, LineOf(lines.slides, 1),
                   QStringLiteral("the first slide starts at %1, not at 0")
                       .arg(slides.Slides.Item(1).SlideTime, 0, 'g', 15));
    }
  }
  if (!trans.Trans.IsEmpty()) {
    if (trans.Trans.Item(1).TranTime != 0) {
      reporter.Add(events, LineOf(lines.trans, 1),
                   QStringLiteral("the first transcript cue starts at %1, not at 0")
                       .arg(trans.Trans.Item(1).TranTime, 0, 'g', 15));
    }
    if (languages.selected < 0) {
      reporter.Add(transcripts, 0,
                   QStringLiteral("no ENGLISH transcript: no language is chosen at the start"));
    }
  }
  CheckAscending(reporter, events, slides.Slides, lines.slides, QStringLiteral("slide"),
                 [](const Slide_cls& s) { return s.SlideTime; });
  CheckAscending(reporter, events, anns.Anns, lines.anns, QStringLiteral("annotation"),
                 [](const Ann_cls& a) { return a.AnnTime; });
  CheckAscending(reporter, events, trans.Trans, lines.trans, QStringLiteral("cue"),
                 [](const Tran_cls& t) { return t.TranTime; });
  for (int k = 1; k <= anns.Anns.Count(); ++k) {
    const Ann_cls& ann = anns.Anns.Item(k);
    if (ann.AnnType == 2 || ann.AnnType == 3)
      CheckColour(reporter, events, LineOf(lines.anns, k), ann);
  }
  for (int k = 1; k <= slides.Slides.Count(); ++k) {
    CheckPicture(reporter, layout::SlidePicturePath(slides.Slides.Item(k)),
                 QStringLiteral("slide picture"), Relative(events), LineOf(lines.slides, k));
  }

  // Details.
  {
    const QString details = layout::DetailsPath(folder);
    medium::TextStream ts;
    reporter.At(details, &ts);
    CheckCase(reporter, details);
    QString text;
    ReadDetails(ts, details, reporter, text);
  }

  // Recordings, as each player looks for them.
  const QString media = layout::MediaFolderPath(folder);
  for (const PlayerBuild build : {PlayerBuild::Tavisco, PlayerBuild::Norvanta}) {
    QStringList names;
    bool found = false;
    for (const QString& file : layout::RecordingFiles(build)) {
      const QString path = medium::BuildPath({media, file});
      names << file.mid(1);
      CheckCase(reporter, path);
      found = found || medium::FileExists(path);
    }
    if (!found) {
      reporter.Add(media, 0,
                   QStringLiteral("no %1: %2 cannot play it")
                       .arg(names.join(QStringLiteral(" or ")), layout::PlayerName(build)));
    }
  }
  return result;
}

}  // namespace

int CheckResult::ProblemCount() const {
  size_t n = problems.size();
  for (const auto& p : presentations) n += p.problems.size();
  return static_cast<int>(n);
}

CheckResult CheckMedium() {
  CheckResult result;
  result.root = medium::NativePath(medium::ApplicationFolder());
  ProblemReporter reporter(result.problems);
  const QString config = layout::ConfigPath();
  reporter.At(config);
  CheckCase(reporter, config);
  launcher::ConfigReader reader(reporter);
  reader.ReadCount();
  PresArr_cls list;
  launcher::FillPresentationList(reporter, reader, list, [](const QString&) {});
  reader.Release();

  for (const char* picture : {"button1", "button1b", "button2", "button2b", "button3", "button3b",
                              "button4", "button4b"}) {
    CheckPicture(reporter, layout::LauncherPicturePath(QLatin1String(picture)),
                 QStringLiteral("launcher picture"), QString(), 0);
  }
  for (int k = 1; k <= list.arr.Count(); ++k) {
    const Pres_cls& p = list.arr.Item(k);
    result.presentations.push_back(CheckPresentation(p.PresName, p.PresDir));
  }
  return result;
}

QString FormatText(const CheckResult& result) {
  QString out;
  QTextStream s(&out);
  auto line = [&](const Problem& p) {
    s << "  " << p.file;
    if (p.line > 0) s << ':' << p.line;
    s << ": " << p.message << '\n';
  };
  s << "Medium " << result.root << '\n';
  for (const auto& p : result.problems) line(p);
  for (const auto& pres : result.presentations) {
    s << "Presentation \"" << pres.name << "\" (" << pres.folder << "): " << pres.slides
      << " slides, " << pres.annotations << " annotations, " << pres.cues << " cues, "
      << pres.languages << " languages\n";
    for (const auto& p : pres.problems) line(p);
  }
  const int n = result.ProblemCount();
  if (n == 0) {
    s << "No problems found.\n";
  } else {
    s << n << (n == 1 ? " problem" : " problems") << " found.\n";
  }
  return out;
}

QByteArray FormatJson(const CheckResult& result) {
  auto problems = [](const std::vector<Problem>& list) {
    QJsonArray a;
    for (const auto& p : list) {
      a.append(QJsonObject{{"file", p.file}, {"line", p.line}, {"message", p.message}});
    }
    return a;
  };
  QJsonArray presentations;
  for (const auto& p : result.presentations) {
    presentations.append(QJsonObject{{"name", p.name},
                                     {"folder", p.folder},
                                     {"slides", p.slides},
                                     {"annotations", p.annotations},
                                     {"cues", p.cues},
                                     {"languages", p.languages},
                                     {"problems", problems(p.problems)}});
  }
  const QJsonObject root{{"medium", result.root},
                         {"problemCount", result.ProblemCount()},
                         {"problems", problems(result.problems)},
                         {"presentations", presentations}};
  return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

int RunCheck(const std::optional<QString>& mediumFolder, bool json) {
  const QString folder = mediumFolder.value_or(medium::NativePath(medium::ApplicationFolder()));
  if (!medium::IsReadableFolder(folder)) {
    std::fprintf(stderr, "Ambrel: %s\n", qPrintable(medium::UnreadableMediumText(folder)));
    return 2;
  }
  if (mediumFolder) medium::SetApplicationFolder(*mediumFolder);
  const CheckResult result = CheckMedium();
  if (json) {
    const QByteArray out = FormatJson(result);
    std::fwrite(out.constData(), 1, static_cast<size_t>(out.size()), stdout);
  } else {
    std::fputs(FormatText(result).toLocal8Bit().constData(), stdout);
  }
  return result.ProblemCount() == 0 ? 0 : 1;
}

}  // namespace checker
