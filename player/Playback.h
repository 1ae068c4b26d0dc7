#pragma once
// What the player does while the recording plays: the once-a-second tick that brings transcript,
// slide picture, marks, title and thumbnail highlight in line with the position, and the two
// ways of jumping to a slide. Every tick works everything out afresh; the only thing kept is
// which slide the window shows, so that a slide change can be announced and a seek back before
// the first slide can take it away again. The window supplies its controls through PlayerView.

#include <QImage>
#include <QString>
#include <cstdint>
#include <functional>

#include "presentation/Model.h"

class MediaEngine;

// The controls of the player window that playback reads and writes.
class PlayerView {
 public:
  virtual ~PlayerView() = default;
  virtual int SelectedLanguage() const = 0;                 // Transcript_cmb position, -1: none
  virtual void SetTranscriptText(const QString& text) = 0;  // Trans_txt
  virtual void SetSlidePicture(const QImage& picture) = 0;  // Slide_img, marks already drawn
  virtual void SetSlideTitle(const QString& title) = 0;     // Slide_txt caption
  virtual void SetHighlightLeft(float twips) = 0;           // Shape1 left edge
  virtual float ThumbnailWidthTwips() const = 0;            // width of thumbnail button 0
  virtual int SlidesListSelection() const = 0;              // Slides_cmb position, -1: none
  virtual void ClearSlidesListSelection() = 0;              // a real list fires its click again
  // Slide n (from 1) was just put in Slide_img with marks firstMark..lastMark (none when
  // lastMark < firstMark), so that other views of the slide can follow; n is 0 when a seek back
  // before the first slide has emptied Slide_img again.
  virtual void SlideShown(int /*n*/, int /*firstMark*/, int /*lastMark*/) {}
  // The transcript box was just set for cue k (from 1; 0 before the first cue).
  virtual void CueShown(int /*k*/) {}
  // The slide on screen has become slide n of count (0: none, as at start-up), for screen
  // readers and the strip that follows it.
  virtual void CurrentSlideChanged(int n, int count, const QString& title) {
    (void)n;
    (void)count;
    (void)title;
  }
};

// Shape1's designed left edge, where start-up leaves it.
inline constexpr float kDesignedHighlightLeftTwips = 100.0f;

// Timer1 ticks once a second from the window's creation and is never slowed down.
inline constexpr int kTimer1IntervalMs = 1000;

// Loads a picture from a medium-form path; throws medium::AppError when it is missing or cannot
// be decoded (medium::LoadPicture is the real one).
using PictureLoader = std::function<QImage(const QString& mediumPath)>;

class Playback {
 public:
  // An empty loader means medium::LoadPicture.
  Playback(const Slides_cls& slides, const Anns_cls& anns, const Trans_cls& trans,
           int16_t slideMode, MediaEngine& engine, PlayerView& view, PictureLoader loader = {});

  // Reads the position and brings the window in line with it. A failing engine makes the tick
  // do nothing; the next one tries again.
  void Timer1_Timer();
  void SyncToPosition(double position);
  // Thumbnail button index (from 0): plays from that slide's time and shows it at once.
  void Command1_Click(int16_t index);
  // A choice in the slide list: seeks to that slide's time without Play and shows it at once.
  void Slides_cmb_Click();
  // The window is closing: from now on no tick or click does anything, and the engine is not
  // called. The window ends the program right after.
  void Form_Unload();
  bool Unloaded() const { return unloaded_; }

  // The tick's position passes through this (the on-time sync keeps it from lagging behind).
  void SetTickPositionFilter(std::function<double(double)> filter) {
    tickFilter_ = std::move(filter);
  }
  // Told after a jump has moved the recording to ms.
  void SetJumpListener(std::function<void(double ms)> listener) {
    jumpListener_ = std::move(listener);
  }
  // The slide on screen (from 1), 0 when none is.
  int ShownSlide() const { return shownSlide_; }
  int SlideCount() const { return slides_.Slides.Count(); }

 private:
  // Slide n (from 1) in Slide_img and Slide_txt without its marks; a jump shows it at once.
  void ShowSlideDirectly(int n);
  // The picture of slide n on a drawable canvas, or a placeholder naming the file when it cannot
  // be loaded (then false).
  bool LoadSlideCanvas(int n, QImage* canvas);
  void MoveHighlight(int n);
  // Before the first slide the window shows what start-up left: no picture, no title and the
  // highlight at its designed place.
  void ShowNoSlide();
  void NoteShownSlide(int n);

  const Slides_cls& slides_;
  const Anns_cls& anns_;
  const Trans_cls& trans_;
  const int16_t slideMode_;
  MediaEngine& engine_;
  PlayerView& view_;
  PictureLoader loader_;
  bool inListClick_ = false;
  bool unloaded_ = false;
  int shownSlide_ = 0;
  std::function<double(double)> tickFilter_;
  std::function<void(double)> jumpListener_;
};

// Left edge of Shape1 for slide n (from 1), in twips: (W + 50) * (n - 1) + 100 in single
// precision, W being the width of thumbnail button 0.
float HighlightLeft(float thumbnailWidthTwips, int n);

// The binary search over one timeline list (index of the last entry at or before target, 0 before
// the first; the probe order decides among equal times).
int16_t FindSlideIndex(const Slides_cls& slides, int16_t lo, int16_t hi, double target);
int16_t FindAnnIndex(const Anns_cls& anns, int16_t lo, int16_t hi, double target);
int16_t FindTranIndex(const Trans_cls& trans, int16_t lo, int16_t hi, double target);
