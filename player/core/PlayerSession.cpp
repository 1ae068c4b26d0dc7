#include "player/core/PlayerSession.h"

#include <algorithm>
#include <cmath>

#include "medium/Error.h"
#include "medium/Paths.h"
#include "medium/Picture.h"
#include "player/media/MediaEngine.h"
#include "presentation/CommandLine.h"
#include "presentation/MediumLayout.h"

namespace {

// Stands in for an engine control that could not be created: start-up reports each call.
class MissingEngine : public MediaEngine {
 public:
  explicit MissingEngine(QString reason) : reason_(std::move(reason)) {}
  void OpenMedia(const QString&) override { Fail(); }
  void Play() override { Fail(); }
  double GetPositionMs() override { return -1; }
  void SeekMs(double) override { Fail(); }
  void ShowControlPanelOnly() override { Fail(); }
  void SetTop(int pixels) override { top_ = pixels; }
  void SetHeight(int pixels) override { height_ = pixels; }
  int Top() const override { return top_; }
  int Height() const override { return height_; }
  void SetFocus() override {}
  QWidget* Widget() override { return nullptr; }

 private:
  [[noreturn]] void Fail() const {
    throw medium::AppError(medium::kEngineFailure,
                           QStringLiteral("The media engine is not available: %1").arg(reason_));
  }
  QString reason_;
  int top_ = kEngineBox.top();
  int height_ = kEngineBox.height();
};

}  // namespace

PlayerSession::PlayerSession(const SessionProfile& profile, medium::Reporter& reporter,
                             StartupView& view, const EngineFactory& factory, QWidget* parent,
                             QString argumentText)
    : profile_(profile),
      reporter_(reporter, ended_),
      view_(view),
      argumentText_(std::move(argumentText)) {
  try {
    if (factory) engine_ = factory(parent);
  } catch (...) {
    engine_ = std::make_unique<MissingEngine>(medium::DescribeCurrentException());
  }
  if (!engine_) engine_ = std::make_unique<MissingEngine>(QStringLiteral("none"));
}

PlayerSession::~PlayerSession() {
  if (driver_) engine_->SetListener(nullptr);
  driver_.reset();
  playback_.reset();
  // The engine control is a child of the window; the binding goes first so that it can tear the
  // control down itself.
  engine_.reset();
}

void PlayerSession::SetTranscriptSourceFactory(TranscriptSourceFactory factory) {
  transcriptFactory_ = std::move(factory);
}

// ---- start-up --------------------------------------------------------------------------------

void PlayerSession::Start() {
  if (loaded_) return;
  loaded_ = true;
  reporter_.BeginStartup();
  struct StartupEnd {
    medium::Reporter& reporter;
    ~StartupEnd() { reporter.EndStartup(); }
  } startupEnd{reporter_};

  // 1. The command line; the medium is the one the program stands on, or --medium's.
  PresFolder = ReadCommandLine(argumentText_, reporter_);
  medium_ = layout::Current();

  // 2-13. The presentation's files, with the window shaped as each one arrives.
  PresentationLoader loader(medium_, reporter_, *this);
  if (transcriptFactory_) loader.SetTranscriptSource(transcriptFactory_);
  loader.Load(PresFolder, presentation_);

  // 14. The recording, in the build's order.
  if (!presentation_.slides) presentation_.slides = std::make_unique<Slides_cls>();
  if (!presentation_.trans) presentation_.trans = std::make_unique<Trans_cls>();
  if (!presentation_.anns) presentation_.anns = std::make_unique<Anns_cls>();
  renderer_ = std::make_unique<SlideRenderer>(medium_, *presentation_.slides, *presentation_.anns);
  playback_ =
      std::make_unique<Playback>(*presentation_.slides, *presentation_.anns, *presentation_.trans,
                                 SlideMode, *engine_, state_, *renderer_);
  if (profile_.showWindowBeforeMedia) Step([&] { view_.ShowWindow(); });
  StartRecording();
  if (!profile_.showWindowBeforeMedia) Step([&] { view_.ShowWindow(); });
  if (profile_.focusEngineFirst) Step([&] { engine_->SetFocus(); });
  Step([&] { view_.FocusSlidePicture(); });

  if (!ended_) {
    startupFinished_ = true;
    StartSync();
    // The engine opens the recording behind the window, which meanwhile shows the recording's
    // first moment as its first tick there will: the first slide with its title and highlight.
    RunHandler([&] { driver_->ShowStart(startMs_); });
  }
}

