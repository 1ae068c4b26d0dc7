// Preserving a medium: the bag of the sample medium holds every file byte for byte, reads back
// with sha512sum -c and "Ambrel --verify"; every kind of damage to a bag is found; a file the
// disc cannot give is copied as far as it can be and named, and the bag says it is incomplete;
// masters of the sample recordings decode to the same streams as the originals (and a lossy one
// is caught); a cancel or an interruption leaves nothing behind.

#include <QDirIterator>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

#include "medium/Paths.h"
#include "preserver/BagFormat.h"
#include "preserver/BagVerifier.h"
#include "preserver/Masters.h"
#include "preserver/Preserver.h"
#include "tests/support/ChildProcesses.h"
#include "tests/support/FileTree.h"
#include "tests/support/TempMedium.h"

using namespace preserver;

namespace {

const QString kSample = QStringLiteral(SAMPLE_MEDIUM_DIR);
const QString kAmbrel = QStringLiteral(TEST_BIN_DIR "/Ambrel");

void Write(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  f.write(bytes);
}

QStringList Files(const QString& root) {
  QStringList out;
  QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
  while (it.hasNext()) out << it.next().mid(root.size() + 1);
  out.sort();
  return out;
}

QStringList Leftovers(const QString& outDir) {
  return QDir(outDir).entryList({".preserve-*"}, QDir::AllEntries | QDir::Hidden);
}

// A small medium: the configuration, a file of 3 MB that spans several blocks, a hidden file,
// an empty file and folder, names no presentation uses.
QByteArray Pattern(int size) {
  QByteArray bytes(size, '\0');
  for (int i = 0; i < size; ++i) bytes[i] = char((i * 131 + i / 4096) & 0xff);
  return bytes;
}

void WriteSmallMedium(const QString& root) {
  auto put = [&](const QString& relative, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(root + u'/' + relative).path());
    Write(root + u'/' + relative, bytes);
  };
  put("Data/config.txt", "Presentations 1\r\nA talk, with a comma\r\nTalk\r\n");
  put("Media/Talk/big.bin", Pattern(3 * 1024 * 1024 + 77));
  put("readme.txt", "Read me.\r\n");
  put(".hidden", "hidden");
  put("Data/empty.txt", "");
  QDir().mkpath(root + "/Images/Nothing");
}

void MakeSmallMedium(TempMedium& m) {
  WriteSmallMedium(m.Root());
}

// Stands in for a damaged disc: reads that touch [badBegin, badEnd) of one file fail, or the
// file cannot be opened at all.
class FailingSource : public SourceFile {
 public:
  FailingSource(const QString& path, qint64 badBegin, qint64 badEnd, bool failOpen)
      : real_(OpenLocalFile(path)), begin_(badBegin), end_(badEnd), failOpen_(failOpen) {}
  bool Open(QString* error) override {
    if (failOpen_) {
      *error = QStringLiteral("Permission denied");
      return false;
    }
    return real_->Open(error);
  }
  qint64 Size() const override { return real_->Size(); }
  qint64 ReadAt(qint64 offset, char* data, qint64 size, QString* error) override {
    if (offset < end_ && offset + size > begin_) {
      *error = QStringLiteral("Input/output error");
      return -1;
    }
    return real_->ReadAt(offset, data, size, error);
  }

 private:
  std::unique_ptr<SourceFile> real_;
  qint64 begin_, end_;
  bool failOpen_;
};

BagSummary Preserve(const QString& root, const QString& outDir, bool masters = false,
                    SourceOpener opener = OpenLocalFile, const PreserveProgressFn& progress = {},
                    const std::atomic<bool>* cancel = nullptr) {
  PreserveRequest request;
  request.outDir = outDir;
  request.masters = masters;
  request.openSource = std::move(opener);
  return PreserveMedium(root, request, progress, cancel);
}

