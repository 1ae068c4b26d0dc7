#pragma once
// What the player does while the recording plays: the once-a-second tick that brings transcript,
// slide picture, marks, title and thumbnail highlight in line with the position, and the two
// ways of jumping to a slide. Every tick works everything out afresh and writes it all to the
// playing state, which the views follow; the only thing kept is which slide is shown, so that a
// slide change can be announced and a seek back before the first slide can take it away again.

#include <QString>
#include <cstdint>
#include <functional>

#include "player/core/PlayingState.h"
#include "player/core/SlideRenderer.h"
#include "presentation/Model.h"

class MediaEngine;

// Timer1 ticks once a second from the window's creation and is never slowed down.
inline constexpr int kTimer1IntervalMs = 1000;

class Playback {
 public:
  Playback(const Slides_cls& slides, const Anns_cls& anns, const Trans_cls& trans,
           int16_t slideMode, MediaEngine& engine, PlayingState& state,
           const SlideRenderer& renderer);

  // Reads the position and brings everything in line with it. A failing engine makes the tick
  // do nothing; the next one tries again.
  void Tick();
  void SyncToPosition(double position);
  // Plays from slide n's time (from 1) and shows it at once with the highlight on its thumbnail,
  // as a click on that thumbnail does; nothing for a slide that does not exist.
  void JumpToSlide(int n);
  // Seeks to slide n's time without Play (the play state stays) and shows it at once, as a
  // choice in the slide list does; the highlight follows with the next tick.
  void SeekToSlide(int n);
  // The window is closing: from now on no tick or jump does anything, and the engine is not
  // called. The window ends the program right after.
  void Stop();
  bool Stopped() const { return stopped_; }

  // The tick's position passes through this (the on-time sync keeps it from lagging behind).
  void SetTickPositionFilter(std::function<double(double)> filter) {
    tickFilter_ = std::move(filter);
  }
  // Told after a jump has moved the recording to ms.
  void SetJumpListener(std::function<void(double ms)> listener) {
    jumpListener_ = std::move(listener);
  }
  int SlideCount() const { return slides_.Slides.Count(); }

 private:
  // Slide n (from 1) without its marks; a jump shows it at once, the next tick adds the marks.
  void ShowSlideDirectly(int n);
  // Before the first slide the views show what start-up left: no picture, no title and the
  // highlight at its designed place.
  void ShowNoSlide();

  const Slides_cls& slides_;
  const Anns_cls& anns_;
  const Trans_cls& trans_;
  const int16_t slideMode_;
  MediaEngine& engine_;
  PlayingState& state_;
  const SlideRenderer& renderer_;
  bool stopped_ = false;
  std::function<double(double)> tickFilter_;
  std::function<void(double)> jumpListener_;
};

// The binary search over one timeline list (index of the last entry at or before target, 0 before
// the first; the probe order decides among equal times).
int16_t FindSlideIndex(const Slides_cls& slides, int16_t lo, int16_t hi, double target);
int16_t FindAnnIndex(const Anns_cls& anns, int16_t lo, int16_t hi, double target);
int16_t FindTranIndex(const Trans_cls& trans, int16_t lo, int16_t hi, double target);
