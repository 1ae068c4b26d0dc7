#include "tools/MediaTools.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QtEndian>
#include <algorithm>
#include <cmath>

#include "tools/GeneratorError.h"
#include "tools/TextFiles.h"

namespace sample {

namespace {

constexpr int kSampleRate = 22050;
constexpr int kLeadInMs = 300;    // silence before a segment's first words
constexpr int kGapMs = 350;       // between two speakers
constexpr int kTailMs = 250;      // at least this much quiet before the next segment
constexpr int kNormalRate = 165;  // espeak-ng words per minute
constexpr int kFastestRate = 300;

QString Seconds(int ms) {
  return QString::number(ms / 1000.0, 'f', 3);
}

// Output options that keep version strings and times out of the files, so that every run
// writes the same bytes.
QStringList Bitexact() {
  return {QStringLiteral("-fflags"),       QStringLiteral("+bitexact"),
          QStringLiteral("-flags:v"),      QStringLiteral("+bitexact"),
          QStringLiteral("-flags:a"),      QStringLiteral("+bitexact"),
          QStringLiteral("-map_metadata"), QStringLiteral("-1"),
          QStringLiteral("-threads"),      QStringLiteral("1")};
}

QStringList FfmpegStart() {
  return {QStringLiteral("-hide_banner"), QStringLiteral("-nostdin"), QStringLiteral("-loglevel"),
          QStringLiteral("error"), QStringLiteral("-y")};
}

QString Tail(const QByteArray& output) {
  QString text = QString::fromLocal8Bit(output).trimmed();
  if (text.size() > 1500) text = QStringLiteral("...") + text.right(1500);
  return text;
}

void Speak(const Toolset& tools, const SpokenPart& part, int rate, const QString& wav) {
  RunTool(tools.espeak,
          {QStringLiteral("-v"), part.voice, QStringLiteral("-s"), QString::number(rate),
           QStringLiteral("-w"), wav, part.text},
          QStringLiteral("speaking \"%1\"").arg(part.text), 60000);
}

}  // namespace

Toolset FindTools() {
  Toolset t;
  t.ffmpeg = QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
  if (t.ffmpeg.isEmpty()) {
    throw GeneratorError(
        QStringLiteral("ffmpeg was not found on PATH; it encodes the sample recordings. Install it "
                       "(apt-get install ffmpeg, or run scripts/setup) and try again."));
  }
  t.espeak = QStandardPaths::findExecutable(QStringLiteral("espeak-ng"));
  return t;
}

void RunTool(const QString& program, const QStringList& arguments, const QString& doing,
             int timeoutMs) {
  const QString name = QFileInfo(program).fileName();
  QProcess process;
  process.setProcessChannelMode(QProcess::SeparateChannels);
  process.setStandardInputFile(QProcess::nullDevice());
  process.start(program, arguments);
  if (!process.waitForStarted()) {
    throw GeneratorError(QStringLiteral("%1 could not be started while %2: %3")
                             .arg(name, doing, process.errorString()));
  }
  if (!process.waitForFinished(timeoutMs)) {
    process.kill();
    process.waitForFinished();
    throw GeneratorError(QStringLiteral("%1 took longer than %2 s while %3")
                             .arg(name)
                             .arg(timeoutMs / 1000)
                             .arg(doing));
  }
  if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
    const QString detail = Tail(process.readAllStandardError() + process.readAllStandardOutput());
    throw GeneratorError(QStringLiteral("%1 failed while %2 (exit code %3)%4")
                             .arg(name, doing)
                             .arg(process.exitCode())
                             .arg(detail.isEmpty() ? QString() : QStringLiteral(":\n") + detail));
  }
}

int WavDurationMs(const QString& nativePath) {
  QFile f(nativePath);
  if (!f.open(QIODevice::ReadOnly)) {
    throw GeneratorError(QStringLiteral("Cannot read %1").arg(nativePath));
  }
  const QByteArray bytes = f.readAll();
  if (bytes.size() < 12 || !bytes.startsWith("RIFF") || bytes.mid(8, 4) != "WAVE") {
    throw GeneratorError(QStringLiteral("%1 is not a WAV file").arg(nativePath));
  }
  quint32 byteRate = 0;
  qsizetype pos = 12;
  while (pos + 8 <= bytes.size()) {
    const QByteArray id = bytes.mid(pos, 4);
    const quint32 size = qFromLittleEndian<quint32>(bytes.constData() + pos + 4);
    const qsizetype body = pos + 8;
    if (id == "fmt " && body + 12 <= bytes.size()) {
      byteRate = qFromLittleEndian<quint32>(bytes.constData() + body + 8);
    } else if (id == "data") {
      if (byteRate == 0) break;
      // A streaming writer may leave the size unset; the file's end is the truth then.
      const qint64 available = bytes.size() - body;
      const qint64 dataSize = std::min<qint64>(size, available);
      return static_cast<int>(dataSize * 1000 / byteRate);
    }
    pos = body + size + (size & 1);
  }
  throw GeneratorError(QStringLiteral("%1 holds no PCM data").arg(nativePath));
}

