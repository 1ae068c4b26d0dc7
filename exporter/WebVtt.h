#pragma once
// WebVTT files for the exported page: the slide titles as chapters and one file per transcript
// language. Texts arrive already decoded from the medium's Windows-1252 into QString and leave
// as UTF-8.

#include <QByteArray>
#include <QString>
#include <optional>
#include <vector>

namespace exporter {

struct VttCue {
  double startMs = 0;
  double endMs = 0;
  QString text;
};

// "HH:MM:SS.mmm", the milliseconds rounded to the nearest one; hours grow beyond two digits when
// they must. Negative times count as 0.
QString FormatVttTime(double ms);

// Cue text as plain text: "&", "<" and ">" become entities, so markup from the medium is shown as
// written (the player never interpreted it either) and no "-->" can end up in a payload. Line
// breaks would end the cue, so each becomes a blank.
QString EscapeVttText(const QString& text);

// A timed entry of the timeline: its moment and its text, nothing when it has no text in this
// file (a transcript section missing in one language).
struct TimedText {
  double timeMs = 0;
  std::optional<QString> text;
};

// One cue per entry that has a text, from its moment to the next entry's (whether or not that one
// has a text), the last one to endMs. A cue that would not last (the next entry at the same
// moment or earlier) is left out: nothing would ever show it.
std::vector<VttCue> CuesFromTimeline(const std::vector<TimedText>& entries, double endMs);

// The whole file, UTF-8, "WEBVTT" header, cues numbered from 1.
QByteArray WriteVtt(const std::vector<VttCue>& cues);

}  // namespace exporter
