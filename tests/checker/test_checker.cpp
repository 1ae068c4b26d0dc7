// The medium checker: the sample medium is clean; every kind of damage a copied disc shows is
// found and placed at its file and line; the exit codes and the help of "Ambrel --check".

#include <QBuffer>
#include <QDirIterator>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QtTest>
#include <functional>
#include <thread>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

#include "checker/MediumCheck.h"
#include "checker/PictureCheck.h"
#include "checker/RecordingCheck.h"
#include "medium/Paths.h"
#include "tests/support/FileTree.h"
#include "tests/support/TempMedium.h"

namespace {

const QString kSample = QStringLiteral(SAMPLE_MEDIUM_DIR);
const QString kAmbrel = QStringLiteral(TEST_BIN_DIR "/Ambrel");

void CopyTree(const QString& from, const QString& to) {
  QDirIterator it(from, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
  while (it.hasNext()) {
    const QString file = it.next();
    const QString target = to + file.mid(from.size());
    QDir().mkpath(QFileInfo(target).path());
    QFile::copy(file, target);
  }
}

QByteArrayList ReadLines(const QString& path) {
  QFile f(path);
  f.open(QIODevice::ReadOnly);
  QByteArrayList lines = f.readAll().split('\n');
  if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
  for (QByteArray& l : lines)
    if (l.endsWith('\r')) l.chop(1);
  return lines;
}

// Lines of bytes as they are, CR LF after each (a damage may write any byte).
void WriteRawLines(const QString& path, const QByteArrayList& lines) {
  QFile f(path);
  f.open(QIODevice::WriteOnly | QIODevice::Truncate);
  for (const QByteArray& l : lines) f.write(l + "\r\n");
}

// Replaces line n (1-based) of a file of the medium.
void SetLine(const QString& root, const QString& file, int n, const QByteArray& text) {
  QByteArrayList lines = ReadLines(root + "/" + file);
  QVERIFY(n >= 1 && n <= lines.size());
  lines[n - 1] = text;
  WriteRawLines(root + "/" + file, lines);
}

using Damage = std::function<void(const QString& root)>;

QString Describe(const checker::CheckResult& result) {
  return checker::FormatText(result);
}

bool Has(const checker::CheckResult& result, const QString& file, int line, const QString& text) {
  auto match = [&](const checker::Problem& p) {
    return p.file == file && (line < 0 || p.line == line) && p.message.contains(text);
  };
  for (const auto& p : result.problems)
    if (match(p)) return true;
  for (const auto& pres : result.presentations)
    for (const auto& p : pres.problems)
      if (match(p)) return true;
  return false;
}

// Every entry for a file whose message matches a pattern.
std::vector<checker::Problem> Find(const checker::CheckResult& result, const QString& file,
                                   const QRegularExpression& pattern) {
  std::vector<checker::Problem> found;
  auto take = [&](const std::vector<checker::Problem>& list) {
    for (const auto& p : list)
      if (p.file == file && pattern.match(p.message).hasMatch()) found.push_back(p);
  };
  take(result.problems);
  for (const auto& pres : result.presentations) take(pres.problems);
  return found;
}

qint64 SizeOf(const QString& path) {
  return QFileInfo(path).size();
}

// Keeps the first half of a file, as a copy broken off halfway does.
void CutInHalf(const QString& path) {
  QFile f(path);
  QVERIFY(f.open(QIODevice::ReadWrite));
  QVERIFY(f.resize(f.size() / 2));
}

// A recording made by ffmpeg in place of one of the medium's; arguments before the output path.
void MakeRecording(const QString& path, const QStringList& args) {
  QProcess p;
  p.start("ffmpeg", QStringList{"-v", "error", "-y"} + args + QStringList{path});
  QVERIFY(p.waitForFinished(60000));
  QVERIFY2(p.exitCode() == 0, p.readAllStandardError().constData());
}

// A second of speech at 8 kHz in small packets, as the shortest recordings on the discs are.
void ShortSound(const QString& path) {
  MakeRecording(path, {"-f", "lavfi", "-i", "sine=frequency=300:duration=1.02:sample_rate=8000",
                       "-c:a", "wmav2", "-b:a", "24k", "-packet_size", "500"});
}

// Ten seconds of pictures at 25 frames a second with sound; a filter may leave frames out.
void Pictures(const QString& path, const QString& filter = "null") {
  MakeRecording(path,
                {"-f",   "lavfi", "-i",        "testsrc2=size=320x240:rate=25:duration=10",
                 "-f",   "lavfi", "-i",        "sine=frequency=440:duration=10:sample_rate=22050",
                 "-vf",  filter,  "-fps_mode", "passthrough",
                 "-c:v", "wmv2",  "-b:v",      "300k",
                 "-c:a", "wmav2", "-b:a",      "32k"});
}

void KeepShare(const QString& path, double share) {
  QFile f(path);
  QVERIFY(f.open(QIODevice::ReadWrite));
  QVERIFY(f.resize(qint64(f.size() * share)));
}

// Overwrites 1 KiB in the middle of a file with noise, the same on every run.
void NoiseInMiddle(const QString& path) {
  QFile f(path);
  QVERIFY(f.open(QIODevice::ReadWrite));
  QVERIFY(f.seek(f.size() / 2));
  QByteArray noise(1024, Qt::Uninitialized);
  quint32 x = 19;
  for (char& c : noise) {
    x = x * 1103515245u + 12345u;
    c = char(x >> 16);
  }
  f.write(noise);
}

QByteArray Encoded(const char* format) {
  QImage image(160, 120, QImage::Format_RGB32);
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) image.setPixel(x, y, qRgb(x, y, (x * y) & 255));
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, format, 90);
  return bytes;
}