std::vector<NarrationSegment> NarrationSegments(const Presentation& p) {
  std::vector<NarrationSegment> segments;
  for (size_t i = 0; i < p.cues.size(); ++i) {
    const TranscriptSection& section = p.sections.at(static_cast<size_t>(p.cues[i].section - 1));
    segments.push_back({p.cues[i].timeMs, p.CueEndMs(i), section.speech});
  }
  return segments;
}

QString MakeNarration(const Toolset& tools, const std::vector<NarrationSegment>& segments,
                      int durationMs, const QString& workFolder, const QString& stem) {
  QStringList inputs;       // ffmpeg input arguments
  QStringList filters;      // filter graph chains
  QStringList segmentPads;  // one labelled stream per segment
  int input = 0;
  int silenceBefore = segments.empty() ? durationMs : segments.front().startMs;
  if (silenceBefore > 0) {
    inputs << QStringLiteral("-f") << QStringLiteral("lavfi") << QStringLiteral("-i")
           << QStringLiteral("anullsrc=r=%1:cl=mono").arg(kSampleRate);
    filters
        << QStringLiteral("[%1:a]atrim=duration=%2[lead]").arg(input++).arg(Seconds(silenceBefore));
    segmentPads << QStringLiteral("[lead]");
  }
  for (size_t s = 0; s < segments.size(); ++s) {
    const NarrationSegment& seg = segments[s];
    const int length = seg.endMs - seg.startMs;
    QStringList partPads;
    if (tools.espeak.isEmpty()) {
      // No speech synthesiser: a short tone marks each segment, its pitch rising with it.
      inputs << QStringLiteral("-f") << QStringLiteral("lavfi") << QStringLiteral("-i")
             << QStringLiteral("sine=frequency=%1:sample_rate=%2:duration=0.6")
                    .arg(440 + 55 * static_cast<int>(s))
                    .arg(kSampleRate);
      partPads << QStringLiteral("[%1:a]").arg(input++);
    } else {
      const int available = length - kLeadInMs - kTailMs;
      std::vector<QString> wavs;
      int rate = kNormalRate;
      for (int attempt = 0; attempt < 3; ++attempt) {
        wavs.clear();
        int spoken = 0;
        for (size_t k = 0; k < seg.speech.size(); ++k) {
          const QString wav =
              QDir(workFolder)
                  .filePath(QStringLiteral("%1-%2-%3.wav").arg(stem).arg(s + 1).arg(k + 1));
          Speak(tools, seg.speech[k], rate, wav);
          spoken += WavDurationMs(wav) + (k > 0 ? kGapMs : 0);
          wavs.push_back(wav);
        }
        if (spoken <= available || rate >= kFastestRate) break;
        rate =
            std::min(kFastestRate, static_cast<int>(std::ceil(rate * spoken * 1.05 / available)));
      }
      for (size_t k = 0; k < wavs.size(); ++k) {
        inputs << QStringLiteral("-i") << wavs[k];
        const QString pad = QStringLiteral("p%1_%2").arg(s).arg(k);
        const int gap = k + 1 < wavs.size() ? kGapMs : 0;
        filters << QStringLiteral(
                       "[%1:a]aresample=%2,aformat=sample_fmts=s16:channel_layouts=mono,"
                       "apad=pad_dur=%3[%4]")
                       .arg(input++)
                       .arg(kSampleRate)
                       .arg(Seconds(gap))
                       .arg(pad);
        partPads << QStringLiteral("[%1]").arg(pad);
      }
    }
    const QString joined =
        partPads.join(QString()) +
        (partPads.size() > 1 ? QStringLiteral("concat=n=%1:v=0:a=1,").arg(partPads.size())
                             : QString());
    filters << QStringLiteral(
                   "%1aresample=%2,aformat=sample_fmts=s16:channel_layouts=mono,"
                   "adelay=%3,apad=whole_dur=%4,atrim=duration=%4[s%5]")
                   .arg(joined)
                   .arg(kSampleRate)
                   .arg(kLeadInMs)
                   .arg(Seconds(length))
                   .arg(s);
    segmentPads << QStringLiteral("[s%1]").arg(s);
  }
  filters << QStringLiteral("%1concat=n=%2:v=0:a=1,atrim=duration=%3[out]")
                 .arg(segmentPads.join(QString()))
                 .arg(segmentPads.size())
                 .arg(Seconds(durationMs));
  const QString output = QDir(workFolder).filePath(stem + QStringLiteral("-narration.wav"));
  QStringList args = FfmpegStart();
  args << inputs << QStringLiteral("-filter_complex") << filters.join(QLatin1Char(';'))
       << QStringLiteral("-map") << QStringLiteral("[out]") << QStringLiteral("-c:a")
       << QStringLiteral("pcm_s16le") << Bitexact() << output;
  RunTool(tools.ffmpeg, args, QStringLiteral("mixing the narration"));
  return output;
}

