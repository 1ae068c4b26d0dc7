#pragma once
// What start-up does to the player's window, step by step as the presentation is read: each call
// is one start-up step under the report-and-continue rule, so the window only does what it is
// told. After start-up the window follows the playing state instead.

#include <QImage>
#include <QString>
#include <QStringList>

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

// The thumbnail strip, grown one slide at a time (n counts from 0: button Command1(n)).
class StripSteps {
 public:
  virtual ~StripSteps() = default;
  virtual void WidenStrip() = 0;
  virtual void AddThumbnailButton(int n) = 0;  // takes button 0's picture and size
  virtual void PlaceThumbnailAfterPrevious(int n) = 0;
  virtual void SizeThumbnailAsPrevious(int n) = 0;
  virtual void ShowThumbnailButton(int n) = 0;
  virtual void SetThumbnailPicture(int n, const QImage& picture) = 0;
  virtual void ExtendStripScrollBar() = 0;  // one more step for each slide beyond five
};

class StartupView {
 public:
  virtual ~StartupView() = default;
  virtual void SetUserDefinedText(const QString& text) = 0;               // UserDef1_txt
  virtual void ShowStillPicture(const QImage& picture) = 0;               // Slide_img, SlideMode 2
  virtual void ShowAudioPicture(const QImage& picture) = 0;               // Audio_img, MediaMode 2
  virtual void SetLanguages(const QStringList& names, int selected) = 0;  // Transcript_cmb
  virtual void AddSlideTitle(const QString& title) = 0;                   // Slides_cmb
  virtual StripSteps& Strip() = 0;
  virtual void Apply(StartupChange change) = 0;
  virtual void SetDetailsText(const QString& text) = 0;  // every line followed by CR LF
  virtual void ShowWindow() = 0;
  virtual void FocusSlidePicture() = 0;
  // The program has ended (the window closed, or a handler failed) with this exit code.
  virtual void ProgramEnded(int code) = 0;
};
