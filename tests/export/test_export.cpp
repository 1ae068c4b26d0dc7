// Exporting the sample medium: the page's data and the Paella manifest say what the medium says;
// "Ambrel --export" writes every presentation with a recording ffprobe accepts (its duration
// within half a second of the original, the streams a browser expects), never touches the
// medium, refuses what it must, and a cancel leaves no half-written presentation folder.

#include <QDirIterator>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include "checker/MediumCheck.h"
#include "exporter/ExportCommand.h"
#include "exporter/Exporter.h"
#include "exporter/PresentationContent.h"
#include "medium/Paths.h"
#include "tests/support/ChildProcesses.h"
#include "tests/support/FileTree.h"

#include <signal.h>
#include <sys/types.h>

using namespace exporter;

namespace {

const QString kSample = QStringLiteral(SAMPLE_MEDIUM_DIR);
const QString kAmbrel = QStringLiteral(TEST_BIN_DIR "/Ambrel");

ProgramRun Ambrel(const QStringList& args) {
  return RunProgram(kAmbrel, args);
}

QJsonObject Probe(const QString& path) {
  QProcess p;
  p.start(QStringLiteral("ffprobe"),
          {"-v", "error", "-show_entries", "format=duration:stream=codec_type,codec_name", "-of",
           "json", path});
  p.waitForFinished(60000);
  return QJsonDocument::fromJson(p.readAllStandardOutput()).object();
}

double Duration(const QJsonObject& probe) {
  return probe["format"].toObject()["duration"].toString().toDouble();
}

QStringList Streams(const QJsonObject& probe) {
  QStringList out;
  for (const QJsonValue& s : probe["streams"].toArray()) {
    out << s["codec_type"].toString() + u':' + s["codec_name"].toString();
  }
  out.sort();
  return out;
}

QStringList Leftovers(const QString& outDir) {
  return QDir(outDir).entryList({".export-*"}, QDir::AllEntries | QDir::Hidden);
}

void CopyTree(const QString& from, const QString& to) {
  QDirIterator it(from, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
  while (it.hasNext()) {
    const QString file = it.next();
    const QString target = to + file.mid(from.size());
    QDir().mkpath(QFileInfo(target).path());
    QFile::copy(file, target);
  }
}

QJsonObject DataOf(const QString& folder, bool video) {
  const PresentationContent c = ReadPresentationContent(layout::Current(), folder, folder);
  MediaInfo info;
  info.durationS = 48;
  info.hasVideo = video;
  info.width = 472;
  info.height = 360;
  return PageData(c, RecordingOutput{OutputFileName(info), info});
}

// The first time a report's sentence names ("at 0:24.0", "from 0:24.0 to ..."), in seconds.
double FirstTime(const QString& message) {
  const QRegularExpressionMatch m = QRegularExpression("(\\d+):(\\d\\d\\.\\d)").match(message);
  return m.hasMatch() ? m.captured(1).toInt() * 60 + m.captured(2).toDouble() : -1;
}

// Appends to a RealMedia file an index (an INDX chunk, and its place in the file's properties)
// for a stream the file does not carry, as the original encoder wrote it into some recordings:
// a remark of the demultiplexer when it opens the file, no damage.
void AddIndexForAbsentStream(const QString& path) {
  QByteArray b = ReadBytes(path);
  QVERIFY(b.startsWith(".RMF"));
  auto be32 = [&](qsizetype at) {
    return qFromBigEndian<quint32>(reinterpret_cast<const uchar*>(b.constData()) + at);
  };
  qsizetype prop = -1;
  int streams = 0;
  for (qsizetype pos = 0; pos + 10 <= b.size();) {
    const QByteArray id = b.mid(pos, 4);
    const quint32 size = be32(pos + 4);
    if (id == "PROP") prop = pos;
    if (id == "MDPR") ++streams;
    if (id == "DATA" || size < 10) break;
    pos += size;
  }
  QVERIFY(prop >= 0);
  QCOMPARE(streams, 1);
  auto put16 = [](QByteArray& to, quint16 v) { to.append(char(v >> 8)).append(char(v & 0xff)); };
  auto put32 = [&](QByteArray& to, quint32 v) {
    put16(to, quint16(v >> 16));
    put16(to, quint16(v & 0xffff));
  };
  const quint32 entries = 2;
  QByteArray index("INDX");
  put32(index, 20 + 14 * entries);  // chunk size
  put16(index, 0);                  // version
  put32(index, entries);
  put16(index, 1);  // the stream: the file's only one is stream 0
  put32(index, 0);  // no further index
  for (quint32 k = 0; k < entries; ++k) {
    put16(index, 0);              // version
    put32(index, k * 2000);       // time, ms
    put32(index, quint32(prop));  // offset
    put32(index, k * 5);          // packet count
  }
  // The index offset stands 38 bytes into the PROP chunk.
  qToBigEndian<quint32>(quint32(b.size()), reinterpret_cast<uchar*>(b.data()) + prop + 38);
  b += index;
  QFile f(path);
  QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  QCOMPARE(f.write(b), b.size());
}

// The kinds of sentence said of one file ("recording: damaged: cannot be decoded"), without their
// times, sorted.
QStringList SentenceKinds(const std::vector<checker::Problem>& problems, const QString& file) {
  QStringList kinds;
  for (const auto& p : problems) {
    if (p.file != file) continue;
    const qsizetype digit = p.message.indexOf(QRegularExpression("\\d"));
    kinds << (digit < 0 ? p.message : p.message.left(digit)).trimmed();
  }
  kinds.removeDuplicates();
  kinds.sort();
  return kinds;
}

// Cancels when a chosen presentation begins its recording.
class CancelAt : public ExportObserver {
 public:
  CancelAt(int index, std::atomic<bool>& flag) : index_(index), flag_(flag) {}
  void Started(int index, int, const QString& folder, const QString&) override {
    current_ = index;
    started << folder;
  }
  void Progress(int) override {
    if (current_ == index_) flag_ = true;
  }
  void Finished(const PresentationOutcome& o) override { finished << o.folder; }
  QStringList started, finished;

 private:
  int index_;
  int current_ = 0;
  std::atomic<bool>& flag_;
};

}  // namespace

class ExportTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { medium::SetApplicationFolder(kSample); }

