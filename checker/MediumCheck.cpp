#include "checker/MediumCheck.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>
#include <algorithm>
#include <climits>
#include <cstdio>
#include <functional>
#include <optional>

#include "checker/PictureCheck.h"
#include "checker/RecordingCheck.h"
#include "jobs/TerminalLine.h"
#include "medium/Error.h"

#include "medium/Convert.h"
#include "medium/Paths.h"
#include "medium/Picture.h"
#include "medium/Report.h"
#include "medium/TextStream.h"
#include "presentation/ConfigReader.h"
#include "presentation/Marks.h"
#include "presentation/MediumFolder.h"
#include "presentation/MediumLayout.h"
#include "presentation/Model.h"
#include "presentation/PresentationLoader.h"
#include "presentation/Readers.h"

namespace checker {
namespace {

// What checking one picture file found: its name in another case, and why it cannot be shown
// (damage or an error), empty when it shows.
struct PictureOutcome {
  QString foundAs;  // the name it has, when only a case-blind lookup found it
  QString failure;
};
// Each picture file is decoded once per check, however many lines name it: a timeline of
// thousands of slides on one deck names the same few files again and again.
using PictureMemo = QHash<QString, PictureOutcome>;

// Collects what the readers report, with the file and the line the stream stood at.
class ProblemReporter : public medium::Reporter {
 public:
  ProblemReporter(const layout::MediumLayout& medium, std::vector<Problem>& out,
                  PictureMemo* pictures = nullptr)
      : Reporter("check"), medium_(medium), out_(out), pictures_(pictures) {}
  PictureMemo* Pictures() const { return pictures_; }
  const layout::MediumLayout& Medium() const { return medium_; }
  void At(const QString& mediumPath, const medium::TextStream* stream = nullptr) {
    file_ = medium_.Relative(mediumPath);
    stream_ = stream;
  }
  void Show(const medium::Message& message) override {
    int line = 0;
    if (stream_ && stream_->IsOpen()) {
      // A read past the end names the line that is missing; anything else the line just read.
      line = stream_->LineNumber();
      if (!stream_->ReadPastEnd() && line > 1) --line;
    }
    out_.push_back(Problem{file_, line, message.text});
  }
  void Add(const QString& mediumPath, int line, const QString& text,
           Severity severity = Severity::Problem) {
    out_.push_back(Problem{medium_.Relative(mediumPath), line, text, severity});
  }
  void Add(const Problem& problem) { out_.push_back(problem); }
  // For places already relative to the root.
  void AddAt(const QString& relative, int line, const QString& text) {
    out_.push_back(Problem{relative, line, text, Severity::Problem});
  }

 private:
  const layout::MediumLayout& medium_;
  std::vector<Problem>& out_;
  PictureMemo* pictures_;
  QString file_;
  const medium::TextStream* stream_ = nullptr;
};

// Every file the programs open is looked for with its exact name first; a copy made on a
// case-blind file system may hold it only under another case. The programs find it all the
// same, so it is a note: worth mending before the medium goes where names are matched exactly.
QString FoundAs(const QString& mediumPath) {
  const medium::Resolved r = medium::Resolve(mediumPath);
  return r.exists && r.caseBlind ? QDir::fromNativeSeparators(r.path).section(u'/', -1) : QString();
}

void NoteCase(ProblemReporter& reporter, const QString& mediumPath, const QString& foundAs) {
  if (foundAs.isEmpty()) return;
  reporter.Add(
      mediumPath, 0,
      QStringLiteral("found only as %1 (names differ in case; the players find it)").arg(foundAs),
      Severity::Note);
}

void CheckCase(ProblemReporter& reporter, const QString& mediumPath) {
  NoteCase(reporter, mediumPath, FoundAs(mediumPath));
}

PictureOutcome CheckPictureFile(const QString& mediumPath) {
  PictureOutcome outcome;
  try {
    {
      const DecoderWarnings quiet;  // damage is reported below, once
      medium::LoadPicture(mediumPath);
    }
    outcome.foundAs = FoundAs(mediumPath);
    // The players show a cut or damaged picture without a word; only a full decode finds it.
    outcome.failure = PictureDamage(medium::ReadRegularFile(mediumPath));
  } catch (const medium::AppError& e) {
    outcome.failure = e.description();
  }
  return outcome;
}

// pathOf builds the picture's path; it throws when a name from the medium's files would lead
// outside it, which is then reported at the line that names it.
void CheckPicture(ProblemReporter& reporter, const std::function<QString()>& pathOf,
                  const QString& what, const QString& where, int line) {
  const QString place =
      where.isEmpty() ? QString() : QStringLiteral(" (%1 line %2)").arg(where).arg(line);
  QString mediumPath;
  try {
    mediumPath = pathOf();
  } catch (const medium::AppError& e) {
    reporter.AddAt(where, line, QStringLiteral("%1: %2").arg(what, e.description()));
    return;
  }
  PictureOutcome outcome;
  if (PictureMemo* memo = reporter.Pictures()) {
    auto known = memo->constFind(mediumPath);
    if (known == memo->cend()) known = memo->insert(mediumPath, CheckPictureFile(mediumPath));
    outcome = known.value();
  } else {
    outcome = CheckPictureFile(mediumPath);
  }
  NoteCase(reporter, mediumPath, outcome.foundAs);
  if (!outcome.failure.isEmpty()) {
    reporter.Add(mediumPath, 0, QStringLiteral("%1: %2%3").arg(what, outcome.failure, place));
  }
}

void CheckPicture(ProblemReporter& reporter, const QString& mediumPath, const QString& what) {
  CheckPicture(
      reporter, [&] { return mediumPath; }, what, QString(), 0);
}

// Turns a missing transcript section into a message that names the language file.
class CheckedTexts : public TranscriptTexts {
 public:
  CheckedTexts(const layout::MediumLayout& medium, const QString& transcripts,
               const QStringList& languages)
      : medium_(medium), index_(transcripts, languages) {}
  QString GetTranscriptText(int16_t languagePosition, int16_t section) override {
    try {
      return index_.GetTranscriptText(languagePosition, section);
    } catch (const medium::AppError& e) {
      const QString file = medium_.Relative(index_.FilePath(languagePosition));
      if (e.number() == medium::kFileNotFound) throw;
      throw medium::AppError(
          e.number(),
          QStringLiteral("section %1 missing in %2 (%3)").arg(section).arg(file, e.description()));
    }
  }

