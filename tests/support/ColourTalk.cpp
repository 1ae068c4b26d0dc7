#include "tests/support/ColourTalk.h"

#include <QColor>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <algorithm>

#include "tests/support/TempMedium.h"
#include "tools/GeneratorError.h"
#include "tools/MediaTools.h"

const QList<QRgb> kTalkColours = {0xd03030, 0x30b040, 0x3050d0, 0xd0c030, 0xb040c0, 0x30c0c0};

namespace {

constexpr int kFramesPerSecond = 25;

QString Hex(QRgb c) {
  return QStringLiteral("0x%1").arg(c & 0xffffff, 6, 16, QLatin1Char('0'));
}

// The time stamps of the key frames of the first picture stream, in ms (ffprobe's packet times;
// the decoding time where a container states no presentation time).
QList<double> KeyFrameTimes(const QString& ffprobe, const QString& path, double* startMs,
                            QString* error) {
  QProcess probe;
  probe.start(ffprobe, {"-v", "error", "-select_streams", "v:0", "-show_entries",
                        "packet=pts_time,dts_time,flags:format=start_time", "-of", "json", path});
  if (!probe.waitForFinished(60000) || probe.exitCode() != 0) {
    *error = QStringLiteral("ffprobe could not read %1").arg(path);
    return {};
  }
  const QJsonObject root = QJsonDocument::fromJson(probe.readAllStandardOutput()).object();
  *startMs = root.value("format").toObject().value("start_time").toString().toDouble() * 1000.0;
  QList<double> times;
  for (const QJsonValue& v : root.value("packets").toArray()) {
    const QJsonObject packet = v.toObject();
    if (!packet.value("flags").toString().startsWith(QLatin1Char('K'))) continue;
    QString t = packet.value("pts_time").toString();
    if (t.isEmpty()) t = packet.value("dts_time").toString();
    // To the microsecond: "2.046" must read as 2046 ms, not 2045.9999999999998.
    times << static_cast<double>(qRound64(t.toDouble() * 1e6)) / 1e3;
  }
  std::sort(times.begin(), times.end());
  return times;
}

}  // namespace

ColourRecording MakeColourRecording(const QString& nativePath, TalkFormat format, int slides,
                                    int slideMs) {
  ColourRecording result;
  const QString ffmpeg = QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
  const QString ffprobe = QStandardPaths::findExecutable(QStringLiteral("ffprobe"));
  if (ffmpeg.isEmpty() || ffprobe.isEmpty()) {
    result.error = QStringLiteral("ffmpeg and ffprobe are needed");
    return result;
  }
  const QString stretch = QString::number(slideMs / 1000.0, 'f', 3);
  const QString whole = QString::number(slides * slideMs / 1000.0, 'f', 3);
  QStringList args = {"-hide_banner", "-nostdin", "-loglevel", "error", "-y"};
  QString graph;
  for (int k = 0; k < slides; ++k) {
    args << "-f"
         << "lavfi"
         << "-i"
         << QStringLiteral("color=c=%1:s=320x240:r=%2:d=%3")
                .arg(Hex(kTalkColours[k % kTalkColours.size()]))
                .arg(kFramesPerSecond)
                .arg(stretch);
    graph += QStringLiteral("[%1:v]").arg(k);
  }
  graph += QStringLiteral("concat=n=%1:v=1:a=0,format=yuv420p[v]").arg(slides);
  const bool wmv = format == TalkFormat::Wmv;
  args << "-f"
       << "lavfi"
       << "-i"
       << QStringLiteral("sine=frequency=440:sample_rate=%1:duration=%2")
              .arg(wmv ? 44100 : 8000)
              .arg(whole);
  args << "-filter_complex" << graph << "-map"
       << "[v]"
       << "-map" << QStringLiteral("%1:a").arg(slides);
  // A key frame where each colour begins, so that its packet names the frame that carries it.
  args << "-force_key_frames" << QStringLiteral("expr:gte(t,n_forced*%1)").arg(stretch) << "-g"
       << "1000";
  if (wmv) {
    args << "-c:v"
         << "wmv2"
         << "-b:v"
         << "400k"
         << "-c:a"
         << "wmav2"
         << "-b:a"
         << "64k"
         << "-ac"
         << "1"
         << "-f"
         << "asf";
  } else {
    args << "-c:v"
         << "rv20"
         << "-b:v"
         << "400k"
         << "-c:a"
         << "real_144"
         << "-ar"
         << "8000"
         << "-ac"
         << "1"
         << "-f"
         << "rm";
  }
  args << nativePath;
  QDir().mkpath(QFileInfo(nativePath).path());
  try {
    sample::RunTool(ffmpeg, args, QStringLiteral("encoding the colour recording"));
    if (!wmv) sample::RepairRealMediaTimes(nativePath);
  } catch (const sample::GeneratorError& e) {
    result.error = e.message();
    return result;
  }
  result.changeMs = KeyFrameTimes(ffprobe, nativePath, &result.startMs, &result.error);
  if (result.error.isEmpty() && result.changeMs.size() != slides) {
    result.error = QStringLiteral("%1 key frames in %2, %3 expected")
                       .arg(result.changeMs.size())
                       .arg(nativePath)
                       .arg(slides);
  }
  return result;
}