const QString kTimes = QStringLiteral("\\d+:\\d\\d\\.\\d");

}  // namespace

Q_DECLARE_METATYPE(Damage)

class CheckerTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    QVERIFY2(QFileInfo::exists(kSample + "/Data/config.txt"), "the sample medium is missing");
  }

  void sampleMediumIsClean() {
    medium::SetApplicationFolder(kSample);
    const checker::CheckResult result = checker::CheckMedium(layout::Current());
    QVERIFY2(result.ProblemCount() == 0, qPrintable(Describe(result)));
    QCOMPARE(result.presentations.size(), size_t(3));
    const auto& show = result.presentations[0];
    QCOMPARE(show.folder, QString("Launch2004"));
    QCOMPARE(show.slides, 8);
    QVERIFY(show.annotations > 0);
    QVERIFY(show.cues >= 8);
    QCOMPARE(show.languages, 2);
  }

  // The library lists a length for every talk: a RealMedia header states none that FFmpeg takes,
  // so its length is FFmpeg's estimate.
  void lengthOfEveryRecording_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<double>("seconds");
    QTest::newRow("wma") << "Media/Launch2004/media.wma" << 48.0;
    QTest::newRow("wmv") << "Media/Launch2004Video/media.wmv" << 48.0;
    QTest::newRow("rm, sound") << "Media/Interview/media.rm" << 32.0;
    QTest::newRow("rm, video") << "Media/Launch2004Video/media.rm" << 48.0;
    QTest::newRow("not a recording") << "Data/config.txt" << -1.0;
  }
  void lengthOfEveryRecording() {
    QFETCH(QString, file);
    QFETCH(double, seconds);
    const double length = checker::LengthSeconds(kSample + "/" + file);
    QVERIFY2(std::abs(length - seconds) < 0.5, qPrintable(QString::number(length)));
  }

  void damageIsFoundAtItsPlace_data() {
    QTest::addColumn<Damage>("damage");
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("line");  // -1: any line
    QTest::addColumn<QString>("text");
    const QString db = "Data/Launch2004/database.txt";
    const QString ev = "Data/Launch2004/events.txt";
    const QString tr = "Data/Launch2004/transcripts";

    QTest::newRow("short settings") << Damage([db](const QString& r) {
      WriteRawLines(r + "/" + db, {"SlideMode=0", "MediaMode=0"});
    }) << db << 3 << "Input past end of file";
    QTest::newRow("settings number")
        << Damage([db](const QString& r) { SetLine(r, db, 2, "MediaMode=two"); }) << db << 2
        << "Type mismatch";
    QTest::newRow("settings missing")
        << Damage([db](const QString& r) { QFile::remove(r + "/" + db); }) << db << 0
        << "File not found";
    QTest::newRow("timeline number")
        << Damage([ev](const QString& r) { SetLine(r, ev, 6, "2~six~2"); }) << ev << 6
        << "Type mismatch";
    QTest::newRow("timeline overflow") << Damage([ev](const QString& r) {
      SetLine(r, ev, 7, "1~7000~3~0~1~300~99999~2820~3300~255~0~0");
    }) << ev << 7 << "Overflow";
    QTest::newRow("slide times not ascending") << Damage([ev](const QString& r) {
      SetLine(r, ev, 8, "0~3000~ZentoLaunch~3~Our year in numbers");
    }) << ev << 8 << "slide time 3000 comes before";
    QTest::newRow("first slide not at 0") << Damage([ev](const QString& r) {
      SetLine(r, ev, 1, "0~500~ZentoLaunch~1~Welcome to zENTO Launch 2004");
    }) << ev << 1 << "first slide starts at 500";
    QTest::newRow("first cue not at 0")
        << Damage([ev](const QString& r) { SetLine(r, ev, 2, "2~400~1"); }) << ev << 2
        << "first transcript cue starts at 400";
    QTest::newRow("colour out of range") << Damage([ev](const QString& r) {
      SetLine(r, ev, 7, "1~7000~3~0~1~300~6700~2820~3300~-300~0~0");
    }) << ev << 7 << "colour red \"-300\"";
    QTest::newRow("slide picture missing")
        << Damage([](const QString& r) { QFile::remove(r + "/Slides/ZentoLaunch/Slide3.jpg"); })
        << "Slides/ZentoLaunch/Slide3.jpg" << 0 << "events.txt line 8";
    QTest::newRow("thumbnail unreadable") << Damage([](const QString& r) {
      QFile f(r + "/Slides/ZentoLaunch/thumbs/Slide2.jpg");
      f.open(QIODevice::WriteOnly | QIODevice::Truncate);
      f.write("not a picture");
    }) << "Slides/ZentoLaunch/thumbs/Slide2.jpg"
                                          << 0 << "events.txt line 5";
    QTest::newRow("transcript section missing") << Damage([tr](const QString& r) {
      QByteArrayList lines = ReadLines(r + "/" + tr + "/FRENCH.html");
      for (QByteArray& l : lines) l.replace("SECTION3\"", "SECTIONX\"");
      WriteRawLines(r + "/" + tr + "/FRENCH.html", lines);
    }) << ev << 9 << "section 3 missing in " + tr + "/FRENCH.html";
    QTest::newRow("language without dot") << Damage([tr](const QString& r) {
      QFile f(r + "/" + tr + "/GERMAN");
      f.open(QIODevice::WriteOnly);
      f.write("<p><a name=\"SECTION1\"></a>\r\n");
    }) << tr << 0 << "\"GERMAN\" has no \".\"";
    QTest::newRow("no RealMedia recording")
        << Damage([](const QString& r) { QFile::remove(r + "/Media/Launch2004/media.rm"); })
        << "Media/Launch2004" << 0 << "no media.rm";
    QTest::newRow("no Windows Media recording")
        << Damage([](const QString& r) { QFile::remove(r + "/Media/Interview/media.wma"); })
        << "Media/Interview" << 0 << "no media.wma or media.wmv";
    QTest::newRow("name only in another case") << Damage([ev](const QString& r) {
      QFile::rename(r + "/" + ev, r + "/Data/Launch2004/EVENTS.TXT");
    }) << ev << 0 << "found only as EVENTS.TXT";
    QTest::newRow("launcher picture missing")
        << Damage([](const QString& r) { QFile::remove(r + "/Images/button3b.jpg"); })
        << "Images/button3b.jpg" << 0 << "launcher picture";
    QTest::newRow("config count") << Damage([](const QString& r) {
      QByteArrayList lines = ReadLines(r + "/Data/config.txt");
      lines[0] = "Presentations many";
      WriteRawLines(r + "/Data/config.txt", lines);
    }) << "Data/config.txt" << -1 << "Type mismatch";
  }

  void damageIsFoundAtItsPlace() {
    QFETCH(Damage, damage);
    QFETCH(QString, file);
    QFETCH(int, line);
    QFETCH(QString, text);
    TempMedium copy;
    CopyTree(kSample, copy.Root());
    damage(copy.Root());
    medium::SetApplicationFolder(copy.Root());
    const checker::CheckResult result = checker::CheckMedium(layout::Current());
    QVERIFY2(Has(result, file, line, text), qPrintable(Describe(result)));
  }

  // A picture is whole only up to its end marker; the decoder alone fills the rest with grey.
  void pictureDamage_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("verdict");  // the start of the answer; empty: whole
    const QByteArray jpeg = Encoded("JPEG");
    QTest::newRow("whole JPEG") << jpeg << "";
    QTest::newRow("bytes after the end") << jpeg + QByteArray(100, '\0') << "";
    QTest::newRow("cut in half") << jpeg.left(jpeg.size() / 2) << "cut short";
    QTest::newRow("end marker missing") << jpeg.left(jpeg.size() - 2) << "cut short";
    QTest::newRow("cut in the headers") << jpeg.left(40) << "cut short";
    QTest::newRow("whole PNG") << Encoded("PNG") << "";
    QTest::newRow("no picture") << QByteArray("plain text") << "damaged: it cannot be decoded";
  }
  void pictureDamage() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, verdict);
    const QString answer = checker::PictureDamage(bytes);
    if (verdict.isEmpty()) {
      QVERIFY2(answer.isEmpty(), qPrintable(answer));
    } else {
      QVERIFY2(answer.startsWith(verdict), qPrintable(answer));
    }
  }

  // Recordings and pictures that old discs damage: each is read or decoded through, and what a
  // player would play or show wrongly is a problem with its times.
  void damagedFilesAreFound_data() {
    QTest::addColumn<Damage>("damage");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("pattern");
    QTest::newRow("sound cut in half")
        << Damage([](const QString& r) { CutInHalf(r + "/Media/Interview/media.wma"); })
        << "Media/Interview/media.wma"
        << "^recording: cut short: it ends at " + kTimes + " of its stated " + kTimes +
               " \\(Tavisco plays it\\)$";
    QTest::newRow("video cut in half")
        << Damage([](const QString& r) { CutInHalf(r + "/Media/Launch2004Video/media.wmv"); })
        << "Media/Launch2004Video/media.wmv"
        << "^recording: cut short: it ends at " + kTimes + " of its stated " + kTimes;
    QTest::newRow("RealMedia cut in half")
        << Damage([](const QString& r) { CutInHalf(r + "/Media/Launch2004/media.rm"); })
        << "Media/Launch2004/media.rm"
        << "^recording: cut short: it ends at " + kTimes + " of its stated " + kTimes +
               " \\(Norvanta plays it\\)$";
    QTest::newRow("sound scratched")
        << Damage([](const QString& r) { ScratchMiddle(r + "/Media/Launch2004/media.wma"); })
        << "Media/Launch2004/media.wma"
        << "^recording: damaged: cannot be decoded (from " + kTimes + " to " + kTimes + "|at " +
               kTimes + ")";
    QTest::newRow("video scratched")
        << Damage([](const QString& r) { ScratchMiddle(r + "/Media/Launch2004Video/media.wmv"); })
        << "Media/Launch2004Video/media.wmv"
        << "^recording: damaged: cannot be decoded (from " + kTimes + " to " + kTimes + "|at " +
               kTimes + ")";
    QTest::newRow("RealMedia scratched")
        << Damage([](const QString& r) { ScratchMiddle(r + "/Media/Interview/media.rm"); })
        << "Media/Interview/media.rm"
        << "^recording: damaged: cannot be decoded (from " + kTimes + " to " + kTimes + "|at " +
               kTimes + ")";
    // A short recording may not lose a tenth unnoticed: the tolerance is its own packet.
    QTest::newRow("short sound cut at 90 %") << Damage([](const QString& r) {
      ShortSound(r + "/Media/Interview/media.wma");
      KeepShare(r + "/Media/Interview/media.wma", 0.9);
    }) << "Media/Interview/media.wma"
                                             << "^recording: cut short: it ends at 0:00.9 of "
                                                "its stated 0:01.0 \\(Tavisco plays it\\)$";
    // Frames 100 to 104 (4.0 s to 4.2 s) lost: they decode without an error, but the picture's
    // times jump beyond the stream's own rate.
    QTest::newRow("pictures missing") << Damage([](const QString& r) {
      Pictures(r + "/Media/Launch2004Video/media.wmv", "select='not(between(n,100,104))'");
    }) << "Media/Launch2004Video/media.wmv"
                                      << "^recording: damaged: pictures missing from 0:04.0 to "
                                         "0:04.2 \\(Tavisco plays it\\)$";
    QTest::newRow("noise in the pictures") << Damage([](const QString& r) {
      Pictures(r + "/Media/Launch2004Video/media.wmv");
      NoiseInMiddle(r + "/Media/Launch2004Video/media.wmv");
    }) << "Media/Launch2004Video/media.wmv"
                                           << "^recording: damaged: (cannot be decoded|pictures "
                                              "missing) (from " +
                                                  kTimes + " to " + kTimes + "|at " + kTimes + ")";
    QTest::newRow("not a recording at all") << Damage([](const QString& r) {
      QFile f(r + "/Media/Interview/media.rm");
      QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
      f.write("this is text, not RealMedia");
    }) << "Media/Interview/media.rm"
                                            << "^recording: cannot be (opened|read|played)";
    QTest::newRow("slide picture cut in half")
        << Damage([](const QString& r) { CutInHalf(r + "/Slides/ZentoLaunch/Slide3.jpg"); })
        << "Slides/ZentoLaunch/Slide3.jpg"
        << "^slide picture: cut short: .* \\(Data/Launch2004/events.txt line 8\\)$";
    QTest::newRow("thumbnail cut in half")
        << Damage([](const QString& r) { CutInHalf(r + "/Slides/ZentoLaunch/thumbs/Slide2.jpg"); })
        << "Slides/ZentoLaunch/thumbs/Slide2.jpg"
        << "^thumbnail: cut short: ";
  }
  void damagedFilesAreFound() {
    QFETCH(Damage, damage);
    QFETCH(QString, file);
    QFETCH(QString, pattern);
    TempMedium copy;
    CopyTree(kSample, copy.Root());
    const QString target = copy.Root() + "/" + file;
    const qint64 before = SizeOf(target);
    damage(copy.Root());
    QVERIFY(SizeOf(target) <= before);
    medium::SetApplicationFolder(copy.Root());
    const checker::CheckResult result = checker::CheckMedium(layout::Current());
    const auto found = Find(result, file, QRegularExpression(pattern));
    QVERIFY2(!found.empty(), qPrintable(Describe(result)));
    for (const auto& p : found) QCOMPARE(int(p.severity), int(checker::Severity::Problem));
    QVERIFY(result.ProblemCount() >= 1);
  }

  // Checks run on several threads at once (the library window checks a medium while its index
  // reads others): each check reads its own medium, and what the picture decoder warns on one
  // thread never lands in another's verdict.
  void twoMediaCheckedAtOnce() {
    TempMedium damaged;
    TempMedium clean;
    CopyTree(kSample, damaged.Root());
    CopyTree(kSample, clean.Root());
    QByteArray garbled = Encoded("JPEG");
    for (qsizetype i = garbled.size() / 2; i < garbled.size() / 2 + 64; ++i) garbled[i] = '\0';
    QFile slide(damaged.Root() + "/Slides/ZentoLaunch/Slide3.jpg");
    QVERIFY(slide.open(QIODevice::WriteOnly | QIODevice::Truncate));
    slide.write(garbled);
    slide.close();
    QVERIFY2(checker::PictureDamage(garbled).startsWith("damaged: "),
             qPrintable(checker::PictureDamage(garbled)));

    checker::CheckOptions quick;
    quick.readRecordings = false;
    for (int round = 0; round < 3; ++round) {
      checker::CheckResult one;
      checker::CheckResult other;
      std::thread a(
          [&] { one = checker::CheckMedium(layout::MediumLayout(damaged.Root()), quick); });
      std::thread b(
          [&] { other = checker::CheckMedium(layout::MediumLayout(clean.Root()), quick); });
      a.join();
      b.join();
      QCOMPARE(one.root, QDir::toNativeSeparators(damaged.Root()));
      QCOMPARE(other.root, QDir::toNativeSeparators(clean.Root()));
      QVERIFY2(Has(one, "Slides/ZentoLaunch/Slide3.jpg", -1, "slide picture: damaged: "),
               qPrintable(Describe(one)));
      QVERIFY2(other.ProblemCount() == 0, qPrintable(Describe(other)));
    }
  }

  // A picture is decoded once per check, yet named at every line that shows it: the two
  // keynotes share their deck.
  void sharedPictureNamedAtEachLine() {
    TempMedium copy;
    CopyTree(kSample, copy.Root());
    CutInHalf(copy.Root() + "/Slides/ZentoLaunch/Slide3.jpg");
    medium::SetApplicationFolder(copy.Root());
    const checker::CheckResult result = checker::CheckMedium(layout::Current());
    const auto found = Find(result, "Slides/ZentoLaunch/Slide3.jpg",
                            QRegularExpression("^slide picture: cut short"));
    QStringList places;
    for (const auto& p : found) places << p.message.section(" (", -1);
    places.sort();
    QCOMPARE(places, QStringList({"Data/Launch2004/events.txt line 8)",
                                  "Data/Launch2004Video/events.txt line 8)"}));
  }

  // The recordings above whole: no tolerance or rate makes them faulty.
  void wholeRecordingsAreClean_data() {
    QTest::addColumn<Damage>("make");
    QTest::addColumn<QString>("file");
    QTest::newRow("short sound") << Damage([](const QString& r) {
      ShortSound(r + "/Media/Interview/media.wma");
    }) << "Media/Interview/media.wma";
    QTest::newRow("pictures") << Damage([](const QString& r) {
      Pictures(r + "/Media/Launch2004Video/media.wmv");
    }) << "Media/Launch2004Video/media.wmv";
    // One frame left out now and then, as an encoder does to keep its bit rate.
    QTest::newRow("single frames left out") << Damage([](const QString& r) {
      Pictures(r + "/Media/Launch2004Video/media.wmv", "select='mod(n,7)'");
    }) << "Media/Launch2004Video/media.wmv";
  }
  void wholeRecordingsAreClean() {
    QFETCH(Damage, make);
    QFETCH(QString, file);
    TempMedium copy;
    CopyTree(kSample, copy.Root());
    make(copy.Root());
    medium::SetApplicationFolder(copy.Root());
    const checker::CheckResult result = checker::CheckMedium(layout::Current());
    QVERIFY2(Find(result, file, QRegularExpression(".")).empty(), qPrintable(Describe(result)));
  }

  // What plays as it should is a note, never a problem; what no player can play is a problem.
  void notesAndProblems_data() {
    QTest::addColumn<Damage>("damage");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("note");
    QTest::newRow("only Tavisco plays it")
        << Damage([](const QString& r) { QFile::remove(r + "/Media/Launch2004/media.rm"); })
        << "Media/Launch2004"
        << "no media.rm: Norvanta cannot play it" << true;
    QTest::newRow("only Norvanta plays it")
        << Damage([](const QString& r) { QFile::remove(r + "/Media/Interview/media.wma"); })
        << "Media/Interview"
        << "no media.wma or media.wmv: Tavisco cannot play it" << true;
    QTest::newRow("a name in another case") << Damage([](const QString& r) {
      QFile::rename(r + "/Data/Launch2004/events.txt", r + "/Data/Launch2004/Events.TXT");
    }) << "Data/Launch2004/events.txt"
                                            << "found only as Events.TXT" << true;
    QTest::newRow("a recording name in another case") << Damage([](const QString& r) {
      QFile::rename(r + "/Media/Interview/media.rm", r + "/Media/Interview/MEDIA.RM");
    }) << "Media/Interview/media.rm"
                                                      << "found only as MEDIA.RM" << true;
    // The players draw a component above 255 at full strength, as they always have.
    QTest::newRow("colour above 255") << Damage([](const QString& r) {
      SetLine(r, "Data/Launch2004/events.txt", 7, "1~7000~3~0~1~300~6700~2820~3300~300~0~0");
    }) << "Data/Launch2004/events.txt"
                                      << "colour red \"300\" is above 255: drawn as 255" << true;
    QTest::newRow("nobody plays it") << Damage([](const QString& r) {
      QFile::remove(r + "/Media/Interview/media.wma");
      QFile::remove(r + "/Media/Interview/media.rm");
    }) << "Media/Interview"
                                     << "no media.rm: Norvanta cannot play it" << false;
  }
  void notesAndProblems() {
    QFETCH(Damage, damage);
    QFETCH(QString, file);
    QFETCH(QString, text);
    QFETCH(bool, note);
    TempMedium copy;
    CopyTree(kSample, copy.Root());
    damage(copy.Root());
    medium::SetApplicationFolder(copy.Root());
    const checker::CheckResult result = checker::CheckMedium(layout::Current());
    const auto found = Find(result, file, QRegularExpression(QRegularExpression::escape(text)));
    QVERIFY2(found.size() == 1, qPrintable(Describe(result)));
    const auto expected = note ? checker::Severity::Note : checker::Severity::Problem;
    QCOMPARE(int(found[0].severity), int(expected));
    if (note) {
      // Notes alone leave the medium clean, and the text marks them.
      QVERIFY2(result.ProblemCount() == 0, qPrintable(Describe(result)));
      QCOMPARE(result.NoteCount(), 1);
      QVERIFY(Describe(result).contains(": note: " + text));
      QVERIFY(Describe(result).contains("No problems found."));
    } else {
      QCOMPARE(result.ProblemCount(), 2);  // neither player can play it
    }
  }

  // A crafted medium names places outside itself; nothing there is read, and it is a problem.
  void namesLeavingTheMedium_data() {
    QTest::addColumn<Damage>("damage");
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("line");
    QTest::addColumn<QString>("text");
    QTest::newRow("presentation folder")
        << Damage([](const QString& r) { SetLine(r, "Data/config.txt", 5, "../../etc"); })
        << "Data/config.txt" << 5
        << "the presentation folder \"../../etc\" leads outside "
           "the medium: it has a \"..\" part";
    QTest::newRow("absolute presentation folder")
        << Damage([](const QString& r) { SetLine(r, "Data/config.txt", 3, "/etc"); })
        << "Data/config.txt" << 3 << "\"/etc\" leads outside the medium: it is an absolute path";
    QTest::newRow("slide deck") << Damage([](const QString& r) {
      SetLine(r, "Data/Launch2004/events.txt", 4,
              R"(0~6000~..\..\..\home\user\Pictures~2~Where we stand)");
    }) << "Data/Launch2004/events.txt"
                                << 4 << R"(the slide deck "..\..\..\home\user\Pictures" leads)";
  }
  void namesLeavingTheMedium() {
    QFETCH(Damage, damage);
    QFETCH(QString, file);
    QFETCH(int, line);
    QFETCH(QString, text);
    TempMedium copy;
    CopyTree(kSample, copy.Root());
    damage(copy.Root());
    medium::SetApplicationFolder(copy.Root());
    const checker::CheckResult result = checker::CheckMedium(layout::Current());
    QVERIFY2(Has(result, file, line, text), qPrintable(Describe(result)));
    QVERIFY(result.ProblemCount() >= 1);
    // Nothing outside the medium is named in the report.
    for (const auto& pres : result.presentations)
      for (const auto& p : pres.problems) QVERIFY2(!p.file.startsWith(".."), qPrintable(p.file));
  }

