#pragma once
// The recording leaves the medium through FFmpeg: the ffmpeg and ffprobe programs, run as our
// children (jobs/ToolRunner), their progress read from a pipe. Programs rather than the
// libraries: the distribution's ffmpeg keeps its codecs current with security fixes, a crash on a
// damaged recording takes only that process down, and a cancel is a kill.

#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>
#include <optional>
#include <vector>

#include "checker/RecordingCheck.h"
#include "jobs/ToolRunner.h"

namespace exporter {

// One sound track of a recording: a talk may carry its interpretation beside it.
struct AudioTrack {
  QString language;  // BCP 47 ("en", "fr") from the language the recording names; "und": none
  QString label;     // for a chooser: the language's name in English, else "Sound <n>"
};

struct MediaInfo {
  double durationS = 0;   // 0 when the container does not say
  bool hasVideo = false;  // a real picture stream, not a cover picture
  int width = 0;
  int height = 0;
  std::vector<AudioTrack> audioTracks;  // in the recording's order; every one is kept
  // Who speaks in ffmpeg's log while it reads the recording: the demultiplexer ("rm") and the
  // decoders of its sound and picture streams ("cook", "wmv2").
  QString demuxer;
  QStringList decoders;
};

// A language as a recording names it ("eng", "fre", "en-us", ...) as a BCP 47 tag and a name
// for people; nothing when it names none that is known.
std::optional<AudioTrack> RecordingLanguage(const QString& tag);

// Asks ffprobe about a native path; nothing (with the reason in *error) when it cannot read it or
// a set cancel flag stopped it.
std::optional<MediaInfo> ProbeMedia(const jobs::FfmpegTools& tools, const QString& path,
                                    QString* error, const std::atomic<bool>* cancel = nullptr);

// The output a recording becomes: its file name in the package and the ffmpeg arguments after
// the input (codecs, faststart). A video becomes H.264 + AAC in MP4, sound alone AAC in M4A;
// every sound track is kept, with its language.
QString OutputFileName(const MediaInfo& info);
QStringList EncodingArguments(const MediaInfo& info);

struct TranscodeResult {
  bool ok = false;
  bool cancelled = false;
  QString error;  // ffmpeg's last words when it failed
  // Where ffmpeg's decoders met errors: between the output times it had reached just before and
  // just after (within a second or so of the place in the recording), joined as the checker
  // joins damaged stretches. What the demultiplexer says of the container is not counted here:
  // the export's reading of the packets judges the container, as the checker does.
  std::vector<checker::Stretch> damaged;
  QStringList errorLines;  // the first of ffmpeg's error lines of any kind, for its words
};

// Runs ffmpeg from input to output (native paths), calling progress with each new percentage.
// A set cancel flag kills ffmpeg within a fraction of a second; the caller removes the output.
TranscodeResult Transcode(const jobs::FfmpegTools& tools, const QString& input,
                          const QString& output, const MediaInfo& info,
                          const std::function<void(int)>& progress,
                          const std::atomic<bool>* cancel);

}  // namespace exporter
