#pragma once
// One run of a player: the presentation read from the medium, its settings, the transcript texts,
// the engine, playback and the playing state that every view follows. The session runs the
// start-up steps in their order against the window through StartupView; afterwards the window
// and the windows beside it follow the playing state, and their handlers come back here with
// what the user chose. Nothing here is a widget, and tests drive a session without a window.

#include <QImage>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <memory>

#include "medium/PlayerBuild.h"
#include "medium/Report.h"
#include "player/core/Playback.h"
#include "player/core/PlayingState.h"
#include "player/core/SessionProfile.h"
#include "player/core/SlideRenderer.h"
#include "player/core/StartupView.h"
#include "player/core/SyncDriver.h"
#include "presentation/MediumLayout.h"
#include "presentation/Model.h"
#include "presentation/PresentationLoader.h"
#include "presentation/Readers.h"

class MediaEngine;
class QWidget;

class PlayerSession : private PresentationListener {
 public:
  using EngineFactory = std::function<std::unique_ptr<MediaEngine>(QWidget* parent)>;
  using TranscriptSourceFactory = PresentationLoader::TranscriptSource;

  // The engine is made at once by factory (with parent as its control's parent); a factory that
  // fails leaves an engine whose every call fails, and start-up reports those calls.
  PlayerSession(const SessionProfile& profile, medium::Reporter& reporter, StartupView& view,
                const EngineFactory& factory, QWidget* parent, QString argumentText);
  ~PlayerSession() override;

  // The benchmark replaces the indexed transcripts with another source.
  void SetTranscriptSourceFactory(TranscriptSourceFactory factory);
  // The clock of the on-time sync (tests pass a fake one); before Start.
  void SetSyncClock(std::unique_ptr<SyncClock> clock) { clock_ = std::move(clock); }

  // Where the recording is to start (--at), in ms; before Start. The window shows that moment's
  // slide, title, highlight and transcript section when it first appears.
  void SetStartPosition(double ms) { startMs_ = ms; }
  // Start-up: reads the presentation, shapes the window and starts the recording; shows the
  // window at the step the build says. Runs once. The engine loads and opens the recording behind
  // the window; the window shows the moment the recording starts from (its first slide) at once.
  void Start();

  // What the window's handlers ask for. Outside start-up an error in them is shown with its
  // number and description and ends the program.
  void Tick();
  void JumpToSlide(int n);  // a thumbnail (from 1): Play, seek, show it at once
  void SeekToSlide(int n);  // a title of the slide list: seek without Play, show it at once
  void ChooseLanguage(int position, const QString& name);  // the transcript's language
  // Plays from a moment chosen outside the designed window (a transcript section): as a thumbnail
  // click, Play and a seek, and everything shown for that moment at once.
  void PlayFrom(double ms);
  // The keyboard's actions. An engine that fails leaves everything as it was.
  void TogglePlay();
  void SeekBy(double ms);     // from the position, held to the recording
  void StepSlide(int delta);  // as a click on that slide's thumbnail
  void FirstSlide();
  void ChangeVolume(int delta);
  void ToggleMute();
  void ChangeSpeed(double delta);  // held to kMinSpeed .. kMaxSpeed
  void SetSpeed(double speed);

  template <class Handler>
  void RunHandler(Handler&& handler) {
    if (ended_) return;
    if (!medium::RunWithLastResort(reporter_, std::forward<Handler>(handler))) End(1);
  }
  // Ends the program at once: no engine call, nothing saved, no tick afterwards.
  void End(int code);

  MediaEngine& Engine() { return *engine_; }
  bool Ended() const { return ended_; }
  int ExitCode() const { return exitCode_; }
  // The on-time sync; null until start-up has finished. The program asks it whether start-up
  // finished (--at plays from its moment only then), the end-to-end tests watch it follow the
  // engine's playing and speed, and the sync benchmark stops it to measure the tick alone.
  SyncDriver* Sync() const { return driver_.get(); }
  // What is shown now; the views follow it.
  PlayingState& State() { return state_; }
  // The model; null until start-up has made the lists.
  const Slides_cls* SlidesList() const { return presentation_.slides.get(); }
  const Anns_cls* AnnsList() const { return presentation_.anns.get(); }
  const Trans_cls* TransList() const { return presentation_.trans.get(); }
  // The thumbnail of slide n (from 1), read from the medium again; throws when it cannot be.
  QImage ThumbnailPicture(int n) const;
  // details.txt exactly as read (every line followed by CR LF).
  const QString& DetailsText() const { return presentation_.details; }

  QString PresFolder;
  int16_t SlideMode = 0;
  int16_t MediaMode = 0;

 private:
  template <class StepFn>
  void Step(StepFn&& step) {
    if (ended_) return;  // the window was closed while a message waited
    medium::ReportAndContinue(reporter_, std::forward<StepFn>(step));
  }
  void StartRecording();
  void StartSync();
  // The window takes shape as the presentation is read: pictures after the settings, the
  // language list, the slide list and the thumbnail strip with every slide line, the parts the
  // presentation lacks hidden once the timeline is read, then the details.
  void SettingsRead(const Settings& settings) override;
  void LanguagesListed(const LanguageList& languages) override;
  void AddSlideTitle(const QString& title) override;
  void SlideAppended(const Slide_cls& slide, int16_t k) override;
  void TimelineRead(const LoadedPresentation& presentation) override;
  void DetailsRead(const QString& text) override;
  bool Stopped() const override { return ended_; }

  // Passes messages on until the program has ended; a window closed while start-up waited on a
  // message shows no further ones.
  class EndAwareReporter : public medium::Reporter {
   public:
    EndAwareReporter(medium::Reporter& target, const bool& ended)
        : Reporter(target.Title()), target_(target), ended_(ended) {}
    void Show(const medium::Message& message) override {
      if (!ended_) target_.Show(message);
    }
    void BeginStartup() override { target_.BeginStartup(); }
    void EndStartup() override { target_.EndStartup(); }

   private:
    medium::Reporter& target_;
    const bool& ended_;
  };

  const SessionProfile profile_;
  layout::MediumLayout medium_ = layout::Current();
  bool ended_ = false;
  EndAwareReporter reporter_;
  StartupView& view_;
  QString argumentText_;
  std::unique_ptr<MediaEngine> engine_;
  TranscriptSourceFactory transcriptFactory_;
  LoadedPresentation presentation_;
  PlayingState state_;
  std::unique_ptr<SlideRenderer> renderer_;
  std::unique_ptr<Playback> playback_;
  std::unique_ptr<SyncClock> clock_;
  std::unique_ptr<SyncDriver> driver_;
  bool loaded_ = false;
  bool startupFinished_ = false;
  double startMs_ = 0;
  int exitCode_ = 0;
};
