#pragma once
// A talk in colours: every slide one flat colour, and a recording whose picture turns that colour
// at the slide's time, so that two pixels tell when the slide and when the frame that carries
// its change are on screen (the benches that read the screen, and the tests that a seek lands on
// its slide's frame). The recordings are made by ffmpeg (through the sample generator's tool
// runner) when the test or bench runs; the times of the frames are read back from the file with
// ffprobe, so that everything is measured against the recording's own time stamps.

#include <QList>
#include <QRgb>
#include <QString>

class TempMedium;

// Slide k (from 1) and its stretch of the picture are kTalkColours[(k - 1) % 6].
extern const QList<QRgb> kTalkColours;

enum class TalkFormat {
  Wmv,  // Windows Media Video 8 with Windows Media Audio 2 (44.1 kHz), as Tavisco plays it
  Rm,   // RealVideo 2 with RealAudio 1.0 (14.4, 8 kHz), as Norvanta plays it
};

struct ColourRecording {
  // Time stamps in the file (ms) of the frames at which the picture changes colour: the first
  // frame of each slide's stretch, slide 1 first.
  QList<double> changeMs;
  // The file's own start (ms) as ffprobe reads it.
  double startMs = 0;
  QString error;  // empty when the recording was made
};

// Writes a recording of `slides` stretches of slideMs each (320 x 240, 25 frames a second, a
// tone for its sound) to nativePath, a key frame at every change.
ColourRecording MakeColourRecording(const QString& nativePath, TalkFormat format, int slides,
                                    int slideMs);

// The presentation Data/<folder>: its settings (a slide show with video), a timeline with slide k
// at slideTimes[k - 1], a slide picture and a thumbnail per slide in its colour, details, (when
// cues > 0) a transcript of that many sections in English, and marks spread over the slides.
void WriteColourPresentation(TempMedium& medium, const QString& folder,
                             const QList<double>& slideTimes, int cues = 0, int marks = 0);