void PlayerSession::StartSync() {
  QList<double> times;
  const Slides_cls& slides = *presentation_.slides;
  const Anns_cls& anns = *presentation_.anns;
  const Trans_cls& trans = *presentation_.trans;
  for (int k = 1; k <= slides.Slides.Count(); ++k) times << slides.Slides.Item(k).SlideTime;
  for (int k = 1; k <= anns.Anns.Count(); ++k) times << anns.Anns.Item(k).AnnTime;
  for (int k = 1; k <= trans.Trans.Count(); ++k) times << trans.Trans.Item(k).TranTime;
  if (!clock_) clock_ = MakeEventLoopClock();
  driver_ = std::make_unique<SyncDriver>(*engine_, *clock_, times, [this](double position) {
    if (ended_ || !playback_) return;
    RunHandler([&] { playback_->SyncToPosition(position); });
  });
  driver_->SetState(&state_);
  engine_->SetListener(driver_.get());
  playback_->SetTickPositionFilter([this](double ms) { return driver_->TickPosition(ms); });
  playback_->SetJumpListener([this](double ms) { driver_->SeekedTo(ms); });
}

void PlayerSession::SettingsRead(const Settings& settings) {
  SlideMode = settings.SlideMode;
  MediaMode = settings.MediaMode;
  if (settings.UserDef1) view_.SetUserDefinedText(*settings.UserDef1);

  // 4. One still picture instead of a slide show.
  if (SlideMode == 2) {
    Step(
        [&] { view_.ShowStillPicture(medium::LoadPicture(medium_.StillPicturePath(PresFolder))); });
  }

  // 5. An audio-only recording: the engine shrinks to its control strip over the audio picture.
  if (MediaMode == 2) {
    if (profile_.controlPanelOnlyForAudio) Step([&] { engine_->ShowControlPanelOnly(); });
    Step([&] { engine_->SetTop(profile_.audioOnlyTopPx); });
    Step([&] { engine_->SetHeight(40); });
    Step(
        [&] { view_.ShowAudioPicture(medium::LoadPicture(medium_.AudioPicturePath(PresFolder))); });
  }
}

void PlayerSession::LanguagesListed(const LanguageList& languages) {
  view_.SetLanguages(languages.names, languages.selected);
  state_.ChooseLanguage(languages.selected, languages.names.value(languages.selected));
}

void PlayerSession::TimelineRead(const LoadedPresentation& presentation) {
  const bool noCues = !presentation.trans || presentation.trans->Trans.IsEmpty();
  // 10. No transcript.
  if (noCues) {
    Step([&] { view_.Apply(StartupChange::HideTransTxt); });
    Step([&] { view_.Apply(StartupChange::HideTranscriptCmb); });
  }
  // 11. One still picture: no slide title, list or strip.
  if (SlideMode == 2) {
    Step([&] { view_.Apply(StartupChange::HideSlideTxt); });
    Step([&] { view_.Apply(StartupChange::HideSlidesCmb); });
    Step([&] { view_.Apply(StartupChange::HideOuterFrame); });
    Step([&] { view_.Apply(StartupChange::HideHScroll1); });
  }
  // 12. Neither: the window loses its lower part.
  if (noCues && SlideMode == 2) {
    Step([&] { view_.Apply(StartupChange::ShrinkWindow); });
    Step([&] { view_.Apply(StartupChange::MoveUserDef1Up); });
  }
}

void PlayerSession::DetailsRead(const QString& text) {
  view_.SetDetailsText(text);
}

void PlayerSession::AddSlideTitle(const QString& title) {
  view_.AddSlideTitle(title);
}

void PlayerSession::SlideAppended(const Slide_cls& slide, int16_t k) {
  const int n = k - 1;
  Step([&] { view_.Strip().WidenStrip(); });
  if (n > 0) {
    bool added = false;
    Step([&] {
      view_.Strip().AddThumbnailButton(n);
      added = true;
    });
    if (!added) return;
    Step([&] { view_.Strip().PlaceThumbnailAfterPrevious(n); });
    Step([&] { view_.Strip().SizeThumbnailAsPrevious(n); });
    Step([&] { view_.Strip().ShowThumbnailButton(n); });
    Step([&] {
      view_.Strip().SetThumbnailPicture(n, medium::LoadPicture(medium_.ThumbnailPath(slide)));
    });
    if (n >= 5) Step([&] { view_.Strip().ExtendStripScrollBar(); });
  } else {
    Step([&] {
      view_.Strip().SetThumbnailPicture(0, medium::LoadPicture(medium_.ThumbnailPath(slide)));
    });
  }
}

