#include "exporter/Transcoder.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <cmath>

namespace exporter {

std::optional<MediaInfo> ProbeMedia(const FfmpegTools& tools, const QString& path, QString* error,
                                    const std::atomic<bool>* cancel) {
  ToolOptions options;
  options.cancel = cancel;
  options.timeoutMs = 60000;
  const ToolResult run =
      RunTool(tools.ffprobe,
              {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
               QStringLiteral("format=duration:stream=codec_type,width,height:"
                              "stream_disposition=attached_pic"),
               QStringLiteral("-of"), QStringLiteral("json"), QStringLiteral("--"), path},
              options);
  switch (run.end) {
    case ToolResult::End::NotStarted:
      if (error) *error = QStringLiteral("ffprobe could not be started (is ffmpeg installed?)");
      return std::nullopt;
    case ToolResult::End::Cancelled:
      if (error) *error = QStringLiteral("cancelled");
      return std::nullopt;
    default:
      break;
  }
  if (!run.Ok()) {
    if (error)
      *error = QStringLiteral("ffprobe cannot read the recording: %1").arg(run.LastWords());
    return std::nullopt;
  }
  const QJsonObject root = QJsonDocument::fromJson(run.output).object();
  MediaInfo info;
  info.durationS = root.value(QLatin1String("format"))
                       .toObject()
                       .value(QLatin1String("duration"))
                       .toString()
                       .toDouble();
  bool hasAudio = false;
  for (const QJsonValue& v : root.value(QLatin1String("streams")).toArray()) {
    const QJsonObject s = v.toObject();
    const QString type = s.value(QLatin1String("codec_type")).toString();
    const bool cover = s.value(QLatin1String("disposition"))
                           .toObject()
                           .value(QLatin1String("attached_pic"))
                           .toInt() != 0;
    if (type == QLatin1String("video") && !cover && !info.hasVideo) {
      info.hasVideo = true;
      info.width = s.value(QLatin1String("width")).toInt();
      info.height = s.value(QLatin1String("height")).toInt();
    }
    if (type == QLatin1String("audio")) hasAudio = true;
  }
  if (!info.hasVideo && !hasAudio) {
    if (error) *error = QStringLiteral("the recording holds neither sound nor picture");
    return std::nullopt;
  }
  return info;
}

QString OutputFileName(const MediaInfo& info) {
  return info.hasVideo ? QStringLiteral("media.mp4") : QStringLiteral("media.m4a");
}

QStringList EncodingArguments(const MediaInfo& info) {
  // The fast AAC coder takes half the time of the default one and is transparent for speech at
  // these rates; the recordings on the discs are talks, mostly mono at 22 kHz.
  if (!info.hasVideo) {
    return {QStringLiteral("-map"),      QStringLiteral("0:a:0"),      QStringLiteral("-vn"),
            QStringLiteral("-c:a"),      QStringLiteral("aac"),        QStringLiteral("-aac_coder"),
            QStringLiteral("fast"),      QStringLiteral("-b:a"),       QStringLiteral("96k"),
            QStringLiteral("-movflags"), QStringLiteral("+faststart"), QStringLiteral("-f"),
            QStringLiteral("ipod")};
  }
  // H.264 in 4:2:0 wants even sizes; browsers play nothing else reliably.
  return {QStringLiteral("-map"),       QStringLiteral("0:v:0"),
          QStringLiteral("-map"),       QStringLiteral("0:a:0?"),
          QStringLiteral("-vf"),        QStringLiteral("scale=trunc(iw/2)*2:trunc(ih/2)*2"),
          QStringLiteral("-c:v"),       QStringLiteral("libx264"),
          QStringLiteral("-preset"),    QStringLiteral("veryfast"),
          QStringLiteral("-crf"),       QStringLiteral("23"),
          QStringLiteral("-pix_fmt"),   QStringLiteral("yuv420p"),
          QStringLiteral("-c:a"),       QStringLiteral("aac"),
          QStringLiteral("-aac_coder"), QStringLiteral("fast"),
          QStringLiteral("-b:a"),       QStringLiteral("128k"),
          QStringLiteral("-movflags"),  QStringLiteral("+faststart"),
          QStringLiteral("-f"),         QStringLiteral("mp4")};
}

std::optional<int> ProgressPercent(const QString& progressLine, double durationS) {
  // out_time_ms carries microseconds as well, an old naming slip ffmpeg keeps.
  const QString line = progressLine.trimmed();
  qsizetype eq = line.indexOf(u'=');
  if (eq < 0) return std::nullopt;
  const QStringView key = QStringView(line).left(eq);
  if (key == QLatin1String("progress") && line.mid(eq + 1) == QLatin1String("end")) return 100;
  if (key != QLatin1String("out_time_us") && key != QLatin1String("out_time_ms")) {
    return std::nullopt;
  }
  bool ok = false;
  const double us = line.mid(eq + 1).toDouble(&ok);
  if (!ok || !(durationS > 0)) return std::nullopt;
  const double percent = std::floor(us / 1e6 / durationS * 100.0);
  return static_cast<int>(std::clamp(percent, 0.0, 99.0));
}

TranscodeResult Transcode(const FfmpegTools& tools, const QString& input, const QString& output,
                          const MediaInfo& info, const std::function<void(int)>& progress,
                          const std::atomic<bool>* cancel) {
  TranscodeResult result;
  QStringList args = {QStringLiteral("-hide_banner"), QStringLiteral("-nostdin"),
                      QStringLiteral("-loglevel"),    QStringLiteral("error"),
                      QStringLiteral("-nostats"),     QStringLiteral("-progress"),
                      QStringLiteral("pipe:1"),       QStringLiteral("-y"),
                      QStringLiteral("-i"),           input};
  args << EncodingArguments(info) << output;
  int last = -1;
  ToolOptions options;
  options.cancel = cancel;
  options.outputLine = [&](const QByteArray& line) {
    const std::optional<int> p = ProgressPercent(QString::fromLatin1(line), info.durationS);
    if (p && *p != last && *p < 100) {
      last = *p;
      if (progress) progress(*p);
    }
  };
  const ToolResult run = RunTool(tools.ffmpeg, args, options);
  switch (run.end) {
    case ToolResult::End::NotStarted:
      result.error = QStringLiteral("ffmpeg could not be started (is ffmpeg installed?)");
      return result;
    case ToolResult::End::Cancelled:
      result.cancelled = true;
      return result;
    default:
      break;
  }
  if (!run.Ok()) {
    result.error = QStringLiteral("ffmpeg failed: %1").arg(run.LastWords());
    return result;
  }
  if (progress && last != 100) progress(100);
  result.ok = true;
  return result;
}

}  // namespace exporter