 private:
  layout::MediumLayout medium_;
  TranscriptIndex index_;
};

// Where each record of the timeline came from, for the checks made on the records afterwards.
struct LineMap {
  std::vector<int> slides, anns, trans;
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
    const ColourComponent component = ReadColourComponent(*value);
    if (!component.value) {
      reporter.Add(events, line,
                   QStringLiteral("colour %1 \"%2\" is not a number from 0 to 255")
                       .arg(QLatin1String(name), *value));
    } else if (component.aboveRange) {
      // The players draw it, as they always have, at the component's full strength.
      reporter.Add(events, line,
                   QStringLiteral("colour %1 \"%2\" is above 255: drawn as 255")
                       .arg(QLatin1String(name), *value),
                   Severity::Note);
    }
  }
}

// Reads each recording a player would play once, however many presentations share it.
class RecordingReader {
 public:
  RecordingReader(const layout::MediumLayout& medium, const CheckOptions& options)
      : medium_(medium), options_(options) {}
  QStringList Damage(const QString& mediumPath) {
    const QString native = medium::OpenablePath(mediumPath);
    for (const QString& elsewhere : options_.recordingsReadElsewhere) {
      if (medium::OpenablePath(elsewhere) == native) return {};
    }
    const auto known = seen_.constFind(native);
    if (known != seen_.cend()) return known.value();
    const QString shown = medium_.Relative(mediumPath);
    ReadProgress progress;
    if (options_.progress) {
      progress = [&](double fraction) { options_.progress(shown, fraction); };
    }
    const RecordingReading reading = ReadRecording(native, progress, options_.cancel);
    if (options_.cancel && options_.cancel->load()) return {};
    const QStringList damage = DescribeDamage(reading);
    seen_.insert(native, damage);
    return damage;
  }

 private:
  const layout::MediumLayout& medium_;
  const CheckOptions& options_;
  QHash<QString, QStringList> seen_;
};

// The recordings of one presentation, as each player looks for them. A presentation that one
// player cannot play is normal; one that neither can is a problem.
void CheckRecordings(ProblemReporter& reporter, const QString& folder, const CheckOptions& options,
                     RecordingReader& recordings) {
  const layout::MediumLayout& medium = reporter.Medium();
  const QString media = medium.MediaFolderPath(folder);
  struct Found {
    PlayerBuild build;
    QStringList names;
    QString path;  // the recording the player plays; empty when it has none
  };
  std::vector<Found> players;
  for (const PlayerBuild build : {PlayerBuild::Tavisco, PlayerBuild::Norvanta}) {
    Found found{build, {}, {}};
    for (const QString& file : layout::RecordingFiles(build)) {
      const QString path = medium::BuildPath({media, file});
      found.names << file.mid(1);
      if (!found.path.isEmpty()) continue;  // never played beside the one before it
      CheckCase(reporter, path);
      if (medium::FileExists(path)) {
        found.path = path;
        continue;
      }
      // Something else in the recording's place (a folder, a pipe, a device) is named.
      try {
        if (medium::Resolve(path).exists) medium::RequireRegularFile(path, LLONG_MAX);
      } catch (const medium::AppError& e) {
        reporter.Add(path, 0, e.description());
      }
    }
    players.push_back(found);
  }
  const bool anyPlays =
      std::any_of(players.begin(), players.end(), [](const Found& f) { return !f.path.isEmpty(); });
  for (const Found& f : players) {
    if (!f.path.isEmpty()) continue;
    reporter.Add(media, 0,
                 QStringLiteral("no %1: %2 cannot play it")
                     .arg(f.names.join(QStringLiteral(" or ")), layout::PlayerName(f.build)),
                 anyPlays ? Severity::Note : Severity::Problem);
  }
  if (!options.readRecordings) return;
  for (const Found& f : players) {
    if (f.path.isEmpty()) continue;
    for (const QString& damage : recordings.Damage(f.path)) {
      reporter.Add(RecordingProblem(medium, f.path, f.build, damage));
    }
  }
}

// Follows the reading of one presentation: every file is named where its problems stand, the
// line of every record is noted as the reader appends it, and the records are checked once the
// timeline is read, before the details, in the order a reader of the report expects.
class CheckListener : public PresentationListener {
 public:
  // presentation: what the loader fills, whose lists grow as the timeline is read.
  CheckListener(ProblemReporter& reporter, PresentationResult& result,
                const LoadedPresentation& presentation)
      : reporter_(reporter), result_(result), presentation_(presentation) {}

