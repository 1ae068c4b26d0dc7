#include "exporter/FfmpegLog.h"

namespace exporter {

namespace {

// A line of "-progress": key=value, the key in lower case letters, digits and '_'.
bool IsProgressLine(const QByteArray& line) {
  const qsizetype eq = line.indexOf('=');
  if (eq <= 0) return false;
  for (qsizetype i = 0; i < eq; ++i) {
    const char c = line.at(i);
    if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_')) return false;
  }
  return true;
}

// Where a log line with its context begins: "[name @ 0x...]"; -1 when nowhere.
qsizetype LogPrefixAt(const QByteArray& line, qsizetype from) {
  for (qsizetype at = line.indexOf('[', from); at >= 0; at = line.indexOf('[', at + 1)) {
    const qsizetype close = line.indexOf(']', at);
    const qsizetype address = line.indexOf(" @ 0x", at);
    if (close > 0 && address > at && address < close) return at;
  }
  return -1;
}

// The context a log line names, without what newer ffmpeg programs put before it
// ("in#0/rm", "aist#0:0/cook", "dec:cook").
QString ContextName(const QByteArray& line) {
  const qsizetype address = line.indexOf(" @ 0x");
  QString name = QString::fromLatin1(line.mid(1, address - 1));
  const qsizetype slash = name.lastIndexOf(u'/');
  if (slash >= 0) name = name.mid(slash + 1);
  if (name.startsWith(QLatin1String("dec:"))) name = name.mid(4);
  return name;
}

FfmpegLineKind KindOfLog(const QByteArray& line, const FfmpegLogSources& sources) {
  if (line.startsWith('[')) {
    const QString name = ContextName(line);
    if (!sources.demuxer.isEmpty() && name == sources.demuxer) return FfmpegLineKind::Container;
    // Without the decoders' names every other voice is taken for one: damage is never missed.
    if (sources.decoders.isEmpty() || sources.decoders.contains(name)) {
      return FfmpegLineKind::Decoding;
    }
    return FfmpegLineKind::Other;
  }
  // ffmpeg's own words on a packet its decoder refused.
  if (line.startsWith("Error while decoding stream") || line.startsWith("corrupt decoded frame")) {
    return FfmpegLineKind::Decoding;
  }
  return FfmpegLineKind::Other;
}

}  // namespace

std::vector<FfmpegLine> ClassifyFfmpegLine(const QByteArray& line,
                                           const FfmpegLogSources& sources) {
  std::vector<FfmpegLine> parts;
  if (line.trimmed().isEmpty()) return parts;
  if (IsProgressLine(line)) {
    const qsizetype log = LogPrefixAt(line, line.indexOf('='));
    if (log < 0) return {FfmpegLine{FfmpegLineKind::Progress, line}};
    parts.push_back(FfmpegLine{FfmpegLineKind::Progress, line.left(log)});
    const QByteArray rest = line.mid(log);
    parts.push_back(FfmpegLine{KindOfLog(rest, sources), rest});
    return parts;
  }
  parts.push_back(FfmpegLine{KindOfLog(line, sources), line});
  return parts;
}

}  // namespace exporter