void EncodeRecordings(const Toolset& tools, const std::vector<VideoStill>& stills,
                      const QString& narrationWav, int durationMs, bool withWma,
                      const QString& mediaFolder) {
  if (!QDir().mkpath(mediaFolder)) {
    throw GeneratorError(QStringLiteral("Cannot create the folder %1").arg(mediaFolder));
  }
  const QString length = Seconds(durationMs);
  const QDir media(mediaFolder);

  // The slideshow: every still looped for its stretch at a low frame rate, which keeps the
  // files small and still lets a player seek to within a fifth of a second.
  QStringList videoInputs;
  QString graph;
  for (size_t i = 0; i < stills.size(); ++i) {
    videoInputs << QStringLiteral("-loop") << QStringLiteral("1") << QStringLiteral("-framerate")
                << QStringLiteral("5") << QStringLiteral("-t") << Seconds(stills[i].durationMs)
                << QStringLiteral("-i") << stills[i].picture;
    graph += QStringLiteral("[%1:v]scale=472:360,setsar=1,format=yuv420p[v%1];").arg(i);
  }
  for (size_t i = 0; i < stills.size(); ++i) graph += QStringLiteral("[v%1]").arg(i);
  graph += QStringLiteral("concat=n=%1:v=1:a=0,fps=5[v]").arg(stills.size());
  const QString audioIndex = QString::number(stills.size());

  if (!stills.empty()) {
    QStringList wmv = FfmpegStart();
    wmv << videoInputs << QStringLiteral("-i") << narrationWav << QStringLiteral("-filter_complex")
        << graph << QStringLiteral("-map") << QStringLiteral("[v]") << QStringLiteral("-map")
        << audioIndex + QStringLiteral(":a") << QStringLiteral("-c:v") << QStringLiteral("wmv2")
        << QStringLiteral("-q:v") << QStringLiteral("6") << QStringLiteral("-g")
        << QStringLiteral("10") << QStringLiteral("-c:a") << QStringLiteral("wmav2")
        << QStringLiteral("-b:a") << QStringLiteral("32k") << QStringLiteral("-ar")
        << QStringLiteral("22050") << QStringLiteral("-ac") << QStringLiteral("1")
        << QStringLiteral("-t") << length << Bitexact() << QStringLiteral("-f")
        << QStringLiteral("asf") << media.filePath(QStringLiteral("media.wmv"));
    RunTool(tools.ffmpeg, wmv, QStringLiteral("encoding media.wmv"));
  }

  // Tavisco prefers media.wma to media.wmv: with both in the folder it plays the sound alone, as
  // the old discs that carried both did.
  if (withWma) {
    QStringList wma = FfmpegStart();
    wma << QStringLiteral("-i") << narrationWav << QStringLiteral("-vn") << QStringLiteral("-c:a")
        << QStringLiteral("wmav2") << QStringLiteral("-b:a") << QStringLiteral("32k")
        << QStringLiteral("-ar") << QStringLiteral("22050") << QStringLiteral("-ac")
        << QStringLiteral("1") << QStringLiteral("-t") << length << Bitexact()
        << QStringLiteral("-f") << QStringLiteral("asf")
        << media.filePath(QStringLiteral("media.wma"));
    RunTool(tools.ffmpeg, wma, QStringLiteral("encoding media.wma"));
  }

  // RealAudio 14.4 takes only 8 kHz mono.
  QStringList rm = FfmpegStart();
  if (!stills.empty()) {
    rm << videoInputs << QStringLiteral("-i") << narrationWav << QStringLiteral("-filter_complex")
       << graph << QStringLiteral("-map") << QStringLiteral("[v]") << QStringLiteral("-map")
       << audioIndex + QStringLiteral(":a") << QStringLiteral("-c:v") << QStringLiteral("rv20")
       << QStringLiteral("-q:v") << QStringLiteral("6") << QStringLiteral("-g")
       << QStringLiteral("10");
  } else {
    rm << QStringLiteral("-i") << narrationWav << QStringLiteral("-vn");
  }
  rm << QStringLiteral("-c:a") << QStringLiteral("real_144") << QStringLiteral("-ar")
     << QStringLiteral("8000") << QStringLiteral("-ac") << QStringLiteral("1")
     << QStringLiteral("-t") << length << Bitexact() << QStringLiteral("-f") << QStringLiteral("rm")
     << media.filePath(QStringLiteral("media.rm"));
  RunTool(tools.ffmpeg, rm, QStringLiteral("encoding media.rm"));
  RepairRealMediaTimes(media.filePath(QStringLiteral("media.rm")));
}

}  // namespace sample

