#pragma once
// What the sample medium says: the presenting company, the slide deck, the presentations
// with their timelines, transcripts and details. Everything here is fixed, so every run writes
// the same medium.

#include <QString>
#include <QStringList>
#include <vector>

namespace sample {

struct DeckSlide {
  QString title;
  QStringList bullets;
};

struct Deck {
  QString folder;                 // below \Slides\, shared by every presentation that shows it
  QString caption;                // the footer line of every slide
  std::vector<DeckSlide> slides;  // slide k is entry k - 1
};

struct SlideLine {
  int timeMs = 0;
  int number = 0;  // slide number within the deck
};

// A text mark (position, colour and text) or a shape mark (shape, style, rectangle written
// horizontal first, colour).
struct AnnotationLine {
  enum Kind { kText = 2, kShape = 3 };
  int timeMs = 0;
  Kind kind = kText;
  int x = 0, y = 0, width = 0, height = 0;  // twips of the slide picture
  int shape = 0, style = 0;
  int red = 0, green = 0, blue = 0;
  QString text;
};

struct SpokenPart {
  QString voice;  // espeak-ng voice name
  QString text;
};

struct TranscriptSection {
  QStringList texts;               // one per language of the presentation, in its language order
  std::vector<SpokenPart> speech;  // what the recording says while the section is shown
};

struct CueLine {
  int timeMs = 0;
  int section = 0;  // number of the section, from 1
};

struct Presentation {
  QString name;    // as the launcher lists it
  QString folder;  // below Data, Images and Media

  int slideMode = 0;  // 2: one still picture instead of the slide show
  int mediaMode = 0;  // 2: audio-only recording
  bool flag = true;
  QString userText;  // the free text line of the window

  QString deck;  // deck folder the slide lines name
  std::vector<SlideLine> slides;
  std::vector<AnnotationLine> annotations;
  std::vector<CueLine> cues;
  QStringList languages;  // transcript file names without ".html"
  QString transcriptTitle;
  std::vector<TranscriptSection> sections;  // section n is entry n - 1
  QStringList details;

  int durationMs = 0;     // length of the recording
  bool hasVideo = false;  // media.wmv and a video track in media.rm
  bool withWma = true;    // a media.wma too (Tavisco then plays it rather than the media.wmv)

  // Start of cue i's stretch of the recording and its end (the next cue or the end).
  int CueEndMs(size_t i) const;
  int SlideEndMs(size_t i) const;
};

struct SampleContent {
  QString company;
  Deck deck;
  std::vector<Presentation> presentations;
};

const SampleContent& Content();

// The lines of each text file, before encoding.
QStringList ConfigLines(const SampleContent& content);
QStringList DatabaseLines(const Presentation& p);
QStringList EventsLines(const Presentation& p, const Deck& deck);
QStringList TranscriptLines(const Presentation& p, int language);
QStringList DetailsLines(const Presentation& p);

}  // namespace sample
