#pragma once
// One run of a player: the presentation read from the medium, its settings, the transcript texts,
// the engine and playback. The session runs the start-up steps in their order against the window
// through StartupView, so the window only builds its controls, shows what it is told and hands its
// handlers on; nothing here is a widget, and tests drive a session without a window.

#include <QImage>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <memory>

#include "medium/Report.h"
#include "player/BuildProfile.h"
#include "player/Playback.h"
#include "player/SyncDriver.h"
#include "presentation/Model.h"
#include "presentation/PresentationLoader.h"
#include "presentation/Readers.h"

class MediaEngine;
class QWidget;

// What start-up changes in the window besides pictures and texts, each one step of its own.
enum class StartupChange {
  HideTransTxt,       // no transcript
  HideTranscriptCmb,  //
  HideSlideTxt,       // one still picture: no slide title, list or strip
  HideSlidesCmb,      //
  HideOuterFrame,     //
  HideHScroll1,       //
  ShrinkWindow,       // neither: the window loses its lower part
  MoveUserDef1Up,     //
};

// The player window as start-up and playback see it.
class StartupView : public PlayerView {
 public:
  virtual void SetUserDefinedText(const QString& text) = 0;               // UserDef1_txt
  virtual void ShowStillPicture(const QImage& picture) = 0;               // Slide_img, SlideMode 2
  virtual void ShowAudioPicture(const QImage& picture) = 0;               // Audio_img, MediaMode 2
  virtual void SetLanguages(const QStringList& names, int selected) = 0;  // Transcript_cmb
  virtual void AddSlideTitle(const QString& title) = 0;                   // Slides_cmb
  // The thumbnail strip, one slide at a time (n counts from 0: button Command1(n)).
  virtual void WidenStrip() = 0;
  virtual void AddThumbnailButton(int n) = 0;  // takes button 0's picture and size
  virtual void PlaceThumbnailAfterPrevious(int n) = 0;
  virtual void SizeThumbnailAsPrevious(int n) = 0;
  virtual void ShowThumbnailButton(int n) = 0;
  virtual void SetThumbnailPicture(int n, const QImage& picture) = 0;
  virtual void ExtendStripScrollBar() = 0;  // one more step for each slide beyond five
  virtual void Apply(StartupChange change) = 0;
  virtual void SetDetailsText(const QString& text) = 0;  // every line followed by CR LF
  virtual void ShowWindow() = 0;
  virtual void FocusSlidePicture() = 0;
  // The program has ended (the window closed, or a handler failed) with this exit code.
  virtual void ProgramEnded(int code) = 0;
};

class PlayerSession : private PresentationListener {
 public:
  using EngineFactory = std::function<std::unique_ptr<MediaEngine>(QWidget* parent)>;
  using TranscriptSourceFactory = PresentationLoader::TranscriptSource;

  // The engine is made at once by factory (with parent as its control's parent); a factory that
  // fails leaves an engine whose every call fails, and start-up reports those calls.
  PlayerSession(const BuildProfile& profile, medium::Reporter& reporter, StartupView& view,
                const EngineFactory& factory, QWidget* parent, QString argumentText);
  ~PlayerSession() override;

  // The benchmark replaces the indexed transcripts with another source.
  void SetTranscriptSourceFactory(TranscriptSourceFactory factory);
  // The clock of the on-time sync (tests pass a fake one); before Form_Load.
  void SetSyncClock(std::unique_ptr<SyncClock> clock) { clock_ = std::move(clock); }
  // How playback loads slide pictures (empty: from the medium).
  void SetPictureLoader(PictureLoader loader) { pictureLoader_ = std::move(loader); }

  // Start-up: reads the presentation, shapes the window and starts the recording; shows the
  // window at the step the build says. Runs once.
  void Form_Load();

  // The handlers. Outside start-up an error in them is shown with its number and description and
  // ends the program.
  void Timer1_Timer();
  void Command1_Click(int16_t index);
  void Slides_cmb_Click();
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
  void ChangeSpeed(double delta);  // held to 0.5 .. 2
  void SetSpeed(double speed);
  static constexpr double kMinSpeed = 0.5;
  static constexpr double kMaxSpeed = 2.0;

  template <class Handler>
  void RunHandler(Handler&& handler) {
    if (ended_) return;
    if (!medium::RunWithLastResort(reporter_, std::forward<Handler>(handler))) End(1);
  }
  // Ends the program at once: no engine call, nothing saved, no tick afterwards.
  void End(int code);

  const BuildProfile& Profile() const { return profile_; }
  MediaEngine& Engine() { return *engine_; }
  bool StartupFinished() const { return startupFinished_; }
  bool Ended() const { return ended_; }
  int ExitCode() const { return exitCode_; }
  // Null until start-up has finished.
  SyncDriver* Sync() const { return driver_.get(); }
  const Playback* PlaybackCore() const { return playback_.get(); }
  // The model; null until start-up has made the lists.
  const Slides_cls* SlidesList() const { return presentation_.slides.get(); }
  const Anns_cls* AnnsList() const { return presentation_.anns.get(); }
  const Trans_cls* TransList() const { return presentation_.trans.get(); }
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

  const BuildProfile& profile_;
  bool ended_ = false;
  EndAwareReporter reporter_;
  StartupView& view_;
  QString argumentText_;
  std::unique_ptr<MediaEngine> engine_;
  TranscriptSourceFactory transcriptFactory_;
  PictureLoader pictureLoader_;
  LoadedPresentation presentation_;
  std::unique_ptr<Playback> playback_;
  std::unique_ptr<SyncClock> clock_;
  std::unique_ptr<SyncDriver> driver_;
  bool loaded_ = false;
  bool startupFinished_ = false;
  int exitCode_ = 0;
};