QImage PlayerSession::ThumbnailPicture(int n) const {
  const Slides_cls* slides = presentation_.slides.get();
  if (!slides || n < 1 || n > slides->Slides.Count())
    throw medium::AppError(medium::kInvalidCall, QStringLiteral("No slide %1").arg(n));
  return medium::LoadPicture(medium_.ThumbnailPath(slides->Slides.Item(n)));
}

void PlayerSession::StartRecording() {
  QString path;
  Step([&] { path = medium_.RecordingPath(profile_.build, PresFolder); });
  Step([&] { engine_->OpenMedia(medium::OpenablePath(path)); });
  Step([&] { engine_->Play(); });
}

// ---- handlers --------------------------------------------------------------------------------

void PlayerSession::Tick() {
  // Ticks that come while a start-up message waits do nothing until start-up is over.
  if (!startupFinished_ || ended_ || !playback_) return;
  RunHandler([&] { playback_->Tick(); });
}

void PlayerSession::JumpToSlide(int n) {
  if (!startupFinished_ || !playback_) return;
  RunHandler([&] { playback_->JumpToSlide(n); });
}

void PlayerSession::SeekToSlide(int n) {
  if (!startupFinished_ || !playback_) return;
  RunHandler([&] { playback_->SeekToSlide(n); });
}

void PlayerSession::ChooseLanguage(int position, const QString& name) {
  // Trans_txt follows at the next tick, as the designed list has no handler; the views that
  // show the whole transcript follow at once.
  state_.ChooseLanguage(position, name);
}

void PlayerSession::PlayFrom(double ms) {
  if (!startupFinished_ || !playback_) return;
  RunHandler([&] {
    try {
      engine_->Play();
      engine_->SeekMs(ms);
    } catch (const medium::AppError&) {
      return;  // the engine did not follow; leave the window as it was
    }
    if (driver_) driver_->SeekedTo(ms);
    playback_->SyncToPosition(ms);
  });
}

// ---- keys ------------------------------------------------------------------------------------

namespace {
// Runs one engine call of a key; a failing engine changes nothing and says nothing, as a tick.
template <class Call>
bool EngineCall(Call&& call) {
  try {
    call();
    return true;
  } catch (const medium::AppError&) {
    return false;
  }
}
}  // namespace

void PlayerSession::TogglePlay() {
  if (!startupFinished_) return;
  RunHandler([&] {
    EngineCall([&] {
      if (engine_->Paused())
        engine_->Play();
      else
        engine_->Pause();
    });
  });
}

void PlayerSession::SeekBy(double ms) {
  if (!startupFinished_) return;
  RunHandler([&] {
    double position = -1;
    if (!EngineCall([&] { position = engine_->GetPositionMs(); }) || position < 0) return;
    double target = std::max(0.0, position + ms);
    const double duration = engine_->DurationMs();
    if (duration > 0) target = std::min(target, duration);
    if (EngineCall([&] { engine_->SeekMs(target); }) && driver_) driver_->SeekedTo(target);
  });
}

void PlayerSession::StepSlide(int delta) {
  if (!startupFinished_ || !playback_ || playback_->SlideCount() < 1) return;
  JumpToSlide(std::clamp(state_.Slide() + delta, 1, playback_->SlideCount()));
}

void PlayerSession::FirstSlide() {
  if (!startupFinished_ || !playback_ || playback_->SlideCount() < 1) return;
  JumpToSlide(1);
}

void PlayerSession::ChangeVolume(int delta) {
  if (!startupFinished_) return;
  RunHandler([&] {
    EngineCall([&] { engine_->SetVolume(std::clamp(engine_->Volume() + delta, 0, 100)); });
  });
}

void PlayerSession::ToggleMute() {
  if (!startupFinished_) return;
  RunHandler([&] { EngineCall([&] { engine_->SetMuted(!engine_->Muted()); }); });
}

void PlayerSession::ChangeSpeed(double delta) {
  double speed = 1.0;
  if (!EngineCall([&] { speed = engine_->Speed(); })) return;
  // Steps of a quarter from wherever the speed stands, kept on the quarter grid.
  SetSpeed(std::round((speed + delta) * 4.0) / 4.0);
}

void PlayerSession::SetSpeed(double speed) {
  if (!startupFinished_ || !std::isfinite(speed)) return;
  RunHandler(
      [&] { EngineCall([&] { engine_->SetSpeed(std::clamp(speed, kMinSpeed, kMaxSpeed)); }); });
}

void PlayerSession::End(int code) {
  if (ended_) return;
  ended_ = true;
  exitCode_ = code;
  if (driver_) driver_->Stop();
  if (playback_) playback_->Stop();
  view_.ProgramEnded(code);
}
