#pragma once
// Reading one presentation from the medium: the one sequence every program follows (settings,
// transcript languages with their index, timeline, details). The players show each piece as it
// arrives, the checker notes where each problem stands, the exporter and the library keep what
// was read; each of them listens to the same steps instead of reading in an order of its own.

#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "medium/Report.h"
#include "medium/TextStream.h"
#include "presentation/MediumLayout.h"
#include "presentation/Model.h"
#include "presentation/Readers.h"

// Everything read of one presentation. The lists exist once the timeline step has made them.
struct LoadedPresentation {
  QString folder;
  Settings settings;
  QString transcriptsFolder;  // empty when the folder name was refused
  LanguageList languages;
  std::unique_ptr<TranscriptTexts> texts;  // the sections of every language, read on demand
  std::unique_ptr<Slides_cls> slides;
  std::unique_ptr<Anns_cls> anns;
  std::unique_ptr<Trans_cls> trans;
  QString details;  // every line followed by CR LF

  // Each cue's section in one language, or nothing where that language lacks it: a language
  // keeps its own sections, rather than the next language's text moving up.
  std::vector<std::optional<QString>> SectionTexts(int language) const;
};

// What a program does while a presentation is read. Every call has a default that does nothing.
class PresentationListener : public TimelineSink {
 public:
  // A file (or the transcripts folder, with no stream) is about to be read from mediumPath.
  virtual void Reading(const QString& mediumPath, const medium::TextStream* stream) {
    (void)mediumPath;
    (void)stream;
  }
  virtual void SettingsRead(const Settings& settings) { (void)settings; }
  virtual void LanguagesListed(const LanguageList& languages) { (void)languages; }
  // The timeline has been read and closed; the lists are complete.
  virtual void TimelineRead(const LoadedPresentation& presentation) { (void)presentation; }
  virtual void DetailsRead(const QString& text) { (void)text; }
  // Once true, no further step is taken (a player whose window was closed during a message).
  virtual bool Stopped() const { return false; }

  void AddSlideTitle(const QString&) override {}
  void SlideAppended(const Slide_cls&, int16_t) override {}
};

class PresentationLoader {
 public:
  // Where the sections of the transcripts come from; by default a TranscriptIndex.
  using TranscriptSource = std::function<std::unique_ptr<TranscriptTexts>(
      const QString& transcriptsFolder, const QStringList& languages)>;

  PresentationLoader(const layout::MediumLayout& medium, medium::Reporter& reporter,
                     PresentationListener& listener);
  void SetTranscriptSource(TranscriptSource source) { source_ = std::move(source); }

  // Reads the presentation in folder of the medium. Every step that fails is reported and the
  // next one taken; a step never throws out of here.
  void Load(const QString& folder, LoadedPresentation& out);

 private:
  template <class StepFn>
  bool Step(StepFn&& step);

  layout::MediumLayout medium_;
  medium::Reporter& reporter_;
  PresentationListener& listener_;
  TranscriptSource source_;
  medium::TextStream stream_;
};

// Reads a presentation with no one listening and nothing reported: for programs that only keep
// what can be read (the exporter, the library). The checker names the problems.
LoadedPresentation LoadPresentation(const layout::MediumLayout& medium, const QString& folder);
