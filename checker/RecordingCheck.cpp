#include "checker/RecordingCheck.h"

#include <QFile>
#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstring>
#include <iterator>
#include <map>
#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/avutil.h>
#include <libavutil/log.h>
}

namespace checker {
namespace {

// Decoders hide much of what they meet: they conceal a damaged frame and only say so in their
// log. The log is counted while a recording is read, and kept off the terminal.
int g_loggedErrors = 0;

void CountErrors(void*, int level, const char*, va_list) {
  if (level <= AV_LOG_ERROR) ++g_loggedErrors;
}

class LogCounter {
 public:
  LogCounter() { av_log_set_callback(&CountErrors); }
  ~LogCounter() { av_log_set_callback(&av_log_default_callback); }
  LogCounter(const LogCounter&) = delete;
  LogCounter& operator=(const LogCounter&) = delete;
};

QString AvErrorText(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  return QString::fromLocal8Bit(text);
}

struct FormatCloser {
  void operator()(AVFormatContext* f) const { avformat_close_input(&f); }
};
struct CodecFreer {
  void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct PacketFreer {
  void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct FrameFreer {
  void operator()(AVFrame* f) const { av_frame_free(&f); }
};

struct StreamState {
  std::unique_ptr<AVCodecContext, CodecFreer> codec;  // none when only packets are read
  bool read = false;                                  // a sound or picture stream
  bool audio = false;
  double end = -1;              // where the last packet of this stream ended
  double longestPacket = 0;     // the longest duration a packet of it states
  std::vector<int64_t> stamps;  // every packet's time, in the stream's time base
  double timeBase = 0;          // seconds per unit of stamps
};

// The stream's own step between two packets: the most common difference between neighbouring
// times, in the stream's time base; 0 with fewer than two packets.
int64_t UsualStep(std::vector<int64_t>& stamps) {
  std::sort(stamps.begin(), stamps.end());
  std::map<int64_t, int> counts;
  for (size_t i = 1; i < stamps.size(); ++i) {
    const int64_t step = stamps[i] - stamps[i - 1];
    if (step > 0) ++counts[step];
  }
  int64_t usual = 0;
  int most = 0;
  for (const auto& [step, count] : counts) {
    if (count > most) {
      most = count;
      usual = step;
    }
  }
  return usual;
}

// Times on the discs are rounded to the millisecond, often on both ends of a difference.
constexpr double kRoundingSeconds = 0.02;
// A gap in the pictures of more than this many steps of the stream's rate: at least two frames
// in a row are missing. A single frame left out is how encoders keep to a low bit rate.
constexpr double kMissingPictureSteps = 2.5;

// Gaps in the sound longer than this are stretches the demultiplexer had to skip.
constexpr double kAudioGapSeconds = 1.0;
// Damaged moments closer than this are one stretch.
constexpr double kJoinSeconds = 1.0;

// Decodes what the packet holds (or drains the decoder for a null packet); false when the
// decoder refused it or a frame of it.
bool Decode(AVCodecContext* codec, const AVPacket* packet, AVFrame* frame) {
  bool ok = true;
  const int sent = avcodec_send_packet(codec, packet);
  if (sent < 0 && sent != AVERROR(EAGAIN) && sent != AVERROR_EOF) ok = false;
  for (;;) {
    const int got = avcodec_receive_frame(codec, frame);
    if (got == AVERROR(EAGAIN) || got == AVERROR_EOF) break;
    if (got < 0) {
      ok = false;
      break;
    }
    av_frame_unref(frame);
  }
  return ok;
}

// The length an ASF file (.wma, .wmv) states in its file properties. FFmpeg takes it only when
// the file still has the size its header states, so a file cut short would state nothing; the
// header is read here instead. -1 when the file is no ASF or states no length.
double AsfStatedSeconds(const QString& nativePath) {
  static const uchar kHeader[16] = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                    0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
  static const uchar kFileProperties[16] = {0xA1, 0xDC, 0xAB, 0x8C, 0x47, 0xA9, 0xCF, 0x11,
                                            0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
  QFile file(nativePath);
  if (!file.open(QIODevice::ReadOnly)) return -1;
  const QByteArray head = file.read(256 * 1024);
  auto u = [&](qsizetype at) { return reinterpret_cast<const uchar*>(head.constData()) + at; };
  auto le = [&](qsizetype at, int bytes) {
    quint64 v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | u(at)[i];
    return v;
  };
  if (head.size() < 30 || std::memcmp(u(0), kHeader, 16) != 0) return -1;
  qsizetype at = 30;
  const quint64 objects = le(24, 4);
  for (quint64 k = 0; k < objects && at + 24 <= head.size(); ++k) {
    const quint64 size = le(at + 16, 8);
    if (size < 24) return -1;
    if (std::memcmp(u(at), kFileProperties, 16) == 0) {
      const qsizetype data = at + 24;
      if (data + 68 > head.size()) return -1;
      const quint64 play = le(data + 40, 8);     // 100 ns units, preroll included
      const quint64 preroll = le(data + 56, 8);  // milliseconds
      const quint64 flags = le(data + 64, 4);
      if ((flags & 1) != 0 || play == 0) return -1;  // a broadcast states no length
      return double(play) / 1e7 - double(preroll) / 1000.0;
    }
    if (size > quint64(head.size())) return -1;
    at += qsizetype(size);
  }
  return -1;
}

}  // namespace

void AddDamage(std::vector<Stretch>& damaged, double from, double to) {
  from = std::max(0.0, from);
  to = std::max(from, to);
  auto at = std::upper_bound(damaged.begin(), damaged.end(), from,
                             [](double f, const Stretch& s) { return f < s.from; });
  at = damaged.insert(at, Stretch{from, to});
  // Joins it with the stretch before and those after that it reaches.
  if (at != damaged.begin() && at->from <= std::prev(at)->to + kJoinSeconds) {
    std::prev(at)->to = std::max(std::prev(at)->to, at->to);
    at = std::prev(damaged.erase(at));
  }
  while (std::next(at) != damaged.end() && std::next(at)->from <= at->to + kJoinSeconds) {
    at->to = std::max(at->to, std::next(at)->to);
    damaged.erase(std::next(at));
  }
}

bool RecordingReading::EndsEarly() const {
  if (statedSeconds <= 0 || !openError.isEmpty()) return false;
  return readSeconds < statedSeconds - toleranceSeconds;
}

namespace {

using FormatPtr = std::unique_ptr<AVFormatContext, FormatCloser>;

// The file protocol by name, so that a colon in the path is never taken for another protocol.
FormatPtr OpenRecording(const QString& nativePath, int* rc = nullptr) {
  AVFormatContext* raw = nullptr;
  const QByteArray url = "file:" + QFile::encodeName(nativePath);
  const int opened = avformat_open_input(&raw, url.constData(), nullptr, nullptr);
  if (rc) *rc = opened;
  return FormatPtr(opened < 0 ? nullptr : raw);
}

// The header's statement; with estimate, FFmpeg's estimate from the first packets where the
// header states none.
double DurationSeconds(const QString& nativePath, bool estimate) {
  const double asf = AsfStatedSeconds(nativePath);
  if (asf >= 0) return asf;
  LogCounter quiet;
  const FormatPtr format = OpenRecording(nativePath);
  if (!format) return -1;
  if (estimate && avformat_find_stream_info(format.get(), nullptr) < 0) return -1;
  if (format->duration == AV_NOPTS_VALUE || format->duration <= 0) return -1;
  if (!estimate && format->duration_estimation_method == AVFMT_DURATION_FROM_BITRATE) return -1;
  return double(format->duration) / AV_TIME_BASE;
}

}  // namespace

double LengthSeconds(const QString& nativePath) {
  return DurationSeconds(nativePath, true);
}

RecordingReading ReadRecording(const QString& nativePath, const ReadProgress& progress,
                               const std::atomic<bool>* cancel, ReadDepth depth) {
  const bool decode = depth == ReadDepth::Decoded;
  RecordingReading result;
  LogCounter counter;

  int rc = 0;
  const FormatPtr format = OpenRecording(nativePath, &rc);
  if (!format) {
    result.openError = QStringLiteral("cannot be opened: %1").arg(AvErrorText(rc));
    return result;
  }
  rc = avformat_find_stream_info(format.get(), nullptr);
  if (rc < 0) {
    result.openError = QStringLiteral("cannot be read: %1").arg(AvErrorText(rc));
    return result;
  }
  result.statedSeconds = AsfStatedSeconds(nativePath);
  // A length estimated from the file's size and bit rate is no statement of the file's own.
  if (result.statedSeconds < 0 && format->duration != AV_NOPTS_VALUE && format->duration > 0 &&
      format->duration_estimation_method != AVFMT_DURATION_FROM_BITRATE) {
    result.statedSeconds = double(format->duration) / AV_TIME_BASE;
  }
  const double start =
      format->start_time != AV_NOPTS_VALUE ? double(format->start_time) / AV_TIME_BASE : 0.0;

  std::vector<StreamState> streams(format->nb_streams);
  bool anyStream = false;
  for (unsigned i = 0; i < format->nb_streams; ++i) {
    const AVCodecParameters* par = format->streams[i]->codecpar;
    if (par->codec_type != AVMEDIA_TYPE_AUDIO && par->codec_type != AVMEDIA_TYPE_VIDEO) continue;
    const char* kind = par->codec_type == AVMEDIA_TYPE_AUDIO ? "sound" : "picture";
    streams[i].read = true;
    streams[i].audio = par->codec_type == AVMEDIA_TYPE_AUDIO;
    streams[i].timeBase = av_q2d(format->streams[i]->time_base);
    anyStream = true;
    if (!decode) continue;
    const AVCodec* decoder = avcodec_find_decoder(par->codec_id);
    if (!decoder) {
      result.openError =
          QStringLiteral("cannot be played: no decoder for its %1 (%2)")
              .arg(QLatin1String(kind), QLatin1String(avcodec_get_name(par->codec_id)));
      return result;
    }
    std::unique_ptr<AVCodecContext, CodecFreer> codec(avcodec_alloc_context3(decoder));
    if (!codec || avcodec_parameters_to_context(codec.get(), par) < 0) {
      result.openError = QStringLiteral("cannot be played: its %1 cannot be set up").arg(kind);
      return result;
    }
    codec->thread_count = 1;
    // Let the decoders check what they can instead of concealing it quietly.
    codec->err_recognition |= AV_EF_CRCCHECK | AV_EF_BITSTREAM | AV_EF_BUFFER;
    rc = avcodec_open2(codec.get(), decoder, nullptr);
    if (rc < 0) {
      result.openError = QStringLiteral("cannot be played: its %1 cannot be decoded (%2)")
                             .arg(kind, AvErrorText(rc));
      return result;
    }
    streams[i].codec = std::move(codec);
  }
  if (!anyStream) {
    result.openError = QStringLiteral("cannot be played: it holds neither sound nor picture");
    return result;
  }

  std::unique_ptr<AVPacket, PacketFreer> packet(av_packet_alloc());
  std::unique_ptr<AVFrame, FrameFreer> frame(av_frame_alloc());
  const int64_t size = format->pb ? avio_size(format->pb) : -1;
  double lastTime = 0;  // where reading stands, for damage that carries no time of its own
  int failedReads = 0;
  int lastPercent = -1;
  for (;;) {
    if (cancel && cancel->load()) break;
    const int errorsBefore = g_loggedErrors;
    rc = av_read_frame(format.get(), packet.get());
    if (rc == AVERROR_EOF) break;
    if (rc < 0) {
      if (rc == AVERROR(EAGAIN)) continue;
      // A read error or bytes the demultiplexer cannot make sense of: it may find its feet again
      // further on, but not forever.
      AddDamage(result.damaged, lastTime, lastTime);
      if (++failedReads > 100 || (format->pb && avio_feof(format->pb))) break;
      continue;
    }
    StreamState* stream =
        packet->stream_index >= 0 && packet->stream_index < static_cast<int>(streams.size())
            ? &streams[static_cast<size_t>(packet->stream_index)]
            : nullptr;
    if (!stream || !stream->read) {
      av_packet_unref(packet.get());
      continue;
    }
    const int64_t stamp = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
    double from = lastTime;
    double to = lastTime;
    if (stamp != AV_NOPTS_VALUE) {
      const double length = std::max<int64_t>(packet->duration, 0) * stream->timeBase;
      from = double(stamp) * stream->timeBase - start;
      to = from + length;
      if (stream->audio && stream->end >= 0 && from - stream->end > kAudioGapSeconds) {
        AddDamage(result.damaged, stream->end, from);
      }
      stream->end = std::max(stream->end, to);
      stream->longestPacket = std::max(stream->longestPacket, length);
      stream->stamps.push_back(stamp);
      lastTime = std::max(lastTime, from);
    }
    bool bad = (packet->flags & AV_PKT_FLAG_CORRUPT) != 0;
    if (stream->codec && !Decode(stream->codec.get(), packet.get(), frame.get())) bad = true;
    if (g_loggedErrors > errorsBefore) bad = true;
    if (bad) AddDamage(result.damaged, from, to);
    av_packet_unref(packet.get());

    if (progress && size > 0) {
      const int percent = int(100 * avio_tell(format->pb) / size);
      if (percent != lastPercent) {
        lastPercent = percent;
        progress(std::clamp(percent / 100.0, 0.0, 1.0));
      }
    }
  }
  for (StreamState& stream : streams) {
    if (!stream.codec) continue;
    const int errorsBefore = g_loggedErrors;
    if (!Decode(stream.codec.get(), nullptr, frame.get()) || g_loggedErrors > errorsBefore) {
      AddDamage(result.damaged, stream.end, stream.end);
    }
  }
  // Each stream's own step tells how far a packet without a stated length reaches, how short a
  // whole recording may end, and where pictures are missing.
  double longest = 0;
  for (StreamState& stream : streams) {
    if (!stream.read || stream.stamps.empty()) continue;
    const double step = double(UsualStep(stream.stamps)) * stream.timeBase;
    const double last = double(stream.stamps.back()) * stream.timeBase - start;
    stream.end = std::max(stream.end, last + (stream.longestPacket > 0 ? 0.0 : step));
    result.readSeconds = std::max(result.readSeconds, stream.end);
    longest = std::max({longest, step, stream.longestPacket});
    if (stream.audio || step <= 0) continue;
    for (size_t i = 1; i < stream.stamps.size(); ++i) {
      const double before = double(stream.stamps[i - 1]) * stream.timeBase - start;
      const double after = double(stream.stamps[i]) * stream.timeBase - start;
      if (after - before > kMissingPictureSteps * step) {
        AddDamage(result.missingPictures, before + step, after);
      }
    }
  }
  result.toleranceSeconds = longest + kRoundingSeconds;
  if (progress) progress(1.0);
  return result;
}

QString DecoderName(const QString& codecName) {
  const QByteArray name = codecName.toLatin1();
  const AVCodecDescriptor* descriptor = avcodec_descriptor_get_by_name(name.constData());
  const AVCodec* decoder = descriptor ? avcodec_find_decoder(descriptor->id) : nullptr;
  return decoder ? QString::fromLatin1(decoder->name) : codecName;
}

QStringList DescribeDamage(const RecordingReading& reading) {
  QStringList out;
  if (!reading.openError.isEmpty()) {
    out << reading.openError;
    return out;
  }
  if (reading.EndsEarly()) {
    out << QStringLiteral("cut short: it ends at %1 of its stated %2")
               .arg(FormatTime(reading.readSeconds), FormatTime(reading.statedSeconds));
  }
  auto stretches = [&](const std::vector<Stretch>& list) {
    QStringList text;
    for (const Stretch& s : list) {
      // Damage right at the cut is the cut itself.
      if (reading.EndsEarly() && s.from >= reading.readSeconds - kJoinSeconds) continue;
      text << (s.to - s.from < 0.05
                   ? QStringLiteral("at %1").arg(FormatTime(s.from))
                   : QStringLiteral("from %1 to %2").arg(FormatTime(s.from), FormatTime(s.to)));
    }
    return text.join(QStringLiteral(", "));
  };
  if (const QString text = stretches(reading.damaged); !text.isEmpty()) {
    out << QStringLiteral("damaged: cannot be decoded %1").arg(text);
  }
  if (const QString text = stretches(reading.missingPictures); !text.isEmpty()) {
    out << QStringLiteral("damaged: pictures missing %1").arg(text);
  }
  return out;
}

QString FormatTime(double seconds) {
  const qint64 tenths = std::llround(std::max(0.0, seconds) * 10);
  return QStringLiteral("%1:%2.%3")
      .arg(tenths / 600)
      .arg((tenths / 10) % 60, 2, 10, QLatin1Char('0'))
      .arg(tenths % 10);
}

}  // namespace checker
