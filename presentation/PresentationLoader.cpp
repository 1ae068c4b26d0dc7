#include "presentation/PresentationLoader.h"

#include "medium/Error.h"
#include "presentation/MediumLayout.h"

std::vector<std::optional<QString>> LoadedPresentation::SectionTexts(int language) const {
  std::vector<std::optional<QString>> sections;
  if (!trans || !texts) return sections;
  sections.reserve(static_cast<size_t>(trans->Trans.Count()));
  for (int k = 1; k <= trans->Trans.Count(); ++k) {
    try {
      sections.push_back(
          texts->GetTranscriptText(static_cast<int16_t>(language), trans->Trans.Item(k).TranNum));
    } catch (const medium::AppError&) {
      sections.push_back(std::nullopt);
    }
  }
  return sections;
}

PresentationLoader::PresentationLoader(const layout::MediumLayout& medium,
                                       medium::Reporter& reporter, PresentationListener& listener)
    : medium_(medium), reporter_(reporter), listener_(listener) {}

template <class StepFn>
bool PresentationLoader::Step(StepFn&& step) {
  if (listener_.Stopped()) return false;
  return medium::ReportAndContinue(reporter_, std::forward<StepFn>(step));
}

void PresentationLoader::Load(const QString& folder, LoadedPresentation& out) {
  out.folder = folder;

  // The settings. A folder name refused for leaving the medium is reported where each file's
  // path is built; none of its files is read.
  QString settingsPath;
  Step([&] { settingsPath = medium_.SettingsPath(folder); });
  if (!listener_.Stopped() && !settingsPath.isEmpty()) {
    listener_.Reading(settingsPath, &stream_);
    ReadSettings(stream_, settingsPath, reporter_, out.settings);
  }
  listener_.SettingsRead(out.settings);

  // The timeline is opened before the lists exist, and the languages are listed before its
  // first line is read, since every cue line fetches its section in each language.
  Step([&] {
    const QString path = medium_.TimelinePath(folder);
    listener_.Reading(path, &stream_);
    stream_.Open(path);
  });
  Step([&] { out.slides = std::make_unique<Slides_cls>(); });
  Step([&] { out.trans = std::make_unique<Trans_cls>(); });
  Step([&] { out.anns = std::make_unique<Anns_cls>(); });
  if (listener_.Stopped()) return;

  Step([&] { out.transcriptsFolder = medium_.TranscriptsFolderPath(folder); });
  listener_.Reading(out.transcriptsFolder, nullptr);
  // An empty folder (its name was refused) lists nothing.
  out.languages = ListTranscriptLanguages(out.transcriptsFolder, reporter_);
  listener_.LanguagesListed(out.languages);
  out.texts = source_
                  ? source_(out.transcriptsFolder, out.languages.names)
                  : std::make_unique<TranscriptIndex>(out.transcriptsFolder, out.languages.names);
  if (!listener_.Stopped() && out.slides && out.anns && out.trans) {
    ReadTimeline(stream_, reporter_, out.settings.SlideMode, *out.texts,
                 static_cast<int>(out.languages.names.size()), *out.slides, *out.anns, *out.trans,
                 listener_);
  }
  Step([&] { stream_.Close(); });
  if (listener_.Stopped()) return;
  listener_.TimelineRead(out);

  // The details.
  QString detailsPath;
  Step([&] { detailsPath = medium_.DetailsPath(folder); });
  if (!listener_.Stopped() && !detailsPath.isEmpty()) {
    listener_.Reading(detailsPath, &stream_);
    ReadDetails(stream_, detailsPath, reporter_, out.details);
    listener_.DetailsRead(out.details);
  }
}

LoadedPresentation LoadPresentation(const layout::MediumLayout& medium, const QString& folder) {
  medium::SilentReporter reporter;
  PresentationListener nobody;
  PresentationLoader loader(medium, reporter, nobody);
  LoadedPresentation out;
  loader.Load(folder, out);
  return out;
}
