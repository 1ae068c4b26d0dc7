#pragma once
// The recordings are made by the command-line tools Debian ships: espeak-ng speaks the
// narration (a tone stands in when it is missing) and ffmpeg encodes the Windows Media and
// RealMedia files. Each tool is called with an argument list, never through a shell.

#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

#include "tools/SampleContent.h"

namespace sample {

struct Toolset {
  QString ffmpeg;  // full path; required
  QString espeak;  // full path, or empty: the narration becomes a tone
};

// Looks the tools up on PATH; raises GeneratorError when ffmpeg is not there.
Toolset FindTools();

// Runs a program and waits for it; raises GeneratorError naming the tool, what it was doing
// and the end of its error output when it cannot start, fails or takes too long.
void RunTool(const QString& program, const QStringList& arguments, const QString& doing,
             int timeoutMs = 120000);

// Length of a PCM WAV file in milliseconds; raises GeneratorError when it is not one.
int WavDurationMs(const QString& nativePath);

// One stretch of the recording: from startMs to endMs, saying the parts one after another.
struct NarrationSegment {
  int startMs = 0;
  int endMs = 0;
  std::vector<SpokenPart> speech;
};
// The stretches of a presentation, one per transcript cue, covering the whole recording.
std::vector<NarrationSegment> NarrationSegments(const Presentation& p);

// Writes the whole narration of the segments as one 22050 Hz mono WAV of exactly the
// recording's length, into workFolder. Speech that would overrun its segment is spoken faster.
QString MakeNarration(const Toolset& tools, const std::vector<NarrationSegment>& segments,
                      int durationMs, const QString& workFolder, const QString& stem);

// A still-picture slideshow: picture i is shown from its start for its duration.
struct VideoStill {
  QString picture;  // native path of a 472 x 360 JPEG
  int durationMs = 0;
};
// The recordings below mediaFolder: media.wmv when stills are given, media.wma when withWma,
// and media.rm.
void EncodeRecordings(const Toolset& tools, const std::vector<VideoStill>& stills,
                      const QString& narrationWav, int durationMs, bool withWma,
                      const QString& mediaFolder);

// ffmpeg's RealMedia muxer stamps every RealAudio 14.4 packet with time 0 and, for a file
// without video, writes a duration of 0, so players cannot tell where playback stands. This
// stamps each audio packet with its true time (the codec's constant rate) and sets the
// durations. Files whose audio is already stamped are left as they are. Raises GeneratorError
// when the file is not RealMedia as ffmpeg writes it.
void RepairRealMediaTimes(const QString& nativePath);

}  // namespace sample