namespace sample {

namespace {
quint32 Be32(const QByteArray& b, qsizetype at) {
  return qFromBigEndian<quint32>(reinterpret_cast<const uchar*>(b.constData()) + at);
}
quint16 Be16(const QByteArray& b, qsizetype at) {
  return qFromBigEndian<quint16>(reinterpret_cast<const uchar*>(b.constData()) + at);
}
void PutBe32(QByteArray& b, qsizetype at, quint32 v) {
  qToBigEndian<quint32>(v, reinterpret_cast<uchar*>(b.data()) + at);
}
}  // namespace

void RepairRealMediaTimes(const QString& nativePath) {
  QFile file(nativePath);
  if (!file.open(QIODevice::ReadOnly)) {
    throw GeneratorError(QStringLiteral("Cannot read %1").arg(nativePath));
  }
  QByteArray b = file.readAll();
  file.close();
  const auto bad = [&](const char* why) {
    return GeneratorError(
        QStringLiteral("%1 is not RealMedia as expected (%2)").arg(nativePath, QLatin1String(why)));
  };
  if (!b.startsWith(".RMF")) throw bad("no .RMF header");

  // Top-level chunks: id, size, version, contents.
  qsizetype prop = -1, data = -1, audioHeader = -1;
  int audioStream = -1;
  quint32 audioBitRate = 0;
  for (qsizetype pos = 0; pos + 10 <= b.size();) {
    const QByteArray id = b.mid(pos, 4);
    const quint32 size = Be32(b, pos + 4);
    if (size < 10 || pos + static_cast<qsizetype>(size) > b.size()) {
      if (id == "DATA") {
        data = pos;  // a DATA chunk may run to the end of the file
        break;
      }
      throw bad("chunk size");
    }
    if (id == "PROP") prop = pos;
    if (id == "DATA") data = pos;
    if (id == "MDPR" && size >= 42) {
      const qsizetype nameLength = static_cast<uchar>(b[pos + 40]);
      const qsizetype mimeAt = pos + 41 + nameLength;
      if (mimeAt < pos + size) {
        const QByteArray mime = b.mid(mimeAt + 1, static_cast<uchar>(b[mimeAt]));
        if (mime.contains("audio")) {
          audioHeader = pos;
          audioStream = Be16(b, pos + 10);
          audioBitRate = Be32(b, pos + 16);
        }
      }
    }
    pos += size;
  }
  if (prop < 0 || data < 0) throw bad("no PROP or DATA chunk");
  if (audioStream < 0) return;  // nothing to stamp
  if (audioBitRate == 0) throw bad("audio without a bit rate");

  // Packets: version, length, stream, timestamp (ms), group, flags, payload.
  std::vector<qsizetype> audioPackets;
  bool stamped = false;
  quint64 bytes = 0;
  std::vector<quint32> times;
  for (qsizetype pos = data + 18; pos + 12 <= b.size();) {
    const quint16 length = Be16(b, pos + 2);
    if (length < 12 || pos + length > b.size()) break;  // the index or the end follows
    if (Be16(b, pos + 4) == audioStream) {
      if (Be32(b, pos + 6) != 0) stamped = true;
      audioPackets.push_back(pos);
      times.push_back(static_cast<quint32>(bytes * 8000 / audioBitRate));
      bytes += length - 12u;
    }
    pos += length;
  }
  if (stamped || audioPackets.size() < 2) return;
  for (size_t i = 0; i < audioPackets.size(); ++i) PutBe32(b, audioPackets[i] + 6, times[i]);
  const quint32 audioMs = static_cast<quint32>(bytes * 8000 / audioBitRate);
  // Stream duration sits 36 bytes into its MDPR chunk, the file's 30 bytes into PROP.
  if (Be32(b, audioHeader + 36) < audioMs) PutBe32(b, audioHeader + 36, audioMs);
  if (Be32(b, prop + 30) < audioMs) PutBe32(b, prop + 30, audioMs);
  WriteFileBytes(nativePath, b);
}

}  // namespace sample
