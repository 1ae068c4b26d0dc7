#pragma once
// What ffmpeg writes to standard error while it transcodes, told apart line by line: its progress,
// what a decoder met (damage in the recording, as the checker's decoding finds it), what the
// demultiplexer says of the container (a remark on a trailing index, say: the export's own reading
// of the packets judges the container, as --check does), and the rest (the output side).

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <vector>

namespace exporter {

enum class FfmpegLineKind { Progress, Decoding, Container, Other };

// Who may speak in the log of one transcoding: the input's demultiplexer ("rm", "asf") and the
// decoders of its streams ("cook", "real_144", "wmv2"). Without decoders, every voice but the
// demultiplexer's is taken for a decoder's.
struct FfmpegLogSources {
  QString demuxer;
  QStringList decoders;
};

struct FfmpegLine {
  FfmpegLineKind kind = FfmpegLineKind::Other;
  QByteArray text;
};

// The parts of one line of standard error. Mostly one; two when a log line landed behind a
// progress line before its line end (ffmpeg writes both to standard error, each through its own
// buffer).
std::vector<FfmpegLine> ClassifyFfmpegLine(const QByteArray& line, const FfmpegLogSources& sources);

}  // namespace exporter
