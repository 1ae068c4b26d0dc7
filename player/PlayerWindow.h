#pragma once
// The player window (WinMedia_frm in Tavisco, RealMedia_frm in Norvanta): every control of the
// layout, in pixels, with the thumbnail strip a class of its own (twips). Its session reads the
// presentation and runs start-up against it; afterwards the window follows the playing state and
// its handlers tell the session what the user chose. Beside it: the large slide view, the
// transcript window and the key list, each opened on demand.

#include <QImage>
#include <QWidget>
#include <cstdint>
#include <memory>

#include "medium/Report.h"
#include "player/BuildProfile.h"
#include "player/PictureArea.h"
#include "player/PlayerKeys.h"
#include "player/SideWindows.h"
#include "player/core/PlayerSession.h"

class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QScrollBar;
class QTimer;
class OutlineShape;
class ThumbnailStrip;

class PlayerWindow : public QWidget, public StartupView {
  Q_OBJECT
 public:
  using EngineFactory = PlayerSession::EngineFactory;

  // The window's session makes the engine with factory (tests pass one that makes a fake engine).
  PlayerWindow(const BuildProfile& profile, medium::Reporter& reporter,
               const EngineFactory& factory, QString argumentText, QWidget* parent = nullptr);
  ~PlayerWindow() override;

  PlayerSession& Session() { return *session_; }
  const PlayerSession& Session() const { return *session_; }

  // Start-up, as the session runs it.
  void Form_Load() { session_->Start(); }
  // The handlers.
  void Timer1_Timer() { session_->Tick(); }
  void Command1_Click(int16_t index) { session_->JumpToSlide(index + 1); }
  void Slides_cmb_Click();
  void HScroll1_Change();
  // Ends the program at once: no engine call, nothing saved, no tick afterwards.
  void Form_Unload() { session_->End(0); }

  // The key table; other windows of the player hand their unused keys to HandleKey and add
  // their own keys to Keys().
  PlayerKeys& Keys() { return keys_; }
  bool HandleKey(QKeyEvent* event);
  // The small window listing the keys (F1 or ?).
  void ShowKeyHelp() { views_->ShowKeyHelp(); }

  // The window's client height in twips (9195 as designed).
  int HeightTwips() const;

  // The windows beside the designed one: the slide enlarged, and the whole transcript. Each
  // opens (or comes to the front) on the player's screen and follows playback.
  void OpenLargeSlideView() { views_->OpenLargeSlideView(); }
  void OpenTranscriptWindow() { views_->OpenTranscriptWindow(); }
  void OpenTranscriptSearch() { views_->OpenTranscriptSearch(); }

  // StartupView
  void SetUserDefinedText(const QString& text) override;
  void ShowStillPicture(const QImage& picture) override;
  void ShowAudioPicture(const QImage& picture) override;
  void SetLanguages(const QStringList& names, int selected) override;
  void AddSlideTitle(const QString& title) override;
  StripSteps& Strip() override;
  void Apply(StartupChange change) override;
  void SetDetailsText(const QString& text) override;
  void ShowWindow() override;
  void FocusSlidePicture() override;
  void ProgramEnded(int code) override;

 signals:
  // The program ends with this exit code (closing the window, or an error outside start-up).
  void programEnded(int code);
  // A slide change was said to screen readers: "Slide n of N: title", or that none is shown.
  void slideAnnounced(const QString& text);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildControls();
  void NameControls();
  void ApplyTabOrder();
  // The window's part of the playing state: transcript, picture, title, and the slide change
  // said to screen readers ("Slide n of N: title").
  void Follow(PlayingState::Parts parts);

  const BuildProfile& profile_;
  QImage background_;
  bool centred_ = false;
  ThumbnailStrip* strip_ = nullptr;
  SideWindows* views_ = nullptr;

 public:
  // The controls, named as in the layout.
  QLineEdit* UserDef1_txt = nullptr;
  QComboBox* Transcript_cmb = nullptr;
  QPlainTextEdit* Trans_txt = nullptr;
  QTimer* Timer1 = nullptr;
  PictureArea* Slide_img = nullptr;
  QPlainTextEdit* Details_txt = nullptr;
  QComboBox* Slides_cmb = nullptr;
  QFrame* OuterFrame = nullptr;
  QWidget* InnerFrame = nullptr;
  OutlineShape* Shape1 = nullptr;
  QScrollBar* HScroll1 = nullptr;
  PictureArea* Audio_img = nullptr;
  QLabel* Label2 = nullptr;
  QLabel* Label1 = nullptr;
  QLabel* Slide_txt = nullptr;

 private:
  PlayerKeys keys_;
  // Last: the session's engine control is a child of the window and goes before the controls.
  std::unique_ptr<PlayerSession> session_;
};