QJsonObject Probe(const QString& path) {
  const ProgramRun r = RunProgram("ffprobe", {"-v", "error", "-show_streams", "-of", "json", path});
  return QJsonDocument::fromJson(r.out.toUtf8()).object();
}

QStringList StreamCodecs(const QString& path) {
  QStringList out;
  for (const QJsonValue& s : Probe(path)["streams"].toArray()) {
    out << s["codec_type"].toString() + u':' + s["codec_name"].toString();
  }
  return out;
}

// A manifest line for a tag file, as it would be after a change made on purpose.
void Rehash(const QString& bag, const QString& tagFile) {
  QByteArray manifest = ReadBytes(bag + "/tagmanifest-sha512.txt");
  QByteArray out;
  for (const QByteArray& line : manifest.split('\n')) {
    if (line.isEmpty()) continue;
    if (line.endsWith("  " + tagFile.toUtf8())) {
      out += ManifestLine(HexDigest(Algorithm::Sha512, ReadBytes(bag + u'/' + tagFile)), tagFile);
    } else {
      out += line + '\n';
    }
  }
  Write(bag + "/tagmanifest-sha512.txt", out);
}

enum Damage {
  kNone,
  kByteChanged,
  kMissing,
  kExtra,
  kRenamed,
  kWrongOxum,
  kTagManifestDigest,
  kTagManifestLine,
  kTagFileChanged,
  kOutsidePath,
  kNoDeclaration,
};

void Damage(const QString& bag, int damage) {
  const QString big = bag + "/data/medium/Media/Talk/big.bin";
  switch (damage) {
    case kByteChanged: {
      QByteArray bytes = ReadBytes(big);
      bytes[2 * 1024 * 1024 + 5] = char(bytes[2 * 1024 * 1024 + 5] ^ 0x01);
      Write(big, bytes);
      break;
    }
    case kMissing:
      QFile::remove(bag + "/data/medium/readme.txt");
      break;
    case kExtra:
      Write(bag + "/data/medium/Data/extra.txt", "not bagged");
      break;
    case kRenamed:
      QFile::rename(bag + "/data/medium/readme.txt", bag + "/data/medium/README.TXT");
      break;
    case kWrongOxum: {
      QByteArray info = ReadBytes(bag + "/bag-info.txt");
      const qsizetype at = info.indexOf("Payload-Oxum: ");
      const qsizetype end = info.indexOf('\n', at);
      info.replace(at, end - at, "Payload-Oxum: 1234.5");
      Write(bag + "/bag-info.txt", info);
      Rehash(bag, "bag-info.txt");  // only the Oxum is wrong
      break;
    }
    case kTagManifestDigest: {
      QByteArray m = ReadBytes(bag + "/tagmanifest-sha512.txt");
      const qsizetype at = m.indexOf("  bag-info.txt") - 1;
      m[at] = m[at] == '0' ? '1' : '0';
      Write(bag + "/tagmanifest-sha512.txt", m);
      break;
    }
    case kTagManifestLine: {
      QByteArray m = ReadBytes(bag + "/tagmanifest-sha512.txt");
      m.remove(10, 40);
      Write(bag + "/tagmanifest-sha512.txt", m);
      break;
    }
    case kTagFileChanged: {
      QFile f(bag + "/metadata/premis-events.csv");
      f.open(QIODevice::Append);
      f.write("2030-01-01T00:00:00Z,deletion,data,success,nothing happened,someone\r\n");
      break;
    }
    case kOutsidePath: {
      QFile f(bag + "/manifest-sha512.txt");
      f.open(QIODevice::Append);
      f.write(ManifestLine(QByteArray(128, 'a'), "data/../../outside.txt"));
      break;
    }
    case kNoDeclaration:
      QFile::remove(bag + "/bagit.txt");
      break;
  }
}

}  // namespace

class PreserveTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { medium::SetApplicationFolder(kSample); }

  void sampleMediumBagIsWholeAndReadsBack() {
    QTemporaryDir out;
    const QStringList before = TreeSnapshot(kSample);
    const ProgramRun r =
        RunProgram(kAmbrel, {"--preserve", out.path(), "--masters", "--medium", kSample});
    QVERIFY2(r.code == 0, qPrintable(r.out + r.err));
    QVERIFY2(r.out.endsWith("Complete.\n"), qPrintable(r.out));
    const QString bag = out.path() + "/sample-medium";
    QVERIFY(QFileInfo(bag).isDir());
    QCOMPARE(Leftovers(out.path()), QStringList());
    QCOMPARE(TreeSnapshot(kSample), before);

    // Every file of the medium, byte for byte, under its own name.
    const QStringList files = Files(kSample);
    QCOMPARE(Files(bag + "/data/medium"), files);
    qint64 bytes = 0;
    QStringList recordings;
    for (const QString& f : files) {
      QVERIFY2(ReadBytes(kSample + u'/' + f) == ReadBytes(bag + "/data/medium/" + f),
               qPrintable(f));
      bytes += QFileInfo(kSample + u'/' + f).size();
      if (f.startsWith("Media/")) recordings << f;
    }
    QVERIFY(recordings.size() >= 5);

    // A master of every recording: every stream in order, each in its lossless form, and the
    // proof that the decoded streams of original and master are the same.
    for (const QString& recording : recordings) {
      const QString folder = recording.section('/', 1, 1);
      const QString file = recording.section('/', 2);
      const QString master = bag + "/data/masters/" + folder + u'/' + file + ".mkv";
      QStringList expected;
      for (const QString& stream : StreamCodecs(kSample + u'/' + recording)) {
        const QString type = stream.section(':', 0, 0);
        const QString codec = stream.section(':', 1);
        expected << type + u':' +
                        (type == "video"                       ? "ffv1"
                         : codec == "wmav2" || codec == "cook" ? "pcm_f32le"
                                                               : "flac");
      }
      QCOMPARE(StreamCodecs(master), expected);
      const QString proof = bag + "/metadata/" + folder + u'/' + file;
      const QByteArray a = ReadBytes(proof + ".original.streamhash");
      QCOMPARE(a.count('\n'), expected.size());
      QCOMPARE(a, ReadBytes(proof + ".master.streamhash"));
      bytes += QFileInfo(master).size();
    }
    const QStringList masters = Files(bag + "/data/masters");
    QCOMPARE(masters.size(), recordings.size());

    // What sha512sum reads, and what our verifier says.
    for (const char* manifest : {"manifest-sha512.txt", "tagmanifest-sha512.txt"}) {
      const ProgramRun sum = RunProgram("sha512sum", {"--strict", "--quiet", "-c", manifest}, bag);
      QVERIFY2(sum.code == 0, qPrintable(manifest + (u' ' + sum.out + sum.err)));
    }
    const qsizetype payload = files.size() + masters.size();
    const ProgramRun verify = RunProgram(kAmbrel, {"--verify", bag});
    QCOMPARE(verify.code, 0);
    QVERIFY2(
        verify.out.contains(QStringLiteral("valid: %1 files, %2 bytes").arg(payload).arg(bytes)),
        qPrintable(verify.out));

    const TagFields info = ParseTagFields(ReadBytes(bag + "/bag-info.txt"));
    QCOMPARE(TagValue(info, "Payload-Oxum"), PayloadOxum(bytes, payload));
    QCOMPARE(TagValue(info, "External-Identifier"), QString("sample-medium"));
    QVERIFY(TagValue(info, "External-Description")
                .contains(QStringLiteral("zENTO Launch 2004 \u2013 Archive 4 keynote")));
    QVERIFY(TagValue(info, "Bag-Software-Agent").startsWith("Ambrel "));
    QCOMPARE(TagValue(info, "Medium-Copy"), QString("complete"));
    QCOMPARE(ReadBytes(bag + "/bagit.txt"),
             QByteArray("BagIt-Version: 1.0\nTag-File-Character-Encoding: UTF-8\n"));

    // The checker's report and a description of every recording.
    const QJsonObject check =
        QJsonDocument::fromJson(ReadBytes(bag + "/metadata/check.json")).object();
    QCOMPARE(check["presentations"].toArray().size(), 3);
    QCOMPARE(check["medium"].toString(), QFileInfo(kSample).canonicalFilePath());
    const QJsonObject probe =
        QJsonDocument::fromJson(ReadBytes(bag + "/metadata/Launch2004/media.wmv.ffprobe.json"))
            .object();
    QCOMPARE(probe["format"]["filename"].toString(), QString("Media/Launch2004/media.wmv"));
    QCOMPARE(probe["streams"][0]["codec_name"].toString(), QString("wmv2"));
    QVERIFY(probe["format"].toObject().contains("bit_rate"));
    QCOMPARE(Files(bag + "/metadata").filter(".ffprobe.json").size(), recordings.size());

    // The event log: a copy per file, a master and its proof per recording, the check of what
    // was written.
    const QByteArray events = ReadBytes(bag + "/metadata/premis-events.csv");
    QVERIFY(events.startsWith("eventDateTime,eventType,object,eventOutcome,eventDetail,agent\r\n"));
    QCOMPARE(events.count(",replication,"), files.size());
    QCOMPARE(events.count(",normalization,"), recordings.size());
    QCOMPARE(events.count(",validation,data/masters/"), recordings.size());
    QVERIFY(events.contains(",fixity check,data,success,"));
    QVERIFY(!events.contains(",failure,"));

    // A second run leaves the bag alone, unless told to replace it.
    const ProgramRun again = RunProgram(kAmbrel, {"--preserve", out.path(), kSample});
    QCOMPARE(again.code, 1);
    QVERIFY2(again.out.contains("exists already"), qPrintable(again.out));
    QCOMPARE(RunProgram(kAmbrel, {"--preserve", out.path(), "--force", kSample}).code, 0);
    QCOMPARE(Leftovers(out.path()), QStringList());
    QVERIFY(!QFileInfo::exists(bag + "/data/masters"));
  }

  void verifyFindsEveryDamage_data() {
    QTest::addColumn<int>("damage");
    QTest::addColumn<int>("status");
    QTest::addColumn<QStringList>("findings");
    QTest::newRow("intact") << int(kNone) << 0 << QStringList{"valid: 5 files"};
    QTest::newRow("one byte changed")
        << int(kByteChanged) << 1
        << QStringList{"data/medium/Media/Talk/big.bin: checksum differs from manifest-sha512.txt"};
    QTest::newRow("missing file") << int(kMissing) << 1
                                  << QStringList{
                                         "data/medium/readme.txt: missing (listed in "
                                         "manifest-sha512.txt line",
                                         "Payload-Oxum"};
    QTest::newRow("extra file") << int(kExtra) << 1
                                << QStringList{
                                       "data/medium/Data/extra.txt: not in manifest-sha512.txt",
                                       "Payload-Oxum"};
    QTest::newRow("renamed file") << int(kRenamed) << 1
                                  << QStringList{
                                         "data/medium/readme.txt: missing",
                                         "data/medium/README.TXT: not in manifest-sha512.txt"};
    QTest::newRow("wrong Payload-Oxum")
        << int(kWrongOxum) << 1
        << QStringList{"bag-info.txt: Payload-Oxum 1234.5, but the payload holds",
                       "invalid: 1 finding"};
    QTest::newRow("tag manifest digest damaged")
        << int(kTagManifestDigest) << 1
        << QStringList{"bag-info.txt: checksum differs from tagmanifest-sha512.txt"};
    QTest::newRow("tag manifest line damaged")
        << int(kTagManifestLine) << 1 << QStringList{"tagmanifest-sha512.txt: line 1: "};
    QTest::newRow("tag file changed")
        << int(kTagFileChanged) << 1
        << QStringList{"metadata/premis-events.csv: checksum differs from tagmanifest-sha512.txt"};
    QTest::newRow("path out of the bag")
        << int(kOutsidePath) << 1
        << QStringList{"names a path that leads outside the bag: data/../../outside.txt"};
    QTest::newRow("not a bag") << int(kNoDeclaration) << 2
                               << QStringList{"not a bag: no bagit.txt"};
  }
  void verifyFindsEveryDamage() {
    QFETCH(int, damage);
    QFETCH(int, status);
    QFETCH(QStringList, findings);
    TempMedium medium;
    MakeSmallMedium(medium);
    QTemporaryDir out;
    const BagSummary s = Preserve(medium.Root(), out.path());
    QVERIFY2(s.status == BagSummary::Status::Complete, qPrintable(FormatBagSummary(s)));
    Damage(s.bag, damage);
    const ProgramRun r = RunProgram(kAmbrel, {"--verify", s.bag});
    QCOMPARE(r.code, status);
    for (const QString& f : findings) QVERIFY2(r.out.contains(f), qPrintable(r.out));
    const QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
    QVERIFY2(status != 0 || lines.size() == 1, qPrintable(r.out));  // nothing but the verdict
  }

  void unreadableFileIsCopiedAsFarAsItCanBe_data() {
    QTest::addColumn<qint64>("badBegin");
    QTest::addColumn<qint64>("badEnd");
    QTest::addColumn<bool>("failOpen");
    QTest::addColumn<bool>("realPermission");
    QTest::addColumn<QString>("listed");
    // Two sectors in the second block; the block is read again sector by sector around them.
    QTest::newRow("read error at an offset")
        << qint64(1048576 + 100) << qint64(1048576 + 3000) << false << false
        << "Media/Talk/big.bin\t1048576-1052672\tInput/output error";
    QTest::newRow("read error at the end")
        << qint64(3 * 1048576) << qint64(4 * 1048576) << false << false
        << "Media/Talk/big.bin\t3145728-3145805\tInput/output error";
    QTest::newRow("cannot be opened")
        << qint64(0) << qint64(0) << true << false
        << "Media/Talk/big.bin\t-\tcannot be opened: Permission denied";
    QTest::newRow("no permission")
        << qint64(0) << qint64(0) << false << true << "Media/Talk/big.bin\t-\tcannot be opened: ";
  }
  void unreadableFileIsCopiedAsFarAsItCanBe() {
    QFETCH(qint64, badBegin);
    QFETCH(qint64, badEnd);
    QFETCH(bool, failOpen);
    QFETCH(bool, realPermission);
    QFETCH(QString, listed);
    TempMedium medium;
    MakeSmallMedium(medium);
    const QString damaged = medium.Path("Media/Talk/big.bin");
    const QByteArray original = ReadBytes(damaged);
    QTemporaryDir out;
    QString bag;
    if (realPermission) {
      // Through the command, as a user meets it. The superuser reads the file all the same.
      QFile::setPermissions(damaged, QFileDevice::WriteOwner);
      if (QFile(damaged).open(QIODevice::ReadOnly)) {
        QSKIP(
            "this user reads files without read permission (the superuser); the rows above "
            "cover the same path through a stand-in");
      }
      const ProgramRun r = RunProgram(kAmbrel, {"--preserve", out.path(), medium.Root()});
      QFile::setPermissions(damaged, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
      QCOMPARE(r.code, 1);
      QVERIFY2(r.out.contains("Incomplete: 1 file"), qPrintable(r.out));
      bag = out.path() + u'/' + QFileInfo(medium.Root()).fileName();
    } else {
      const BagSummary s = Preserve(medium.Root(), out.path(), false, [&](const QString& path) {
        if (path == damaged) {
          return std::unique_ptr<SourceFile>(new FailingSource(path, badBegin, badEnd, failOpen));
        }
        return OpenLocalFile(path);
      });
      QVERIFY(s.status == BagSummary::Status::Incomplete);
      QCOMPARE(s.ExitCode(), 1);
      QCOMPARE(int(s.readErrors.size()), 1);
      bag = s.bag;
    }
    QCOMPARE(Leftovers(out.path()), QStringList());
    const QString errors = QString::fromUtf8(ReadBytes(bag + "/metadata/read-errors.txt"));
    QVERIFY2(errors.contains(listed), qPrintable(errors));
    QVERIFY(TagValue(ParseTagFields(ReadBytes(bag + "/bag-info.txt")), "Medium-Copy")
                .startsWith("incomplete: 1 file could not be read through"));
    QVERIFY(ReadBytes(bag + "/metadata/premis-events.csv")
                .contains(",replication,Media/Talk/big.bin,failure,"));
    // The bag itself is sound: it holds what could be read, and says so.
    const VerifyResult v = VerifyBag(bag);
    QVERIFY(v.validity == BagValidity::Valid);
    QCOMPARE(v.notes.size(), 1);

    const QString copy = bag + "/data/medium/Media/Talk/big.bin";
    if (failOpen || realPermission) {
      QVERIFY(!QFileInfo::exists(copy));
      return;
    }
    // Every readable byte in its place, zeros where the disc gave nothing.
    const QByteArray copied = ReadBytes(copy);
    QCOMPARE(copied.size(), original.size());
    const qint64 from = badBegin / 2048 * 2048;
    const qint64 to = std::min<qint64>((badEnd + 2047) / 2048 * 2048, original.size());
    QVERIFY(copied.left(from) == original.left(from));
    QVERIFY(copied.mid(to) == original.mid(to));
    QVERIFY(copied.mid(from, to - from) == QByteArray(to - from, '\0'));
  }

  void lossyMasterIsCaught() {
    // The WMA decoder gives floating point samples; FLAC would round them to integers.
    const QString input = kSample + "/Media/Interview/media.wma";
    const ProgramRun probe = RunProgram(
        "ffprobe", {"-v", "error", "-show_format", "-show_streams", "-of", "json", input});
    MasterPlan plan = PlanMaster(QJsonDocument::fromJson(probe.out.toUtf8()).object());
    QCOMPARE(int(plan.streams.size()), 1);
    QCOMPARE(plan.streams[0].masterCodec, QString("pcm_f32le"));
    plan.streams[0].masterCodec = "flac";
    QTemporaryDir out;
    MasterJob job{input, out.filePath("m.mkv"), out.filePath("o.hash"), out.filePath("m.hash")};
    const MasterResult r = MakeMaster(jobs::FfmpegTools::FromPath(), plan, job, {}, nullptr);
    QVERIFY(r.made);
    QVERIFY(!r.proved);
    QCOMPARE(r.differences, QStringList{"stream 0 (audio wmav2 as flac): decoded samples differ"});
  }

  // A cancel while a master is made is tried through the launcher's menu.
  void cancelWhileCopyingLeavesNothing() {
    QTemporaryDir out;
    std::atomic<bool> cancel{false};
    const BagSummary s = Preserve(
        kSample, out.path(), true, OpenLocalFile,
        [&](const PreserveProgress& p) {
          if (p.phase == PreserveProgress::Phase::Copying && p.itemDone > 0) cancel = true;
        },
        &cancel);
    QVERIFY(s.status == BagSummary::Status::Cancelled);
    QCOMPARE(s.ExitCode(), 1);
    QCOMPARE(QDir(out.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList());
  }

  // Ctrl-C, a logout, a service manager's stop while a master is made: ffmpeg stops, the bag in
  // the making goes, the program says so and ends by the signal.
  void interrupted_data() {
    QTest::addColumn<int>("signal");
    QTest::newRow("SIGINT") << int(SIGINT);
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGHUP") << int(SIGHUP);
  }
  void interrupted() {
    QFETCH(int, signal);
    // The sample medium with the interview's recordings alone, so that the masters begin soon.
    TempMedium medium;
    QDirIterator it(kSample, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
      const QString file = it.next().mid(kSample.size() + 1);
      if (!file.startsWith("Media/Launch2004"))
        medium.Write(file, ReadBytes(kSample + u'/' + file));
    }
    QTemporaryDir out;
    QProcess p;
    p.start(kAmbrel, {"--preserve", out.path(), "--masters", medium.Root()});
    QVERIFY(p.waitForStarted());
    const qint64 ffmpeg = WaitForChild(p, "ffmpeg", 120000);
    QVERIFY2(ffmpeg != 0, "no ffmpeg seen while making masters");
    QCOMPARE(::kill(pid_t(p.processId()), signal), 0);
    QVERIFY(p.waitForFinished(30000));
    QCOMPARE(p.exitStatus(), QProcess::CrashExit);
    QCOMPARE(p.exitCode(), signal);
    QVERIFY2(EndsWithin(ffmpeg, 5000), "ffmpeg went on after the program had ended");
    const QString said = QString::fromUtf8(p.readAllStandardOutput());
    QVERIFY2(said.contains(QStringLiteral(": interrupted by %1: no bag was made")
                               .arg(signal == SIGINT    ? "SIGINT"
                                    : signal == SIGTERM ? "SIGTERM"
                                                        : "SIGHUP")),
             qPrintable(said));
    QCOMPARE(QDir(out.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList());
  }

  // A shelf of media: a bag for each, two media of one name told apart, one found deeper down.
  void libraryOfMedia() {
    QTemporaryDir shelf, home, out;
    for (const char* medium : {"a/disc", "b/disc", "c/d/talks"}) {
      WriteSmallMedium(shelf.path() + u'/' + medium);
    }
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", home.path() + "/config");  // where the library is remembered
    env.insert("XDG_CACHE_HOME", home.path() + "/cache");
    p.setProcessEnvironment(env);
    p.start(kAmbrel, {"--preserve", out.path(), "--library", shelf.path()});
    QVERIFY(p.waitForFinished(120000));
    const QString said = QString::fromUtf8(p.readAllStandardOutput());
    QCOMPARE(p.exitCode(), 0);
    QVERIFY2(
        said.endsWith(QStringLiteral("3 of 3 media preserved completely in %1\n").arg(out.path())),
        qPrintable(said));
    QCOMPARE(QDir(out.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             (QStringList{"disc", "disc-2", "talks"}));
    for (const char* bag : {"disc", "disc-2", "talks"}) {
      QVERIFY(VerifyBag(out.path() + u'/' + bag).validity == BagValidity::Valid);
    }
    QCOMPARE(TagValue(ParseTagFields(ReadBytes(out.path() + "/disc-2/bag-info.txt")),
                      "External-Identifier"),
             QString("disc"));
  }

  void refusals_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("said");
    QTest::newRow("on the medium") << QStringList{"--preserve", kSample + "/Data/bag", kSample}
                                   << "lies on the medium, which is never written to";
    QTest::newRow("no medium") << QStringList{"--preserve", "/tmp/x", "/nonexistent/medium"}
                               << "/nonexistent/medium";
    QTest::newRow("no OUTDIR") << QStringList{"--preserve"} << "--preserve needs a value";
    QTest::newRow("verify nothing") << QStringList{"--verify"} << "--verify needs a bag";
  }
  void refusals() {
    QFETCH(QStringList, args);
    QFETCH(QString, said);
    const ProgramRun r = RunProgram(kAmbrel, args);
    QCOMPARE(r.code, 2);
    QVERIFY2((r.out + r.err).contains(said), qPrintable(r.out + r.err));
    QVERIFY(!QFileInfo::exists(kSample + "/Data/bag"));
  }
};

QTEST_GUILESS_MAIN(PreserveTest)
#include "test_preserve.moc"