#ifdef Q_OS_UNIX
  // A pipe or a device link where a text file belongs: named, and the check goes on (a pipe
  // that was opened would wait for a writer for ever).
  void specialFilesDoNotHang_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("pipe");
    QTest::addColumn<QString>("text");
    QTest::newRow("timeline as a pipe") << "Data/Launch2004/events.txt" << true << "a named pipe";
    QTest::newRow("details linked to a device")
        << "Data/Interview/details.txt" << false << "a device";
    QTest::newRow("settings as a pipe") << "Data/Interview/database.txt" << true << "a named pipe";
  }
  void specialFilesDoNotHang() {
    QFETCH(QString, file);
    QFETCH(bool, pipe);
    QFETCH(QString, text);
    TempMedium copy;
    CopyTree(kSample, copy.Root());
    const QString path = copy.Root() + "/" + file;
    QVERIFY(QFile::remove(path));
    if (pipe) {
      QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0644), 0);
    } else {
      QVERIFY(QFile::link("/dev/zero", path));
    }
    medium::SetApplicationFolder(copy.Root());
    const checker::CheckResult result = checker::CheckMedium(layout::Current());
    QVERIFY2(Has(result, file, -1, "is " + text + ", not a file"), qPrintable(Describe(result)));
    QCOMPARE(result.presentations.size(), size_t(3));
  }
