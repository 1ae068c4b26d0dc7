#pragma once
// The player window's controls as playback sees them, recording every write in order.

#include <QImage>
#include <QString>
#include <QStringList>
#include <functional>

#include "player/Playback.h"

class FakeView : public PlayerView {
 public:
  int SelectedLanguage() const override { return language; }
  void SetTranscriptText(const QString& text) override {
    calls << QStringLiteral("Transcript ") + text;
    transcript = text;
  }
  void SetSlidePicture(const QImage& p) override {
    calls << QStringLiteral("Picture");
    picture = p;
    ++pictures;
  }
  void SetSlideTitle(const QString& t) override {
    calls << QStringLiteral("Title ") + t;
    title = t;
  }
  void SetHighlightLeft(float twips) override {
    calls << QStringLiteral("Highlight %1").arg(twips);
    highlight = twips;
  }
  float ThumbnailWidthTwips() const override { return thumbnailWidth; }
  int SlidesListSelection() const override { return listSelection; }
  // Like a real list: a change of selection fires the list's click once more.
  void ClearSlidesListSelection() override {
    calls << QStringLiteral("ClearSelection");
    const bool changed = listSelection != -1;
    listSelection = -1;
    if (changed && onListClick) onListClick();
  }

  // The notifications for the other views of the slide and the transcript, apart from the
  // writes so that the lists of writes stay as they are.
  void SlideShown(int n, int firstMark, int lastMark) override {
    shown << QStringLiteral("Slide %1 %2 %3").arg(n).arg(firstMark).arg(lastMark);
  }
  void CueShown(int k) override { shown << QStringLiteral("Cue %1").arg(k); }

  int language = 0;
  int listSelection = -1;
  float thumbnailWidth = 1215.0f;
  std::function<void()> onListClick;

  QStringList calls;
  QStringList shown;
  QString transcript = QStringLiteral("<untouched>");
  QString title = QStringLiteral("<untouched>");
  float highlight = -1.0f;
  QImage picture;
  int pictures = 0;
};