void WriteColourPresentation(TempMedium& m, const QString& folder, const QList<double>& slideTimes,
                             int cues, int marks) {
  m.WriteLines(QStringLiteral("Data/%1/database.txt").arg(folder),
               {"SlideMode=1", "MediaMode=1", "Flag=0", "Text=Colour talk"});
  QStringList events;
  double lastMs = slideTimes.isEmpty() ? 0 : slideTimes.last();
  for (int k = 1; k <= slideTimes.size(); ++k) {
    // Whole or fractional milliseconds, as the file's frames fall.
    events << QStringLiteral("0~%1~Deck%2~%3~Slide %3")
                  .arg(QString::number(slideTimes[k - 1], 'g', 12), folder)
                  .arg(k);
    const QRgb colour = kTalkColours[(k - 1) % kTalkColours.size()];
    m.WriteJpeg(QStringLiteral("Slides/Deck%1/Slide%2.jpg").arg(folder).arg(k), 472, 360, colour);
    m.WriteJpeg(QStringLiteral("Slides/Deck%1/thumbs/Slide%2.jpg").arg(folder).arg(k), 80, 65,
                colour);
  }
  for (int c = 1; c <= cues; ++c)
    events << QStringLiteral("2~%1~%2").arg(qRound(lastMs * (c - 1) / cues)).arg(c);
  // A small red frame a second into a slide, over the slide's lower right corner.
  for (int a = 0; a < marks && !slideTimes.isEmpty(); ++a)
    events << QStringLiteral("1~%1~3~1~0~5000~4000~900~700~255~0~0")
                  .arg(qRound(slideTimes[a % slideTimes.size()]) + 1000);
  // The timeline keeps ascending time: the cues go in among the slides.
  std::stable_sort(events.begin(), events.end(), [](const QString& a, const QString& b) {
    return a.section(QLatin1Char('~'), 1, 1).toDouble() <
           b.section(QLatin1Char('~'), 1, 1).toDouble();
  });
  m.WriteLines(QStringLiteral("Data/%1/events.txt").arg(folder), events);
  m.WriteLines(QStringLiteral("Data/%1/details.txt").arg(folder), {"A talk in colours"});
  m.MakeDir(QStringLiteral("Data/%1/transcripts").arg(folder));
  if (cues > 0) {
    QStringList page = {"<html><body>"};
    for (int s = 1; s <= cues; ++s)
      page << QStringLiteral("<p class=\"m\">SECTION%1</p>").arg(s)
           << QStringLiteral("What the speaker said in section %1.").arg(s);
    page << "</body></html>";
    m.WriteLines(QStringLiteral("Data/%1/transcripts/ENGLISH.html").arg(folder), page);
  }
}