  void pageDataOfTheKeynote() {
    const QJsonObject d = DataOf("Launch2004", false);
    QCOMPARE(d["folder"].toString(), QString("Launch2004"));
    QCOMPARE(d["media"].toObject()["file"].toString(), QString("media.m4a"));
    const QJsonArray slides = d["slides"].toArray();
    QCOMPARE(slides.size(), 8);
    QCOMPARE(slides[2].toObject()["time"].toDouble(), 12000.0);
    QCOMPARE(slides[2].toObject()["title"].toString(), QString("Our year in numbers"));
    QCOMPARE(slides[2].toObject()["picture"].toString(), QString("Slides/ZentoLaunch/Slide3.jpg"));
    QCOMPARE(slides[2].toObject()["thumb"].toString(),
             QString("Slides/ZentoLaunch/thumbs/Slide3.jpg"));
    const QJsonArray marks = d["marks"].toArray();
    QCOMPARE(marks.size(), 9);
    // Text marks carry no time of their own.
    QCOMPARE(marks[0].toObject()["type"].toInt(), 2);
    QCOMPARE(marks[0].toObject()["time"].toDouble(), 0.0);
    QCOMPARE(marks[0].toObject()["text"].toString(), QString("Welcome"));
    QCOMPARE(marks[0].toObject()["colour"].toString(), QString("#ffffff"));
    QCOMPARE(marks[1].toObject()["colour"].toString(), QString("#ffff00"));
    QCOMPARE(marks[2].toObject()["type"].toInt(), 3);
    QCOMPARE(marks[2].toObject()["time"].toDouble(), 7000.0);
    QCOMPARE(d["cues"].toArray().size(), 8);
    QCOMPARE(d["cues"].toArray()[7].toObject()["time"].toDouble(), 42000.0);
    const QJsonArray langs = d["languages"].toArray();
    QCOMPARE(langs.size(), 2);
    QCOMPARE(langs[0].toObject()["name"].toString(), QString("ENGLISH"));
    QCOMPARE(langs[1].toObject()["code"].toString(), QString("fr"));
    QCOMPARE(langs[1].toObject()["track"].toString(), QString("FRENCH.vtt"));
    QVERIFY(langs[0].toObject()["texts"].toArray()[2].toString().startsWith("Slide three"));
    QVERIFY(langs[1].toObject()["texts"].toArray()[4].toString().contains(
        QString::fromUtf8("résultats")));
    QCOMPARE(d["language"].toInt(), 0);
    QVERIFY(d["details"].toString().contains("Keynote: zENTO Archive 4\nSpeaker"));
    QVERIFY(!d["details"].toString().contains('\r'));
    QCOMPARE(d["freeText"].toString(),
             QString("Recorded at the zENTO Spring Conference, Lyon, 14 May 2004"));
    QVERIFY(d["still"].isNull());
  }

