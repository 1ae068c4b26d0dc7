#pragma once
// The player's windows as a test reaches them from outside: the thumbnail strip by its object
// name, each thumbnail through the strip's own interface, and what the transcript window shows,
// read from its widgets.

#include <QImage>
#include <QLineEdit>
#include <QTextBlock>
#include <QTextBrowser>

#include "player/PlayerWindow.h"
#include "player/ThumbnailStrip.h"
#include "player/TranscriptWindow.h"

inline ThumbnailStrip* Strip(const PlayerWindow& w) {
  return w.findChild<ThumbnailStrip*>(QStringLiteral("ThumbnailStrip"));
}
inline ThumbnailButton* Thumb(const PlayerWindow& w, int index) {
  return Strip(w)->Thumbnail(index);
}

// The text of cue k's row ("m:ss" and the text, or the note that it is missing).
inline QString RowText(const TranscriptWindow& t, int k) {
  return t.List()->document()->findBlockByNumber(k - 1).text();
}
inline QLineEdit* SearchField(const TranscriptWindow& t) {
  return t.findChild<QLineEdit*>(QStringLiteral("TranscriptSearch"));
}
// The section of match i as the list marks it (after the mark of the section being played, when
// there is one).
inline int CueOfMatch(const TranscriptWindow& t, int i) {
  const QList<QTextEdit::ExtraSelection> marks = t.List()->extraSelections();
  const int first = t.CurrentCue() >= 1 ? 1 : 0;
  return marks.value(first + i).cursor.blockNumber() + 1;
}

// Two pictures show the same, whatever format each is held in.
inline bool SamePicture(const QImage& a, const QImage& b) {
  return a.convertToFormat(QImage::Format_RGB32) == b.convertToFormat(QImage::Format_RGB32);
}
