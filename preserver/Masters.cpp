#include "preserver/Masters.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <map>

namespace preserver {

namespace {

QString Text(const QJsonObject& o, const char* key) {
  const QJsonValue v = o.value(QLatin1String(key));
  return v.isString() ? v.toString() : v.isDouble() ? QString::number(v.toDouble()) : QString();
}

// The decoder's samples as they must be kept: integers up to 24 bits fit FLAC, wider ones and
// floating point stay PCM of their own kind. Empty when no lossless form is known here.
void ChooseAudio(const QJsonObject& stream, StreamPlan& plan) {
  const QString format = Text(stream, "sample_fmt");
  const int bits = Text(stream, "bits_per_raw_sample").toInt();
  if (format == QLatin1String("u8") || format == QLatin1String("u8p") ||
      format == QLatin1String("s16") || format == QLatin1String("s16p")) {
    plan.masterCodec = QStringLiteral("flac");
    plan.hashCodec = QStringLiteral("pcm_s16le");
  } else if (format == QLatin1String("s32") || format == QLatin1String("s32p")) {
    plan.masterCodec =
        bits > 0 && bits <= 24 ? QStringLiteral("flac") : QStringLiteral("pcm_s32le");
    plan.hashCodec = QStringLiteral("pcm_s32le");
  } else if (format == QLatin1String("flt") || format == QLatin1String("fltp")) {
    plan.masterCodec = QStringLiteral("pcm_f32le");
    plan.hashCodec = QStringLiteral("pcm_f32le");
  } else if (format == QLatin1String("dbl") || format == QLatin1String("dblp")) {
    plan.masterCodec = QStringLiteral("pcm_f64le");
    plan.hashCodec = QStringLiteral("pcm_f64le");
  }
}

}  // namespace

MasterPlan PlanMaster(const QJsonObject& probe) {
  MasterPlan plan;
  plan.durationS = Text(probe.value(QLatin1String("format")).toObject(), "duration").toDouble();
  for (const QJsonValue& v : probe.value(QLatin1String("streams")).toArray()) {
    const QJsonObject s = v.toObject();
    StreamPlan stream;
    stream.index = s.value(QLatin1String("index")).toInt();
    stream.type = Text(s, "codec_type");
    stream.codec = Text(s, "codec_name");
    const bool cover = s.value(QLatin1String("disposition"))
                           .toObject()
                           .value(QLatin1String("attached_pic"))
                           .toInt() != 0;
    const QString what =
        QStringLiteral("stream %1 (%2 %3)")
            .arg(stream.index)
            .arg(stream.type.isEmpty() ? QStringLiteral("unknown") : stream.type, stream.codec);
    if (stream.type == QLatin1String("video") && !cover) {
      stream.masterCodec = QStringLiteral("ffv1");
      stream.hashCodec = QStringLiteral("rawvideo");
    } else if (stream.type == QLatin1String("audio")) {
      ChooseAudio(s, stream);
      if (stream.masterCodec.isEmpty()) {
        plan.error = QStringLiteral("%1: samples of the format \"%2\" have no lossless form here")
                         .arg(what, Text(s, "sample_fmt"));
        return plan;
      }
    } else {
      plan.left << what + QStringLiteral(": not a picture or sound stream, not kept");
      continue;
    }
    plan.streams.push_back(stream);
  }
  if (plan.streams.empty()) plan.error = QStringLiteral("the recording holds no picture or sound");
  return plan;
}

namespace {

QStringList Maps(const MasterPlan& plan) {
  QStringList args;
  for (const StreamPlan& s : plan.streams)
    args << QStringLiteral("-map") << QStringLiteral("0:%1").arg(s.index);
  return args;
}

// Every frame as decoded: none dropped or doubled for a frame rate.
QStringList Passthrough() {
  return {QStringLiteral("-fps_mode"), QStringLiteral("passthrough")};
}

QStringList HashOutput(const MasterPlan& plan, const QString& file) {
  QStringList args = Maps(plan);
  for (size_t k = 0; k < plan.streams.size(); ++k) {
    args << QStringLiteral("-c:%1").arg(k) << plan.streams[k].hashCodec;
  }
  args << Passthrough() << QStringLiteral("-f") << QStringLiteral("streamhash")
       << QStringLiteral("-hash") << QStringLiteral("sha256") << file;
  return args;
}

}  // namespace

QStringList MasterArguments(const MasterPlan& plan, const QString& master,
                            const QString& originalHashes) {
  QStringList args = Maps(plan);
  for (size_t k = 0; k < plan.streams.size(); ++k) {
    const StreamPlan& s = plan.streams[k];
    const QString n = QString::number(k);
    args << QStringLiteral("-c:") + n << s.masterCodec;
    if (s.masterCodec == QLatin1String("ffv1")) {
      args << QStringLiteral("-level:") + n << QStringLiteral("3") << QStringLiteral("-g:") + n
           << QStringLiteral("1") << QStringLiteral("-slicecrc:") + n << QStringLiteral("1");
    }
  }
  args << Passthrough() << QStringLiteral("-f") << QStringLiteral("matroska") << master;
  args << HashOutput(plan, originalHashes);
  return args;
}

QStringList MasterHashArguments(const MasterPlan& plan, const QString& masterHashes) {
  // The master holds the planned streams alone, in order.
  MasterPlan own = plan;
  for (size_t k = 0; k < own.streams.size(); ++k) own.streams[k].index = static_cast<int>(k);
  return HashOutput(own, masterHashes);
}

namespace {

// "0,v,SHA256=..." lines by stream.
std::map<int, QByteArray> StreamHashes(const QByteArray& text) {
  std::map<int, QByteArray> out;
  for (const QByteArray& line : text.split('\n')) {
    const QByteArrayList parts = line.trimmed().split(',');
    if (parts.size() < 3 || parts[0].startsWith('#')) continue;
    bool ok = false;
    const int stream = parts[0].toInt(&ok);
    if (ok) out[stream] = parts.mid(2).join(',');
  }
  return out;
}

}  // namespace

QStringList CompareStreamHashes(const MasterPlan& plan, const QByteArray& original,
                                const QByteArray& master) {
  const std::map<int, QByteArray> a = StreamHashes(original);
  const std::map<int, QByteArray> b = StreamHashes(master);
  QStringList differences;
  for (size_t k = 0; k < plan.streams.size(); ++k) {
    const int n = static_cast<int>(k);
    const StreamPlan& s = plan.streams[k];
    const QString what =
        QStringLiteral("stream %1 (%2 %3 as %4)").arg(s.index).arg(s.type, s.codec, s.masterCodec);
    const auto x = a.find(n);
    const auto y = b.find(n);
    if (x == a.end() || y == b.end()) {
      differences << what + QStringLiteral(": no hash of its decoded %1")
                                .arg(x == a.end() ? QStringLiteral("original")
                                                  : QStringLiteral("master"));
    } else if (x->second != y->second) {
      differences << what + (s.type == QLatin1String("video")
                                 ? QStringLiteral(": decoded pictures differ")
                                 : QStringLiteral(": decoded samples differ"));
    }
  }
  if (b.size() > plan.streams.size()) {
    differences << QStringLiteral("the master holds %1 streams, not %2")
                       .arg(b.size())
                       .arg(plan.streams.size());
  }
  return differences;
}

namespace {

QString Failure(const jobs::ToolResult& run) {
  if (run.end == jobs::ToolResult::End::NotStarted) {
    return QStringLiteral("ffmpeg could not be started (is ffmpeg installed?)");
  }
  return QStringLiteral("ffmpeg failed: %1").arg(run.LastWords());
}

QStringList Head() {
  return {QStringLiteral("-hide_banner"), QStringLiteral("-nostdin"), QStringLiteral("-loglevel"),
          QStringLiteral("error"),        QStringLiteral("-nostats"), QStringLiteral("-y")};
}

}  // namespace

MasterResult MakeMaster(const jobs::FfmpegTools& tools, const MasterPlan& plan,
                        const MasterJob& job, const std::function<void(int)>& progress,
                        const std::atomic<bool>* cancel) {
  MasterResult result;
  if (!plan.error.isEmpty()) {
    result.error = plan.error;
    return result;
  }
  QElapsedTimer clock;
  clock.start();
  // The master and the original's hashes from one decoding; then the master decoded on its own.
  QStringList first = Head();
  first << QStringLiteral("-progress") << QStringLiteral("pipe:1") << QStringLiteral("-i")
        << job.input << MasterArguments(plan, job.master, job.originalHashes);
  int last = -1;
  jobs::ToolOptions options;
  options.cancel = cancel;
  options.outputLine = [&](const QByteArray& line) {
    const std::optional<int> p = jobs::ProgressPercent(QString::fromLatin1(line), plan.durationS);
    // The master's share of the work; decoding it again for its proof is the rest.
    if (p && *p != last && *p < 100) {
      last = *p;
      if (progress) progress(*p * 9 / 10);
    }
  };
  const jobs::ToolResult made = jobs::RunTool(tools.ffmpeg, first, options);
  if (made.end == jobs::ToolResult::End::Cancelled) {
    result.cancelled = true;
    return result;
  }
  if (!made.Ok()) {
    result.error = Failure(made);
    return result;
  }
  result.made = true;
  QStringList second = Head();
  second << QStringLiteral("-i") << job.master << MasterHashArguments(plan, job.masterHashes);
  jobs::ToolOptions quiet;
  quiet.cancel = cancel;
  const jobs::ToolResult hashed = jobs::RunTool(tools.ffmpeg, second, quiet);
  if (hashed.end == jobs::ToolResult::End::Cancelled) {
    result.cancelled = true;
    return result;
  }
  if (!hashed.Ok()) {
    result.error = Failure(hashed);
    return result;
  }
  auto read = [](const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  };
  result.differences = CompareStreamHashes(plan, read(job.originalHashes), read(job.masterHashes));
  result.proved = result.differences.isEmpty();
  result.seconds = clock.nsecsElapsed() / 1e9;
  if (progress) progress(100);
  return result;
}

}  // namespace preserver