#endif

  void exitCodesAndJson() {
    auto run = [](const QStringList& args, QByteArray* out = nullptr) {
      QProcess p;
      p.start(kAmbrel, args);
      if (!p.waitForFinished(60000)) return -1;
      if (out) *out = p.readAllStandardOutput();
      return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    };
    QByteArray out;
    QCOMPARE(run({"--check", "--medium", kSample}, &out), 0);
    QVERIFY(out.contains("No problems found."));

    TempMedium copy;
    CopyTree(kSample, copy.Root());
    QFile::remove(copy.Root() + "/Slides/ZentoLaunch/Slide5.jpg");
    QCOMPARE(run({"--check", "--json", "--medium=" + copy.Root()}, &out), 1);
    const QJsonObject root = QJsonDocument::fromJson(out).object();
    // Both presentations that show the deck miss the picture.
    QCOMPARE(root["problemCount"].toInt(), 2);
    const QJsonObject show = root["presentations"].toArray()[0].toObject();
    QCOMPARE(show["slides"].toInt(), 8);
    QCOMPARE(show["languages"].toInt(), 2);
    const QJsonObject problem = show["problems"].toArray()[0].toObject();
    QCOMPARE(problem["file"].toString(), QString("Slides/ZentoLaunch/Slide5.jpg"));
    QCOMPARE(problem["severity"].toString(), QString("problem"));

    // Notes alone: exit 0, and the JSON says which entries are notes.
    TempMedium noted;
    CopyTree(kSample, noted.Root());
    QVERIFY(QFile::remove(noted.Root() + "/Media/Launch2004/media.rm"));
    QCOMPARE(run({"--check", "--json", "--medium", noted.Root()}, &out), 0);
    const QJsonObject notedRoot = QJsonDocument::fromJson(out).object();
    QCOMPARE(notedRoot["problemCount"].toInt(), 0);
    QCOMPARE(notedRoot["noteCount"].toInt(), 1);
    const QJsonObject note =
        notedRoot["presentations"].toArray()[0].toObject()["problems"].toArray()[0].toObject();
    QCOMPARE(note["severity"].toString(), QString("note"));
    QCOMPARE(note["file"].toString(), QString("Media/Launch2004"));
    QCOMPARE(run({"--check", "--medium", noted.Root()}, &out), 0);
    QVERIFY2(out.contains("Media/Launch2004: note: no media.rm") && out.contains("1 note."),
             out.constData());

    QCOMPARE(run({"--check", "--medium", copy.Root() + "/no such folder"}), 2);
    // A folder that is not a medium at all: every missing file is a problem, not a failure.
    TempMedium empty;
    QCOMPARE(run({"--check", "--medium", empty.Root()}, &out), 1);
    QVERIFY(out.contains("config.txt"));
  }

  void helpAndVersion() {
    for (const char* program : {"/Ambrel", "/Tavisco", "/Norvanta"}) {
      const QString name = QString(program).mid(1);
      QProcess p;
      p.start(QStringLiteral(TEST_BIN_DIR) + program, {"--help"});
      QVERIFY(p.waitForFinished(10000));
      QCOMPARE(p.exitCode(), 0);
      const QByteArray help = p.readAllStandardOutput();
      QVERIFY2(help.startsWith("Usage: " + name.toLatin1()), help.constData());
      QVERIFY(help.contains("--medium"));
      p.start(QStringLiteral(TEST_BIN_DIR) + program, {"--version"});
      QVERIFY(p.waitForFinished(10000));
      QCOMPARE(p.exitCode(), 0);
      QVERIFY(p.readAllStandardOutput().startsWith(name.toLatin1() + " 1."));
    }
  }
};

QTEST_GUILESS_MAIN(CheckerTest)
#include "test_checker.moc"