  void Reading(const QString& mediumPath, const medium::TextStream* stream) override {
    reporter_.At(mediumPath, stream);
    if (!stream) return;  // the transcripts folder, listed while the timeline stands open
    stream_ = stream;
    CheckCase(reporter_, mediumPath);
  }
  void SettingsRead(const Settings& settings) override {
    if (settings.SlideMode == 2) {
      CheckPicture(reporter_, Medium().StillPicturePath(result_.folder),
                   QStringLiteral("still picture"));
    }
    if (settings.MediaMode == 2) {
      CheckPicture(reporter_, Medium().AudioPicturePath(result_.folder),
                   QStringLiteral("audio picture"));
    }
  }
  void LanguagesListed(const LanguageList& languages) override {
    result_.languages = static_cast<int>(languages.names.size());
    const TranscriptIndex files(Medium().TranscriptsFolderPath(result_.folder), languages.names);
    for (int i = 0; i < languages.names.size(); ++i) CheckCase(reporter_, files.FilePath(i));
    // The timeline's own problems stand in the timeline again.
    reporter_.At(Medium().TimelinePath(result_.folder), stream_);
  }
  void SlideAppended(const Slide_cls& slide, int16_t) override {
    const int line = stream_->LineNumber() - 1;
    lines_.slides.push_back(line);
    CheckPicture(
        reporter_, [&] { return Medium().ThumbnailPath(slide); }, QStringLiteral("thumbnail"),
        Medium().Relative(Medium().TimelinePath(result_.folder)), line);
  }
  void LineRead() override {
    const int line = stream_->LineNumber() - 1;
    if (presentation_.anns->Anns.Count() > static_cast<int>(lines_.anns.size()))
      lines_.anns.push_back(line);
    if (presentation_.trans->Trans.Count() > static_cast<int>(lines_.trans.size()))
      lines_.trans.push_back(line);
  }
  void TimelineRead(const LoadedPresentation& p) override;

