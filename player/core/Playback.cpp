#include "player/core/Playback.h"

#include <cmath>
#include <utility>

#include "medium/Convert.h"
#include "medium/Error.h"
#include "player/media/MediaEngine.h"

namespace {

// The one binary search of the three lists. The middle is rounded half to even and equality is
// tried first, so among equal times the probe order decides which entry is found; stored
// presentations were made against exactly this order.
template <class List, class TimeOf>
int16_t Lookup(const List& list, int16_t lo, int16_t hi, double target, TimeOf timeOf) {
  const auto mid = static_cast<int16_t>(medium::RoundHalfEven(lo + (hi - lo) / 2.0));
  const double t = timeOf(list.Item(mid));
  if (t == target) return mid;
  if (target < t) {
    if (lo < mid) return Lookup(list, lo, static_cast<int16_t>(mid - 1), target, timeOf);
    return static_cast<int16_t>(mid - 1);
  }
  if (mid < hi) return Lookup(list, static_cast<int16_t>(mid + 1), hi, target, timeOf);
  return hi;
}

}  // namespace

int16_t FindSlideIndex(const Slides_cls& slides, int16_t lo, int16_t hi, double target) {
  return Lookup(slides.Slides, lo, hi, target, [](const Slide_cls& s) { return s.SlideTime; });
}

int16_t FindAnnIndex(const Anns_cls& anns, int16_t lo, int16_t hi, double target) {
  return Lookup(anns.Anns, lo, hi, target, [](const Ann_cls& a) { return a.AnnTime; });
}

int16_t FindTranIndex(const Trans_cls& trans, int16_t lo, int16_t hi, double target) {
  return Lookup(trans.Trans, lo, hi, target, [](const Tran_cls& t) { return t.TranTime; });
}

Playback::Playback(const Slides_cls& slides, const Anns_cls& anns, const Trans_cls& trans,
                   int16_t slideMode, MediaEngine& engine, PlayingState& state,
                   const SlideRenderer& renderer)
    : slides_(slides),
      anns_(anns),
      trans_(trans),
      slideMode_(slideMode),
      engine_(engine),
      state_(state),
      renderer_(renderer) {}

void Playback::Tick() {
  if (stopped_) return;
  double position = -1;
  try {
    position = engine_.GetPositionMs();
  } catch (const medium::AppError&) {
    return;  // the engine could not say; the next tick asks again
  }
  // No recording open yet (negative), or no usable answer at all.
  if (!(position >= 0) || !std::isfinite(position)) return;
  if (tickFilter_) position = tickFilter_(position);
  SyncToPosition(position);
}

void Playback::SyncToPosition(double position) {
  const OneBasedList<Tran_cls>& cues = trans_.Trans;
  if (!cues.IsEmpty()) {
    const int16_t t = FindTranIndex(trans_, 1, cues.Count(), position);
    // At the very start the box is empty. Before the first cue, without a language or without
    // the section in that language there is nothing to show either.
    QString text;
    if (position > 0 && t >= 1) {
      const OneBasedList<QString>& languages = cues.Item(t).Languages;
      const int entry = state_.Language() + 1;
      if (entry >= 1 && entry <= languages.Count()) text = languages.Item(entry);
    }
    state_.ShowTranscript(text, t);
  }

  // One still picture: nothing slide-related changes.
  state_.SetSlideCount(slides_.Slides.Count());
  if (slideMode_ != 2 && !slides_.Slides.IsEmpty()) {
    const int16_t s = FindSlideIndex(slides_, 1, slides_.Slides.Count(), position);
    if (s < 1) {
      ShowNoSlide();  // a seek back before the first slide
    } else {
      const Slide_cls& slide = slides_.Slides.Item(s);
      // The range starts at the slide's own index and ends at the last mark at or before the
      // slide's start time; stored presentations are laid out for exactly this range.
      int16_t a = 0;
      if (!anns_.Anns.IsEmpty()) a = FindAnnIndex(anns_, 1, anns_.Anns.Count(), slide.SlideTime);
      state_.ShowSlide(s, s, a, renderer_.AtOwnSize(s, s, a), slide.SlideName);
      state_.MoveHighlight(s);
    }
  }
  state_.Publish();
}

void Playback::JumpToSlide(int n) {
  if (stopped_ || n < 1 || n > slides_.Slides.Count()) return;  // button 0 of an empty strip
  try {
    engine_.Play();
    engine_.SeekMs(slides_.Slides.Item(n).SlideTime);
  } catch (const medium::AppError&) {
    return;  // the engine did not follow; leave everything as it was
  }
  ShowSlideDirectly(n);
  state_.MoveHighlight(n);
  state_.Publish();
  if (jumpListener_) jumpListener_(slides_.Slides.Item(n).SlideTime);
}

void Playback::SeekToSlide(int n) {
  if (stopped_ || n < 1 || n > slides_.Slides.Count()) return;
  try {
    engine_.SeekMs(slides_.Slides.Item(n).SlideTime);  // no Play: the play state stays
  } catch (const medium::AppError&) {
    return;
  }
  ShowSlideDirectly(n);
  state_.Publish();
  if (jumpListener_) jumpListener_(slides_.Slides.Item(n).SlideTime);
}

void Playback::Stop() {
  stopped_ = true;
}

void Playback::ShowSlideDirectly(int n) {
  // The marks come back with the next tick, which reloads the same picture.
  state_.SetSlideCount(slides_.Slides.Count());
  state_.ShowSlide(n, n, n - 1, renderer_.AtOwnSize(n, n, n - 1), slides_.Slides.Item(n).SlideName);
}

void Playback::ShowNoSlide() {
  if (state_.Slide() == 0) return;  // start-up's state is still on screen
  state_.ShowSlide(0, 1, 0, QImage(), QString());
  state_.MoveHighlight(0);
}
