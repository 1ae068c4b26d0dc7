#include "player/Playback.h"

#include "presentation/MediumLayout.h"

#include <cmath>
#include <utility>

#include "medium/Convert.h"
#include "medium/Error.h"
#include "medium/Paths.h"
#include "medium/Picture.h"
#include "player/Annotations.h"
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

float HighlightLeft(float thumbnailWidthTwips, int n) {
  return (thumbnailWidthTwips + 50.0f) * static_cast<float>(n - 1) + 100.0f;
}

Playback::Playback(const Slides_cls& slides, const Anns_cls& anns, const Trans_cls& trans,
                   int16_t slideMode, MediaEngine& engine, PlayerView& view, PictureLoader loader)
    : slides_(slides),
      anns_(anns),
      trans_(trans),
      slideMode_(slideMode),
      engine_(engine),
      view_(view),
      loader_(loader ? std::move(loader) : PictureLoader(&medium::LoadPicture)) {}

void Playback::Timer1_Timer() {
  if (unloaded_) return;
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
      const int entry = view_.SelectedLanguage() + 1;
      if (entry >= 1 && entry <= languages.Count()) text = languages.Item(entry);
    }
    view_.SetTranscriptText(text);
    view_.CueShown(t);
  }

  if (slideMode_ == 2) return;  // one still picture: nothing slide-related changes

  if (slides_.Slides.IsEmpty()) return;
  const int16_t s = FindSlideIndex(slides_, 1, slides_.Slides.Count(), position);
  if (s < 1) {
    ShowNoSlide();  // a seek back before the first slide
    return;
  }
  const Slide_cls& slide = slides_.Slides.Item(s);

  // The range starts at the slide's own index and ends at the last mark at or before the slide's
  // start time; stored presentations are laid out for exactly this range.
  int16_t a = 0;
  if (!anns_.Anns.IsEmpty()) a = FindAnnIndex(anns_, 1, anns_.Anns.Count(), slide.SlideTime);

  QImage canvas;
  if (LoadSlideCanvas(s, &canvas)) DrawAnnotationRange(canvas, anns_, s, a);
  view_.SetSlidePicture(canvas);
  view_.SlideShown(s, s, a);
  view_.SetSlideTitle(slide.SlideName);
  MoveHighlight(s);
  NoteShownSlide(s);
}

void Playback::Command1_Click(int16_t index) {
  if (unloaded_) return;
  const int n = index + 1;
  if (n < 1 || n > slides_.Slides.Count()) return;  // button 0 of an empty strip
  try {
    engine_.Play();
    engine_.SeekMs(slides_.Slides.Item(n).SlideTime);
  } catch (const medium::AppError&) {
    return;  // the engine did not follow; leave the window as it was
  }
  ShowSlideDirectly(n);
  MoveHighlight(n);
  if (jumpListener_) jumpListener_(slides_.Slides.Item(n).SlideTime);
}

void Playback::Slides_cmb_Click() {
  // Clearing the selection below fires this handler once more; that click stops at once.
  if (unloaded_ || inListClick_) return;
  const int n = view_.SlidesListSelection() + 1;
  if (n < 1) return;
  struct Reentry {
    bool& flag;
    ~Reentry() { flag = false; }
  } reentry{inListClick_};
  inListClick_ = true;
  if (n <= slides_.Slides.Count()) {
    bool moved = true;
    try {
      engine_.SeekMs(slides_.Slides.Item(n).SlideTime);  // no Play: the play state stays
    } catch (const medium::AppError&) {
      moved = false;
    }
    if (moved) {
      ShowSlideDirectly(n);
      if (jumpListener_) jumpListener_(slides_.Slides.Item(n).SlideTime);
    }
  }
  // The list never keeps a selection, so that choosing the same title again jumps again; this
  // holds even when the engine failed, or the title could not be chosen a second time.
  view_.ClearSlidesListSelection();
}

void Playback::Form_Unload() {
  unloaded_ = true;
}

void Playback::ShowSlideDirectly(int n) {
  // The marks come back with the next tick, which reloads the same picture.
  QImage canvas;
  LoadSlideCanvas(n, &canvas);
  view_.SetSlidePicture(canvas);
  view_.SlideShown(n, n, n - 1);
  view_.SetSlideTitle(slides_.Slides.Item(n).SlideName);
  NoteShownSlide(n);
}

void Playback::ShowNoSlide() {
  if (shownSlide_ == 0) return;  // start-up's state is still on screen
  view_.SetSlidePicture(QImage());
  view_.SetSlideTitle(QString());
  view_.SetHighlightLeft(kDesignedHighlightLeftTwips);
  view_.SlideShown(0, 1, 0);  // the other views of the slide leave it too
  NoteShownSlide(0);
}

void Playback::NoteShownSlide(int n) {
  if (n == shownSlide_) return;
  shownSlide_ = n;
  view_.CurrentSlideChanged(n, slides_.Slides.Count(),
                            n >= 1 ? slides_.Slides.Item(n).SlideName : QString());
}

bool Playback::LoadSlideCanvas(int n, QImage* canvas) {
  QString path;
  QString reason;
  try {
    path = layout::SlidePicturePath(slides_.Slides.Item(n));
    const QImage picture = loader_(path);
    if (!picture.isNull()) {
      *canvas = SlideCanvas(picture);
      return true;
    }
    reason = QStringLiteral("Invalid picture: %1").arg(medium::NativePath(path));
  } catch (const medium::AppError& e) {
    reason = e.description();
  }
  // One damaged file on an old disc must not end the presentation; a tick comes every second,
  // so no message box either.
  *canvas = MissingSlidePicture(medium::NativePath(path), reason);
  return false;
}

void Playback::MoveHighlight(int n) {
  view_.SetHighlightLeft(HighlightLeft(view_.ThumbnailWidthTwips(), n));
}