  void pageDataOfTheStillPicture() {
    const QJsonObject d = DataOf("Interview", false);
    QCOMPARE(d["slideMode"].toInt(), 2);
    QCOMPARE(d["mediaMode"].toInt(), 2);
    QCOMPARE(d["slides"].toArray().size(), 0);
    QCOMPARE(d["still"].toString(), QString("slide.jpg"));
    QCOMPARE(d["audioPicture"].toString(), QString("audio.jpg"));
    QCOMPARE(d["cues"].toArray().size(), 4);
    QCOMPARE(d["languages"].toArray().size(), 1);
  }

  void paellaManifest() {
    const PresentationContent c =
        ReadPresentationContent(layout::Current(), "Keynote", "Launch2004Video");
    MediaInfo info;
    info.durationS = 48.0004;
    info.hasVideo = true;
    info.width = 472;
    info.height = 360;
    const QJsonObject m = PaellaManifest(c, RecordingOutput{"media.mp4", info});
    QCOMPARE(m["metadata"].toObject()["duration"].toDouble(), 48.0);
    QCOMPARE(m["metadata"].toObject()["title"].toString(), QString("Keynote"));
    QCOMPARE(m["metadata"].toObject()["preview"].toString(),
             QString("Slides/ZentoLaunch/Slide1.jpg"));
    const QJsonObject stream = m["streams"].toArray()[0].toObject();
    QCOMPARE(stream["role"].toString(), QString("mainAudio"));
    QCOMPARE(stream["content"].toString(), QString("presenter"));
    const QJsonObject mp4 = stream["sources"].toObject()["mp4"].toArray()[0].toObject();
    QCOMPARE(mp4["src"].toString(), QString("media.mp4"));
    QCOMPARE(mp4["mimetype"].toString(), QString("video/mp4"));
    QCOMPARE(mp4["res"].toObject()["w"].toInt(), 472);
    QCOMPARE(mp4["res"].toObject()["h"].toInt(), 360);
    const QJsonArray frames = m["frameList"].toArray();
    QCOMPARE(frames.size(), 8);
    const QJsonObject f2 = frames[1].toObject();
    QCOMPARE(f2["id"].toString(), QString("frame_2"));
    QCOMPARE(f2["mimetype"].toString(), QString("image/jpeg"));
    QCOMPARE(f2["time"].toDouble(), 6.0);  // seconds
    QCOMPARE(f2["url"].toString(), QString("Slides/ZentoLaunch/Slide2.jpg"));
    QCOMPARE(f2["thumb"].toString(), QString("Slides/ZentoLaunch/thumbs/Slide2.jpg"));
    const QJsonArray captions = m["captions"].toArray();
    QCOMPARE(captions.size(), 2);
    QCOMPARE(captions[0].toObject(),
             (QJsonObject{
                 {"lang", "en"}, {"text", "ENGLISH"}, {"format", "vtt"}, {"url", "ENGLISH.vtt"}}));

    // Sound alone plays through Paella's audio canvas, with a picture to show.
    const PresentationContent interview =
        ReadPresentationContent(layout::Current(), "Interview", "Interview");
    const QJsonObject a =
        PaellaManifest(interview, RecordingOutput{"media.m4a", MediaInfo{32, false, 0, 0}});
    const QJsonObject audio = a["streams"].toArray()[0].toObject();
    QCOMPARE(audio["sources"].toObject()["audio"].toArray()[0].toObject()["src"].toString(),
             QString("media.m4a"));
    QCOMPARE(audio["canvas"].toArray(), QJsonArray{"audio"});
    QCOMPARE(audio["role"].toString(), QString("mainAudio"));
    // The audio canvas loads the preview relative to the page, not to the manifest: the picture
    // itself stands in the manifest.
    QCOMPARE(
        a["metadata"].toObject()["preview"].toString(),
        "data://image/jpeg;base64," +
            QString::fromLatin1(ReadBytes(kSample + "/Images/Interview/slide.jpg").toBase64()));
    QVERIFY(!a.contains("frameList"));
  }

