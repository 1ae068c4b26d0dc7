#include "player/SideWindows.h"

#include <QKeyEvent>
#include <QStyle>
#include <QWidget>

#include "player/LargeSlideView.h"
#include "player/PlayerKeys.h"
#include "player/TranscriptWindow.h"
#include "player/core/PlayerSession.h"
#include "player/media/ControlPanel.h"

SideWindows::SideWindows(QWidget* player, PlayerSession& session, PlayerKeys& keys,
                         std::function<bool(QKeyEvent*)> handleKey)
    : QObject(player),
      player_(player),
      session_(session),
      keys_(keys),
      handleKey_(std::move(handleKey)) {
  AddButtons();
  AddKeys();
}

void SideWindows::AddButtons() {
  QWidget* engine = session_.Engine().Widget();
  ControlPanel* panel = engine ? engine->findChild<ControlPanel*>() : nullptr;
  if (!panel) return;
  panel->AddToolButton(
      tr("Large slide view (F)"), tr("Large slide view"), [this] { OpenLargeSlideView(); },
      player_->style()->standardIcon(QStyle::SP_TitleBarMaxButton));
  panel->AddToolButton(
      tr("Transcript (T)"), tr("Transcript window"), [this] { OpenTranscriptWindow(); },
      player_->style()->standardIcon(QStyle::SP_FileDialogDetailedView));
}

void SideWindows::AddKeys() {
  keys_.Add({Qt::Key_F}, QStringLiteral("F"), QStringLiteral("large slide view"),
            [this] { OpenLargeSlideView(); });
  keys_.Add({Qt::Key_T}, QStringLiteral("T"), QStringLiteral("transcript window"),
            [this] { OpenTranscriptWindow(); });
  keys_.Add(
      {Qt::Key_F}, QStringLiteral("Ctrl+F"), QStringLiteral("search the transcript"),
      [this] { OpenTranscriptSearch(); }, Qt::ControlModifier);
}

void SideWindows::OpenLargeSlideView() {
  if (session_.Ended()) return;
  const PlayingState& state = session_.State();
  if (!largeView_) {
    largeView_ = new LargeSlideView(player_);
    // The player's keys work in the view as in the player window.
    largeView_->SetKeyForwarder([this](QKeyEvent* event) {
      if (!handleKey_(event)) event->ignore();
    });
    largeView_->Follow(state);
  }
  largeView_->SetPresentation(session_.SlidesList(), session_.AnnsList());
  if (state.Slide() > 0)
    largeView_->ShowSlide(state.Slide(), state.FirstMark(), state.LastMark());
  else if (!stillPicture_.isNull())
    largeView_->ShowPicture(stillPicture_, QString());
  largeView_->OpenBeside(player_);
}

void SideWindows::OpenTranscriptWindow() {
  if (session_.Ended()) return;
  const PlayingState& state = session_.State();
  if (!transcriptWindow_) {
    transcriptWindow_ = new TranscriptWindow(player_);
    connect(transcriptWindow_, &TranscriptWindow::playFrom, this,
            [this](int, double ms) { session_.PlayFrom(ms); });
    transcriptWindow_->Follow(state);
  }
  transcriptWindow_->SetTranscript(session_.TransList());
  transcriptWindow_->SetLanguage(state.Language(), state.LanguageName());
  transcriptWindow_->SetCurrentCue(state.Cue());
  transcriptWindow_->OpenBeside(player_);
}

void SideWindows::OpenTranscriptSearch() {
  OpenTranscriptWindow();
  if (transcriptWindow_) transcriptWindow_->FocusSearch();
}

void SideWindows::ShowKeyHelp() {
  if (!keyHelp_) keyHelp_ = new KeyHelpWindow(keys_, player_);
  keyHelp_->setWindowFlag(Qt::Dialog);
  keyHelp_->Refresh();
  keyHelp_->show();
  keyHelp_->raise();
  keyHelp_->activateWindow();
}

void SideWindows::CloseAll() {
  if (largeView_) largeView_->close();
  if (transcriptWindow_) transcriptWindow_->close();
}
