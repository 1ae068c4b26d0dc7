#pragma once
// A view of the playing state that records every write, in the order the player window shows
// them: the transcript, the picture, the title, the highlight (as twips of the strip's rule).

#include <QImage>
#include <QObject>
#include <QString>
#include <QStringList>

#include "player/core/PlayingState.h"

class FakeView {
 public:
  explicit FakeView(PlayingState& state) : state_(state) {
    QObject::connect(&state, &PlayingState::changed, [this](PlayingState::Parts parts) {
      if (parts & PlayingState::Transcript) {
        calls << QStringLiteral("Transcript ") + state_.TranscriptText();
        transcript = state_.TranscriptText();
        // The notifications for the other views of the slide and the transcript, apart from
        // the writes so that the lists of writes stay as they are.
        shown << QStringLiteral("Cue %1").arg(state_.Cue());
      }
      if (parts & PlayingState::Picture) {
        calls << QStringLiteral("Picture");
        picture = state_.SlidePicture();
        ++pictures;
        shown << QStringLiteral("Slide %1 %2 %3")
                     .arg(state_.Slide())
                     .arg(state_.FirstMark())
                     .arg(state_.LastMark());
      }
      if (parts & PlayingState::Title) {
        calls << QStringLiteral("Title ") + state_.SlideTitle();
        title = state_.SlideTitle();
      }
      if (parts & PlayingState::Highlight) {
        highlight = HighlightLeft(thumbnailWidth, state_.HighlightSlide());
        calls << QStringLiteral("Highlight %1").arg(highlight);
      }
    });
  }

  float thumbnailWidth = 1215.0f;

  QStringList calls;
  QStringList shown;
  QString transcript = QStringLiteral("<untouched>");
  QString title = QStringLiteral("<untouched>");
  float highlight = -1.0f;
  QImage picture;
  int pictures = 0;

 private:
  PlayingState& state_;
};