  // The whole medium through the command line, as a user runs it.
  void exportTheSampleMedium() {
    QTemporaryDir tmp;
    const QString out = tmp.path() + "/web";
    const QStringList before = TreeSnapshot(kSample);
    const ProgramRun run = Ambrel({"--export", out, "--medium", kSample});
    QVERIFY2(run.code == 0, qPrintable(run.out + run.err));
    QCOMPARE(TreeSnapshot(kSample), before);  // the medium is only read
    // Into a pipe: one plain line per presentation (no percentages written over each other),
    // then the summary.
    QVERIFY2(!run.out.contains('\r'), qPrintable(run.out));
    const QStringList lines = run.out.split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 4);
    QCOMPARE(lines[0], QString("[1/3] Launch2004: exported (media.m4a)"));
    QCOMPARE(lines[2], QString("[3/3] Launch2004Video: exported (media.mp4)"));
    QVERIFY(lines[3].startsWith("3 of 3 presentations exported to"));
    QVERIFY(Leftovers(out).isEmpty());

    struct Expect {
      const char* folder;
      const char* original;
      const char* file;
      QStringList streams;
    };
    const Expect expected[] = {
        {"Launch2004", "media.wma", "media.m4a", {"audio:aac"}},
        {"Interview", "media.wma", "media.m4a", {"audio:aac"}},
        {"Launch2004Video", "media.wmv", "media.mp4", {"audio:aac", "video:h264"}},
    };
    for (const Expect& e : expected) {
      const QString dir = out + "/" + e.folder;
      const QJsonObject original = Probe(kSample + "/Media/" + e.folder + "/" + e.original);
      const QJsonObject exported = Probe(dir + "/" + e.file);
      QVERIFY2(std::abs(Duration(exported) - Duration(original)) <= 0.5,
               qPrintable(QString("%1: %2 s against %3 s")
                              .arg(e.folder)
                              .arg(Duration(exported))
                              .arg(Duration(original))));
      QCOMPARE(Streams(exported), e.streams);
      for (const char* f : {"index.html", "page.js", "page.css", "data.js", "data.json"}) {
        QVERIFY2(QFileInfo::exists(dir + "/" + f), f);
      }
      // faststart: the index comes before the media data.
      const QByteArray head = ReadBytes(dir + "/" + e.file).left(65536);
      QVERIFY(head.contains("moov") &&
              (!head.contains("mdat") || head.indexOf("moov") < head.indexOf("mdat")));
    }
    // Pictures under the names the timeline gives, the same bytes as on the medium.
    for (int n = 1; n <= 8; ++n) {
      for (const QString rel : {QString("Slides/ZentoLaunch/Slide%1.jpg").arg(n),
                                QString("Slides/ZentoLaunch/thumbs/Slide%1.jpg").arg(n)}) {
        QCOMPARE(ReadBytes(out + "/Launch2004/" + rel), ReadBytes(kSample + "/" + rel));
      }
    }
    QCOMPARE(ReadBytes(out + "/Interview/slide.jpg"),
             ReadBytes(kSample + "/Images/Interview/slide.jpg"));
    QCOMPARE(ReadBytes(out + "/Interview/audio.jpg"),
             ReadBytes(kSample + "/Images/Interview/audio.jpg"));
    QVERIFY(!QFileInfo::exists(out + "/Interview/Slides"));
    QVERIFY(!QFileInfo::exists(out + "/Interview/chapters.vtt"));
    QVERIFY(ReadBytes(out + "/Launch2004/chapters.vtt").contains("00:00:42.000 --> 00:00:48."));

    const QString page = QString::fromUtf8(ReadBytes(out + "/Launch2004Video/index.html"));
    QVERIFY(page.contains("<video id=\"media\""));
    QVERIFY(page.contains("<track kind=\"chapters\" src=\"chapters.vtt\""));
    QVERIFY(page.contains("<track kind=\"subtitles\" src=\"FRENCH.vtt\" srclang=\"fr\""));
    QVERIFY(!page.contains("http:") && !page.contains("https:"));  // nothing from outside
    QVERIFY(ReadBytes(out + "/Launch2004/index.html").contains("<audio id=\"media\""));

    const QString list = QString::fromUtf8(ReadBytes(out + "/index.html"));
    QVERIFY(list.indexOf("href=\"Launch2004/index.html\"") <
            list.indexOf("href=\"Interview/index.html\""));
    QVERIFY(list.contains(QString::fromUtf8("zENTO Launch 2004 \u2013 keynote with video")));

