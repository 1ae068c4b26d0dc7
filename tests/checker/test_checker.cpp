// The medium checker: the sample medium is clean; every kind of damage a copied disc shows is
// found and placed at its file and line; the exit codes and the help of "Ambrel --check".

#include <QDirIterator>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QtTest>
#include <functional>

#include "checker/MediumCheck.h"
#include "medium/Paths.h"
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

void WriteLines(const QString& path, const QByteArrayList& lines) {
  QFile f(path);
  f.open(QIODevice::WriteOnly | QIODevice::Truncate);
  for (const QByteArray& l : lines) f.write(l + "\r\n");
}

// Replaces line n (1-based) of a file of the medium.
void SetLine(const QString& root, const QString& file, int n, const QByteArray& text) {
  QByteArrayList lines = ReadLines(root + "/" + file);
  QVERIFY(n >= 1 && n <= lines.size());
  lines[n - 1] = text;
  WriteLines(root + "/" + file, lines);
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
    const checker::CheckResult result = checker::CheckMedium();
    QVERIFY2(result.ProblemCount() == 0, qPrintable(Describe(result)));
    QCOMPARE(result.presentations.size(), size_t(3));
    const auto& show = result.presentations[0];
    QCOMPARE(show.folder, QString("Launch2004"));
    QCOMPARE(show.slides, 8);
    QVERIFY(show.annotations > 0);
    QVERIFY(show.cues >= 8);
    QCOMPARE(show.languages, 2);
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
      WriteLines(r + "/" + db, {"SlideMode=0", "MediaMode=0"});
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
      SetLine(r, ev, 7, "1~7000~3~0~1~300~6700~2820~3300~300~0~0");
    }) << ev << 7 << "colour red \"300\"";
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
      WriteLines(r + "/" + tr + "/FRENCH.html", lines);
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
      WriteLines(r + "/Data/config.txt", lines);
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
    const checker::CheckResult result = checker::CheckMedium();
    QVERIFY2(Has(result, file, line, text), qPrintable(Describe(result)));
  }

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
