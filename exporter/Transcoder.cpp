#include "exporter/Transcoder.h"

#include "exporter/FfmpegLog.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <algorithm>
#include <cmath>

namespace exporter {

std::optional<MediaInfo> ProbeMedia(const jobs::FfmpegTools& tools, const QString& path,
                                    QString* error, const std::atomic<bool>* cancel) {
  jobs::ToolOptions options;
  options.cancel = cancel;
  options.timeoutMs = 60000;
  const jobs::ToolResult run = jobs::RunTool(
      tools.ffprobe,
      {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
       QStringLiteral("format=duration,format_name:stream=codec_type,codec_name,width,"
                      "height:"
                      "stream_disposition=attached_pic:stream_tags=language"),
       QStringLiteral("-of"), QStringLiteral("json"), QStringLiteral("--"), path},
      options);
  switch (run.end) {
    case jobs::ToolResult::End::NotStarted:
      if (error) *error = QStringLiteral("ffprobe could not be started (is ffmpeg installed?)");
      return std::nullopt;
    case jobs::ToolResult::End::Cancelled:
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
  const QJsonObject format = root.value(QLatin1String("format")).toObject();
  info.durationS = format.value(QLatin1String("duration")).toString().toDouble();
  info.demuxer = format.value(QLatin1String("format_name")).toString();
  bool hasAudio = false;
  for (const QJsonValue& v : root.value(QLatin1String("streams")).toArray()) {
    const QJsonObject s = v.toObject();
    const QString type = s.value(QLatin1String("codec_type")).toString();
    const bool cover = s.value(QLatin1String("disposition"))
                           .toObject()
                           .value(QLatin1String("attached_pic"))
                           .toInt() != 0;
    if (type == QLatin1String("video") || type == QLatin1String("audio")) {
      const QString decoder = checker::DecoderName(s.value(QLatin1String("codec_name")).toString());
      if (!decoder.isEmpty() && !info.decoders.contains(decoder)) info.decoders << decoder;
    }
    if (type == QLatin1String("video") && !cover && !info.hasVideo) {
      info.hasVideo = true;
      info.width = s.value(QLatin1String("width")).toInt();
      info.height = s.value(QLatin1String("height")).toInt();
    }
    if (type == QLatin1String("audio")) {
      hasAudio = true;
      const QString tag =
          s.value(QLatin1String("tags")).toObject().value(QLatin1String("language")).toString();
      info.audioTracks.push_back(RecordingLanguage(tag).value_or(AudioTrack{
          QStringLiteral("und"), QStringLiteral("Sound %1").arg(info.audioTracks.size() + 1)}));
    }
  }
  if (!info.hasVideo && !hasAudio) {
    if (error) *error = QStringLiteral("the recording holds neither sound nor picture");
    return std::nullopt;
  }
  return info;
}

std::optional<AudioTrack> RecordingLanguage(const QString& tag) {
  // ASF names a language as RFC 1766 ("en-us"), which FFmpeg gives as ISO 639-2 ("eng", "fre").
  const QString code = tag.section(u'-', 0, 0).section(u'_', 0, 0).trimmed().toLower();
  if (code.isEmpty() || code == QLatin1String("und")) return std::nullopt;
  const QLocale::Language language = QLocale::codeToLanguage(code, QLocale::AnyLanguageCode);
  if (language == QLocale::AnyLanguage || language == QLocale::C) return std::nullopt;
  QString bcp47 = QLocale::languageToCode(language, QLocale::ISO639Part1);
  if (bcp47.isEmpty()) bcp47 = QLocale::languageToCode(language, QLocale::ISO639Part2T);
  return AudioTrack{bcp47, QLocale::languageToString(language)};
}

QString OutputFileName(const MediaInfo& info) {
  return info.hasVideo ? QStringLiteral("media.mp4") : QStringLiteral("media.m4a");
}

QStringList EncodingArguments(const MediaInfo& info) {
  // The fast AAC coder takes half the time of the default one and is transparent for speech at
  // these rates; the recordings on the discs are talks, mostly mono at 22 kHz.
  if (!info.hasVideo) {
    return {QStringLiteral("-map"),      QStringLiteral("0:a"),        QStringLiteral("-vn"),
            QStringLiteral("-c:a"),      QStringLiteral("aac"),        QStringLiteral("-aac_coder"),
            QStringLiteral("fast"),      QStringLiteral("-b:a"),       QStringLiteral("96k"),
            QStringLiteral("-movflags"), QStringLiteral("+faststart"), QStringLiteral("-f"),
            QStringLiteral("ipod")};
  }
  // H.264 in 4:2:0 wants even sizes; browsers play nothing else reliably.
  return {QStringLiteral("-map"),       QStringLiteral("0:v:0"),
          QStringLiteral("-map"),       QStringLiteral("0:a?"),
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

namespace {

// How often ffmpeg tells where it stands: at fifty times real time, every second of the
// recording or so, which places the errors it meets.
const QString kProgressPeriod = QStringLiteral("0.02");
constexpr int kKeptErrorLines = 20;

}  // namespace

TranscodeResult Transcode(const jobs::FfmpegTools& tools, const QString& input,
                          const QString& output, const MediaInfo& info,
                          const std::function<void(int)>& progress,
                          const std::atomic<bool>* cancel) {
  TranscodeResult result;
  // The progress goes to standard error with the errors, so that each error stands between the
  // two places ffmpeg had reached around it.
  QStringList args = {QStringLiteral("-hide_banner"),
                      QStringLiteral("-nostdin"),
                      QStringLiteral("-loglevel"),
                      QStringLiteral("error"),
                      QStringLiteral("-nostats"),
                      QStringLiteral("-progress"),
                      QStringLiteral("pipe:2"),
                      QStringLiteral("-stats_period"),
                      kProgressPeriod,
                      QStringLiteral("-y"),
                      QStringLiteral("-i"),
                      input};
  args << EncodingArguments(info) << output;
  int last = -1;
  double reached = 0;           // the output time ffmpeg had reached
  std::optional<double> since;  // errors met since the output stood here
  QByteArray lastErrors;        // the end of what ffmpeg said, for a failure
  jobs::ToolOptions options;
  options.cancel = cancel;
  const FfmpegLogSources sources{info.demuxer, info.decoders};
  auto keep = [&](const QByteArray& line) {
    lastErrors += line + '\n';
    if (lastErrors.size() > 4096) lastErrors = lastErrors.right(2048);
    if (result.errorLines.size() < kKeptErrorLines) {
      result.errorLines << QString::fromLocal8Bit(line);
    }
  };
  auto progressLine = [&](const QByteArray& line) {
    const QString text = QString::fromLatin1(line);
    if (const std::optional<double> at = jobs::ProgressSeconds(text)) {
      if (since && *at > *since) {
        checker::AddDamage(result.damaged, *since, *at);
        since.reset();
      }
      reached = std::max(reached, *at);
    }
    const std::optional<int> p = jobs::ProgressPercent(text, info.durationS);
    if (p && *p != last && *p < 100) {
      last = *p;
      if (progress) progress(*p);
    }
  };
  options.errorLine = [&](const QByteArray& line) {
    for (const FfmpegLine& part : ClassifyFfmpegLine(line, sources)) {
      switch (part.kind) {
        case FfmpegLineKind::Progress:
          progressLine(part.text);
          break;
        case FfmpegLineKind::Decoding:
          if (!since) since = reached;
          keep(part.text);
          break;
        case FfmpegLineKind::Container:
        case FfmpegLineKind::Other:
          keep(part.text);
          break;
      }
    }
  };
  const jobs::ToolResult run = jobs::RunTool(tools.ffmpeg, args, options);
  switch (run.end) {
    case jobs::ToolResult::End::NotStarted:
      result.error = QStringLiteral("ffmpeg could not be started (is ffmpeg installed?)");
      return result;
    case jobs::ToolResult::End::Cancelled:
      result.cancelled = true;
      return result;
    default:
      break;
  }
  if (since) checker::AddDamage(result.damaged, *since, std::max(reached, info.durationS));
  if (!run.Ok()) {
    QString words = QString::fromLocal8Bit(lastErrors).trimmed();
    if (words.size() > 600) words = QStringLiteral("...") + words.right(600);
    result.error = QStringLiteral("ffmpeg failed: %1").arg(words);
    return result;
  }
  if (progress && last != 100) progress(100);
  result.ok = true;
  return result;
}

}  // namespace exporter
