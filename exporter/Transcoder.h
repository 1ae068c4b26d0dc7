#pragma once
// The recording leaves the medium through FFmpeg: the ffmpeg and ffprobe programs, run as our
// children (exporter/ToolRunner), their progress read from a pipe. Programs rather than the
// libraries: the distribution's ffmpeg keeps its codecs current with security fixes, a crash on a
// damaged recording takes only that process down, and a cancel is a kill.

#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>
#include <optional>

#include "exporter/ToolRunner.h"

namespace exporter {

struct MediaInfo {
  double durationS = 0;   // 0 when the container does not say
  bool hasVideo = false;  // a real picture stream, not a cover picture
  int width = 0;
  int height = 0;
};

// Asks ffprobe about a native path; nothing (with the reason in *error) when it cannot read it or
// a set cancel flag stopped it.
std::optional<MediaInfo> ProbeMedia(const FfmpegTools& tools, const QString& path, QString* error,
                                    const std::atomic<bool>* cancel = nullptr);

// The output a recording becomes: its file name in the package and the ffmpeg arguments after
// the input (codecs, faststart). A video becomes H.264 + AAC in MP4, sound alone AAC in M4A.
QString OutputFileName(const MediaInfo& info);
QStringList EncodingArguments(const MediaInfo& info);

// The percentage 0..100 done from one "-progress" block's out_time (microseconds) and the
// duration; nothing when the line carries no time.
std::optional<int> ProgressPercent(const QString& progressLine, double durationS);

struct TranscodeResult {
  bool ok = false;
  bool cancelled = false;
  QString error;  // ffmpeg's last words when it failed
};

// Runs ffmpeg from input to output (native paths), calling progress with each new percentage.
// A set cancel flag kills ffmpeg within a fraction of a second; the caller removes the output.
TranscodeResult Transcode(const FfmpegTools& tools, const QString& input, const QString& output,
                          const MediaInfo& info, const std::function<void(int)>& progress,
                          const std::atomic<bool>* cancel);

}  // namespace exporter
