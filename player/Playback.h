#pragma once
// What the player does while the recording plays: the once-a-second tick that brings transcript,
// slide picture, marks, title and thumbnail highlight in line with the position, and the two
// ways of jumping to a slide. It keeps no state between ticks; the window supplies its controls
// through PlayerView.

#include <QImage>
#include <QString>
#include <cstdint>

#include "player/Model.h"

class MediaEngine;

// The controls of the player window that playback reads and writes.
class PlayerView {
 public:
  virtual ~PlayerView() = default;
  virtual int SelectedLanguage() const = 0;              // Transcript_cmb position, -1: none
  virtual void SetTranscriptText(const QString& text) = 0;  // Trans_txt
  virtual void SetSlidePicture(const QImage& picture) = 0;  // Slide_img, marks already drawn
  virtual void SetSlideTitle(const QString& title) = 0;     // Slide_txt caption
  virtual void SetHighlightLeft(float twips) = 0;           // Shape1 left edge
  virtual float ThumbnailWidthTwips() const = 0;            // width of thumbnail button 0
  virtual int SlidesListSelection() const = 0;              // Slides_cmb position, -1: none
  virtual void ClearSlidesListSelection() = 0;              // a real list fires its click again
};

class Playback {
 public:
  Playback(const Slides_cls& slides, const Anns_cls& anns, const Trans_cls& trans,
           const int16_t& slideMode, MediaEngine& engine, PlayerView& view);

  void Timer1_Timer();
  void SyncToPosition(double position);
  void Command1_Click(int16_t index);
  void Slides_cmb_Click();

 private:
  const Slides_cls& slides_;
  const Anns_cls& anns_;
  const Trans_cls& trans_;
  const int16_t& slideMode_;
  MediaEngine& engine_;
  PlayerView& view_;
  bool inListClick_ = false;
};

// The binary search over one timeline list (index of the last entry at or before target, 0 before
// the first; the probe order decides among equal times).
int16_t FindSlideIndex(const Slides_cls& slides, int16_t lo, int16_t hi, double target);
int16_t FindAnnIndex(const Anns_cls& anns, int16_t lo, int16_t hi, double target);
int16_t FindTranIndex(const Trans_cls& trans, int16_t lo, int16_t hi, double target);
