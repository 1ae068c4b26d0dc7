#pragma once
// What the player shows now, as one object that every view observes: the transcript section and
// its text in the chosen language, the slide with the range of its marks and the picture
// Slide_img shows, the title, the thumbnail the highlight frame marks, the speed. Playback, the
// on-time sync driver and the session write it; the player window, the thumbnail strip, the
// large slide view, the transcript window and the announcement to screen readers each follow it.
// A choice made in a view (the transcript language) comes in through a writer, never by the
// core reading a widget.
//
// The designed tick writes everything again every second, whether or not it changed, so the
// state tells the views what was written, not only what differs; each view decides what is
// worth doing again (Slide_img takes the reloaded picture, the large view keeps its rendering).

#include <QFlags>
#include <QImage>
#include <QObject>
#include <QString>

// Shape1's designed left edge, where start-up leaves it, in twips.
inline constexpr float kDesignedHighlightLeftTwips = 100.0f;

// The highlight position rule: the left edge of Shape1 for the thumbnail of slide n (from 1), in
// twips: (W + 50) * (n - 1) + 100 in single precision, W being the width of thumbnail button 0.
float HighlightLeft(float thumbnailWidthTwips, int n);

class PlayingState : public QObject {
  Q_OBJECT

 public:
  enum Part {
    Transcript = 0x01,      // TranscriptText and Cue
    Picture = 0x02,         // SlidePicture, Slide and its marks
    Title = 0x04,           // SlideTitle
    Highlight = 0x08,       // HighlightSlide
    CurrentSlide = 0x10,    // Slide became another slide (or none)
    LanguageChosen = 0x20,  // Language and LanguageName
    SpeedChanged = 0x40,    // Speed
  };
  Q_DECLARE_FLAGS(Parts, Part)

  explicit PlayingState(QObject* parent = nullptr);

  const QString& TranscriptText() const { return transcriptText_; }
  int Cue() const { return cue_; }  // from 1; 0 before the first
  // Slide_img's picture with the marks drawn; null when no slide is shown.
  const QImage& SlidePicture() const { return picture_; }
  int Slide() const { return slide_; }  // from 1; 0 when none is shown
  int SlideCount() const { return slideCount_; }
  // The marks drawn on the slide, FirstMark() to LastMark() (none when LastMark < FirstMark).
  int FirstMark() const { return firstMark_; }
  int LastMark() const { return lastMark_; }
  const QString& SlideTitle() const { return title_; }
  // The slide whose thumbnail the highlight frame marks (from 1); 0: its designed place.
  int HighlightSlide() const { return highlight_; }
  // Position in the language list (from 0; -1: none chosen) and the language's name.
  int Language() const { return language_; }
  const QString& LanguageName() const { return languageName_; }
  double Speed() const { return speed_; }

  // Writers. Each notes what it wrote; Publish() tells the views once, in one signal.
  void ShowTranscript(const QString& text, int cue);
  void ShowSlide(int n, int firstMark, int lastMark, const QImage& picture, const QString& title);
  void MoveHighlight(int n);
  void SetSlideCount(int count) { slideCount_ = count; }
  void Publish();
  // A choice of the user's, told at once.
  void ChooseLanguage(int position, const QString& name);
  void SetSpeed(double speed);

 signals:
  void changed(PlayingState::Parts parts);

 private:
  Parts pending_;
  QString transcriptText_;
  int cue_ = 0;
  QImage picture_;
  int slide_ = 0;
  int slideCount_ = 0;
  int firstMark_ = 1;
  int lastMark_ = 0;
  QString title_;
  int highlight_ = 0;
  int language_ = -1;
  QString languageName_;
  double speed_ = 1.0;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(PlayingState::Parts)
