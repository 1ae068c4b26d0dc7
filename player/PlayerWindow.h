#pragma once
// The player window (WinMedia_frm in Tavisco, RealMedia_frm in Norvanta): every control of the
// layout. Its session reads the presentation and runs start-up against it; the window shows what
// it is told and hands its handlers on. Window children are placed in
// pixels; the thumbnail strip's frames and their children keep their places in twips (the
// properties LeftTwips, TopTwips, WidthTwips and HeightTwips), shown at twips / 15.

#include <QAbstractButton>
#include <QImage>
#include <QPointer>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "medium/Report.h"
#include "player/BuildProfile.h"
#include "player/Playback.h"
#include "player/PlayerKeys.h"
#include "player/PlayerSession.h"

class LargeSlideView;
class MediaEngine;
class QAccessibleEvent;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QScrollBar;
class QTimer;
class TranscriptWindow;

// A picture box: shows its picture unscaled from the top-left corner on its background colour.
class PictureArea : public QWidget {
  Q_OBJECT
 public:
  PictureArea(const QColor& background, QWidget* parent);
  void SetPicture(const QImage& picture);
  const QImage& Picture() const { return picture_; }

 signals:
  void doubleClicked();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  QColor background_;
  QImage picture_;
};

// A graphical button of the Command1 array: its picture centred on a raised face, no caption.
class ThumbnailButton : public QAbstractButton {
  Q_OBJECT
 public:
  ThumbnailButton(int index, QWidget* parent);
  int Index() const { return index_; }
  void SetPicture(const QImage& picture);
  const QImage& Picture() const { return picture_; }

 signals:
  // The arrows, Home and End move through the strip; the window moves the focus.
  void moveFocus(int index, int key);
  void focused(int index);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;

 private:
  int index_;
  QImage picture_;
};

// Shape1: a rectangle outline, two pixels wide, no fill; clicks go through it.
class OutlineShape : public QWidget {
  Q_OBJECT
 public:
  OutlineShape(const QColor& colour, int penPixels, QWidget* parent);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QColor colour_;
  int pen_;
};

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
  void Form_Load() { session_->Form_Load(); }
  // The handlers.
  void Timer1_Timer() { session_->Timer1_Timer(); }
  void Command1_Click(int16_t index) { session_->Command1_Click(index); }
  void Slides_cmb_Click() { session_->Slides_cmb_Click(); }
  void HScroll1_Change();
  // Ends the program at once: no engine call, nothing saved, no tick afterwards.
  void Form_Unload() { session_->End(0); }

  // The key table; other windows of the player hand their unused keys to HandleKey and add
  // their own keys to Keys().
  PlayerKeys& Keys() { return keys_; }
  bool HandleKey(QKeyEvent* event);
  // The small window listing the keys (F1 or ?); null until first asked for.
  void ShowKeyHelp();
  KeyHelpWindow* KeyHelp() const { return keyHelp_; }
  // Where the announcement of a slide change goes: to screen readers through Qt's
  // accessibility, which drops it where no platform accessibility is active (tests listen here).
  static void (*AnnounceAccessibility)(QAccessibleEvent* event);
  // Scrolls the strip so that thumbnail index is wholly visible (nothing when it already is).
  void EnsureThumbnailVisible(int index);

  const BuildProfile& Profile() const { return profile_; }
  int ThumbnailCount() const { return int(buttons_.size()); }
  ThumbnailButton* Thumbnail(int index) const;
  float InnerFrameLeftTwips() const { return innerLeftTwips_; }
  float InnerFrameWidthTwips() const { return innerWidthTwips_; }
  float HighlightLeftTwips() const { return highlightLeftTwips_; }
  // The window's client height in twips (9195 as designed).
  int HeightTwips() const;
  QImage SlideImage() const;
  QImage AudioImage() const;

  // The windows beside the designed one: the slide enlarged, and the whole transcript. Each
  // opens (or comes to the front) on the player's screen and follows playback.
  void OpenLargeSlideView();
  void OpenTranscriptWindow();
  void OpenTranscriptSearch();
  LargeSlideView* LargeView() const { return largeView_; }
  TranscriptWindow* Transcript() const { return transcriptWindow_; }

  // PlayerView
  int SelectedLanguage() const override;
  void SetTranscriptText(const QString& text) override;
  void SetSlidePicture(const QImage& picture) override;
  void SetSlideTitle(const QString& title) override;
  void SetHighlightLeft(float twips) override;
  float ThumbnailWidthTwips() const override;
  int SlidesListSelection() const override;
  void ClearSlidesListSelection() override;
  void SlideShown(int n, int firstMark, int lastMark) override;
  void CueShown(int k) override;
  void CurrentSlideChanged(int n, int count, const QString& title) override;

  // StartupView
  void SetUserDefinedText(const QString& text) override;
  void ShowStillPicture(const QImage& picture) override;
  void ShowAudioPicture(const QImage& picture) override;
  void SetLanguages(const QStringList& names, int selected) override;
  void AddSlideTitle(const QString& title) override;
  void WidenStrip() override;
  void AddThumbnailButton(int n) override;
  void PlaceThumbnailAfterPrevious(int n) override;
  void SizeThumbnailAsPrevious(int n) override;
  void ShowThumbnailButton(int n) override;
  void SetThumbnailPicture(int n, const QImage& picture) override;
  void ExtendStripScrollBar() override;
  void Apply(StartupChange change) override;
  void SetDetailsText(const QString& text) override;
  void ShowWindow() override;
  void FocusSlidePicture() override;
  void ProgramEnded(int code) override;

 signals:
  // The program ends with this exit code (closing the window, or an error outside start-up).
  void programEnded(int code);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildControls();
  void NameControls();
  void NameThumbnail(int index);
  void MoveThumbnailFocus(int index, int key);
  void ApplyTabOrder();
  ThumbnailButton* NewThumbnailButton(int index);
  void AddViewButtons();
  void AddViewKeys();  // F, T and Ctrl+F, in the key table and its list
  void CloseViews();

  const BuildProfile& profile_;
  QImage background_;
  bool centred_ = false;
  float innerLeftTwips_ = 0;
  float innerWidthTwips_ = 1515;
  float highlightLeftTwips_ = 100;
  // What the designed window shows now, for a view opened later: slide, marks, cue.
  int shownSlide_ = 0;
  int shownFirstMark_ = 1;
  int shownLastMark_ = 0;
  int shownCue_ = 0;
  QImage stillPicture_;
  LargeSlideView* largeView_ = nullptr;
  TranscriptWindow* transcriptWindow_ = nullptr;

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
  std::vector<ThumbnailButton*> buttons_;  // Command1(0), Command1(1), ...
  PlayerKeys keys_;
  QPointer<KeyHelpWindow> keyHelp_;
  // Last: the session's engine control is a child of the window and goes before the controls.
  std::unique_ptr<PlayerSession> session_;
};
