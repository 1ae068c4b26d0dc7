#include "player/core/PlayingState.h"

float HighlightLeft(float thumbnailWidthTwips, int n) {
  if (n < 1) return kDesignedHighlightLeftTwips;
  return (thumbnailWidthTwips + 50.0f) * static_cast<float>(n - 1) + 100.0f;
}

PlayingState::PlayingState(QObject* parent) : QObject(parent) {}

void PlayingState::ShowTranscript(const QString& text, int cue) {
  transcriptText_ = text;
  cue_ = cue;
  pending_ |= Transcript;
}

void PlayingState::ShowSlide(int n, int firstMark, int lastMark, const QImage& picture,
                             const QString& title) {
  if (n != slide_) pending_ |= CurrentSlide;
  slide_ = n;
  firstMark_ = firstMark;
  lastMark_ = lastMark;
  picture_ = picture;
  title_ = title;
  pending_ |= Picture | Title;
}

void PlayingState::MoveHighlight(int n) {
  highlight_ = n;
  pending_ |= Highlight;
}

void PlayingState::Publish() {
  const Parts parts = pending_;
  pending_ = {};
  if (parts) emit changed(parts);
}

void PlayingState::ChooseLanguage(int position, const QString& name) {
  language_ = position;
  languageName_ = name;
  pending_ |= LanguageChosen;
  Publish();
}

void PlayingState::SetSpeed(double speed) {
  speed_ = speed;
  pending_ |= SpeedChanged;
  Publish();
}