 private:
  const layout::MediumLayout& Medium() const { return reporter_.Medium(); }
  ProblemReporter& reporter_;
  PresentationResult& result_;
  const LoadedPresentation& presentation_;
  const medium::TextStream* stream_ = nullptr;
  LineMap lines_;
};

void CheckListener::TimelineRead(const LoadedPresentation& p) {
  const QString events = Medium().TimelinePath(result_.folder);
  reporter_.At(events);
  const Slides_cls& slides = *p.slides;
  const Anns_cls& anns = *p.anns;
  const Trans_cls& trans = *p.trans;
  result_.slides = slides.Slides.Count();
  result_.annotations = anns.Anns.Count();
  result_.cues = trans.Trans.Count();

  if (p.settings.SlideMode != 2) {
    if (slides.Slides.IsEmpty()) {
      reporter_.Add(events, 0, QStringLiteral("no slide: the slide show has nothing to show"));
    } else if (slides.Slides.Item(1).SlideTime != 0) {
      reporter_.Add(events, LineOf(lines_.slides, 1),
                    QStringLiteral("the first slide starts at %1, not at 0")
                        .arg(slides.Slides.Item(1).SlideTime, 0, 'g', 15));
    }
  }
  if (!trans.Trans.IsEmpty()) {
    if (trans.Trans.Item(1).TranTime != 0) {
      reporter_.Add(events, LineOf(lines_.trans, 1),
                    QStringLiteral("the first transcript cue starts at %1, not at 0")
                        .arg(trans.Trans.Item(1).TranTime, 0, 'g', 15));
    }
    if (p.languages.selected < 0) {
      reporter_.Add(p.transcriptsFolder, 0,
                    QStringLiteral("no ENGLISH transcript: no language is chosen at the start"));
    }
  }
  CheckAscending(reporter_, events, slides.Slides, lines_.slides, QStringLiteral("slide"),
                 [](const Slide_cls& s) { return s.SlideTime; });
  CheckAscending(reporter_, events, anns.Anns, lines_.anns, QStringLiteral("annotation"),
                 [](const Ann_cls& a) { return a.AnnTime; });
  CheckAscending(reporter_, events, trans.Trans, lines_.trans, QStringLiteral("cue"),
                 [](const Tran_cls& t) { return t.TranTime; });
  for (int k = 1; k <= anns.Anns.Count(); ++k) {
    const Ann_cls& ann = anns.Anns.Item(k);
    if (IsMarkKind(ann, MarkKind::Text) || IsMarkKind(ann, MarkKind::Shape))
      CheckColour(reporter_, events, LineOf(lines_.anns, k), ann);
  }
  for (int k = 1; k <= slides.Slides.Count(); ++k) {
    CheckPicture(
        reporter_, [&] { return Medium().SlidePicturePath(slides.Slides.Item(k)); },
        QStringLiteral("slide picture"), Medium().Relative(events), LineOf(lines_.slides, k));
  }
}

PresentationResult CheckPresentation(const layout::MediumLayout& medium, const QString& name,
                                     const QString& folder, int configLine,
                                     const CheckOptions& options, RecordingReader& recordings,
                                     PictureMemo& pictures) {
  PresentationResult result;
  result.name = name;
  result.folder = folder;
  ProblemReporter reporter(medium, result.problems, &pictures);

  // A folder name that leads outside the medium: the players refuse every file of it.
  try {
    medium::RequireInsideMedium(folder, QStringLiteral("presentation folder"));
  } catch (const medium::AppError& e) {
    reporter.Add(medium.ConfigPath(), configLine, e.description());
    return result;
  }

  LoadedPresentation presentation;
  CheckListener listener(reporter, result, presentation);
  PresentationLoader loader(medium, reporter, listener);
  // A missing section is named with its language's file.
  loader.SetTranscriptSource([&medium](const QString& transcripts, const QStringList& languages) {
    return std::make_unique<CheckedTexts>(medium, transcripts, languages);
  });
  loader.Load(folder, presentation);

  CheckRecordings(reporter, folder, options, recordings);
  return result;
}

}  // namespace

namespace {

int Count(const CheckResult& result, Severity severity) {
  auto count = [&](const std::vector<Problem>& list) {
    return std::count_if(list.begin(), list.end(),
                         [&](const Problem& p) { return p.severity == severity; });
  };
  auto n = count(result.problems);
  for (const auto& p : result.presentations) n += count(p.problems);
  return static_cast<int>(n);
}

}  // namespace

Problem RecordingProblem(const layout::MediumLayout& medium, const QString& mediumPath,
                         PlayerBuild player, const QString& damage) {
  return Problem{
      medium.Relative(mediumPath), 0,
      QStringLiteral("recording: %1 (%2 plays it)").arg(damage, layout::PlayerName(player)),
      Severity::Problem};
}

int CheckResult::ProblemCount() const {
  return Count(*this, Severity::Problem);
}

int CheckResult::NoteCount() const {
  return Count(*this, Severity::Note);
}

CheckResult CheckMedium(const layout::MediumLayout& medium, const CheckOptions& options) {
  CheckResult result;
  result.root = medium.NativeRoot();
  PictureMemo pictures;
  ProblemReporter reporter(medium, result.problems, &pictures);
  const QString config = medium.ConfigPath();
  reporter.At(config);
  CheckCase(reporter, config);
  const PresArr_cls list = launcher::ReadPresentationList(medium, reporter);

  for (const QString& picture : layout::LauncherPictureNames()) {
    CheckPicture(reporter, medium.LauncherPicturePath(picture), QStringLiteral("launcher picture"));
  }
  RecordingReader recordings(medium, options);
  for (int k = 1; k <= list.arr.Count(); ++k) {
    if (options.cancel && options.cancel->load()) break;
    const Pres_cls& p = list.arr.Item(k);
    if (!options.folders.isEmpty() && !options.folders.contains(p.PresDir)) {
      PresentationResult unchecked;
      unchecked.name = p.PresName;
      unchecked.folder = p.PresDir;
      result.presentations.push_back(unchecked);
      continue;
    }
    // The folder name of presentation k is line 2k + 1 of config.txt.
    result.presentations.push_back(
        CheckPresentation(medium, p.PresName, p.PresDir, 2 * k + 1, options, recordings, pictures));
  }
  if (options.progress) options.progress(QString(), 1.0);
  return result;
}

}  // namespace checker