    // Run again: the folders are there, so nothing is replaced without --force.
    QFile marker(out + "/Interview/kept.txt");
    QVERIFY(marker.open(QIODevice::WriteOnly));
    marker.close();
    const ProgramRun again = Ambrel({"--export", out, "--medium", kSample, "Interview"});
    QCOMPARE(again.code, 1);
    QVERIFY2(again.out.contains("exists already: not replaced (--force replaces it)"),
             qPrintable(again.out));
    QVERIFY(QFileInfo::exists(out + "/Interview/kept.txt"));
    // With --force the folder is made anew.
    const ProgramRun forced =
        Ambrel({"--export", out, "--medium", kSample, "--force", "interview"});
    QVERIFY2(forced.code == 0, qPrintable(forced.out + forced.err));
    QVERIFY(!QFileInfo::exists(out + "/Interview/kept.txt"));
    QVERIFY(QFileInfo::exists(out + "/Interview/media.m4a"));
    QVERIFY(Leftovers(out).isEmpty());
    // The list still names everything OUTDIR holds.
    QVERIFY(ReadBytes(out + "/index.html").contains("href=\"Launch2004Video/index.html\""));
  }

  void refusals_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("message");
    QTest::newRow("no output folder") << QStringList{"--medium", kSample, "--export"}
                                      << "--export needs a value: --export OUTDIR";
    QTest::newRow("medium missing")
        << QStringList{"--medium", "/no/such/medium"} << "does not exist or cannot be read";
    QTest::newRow("not a medium") << QStringList{"--medium", "@EMPTY@"}
                                  << "holds no Data/config.txt";
    QTest::newRow("folder not on the medium")
        << QStringList{"--medium", kSample, "Launch2004", "NoSuch"}
        << "NoSuch is not a presentation folder of the medium";
    QTest::newRow("output on the medium")
        << QStringList{"--medium", kSample, "@ONMEDIUM@"} << "lies on the medium";
    QTest::newRow("unknown option") << QStringList{"--medium", kSample, "--quick"} << "--quick";
  }
  void refusals() {
    QFETCH(QStringList, args);
    QFETCH(QString, message);
    QTemporaryDir tmp;
    const QString out = tmp.path() + "/web";
    QDir().mkpath(tmp.path() + "/empty");
    QStringList full;
    bool outGiven = false;
    for (QString a : args) {
      if (a == "@EMPTY@") a = tmp.path() + "/empty";
      if (a == "@ONMEDIUM@") {
        full << "--export" << kSample + "/Web";
        outGiven = true;
        continue;
      }
      full << a;
    }
    if (!outGiven && !args.contains("--export")) full << "--export" << out;
    const QStringList before = TreeSnapshot(kSample);
    const ProgramRun run = Ambrel(full);
    QCOMPARE(run.code, 2);
    QVERIFY2(run.err.contains(message), qPrintable(run.err));
    QVERIFY(!QFileInfo::exists(out));  // refused before anything was written
    QCOMPARE(TreeSnapshot(kSample), before);
  }

  // A presentation folder name from config.txt that would lead out of OUTDIR is not exported.
  void folderNameThatClimbs() {
    QTemporaryDir tmp;
    const QString copy = tmp.path() + "/medium";
    CopyTree(kSample, copy);
    QFile config(copy + "/Data/config.txt");
    QVERIFY(config.open(QIODevice::WriteOnly | QIODevice::Truncate));
    config.write("Presentations 1\r\nEscape\r\n../escape\r\n");
    config.close();
    medium::SetApplicationFolder(copy);
    ExportRequest request;
    request.outDir = tmp.path() + "/web";
    const ExportSummary s = ExportMedium(layout::Current(), request, nullptr);
    QCOMPARE(s.ExitCode(), 1);
    QCOMPARE(s.presentations.size(), size_t(1));
    QVERIFY(!s.presentations[0].exported);
    QVERIFY(!QFileInfo::exists(tmp.path() + "/escape"));
    QVERIFY(
        QDir(request.outDir).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden).isEmpty());
  }

  // Pictures found only in another case are written under the timeline's names, and the
  // problem is named as the checker names it.
  void picturesInAnotherCase() {
    QTemporaryDir tmp;
    const QString copy = tmp.path() + "/medium";
    CopyTree(kSample, copy);
    QVERIFY(QFile::rename(copy + "/Slides/ZentoLaunch/Slide3.jpg",
                          copy + "/Slides/ZentoLaunch/slide3.JPG"));
    QVERIFY(
        QFile::rename(copy + "/Slides/ZentoLaunch/thumbs", copy + "/Slides/ZentoLaunch/THUMBS"));
    medium::SetApplicationFolder(copy);
    ExportRequest request;
    request.outDir = tmp.path() + "/web";
    request.folders = {"Launch2004Video"};
    const ExportSummary s = ExportMedium(layout::Current(), request, nullptr);
    QCOMPARE(s.presentations.size(), size_t(1));
    QVERIFY(s.presentations[0].exported);
    // Names found only in another case are notes, as --check has them: status 0, counted apart.
    QCOMPARE(s.ExitCode(), 0);
    QCOMPARE(s.ProblemCount(), 0);
    QVERIFY(s.NoteCount() >= 2);
    QVERIFY2(FormatSummary(s).contains(
                 QString("1 of 1 presentation exported to %1; no problems, %2 notes.\n")
                     .arg(QDir::toNativeSeparators(s.outDir))
                     .arg(s.NoteCount())),
             qPrintable(FormatSummary(s)));
    bool named = false;
    for (const auto& p : s.presentations[0].problems) {
      named = named || (p.file == "Slides/ZentoLaunch/Slide3.jpg" &&
                        p.message.contains("found only as slide3.JPG") &&
                        ProblemLine(p).contains(": note: found only as"));
    }
    QVERIFY(named);
    const QString pkg = request.outDir + "/Launch2004Video/Slides/ZentoLaunch/";
    QCOMPARE(ReadBytes(pkg + "Slide3.jpg"), ReadBytes(kSample + "/Slides/ZentoLaunch/Slide3.jpg"));
    QCOMPARE(ReadBytes(pkg + "thumbs/Slide5.jpg"),
             ReadBytes(kSample + "/Slides/ZentoLaunch/thumbs/Slide5.jpg"));
    QVERIFY(!QFileInfo::exists(pkg + "THUMBS"));
  }

  // A damaged recording is decoded once, by the transcoding: what it meets is named as the
  // checker names it, at about the checker's times, once; the other player's recording is still
  // read by the checker.
  void damagedRecordingNamedOnce_data() {
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("pattern");
    QTest::newRow("video scratched") << "Launch2004Video"
                                     << "Media/Launch2004Video/media.wmv"
                                     << "^recording: damaged: cannot be decoded (from \\S+ to "
                                        "\\S+|at \\S+) \\(Tavisco plays it\\)$";
    QTest::newRow("sound cut in half")
        << "Interview"
        << "Media/Interview/media.wma"
        << "^recording: cut short: it ends at \\S+ of its stated 0:32.0 \\(Tavisco plays it\\)$";
  }
  void damagedRecordingNamedOnce() {
    QFETCH(QString, folder);
    QFETCH(QString, file);
    QFETCH(QString, pattern);
    QTemporaryDir tmp;
    const QString copy = tmp.path() + "/medium";
    CopyTree(kSample, copy);
    if (file.endsWith(".wmv")) {
      ScratchMiddle(copy + "/" + file);
    } else {
      QFile f(copy + "/" + file);
      QVERIFY(f.open(QIODevice::ReadWrite));
      QVERIFY(f.resize(f.size() / 2));
    }
    ScratchMiddle(copy + "/Media/" + folder + "/media.rm");  // Norvanta's, not exported
    medium::SetApplicationFolder(copy);
    ExportRequest request;
    request.outDir = tmp.path() + "/web";
    request.folders = {folder};
    const ExportSummary s = ExportMedium(layout::Current(), request, nullptr);
    QCOMPARE(s.presentations.size(), size_t(1));
    QVERIFY(s.presentations[0].exported);  // what plays is exported still
    QCOMPARE(s.ExitCode(), 1);
    QStringList said, rm;
    for (const auto& p : s.presentations[0].problems) {
      if (p.file == file) said << p.message;
      if (p.file == "Media/" + folder + "/media.rm") rm << p.message;
    }
    // Each kind of sentence once: the checker did not read it as well.
    QStringList kinds;
    for (const QString& m : said) kinds << m.left(m.indexOf(QRegularExpression("\\d")));
    QCOMPARE(kinds.removeDuplicates(), 0);
    said = said.filter(QRegularExpression(pattern));
    QVERIFY2(said.size() == 1, qPrintable(kinds.join('|')));
    QVERIFY2(!rm.isEmpty() && rm.filter("(Norvanta plays it)").size() == rm.size(),
             qPrintable(rm.join('|')));
    // The export places it by the time its output had reached, which trails the decoding by the
    // frames the encoder holds back (its lookahead runs on a thread of its own, so how many
    // varies with the load): never later than the checker, reading it through, and at this
    // recording's 5 frames/s a few seconds earlier at most.
    const checker::CheckResult check = checker::CheckMedium(layout::Current());
    QString checked;
    for (const auto& pres : check.presentations) {
      for (const auto& p : pres.problems) {
        if (p.file == file && p.message.startsWith(said[0].section(':', 0, 1))) checked = p.message;
      }
    }
    QVERIFY2(!checked.isEmpty(), qPrintable(checker::FormatText(check)));
    const double early = FirstTime(checked) - FirstTime(said[0]);
    QVERIFY2(early >= -0.5 && early <= 5.0, qPrintable(checked + " / " + said[0]));
  }

  // The export's verdict on a recording is --check's: clean for a clean recording, whatever the
  // demultiplexer remarks on its container while opening it, and damaged where it is damaged.
  void recordingVerdictAgreesWithCheck_data() {
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("damage");
    QTest::addColumn<QString>("verdict");
    QTest::newRow("clean RealMedia") << "Interview"
                                     << "media.rm"
                                     << "none"
                                     << "";
    QTest::newRow("RealMedia whose index names a stream it lacks") << "Interview"
                                                                   << "media.rm"
                                                                   << "index"
                                                                   << "";
    QTest::newRow("clean Windows Media video") << "Launch2004Video"
                                               << "media.wmv"
                                               << "none"
                                               << "";
    QTest::newRow("video scratched") << "Launch2004Video"
                                     << "media.wmv"
                                     << "scratch"
                                     << "recording: damaged: cannot be decoded";
    QTest::newRow("RealMedia cut in half") << "Interview"
                                           << "media.rm"
                                           << "cut"
                                           << "recording: cut short: it ends at";
  }
  void recordingVerdictAgreesWithCheck() {
    QFETCH(QString, folder);
    QFETCH(QString, file);
    QFETCH(QString, damage);
    QFETCH(QString, verdict);
    QTemporaryDir tmp;
    const QString copy = tmp.path() + "/medium";
    CopyTree(kSample, copy);
    // The recording under test is the one exported: the folder's others go.
    const QString media = copy + "/Media/" + folder;
    for (const QString& other : QDir(media).entryList(QDir::Files)) {
      if (other != file) QVERIFY(QFile::remove(media + u'/' + other));
    }
    const QString recording = media + u'/' + file;
    if (damage == "index") {
      AddIndexForAbsentStream(recording);
      // The remark that an export used to take for damage is made: the row proves the fault.
      const ProgramRun ffmpeg = RunProgram("ffmpeg", {"-hide_banner", "-nostdin", "-loglevel",
                                                      "error", "-i", recording, "-f", "null", "-"});
      QCOMPARE(ffmpeg.code, 0);
      QVERIFY2(ffmpeg.err.contains("Invalid stream index 1 for index"), qPrintable(ffmpeg.err));
    } else if (damage == "scratch") {
      ScratchMiddle(recording);
    } else if (damage == "cut") {
      QFile f(recording);
      QVERIFY(f.open(QIODevice::ReadWrite));
      QVERIFY(f.resize(f.size() / 2));
    }
    medium::SetApplicationFolder(copy);
    ExportRequest request;
    request.outDir = tmp.path() + "/web";
    request.folders = {folder};
    const ExportSummary s = ExportMedium(layout::Current(), request, nullptr);
    QCOMPARE(s.presentations.size(), size_t(1));
    QVERIFY2(s.presentations[0].exported, qPrintable(FormatSummary(s)));
    const QString relative = "Media/" + folder + u'/' + file;
    const QStringList exported = SentenceKinds(s.presentations[0].problems, relative);
    QStringList checked;
    const checker::CheckResult check = checker::CheckMedium(layout::Current());
    for (const auto& pres : check.presentations) {
      if (pres.folder == folder) checked = SentenceKinds(pres.problems, relative);
    }
    QCOMPARE(exported, checked);
    QVERIFY2(verdict.isEmpty() ? exported.isEmpty() : !exported.filter(verdict).isEmpty(),
             qPrintable(exported.join(u'|')));
  }

  // Ctrl-C, a logout, a service manager's stop while ffmpeg transcodes: the child stops, the
  // folder in the making goes, the summary says what was left, and the program ends by the signal.
  // Killed outright, the program takes its ffmpeg along (the parent-death signal).
  void interruptedExport_data() {
    QTest::addColumn<int>("signal");
    QTest::newRow("SIGINT") << int(SIGINT);
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGHUP") << int(SIGHUP);
    QTest::newRow("SIGKILL") << int(SIGKILL);
  }
  void interruptedExport() {
    QFETCH(int, signal);
    QTemporaryDir tmp;
    const QString out = tmp.path() + "/web";
    QProcess p;
    p.start(kAmbrel, {"--export", out, "--medium", kSample});
    QVERIFY(p.waitForStarted());
    const qint64 ffmpeg = WaitForChild(p, "ffmpeg", 120000);
    QVERIFY2(ffmpeg != 0, "no ffmpeg seen while exporting");
    QCOMPARE(::kill(pid_t(p.processId()), signal), 0);
    QVERIFY(p.waitForFinished(30000));
    QCOMPARE(p.exitStatus(), QProcess::CrashExit);
    QCOMPARE(p.exitCode(), signal);  // ended by the signal itself
    QVERIFY2(EndsWithin(ffmpeg, 5000), "ffmpeg went on after the export had ended");
    const QString said = QString::fromUtf8(p.readAllStandardOutput());
    if (signal == SIGKILL) {
      // Nothing can be said or cleaned after that; but the transcoding stopped halfway (its
      // index, written last, is missing) instead of going on into the folder left behind.
      const QStringList left = Leftovers(out);
      QCOMPARE(left.size(), 1);
      const QDir dir(out + "/" + left[0]);
      for (const QString& media : dir.entryList({"media.*"}, QDir::Files)) {
        QVERIFY2(Duration(Probe(dir.filePath(media))) == 0, qPrintable(media));
      }
      return;
    }
    QVERIFY2(Leftovers(out).isEmpty(), qPrintable(Leftovers(out).join(' ')));
    const char* name = signal == SIGINT ? "SIGINT" : signal == SIGTERM ? "SIGTERM" : "SIGHUP";
    QVERIFY2(said.contains(QString("Interrupted by %1: ").arg(name)), qPrintable(said));
    QVERIFY2(said.contains(": interrupted\n") &&
                 said.contains(": not finished; its temporary folder was removed."),
             qPrintable(said));
    // Whatever was done stays complete; whatever was not is named.
    for (const QString folder : {"Launch2004", "Interview", "Launch2004Video"}) {
      const bool there = QFileInfo::exists(out + "/" + folder);
      QVERIFY2(there ? said.contains(folder + ": exported")
                     : said.contains(QRegularExpression("(Not begun:.*|  )" + folder)),
               qPrintable(folder + ": " + said));
      if (there) QVERIFY(QFileInfo::exists(out + "/" + folder + "/data.json"));
    }
  }

  void cancel_data() {
    QTest::addColumn<int>("at");
    QTest::addColumn<QStringList>("kept");
    QTest::newRow("first presentation") << 1 << QStringList{};
    QTest::newRow("second presentation") << 2 << QStringList{"Launch2004"};
  }
  void cancel() {
    QFETCH(int, at);
    QFETCH(QStringList, kept);
    QTemporaryDir tmp;
    ExportRequest request;
    request.outDir = tmp.path() + "/web";
    std::atomic<bool> flag{false};
    CancelAt observer(at, flag);
    const ExportSummary s = ExportMedium(layout::Current(), request, &observer, &flag);
    QCOMPARE(s.status, ExportSummary::Status::Cancelled);
    QCOMPARE(s.ExitCode(), 1);
    QCOMPARE(observer.started.size(), at);  // nothing later is begun
    QCOMPARE(observer.finished, kept);
    QStringList folders =
        QDir(request.outDir).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden);
    QCOMPARE(folders, kept);
    for (const QString& f : kept)
      QVERIFY(QFileInfo::exists(request.outDir + "/" + f + "/media.m4a"));
    // The list names only what is complete.
    const QByteArray list = ReadBytes(request.outDir + "/index.html");
    QCOMPARE(list.contains("href=\"Launch2004/index.html\""), !kept.isEmpty());
    QVERIFY(!list.contains("href=\"Interview/index.html\""));
  }
};

QTEST_GUILESS_MAIN(ExportTest)
#include "test_export.moc"
