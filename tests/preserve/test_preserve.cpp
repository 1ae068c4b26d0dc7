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

#include <fcntl.h>
#include <sched.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QStringEncoder>

#include <csignal>

#include "medium/Paths.h"
#include "preserver/BagFormat.h"
#include "preserver/BagTree.h"
#include "preserver/BagVerifier.h"
#include "preserver/ManifestLine.h"
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
  FailingSource(const QByteArray& path, qint64 badBegin, qint64 badEnd, bool failOpen)
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

// Writes a file named by bytes (a name that need not be UTF-8).
void WriteNamed(const QByteArray& path, const QByteArray& bytes) {
  const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  QVERIFY2(fd >= 0, path.constData());
  QCOMPARE(::write(fd, bytes.constData(), size_t(bytes.size())), ssize_t(bytes.size()));
  ::close(fd);
}

// The tag manifest made anew over every tag file, as a bag's maker would after a change.
void Retag(const QString& bag) {
  QStringList tags;
  QDirIterator it(bag, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
  while (it.hasNext()) {
    const QString rel = it.next().mid(bag.size() + 1);
    if (!rel.startsWith("data/") && !rel.startsWith("tagmanifest-")) tags << rel;
  }
  tags.sort();
  QByteArray out;
  for (const QString& t : tags) {
    out += ManifestLine(HexDigest(Algorithm::Sha512, ReadBytes(bag + u'/' + t)), t);
  }
  Write(bag + "/tagmanifest-sha512.txt", out);
}

// The Payload-Oxum in bag-info.txt set to what the payload holds.
void Reoxum(const QString& bag) {
  qint64 bytes = 0, files = 0;
  QDirIterator it(bag + "/data", QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
  while (it.hasNext()) {
    bytes += QFileInfo(it.next()).size();
    ++files;
  }
  QByteArray info = ReadBytes(bag + "/bag-info.txt");
  const qsizetype at = info.indexOf("Payload-Oxum: ");
  const qsizetype end = info.indexOf('\n', at);
  info.replace(at, end - at, "Payload-Oxum: " + PayloadOxum(bytes, files).toUtf8());
  Write(bag + "/bag-info.txt", info);
}

// A file added to the payload as its maker would: listed, counted, the tag files hashed anew.
void AddPayload(const QString& bag, const QByteArray& name, const QByteArray& bytes) {
  WriteNamed(QFile::encodeName(bag) + "/data/medium/" + name, bytes);
  QFile f(bag + "/manifest-sha512.txt");
  QVERIFY(f.open(QIODevice::Append));
  f.write(ManifestLineOf(HexDigest(Algorithm::Sha512, bytes), "data/medium/" + name));
  f.close();
  Reoxum(bag);
  Retag(bag);
}

// A manifest in another algorithm over every file manifest-sha512.txt lists.
QByteArray ManifestIn(const QString& bag, Algorithm algorithm) {
  QByteArray out;
  for (const QByteArray& line : ReadBytes(bag + "/manifest-sha512.txt").split('\n')) {
    if (line.isEmpty()) continue;
    const QByteArray path = line.mid(130);
    out +=
        ManifestLineOf(HexDigest(algorithm, ReadBytes(bag + u'/' + QString::fromUtf8(path))), path);
  }
  return out;
}

QByteArray Utf16(const QByteArray& utf8) {
  QStringEncoder encoder(QStringConverter::Utf16BE, QStringConverter::Flag::WriteBom);
  return encoder.encode(QString::fromUtf8(utf8));
}

// Removes a folder whose entries QDir cannot name (not UTF-8) when the test is done with it.
struct RemovedAtEnd {
  QString path;
  ~RemovedAtEnd() { QProcess::execute("rm", {"-rf", "--", path}); }
};

void MakeFifo(const QString& path) {
  QVERIFY(::mkfifo(QFile::encodeName(path).constData(), 0644) == 0);
}

void Link(const QString& target, const QString& link) {
  QVERIFY(QFile::link(target, link));
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
  kDotSlashPath,
  kDoubleSlashPath,
  kSha384Beside,
  kSha224Wrong,
  kSha3Alone,
  kUnknownBeside,
  kUnknownAlone,
  kUtf16TagFiles,
  kLatin1TagFiles,
  kBomDeclaration,
  kBlankBeforeColon,
  kFetchOutside,
  kBinaryModeLine,
  kListedTwice,
  kCaseTwins,
  kNormalizationTwins,
  kSystemLitter,
  kNulInManifest,
  kFifoDeclaration,
  kFifoBagInfo,
  kTagManifestLinkToFifo,
  kLinkOutside,
  kLinkedFolder,
  kDataLink,
  kBagInfoLink,
  kNameNotUtf8,
  kManifestFolder,
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
    case kDotSlashPath:
    case kDoubleSlashPath: {
      QByteArray m = ReadBytes(bag + "/manifest-sha512.txt");
      m.replace("  data/medium/readme.txt", damage == kDotSlashPath ? "  ./data/medium/readme.txt"
                                                                    : "  data//medium/readme.txt");
      Write(bag + "/manifest-sha512.txt", m);
      Retag(bag);
      break;
    }
    case kSha384Beside:
      Write(bag + "/manifest-sha384.txt", ManifestIn(bag, Algorithm::Sha384));
      Retag(bag);
      break;
    case kSha224Wrong: {
      QByteArray m = ManifestIn(bag, Algorithm::Sha224);
      const qsizetype at = m.indexOf("  data/medium/readme.txt") - 1;
      m[at] = m[at] == '0' ? '1' : '0';
      Write(bag + "/manifest-sha224.txt", m);
      Retag(bag);
      break;
    }
    case kSha3Alone:
      Write(bag + "/manifest-sha3_256.txt", ManifestIn(bag, Algorithm::Sha3_256));
      QFile::remove(bag + "/manifest-sha512.txt");
      Retag(bag);
      break;
    case kUnknownBeside:
    case kUnknownAlone:
      // An algorithm nobody here knows, with digests of its length.
      Write(bag + "/manifest-blake3.txt", ManifestIn(bag, Algorithm::Sha256));
      if (damage == kUnknownAlone) QFile::remove(bag + "/manifest-sha512.txt");
      Retag(bag);
      break;
    case kUtf16TagFiles:
      Write(bag + "/bagit.txt", "BagIt-Version: 1.0\nTag-File-Character-Encoding: UTF-16\n");
      for (const char* tag : {"/bag-info.txt", "/manifest-sha512.txt"}) {
        Write(bag + tag, Utf16(ReadBytes(bag + tag)));
      }
      Retag(bag);
      Write(bag + "/tagmanifest-sha512.txt", Utf16(ReadBytes(bag + "/tagmanifest-sha512.txt")));
      break;
    case kLatin1TagFiles: {
      // A name with an accent: UTF-8 on the disk, ISO-8859-1 in the manifest.
      AddPayload(bag, "caf\xC3\xA9.txt", "coffee");
      Write(bag + "/bagit.txt", "BagIt-Version: 1.0\nTag-File-Character-Encoding: ISO-8859-1\n");
      const QByteArray m = ReadBytes(bag + "/manifest-sha512.txt");
      Write(bag + "/manifest-sha512.txt", QString::fromUtf8(m).toLatin1());
      Retag(bag);
      break;
    }
    case kBomDeclaration:
      Write(bag + "/bagit.txt", "\xEF\xBB\xBF" + ReadBytes(bag + "/bagit.txt"));
      Retag(bag);
      break;
    case kBlankBeforeColon:
      Write(bag + "/bagit.txt", "BagIt-Version : 1.0\nTag-File-Character-Encoding: UTF-8\n");
      Retag(bag);
      break;
    case kFetchOutside:
      Write(bag + "/fetch.txt",
            "https://example.org/a 10 ../outside.txt\n"
            "https://example.org/b - /etc/passwd\n"
            "https://example.org/c 3 ~/x\n");
      Retag(bag);
      break;
    case kBinaryModeLine: {
      QByteArray m = ReadBytes(bag + "/manifest-sha512.txt");
      m.replace("  data/medium/readme.txt", " *data/medium/readme.txt");
      Write(bag + "/manifest-sha512.txt", m);
      Retag(bag);
      break;
    }
    case kListedTwice: {
      QByteArray m = ReadBytes(bag + "/manifest-sha512.txt");
      const qsizetype at = m.indexOf("  data/medium/readme.txt\n");
      const qsizetype from = m.lastIndexOf('\n', at) + 1;
      m += m.mid(from, at + 25 - from);
      Write(bag + "/manifest-sha512.txt", m);
      Retag(bag);
      break;
    }
    case kCaseTwins:
      AddPayload(bag, "NOTES.txt", "upper");
      AddPayload(bag, "notes.txt", "lower");
      break;
    case kNormalizationTwins:
      AddPayload(bag, "Caf\xC3\xA9.txt", "composed");
      AddPayload(bag, "Cafe\xCC\x81.txt", "decomposed");
      break;
    case kSystemLitter:
      AddPayload(bag, ".DS_Store", "Finder");
      AddPayload(bag, "Thumbs.db", "Explorer");
      break;
    case kNulInManifest: {
      QFile f(bag + "/manifest-sha512.txt");
      f.open(QIODevice::Append);
      f.write(QByteArray(128, 'a') + "  data/medium/a" + QByteArray(1, '\0') + "b\n");
      break;
    }
    case kFifoDeclaration:
      QFile::remove(bag + "/bagit.txt");
      MakeFifo(bag + "/bagit.txt");
      break;
    case kFifoBagInfo:
      QFile::remove(bag + "/bag-info.txt");
      MakeFifo(bag + "/bag-info.txt");
      break;
    case kTagManifestLinkToFifo: {
      const QString outside = QFileInfo(bag).path() + "/outside-fifo";
      MakeFifo(outside);
      QFile::remove(bag + "/tagmanifest-sha512.txt");
      Link(outside, bag + "/tagmanifest-sha512.txt");
      break;
    }
    case kLinkOutside: {
      // Its digest is listed, so that following it would find the bag valid.
      const QString outside = QFileInfo(bag).path() + "/passwd";
      Write(outside, "root:x:0:0:root:/root:/bin/sh\n");
      AddPayload(bag, "passwd", ReadBytes(outside));
      QFile::remove(bag + "/data/medium/passwd");
      Link(outside, bag + "/data/medium/passwd");
      break;
    }
    case kLinkedFolder: {
      const QString outside = QFileInfo(bag).path() + "/etc";
      QDir().mkpath(outside);
      Write(outside + "/passwd", "root:x:0:0:root:/root:/bin/sh\n");
      QDir().mkpath(bag + "/data/medium/etc");
      AddPayload(bag, "etc/passwd", ReadBytes(outside + "/passwd"));
      QDir(bag + "/data/medium/etc").removeRecursively();
      Link(outside, bag + "/data/medium/etc");
      break;
    }
    case kDataLink: {
      const QString outside = QFileInfo(bag).path() + "/outside-data";
      QVERIFY(QDir().rename(bag + "/data", outside));
      Link(outside, bag + "/data");
      break;
    }
    case kBagInfoLink: {
      const QString outside = QFileInfo(bag).path() + "/bag-info.txt";
      QVERIFY(QFile::rename(bag + "/bag-info.txt", outside));
      Link(outside, bag + "/bag-info.txt");
      break;
    }
    case kNameNotUtf8:
      WriteNamed(QFile::encodeName(bag) + "/data/medium/extra\xFF.bin", "not bagged");
      break;
    case kManifestFolder:
      QFile::remove(bag + "/manifest-sha512.txt");
      QDir().mkpath(bag + "/manifest-sha512.txt");
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
    // As the format has it: a path relative to the bag may begin with "./" or hold "//".
    QTest::newRow("manifest path with ./")
        << int(kDotSlashPath) << 0 << QStringList{"valid: 5 files"};
    QTest::newRow("manifest path with //")
        << int(kDoubleSlashPath) << 0 << QStringList{"valid: 5 files"};
    // Every algorithm libcrypto has is checked; one nobody knows is refused only when nothing
    // else covers the payload.
    QTest::newRow("SHA-384 beside SHA-512")
        << int(kSha384Beside) << 0 << QStringList{"valid: 5 files"};
    QTest::newRow("SHA-224 with a digest changed")
        << int(kSha224Wrong) << 1
        << QStringList{"data/medium/readme.txt: checksum differs from manifest-sha224.txt"};
    QTest::newRow("SHA3-256 alone") << int(kSha3Alone) << 0 << QStringList{"valid: 5 files"};
    QTest::newRow("unknown algorithm beside SHA-512")
        << int(kUnknownBeside) << 0
        << QStringList{"valid: 5 files",
                       "warning: manifest-blake3.txt: the algorithm \"blake3\" is not known here"};
    QTest::newRow("unknown algorithm alone")
        << int(kUnknownAlone) << 1
        << QStringList{
               "manifest-blake3.txt: the algorithm \"blake3\" is not known here: not "
               "checked, and no other manifest covers every payload file"};
    QTest::newRow("tag files in UTF-16")
        << int(kUtf16TagFiles) << 0 << QStringList{"valid: 5 files"};
    QTest::newRow("tag files in ISO-8859-1")
        << int(kLatin1TagFiles) << 0 << QStringList{"valid: 6 files"};
    QTest::newRow("byte-order mark in bagit.txt")
        << int(kBomDeclaration) << 1 << QStringList{"bagit.txt: begins with a byte-order mark"};
    QTest::newRow("blank before a colon in bagit.txt")
        << int(kBlankBeforeColon) << 1
        << QStringList{"bagit.txt: line 1: \"BagIt-Version : 1.0\" is not"};
    QTest::newRow("fetch.txt leading out of the bag")
        << int(kFetchOutside) << 1
        << QStringList{"fetch.txt line 1: names a path that leads outside the bag: ../outside.txt",
                       "fetch.txt line 2: names an absolute path: /etc/passwd",
                       "fetch.txt line 3: names a path in a user's home folder: ~/x"};
    // Valid, but suspect: a warning on standard error.
    QTest::newRow("md5sum's binary mode")
        << int(kBinaryModeLine) << 0
        << QStringList{"valid: 5 files",
                       "warning: manifest-sha512.txt line 5: '*' before the name, as md5sum -b "
                       "writes it: read as data/medium/readme.txt"};
    QTest::newRow("a file listed twice")
        << int(kListedTwice) << 0
        << QStringList{"valid: 5 files",
                       "warning: manifest-sha512.txt line 6: names data/medium/readme.txt a "
                       "second time, with the same digest"};
    QTest::newRow("names that differ in case")
        << int(kCaseTwins) << 0
        << QStringList{"valid: 7 files",
                       "warning: data/medium/notes.txt: differs from data/medium/NOTES.txt only "
                       "in case or Unicode normalization"};
    QTest::newRow("names that differ in normalization")
        << int(kNormalizationTwins) << 0
        << QStringList{
               "valid: 7 files",
               "warning: data/medium/Caf\u00e9.txt: differs from data/medium/Cafe\u0301.txt "
               "only in case or Unicode normalization"};
    QTest::newRow("a desktop's litter")
        << int(kSystemLitter) << 0
        << QStringList{"valid: 7 files", "warning: data/medium/.DS_Store: litter",
                       "warning: data/medium/Thumbs.db: litter"};
    QTest::newRow("NUL byte in a manifest line")
        << int(kNulInManifest) << 1
        << QStringList{"manifest-sha512.txt: line 6: a NUL byte in it", "invalid: "};
    // Never opened: a pipe would hold the verifier forever.
    QTest::newRow("bagit.txt is a pipe")
        << int(kFifoDeclaration) << 1
        << QStringList{"bagit.txt: a pipe (FIFO), not a file: not opened", "invalid: "};
    QTest::newRow("bag-info.txt is a pipe")
        << int(kFifoBagInfo) << 1
        << QStringList{"bag-info.txt: a pipe (FIFO), not a file: not opened", "invalid: "};
    QTest::newRow("tag manifest a link to a pipe")
        << int(kTagManifestLinkToFifo) << 1
        << QStringList{"tagmanifest-sha512.txt: a symbolic link (to ", "invalid: "};
    // Never followed: nothing outside the bag is read.
    QTest::newRow("link to a file outside, its digest listed")
        << int(kLinkOutside) << 1
        << QStringList{"data/medium/passwd: a symbolic link (to ", "not followed", "!: valid",
                       "!checksum differs"};
    QTest::newRow("link to a folder outside")
        << int(kLinkedFolder) << 1
        << QStringList{"data/medium/etc: a symbolic link (to ", "!: valid", "!checksum differs",
                       "!etc/passwd: missing"};
    QTest::newRow("data a link") << int(kDataLink) << 1
                                 << QStringList{"data: a symbolic link (to ", "!: valid",
                                                "!checksum differs"};
    QTest::newRow("bag-info.txt a link")
        << int(kBagInfoLink) << 1 << QStringList{"bag-info.txt: a symbolic link (to ", "!: valid"};
    QTest::newRow("payload name not UTF-8")
        << int(kNameNotUtf8) << 1
        << QStringList{"data/medium/extra\\xFF.bin: not in manifest-sha512.txt", "Payload-Oxum"};
    QTest::newRow("the manifest a folder")
        << int(kManifestFolder) << 1
        << QStringList{"manifest-sha512.txt: a folder, not a file", "invalid: "};
  }
  void verifyFindsEveryDamage() {
    QFETCH(int, damage);
    QFETCH(int, status);
    QFETCH(QStringList, findings);
    TempMedium medium;
    MakeSmallMedium(medium);
    QTemporaryDir out;
    const RemovedAtEnd cleared{out.path()};
    const BagSummary s = Preserve(medium.Root(), out.path());
    QVERIFY2(s.status == BagSummary::Status::Complete, qPrintable(FormatBagSummary(s)));
    Damage(s.bag, damage);
    // Within a minute: a verifier that opened a pipe would wait for a writer forever.
    QProcess p;
    p.start(kAmbrel, {"--verify", s.bag});
    QVERIFY2(p.waitForFinished(60000), "--verify did not end");
    const ProgramRun r{p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
                       QString::fromUtf8(p.readAllStandardOutput()),
                       QString::fromUtf8(p.readAllStandardError())};
    QCOMPARE(r.code, status);
    bool warned = false;
    for (const QString& f : findings) {
      // "warning: ..." on standard error, "!..." never said, the rest on standard output.
      if (f.startsWith("warning: ")) {
        warned = true;
        QVERIFY2(r.err.contains(f), qPrintable(r.err));
      } else if (f.startsWith(u'!')) {
        QVERIFY2(!r.out.contains(f.mid(1)), qPrintable(r.out));
      } else {
        QVERIFY2(r.out.contains(f), qPrintable(r.out));
      }
    }
    if (!warned) QVERIFY2(!r.err.contains("warning:"), qPrintable(r.err));
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
      const BagSummary s = Preserve(medium.Root(), out.path(), false, [&](const QByteArray& path) {
        if (path == QFile::encodeName(damaged)) {
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

  // A medium's odd entries: a name that is not UTF-8 is copied under its own bytes and listed
  // in the manifest as they are; pipes and links are listed (never followed) and make the bag
  // incomplete, each counted.
  void oddEntriesOfAMedium_data() {
    QTest::addColumn<QByteArrayList>("entries");  // "kind:path below the root"
    QTest::addColumn<QStringList>("listed");      // in read-errors.txt, in order
    QTest::newRow("name not UTF-8") << QByteArrayList{"file:Data/bad\xFFname.txt"} << QStringList{};
    QTest::newRow("pipe") << QByteArrayList{"fifo:Data/pipe"}
                          << QStringList{
                                 "Data/pipe\t-\ta pipe (FIFO), not a regular file: "
                                 "not copied"};
    QTest::newRow("links") << QByteArrayList{"link:Data/passwd", "dirlink:Data/etc"}
                           << QStringList{"Data/etc\t-\ta symbolic link (to ",
                                          "Data/passwd\t-\ta symbolic link (to "};
    QTest::newRow("all at once") << QByteArrayList{"file:Data/bad\xFFname.txt", "fifo:Data/pipe",
                                                   "link:Data/passwd", "dirlink:Data/etc"}
                                 << QStringList{"Data/etc\t-\ta symbolic link (to ",
                                                "Data/passwd\t-\ta symbolic link (to ",
                                                "Data/pipe\t-\ta pipe (FIFO)"};
  }
  void oddEntriesOfAMedium() {
    QFETCH(QByteArrayList, entries);
    QFETCH(QStringList, listed);
    TempMedium medium;
    MakeSmallMedium(medium);
    QTemporaryDir outside, out;
    const RemovedAtEnd clearedMedium{medium.Root()}, clearedOut{out.path()};
    Write(outside.filePath("passwd"), "root:x:0:0:root:/root:/bin/sh\n");
    const QByteArray root = QFile::encodeName(medium.Root()) + '/';
    QByteArrayList files;
    for (const QByteArray& entry : entries) {
      const QByteArray kind = entry.left(entry.indexOf(':'));
      const QByteArray path = root + entry.mid(entry.indexOf(':') + 1);
      if (kind == "file") {
        WriteNamed(path, "a file of " + path);
        files << entry.mid(entry.indexOf(':') + 1);
      } else if (kind == "fifo") {
        QCOMPARE(::mkfifo(path.constData(), 0644), 0);
      } else if (kind == "link") {
        QCOMPARE(
            ::symlink(QFile::encodeName(outside.filePath("passwd")).constData(), path.constData()),
            0);
      } else {
        QCOMPARE(::symlink(QFile::encodeName(outside.path()).constData(), path.constData()), 0);
      }
    }
    const BagSummary s = Preserve(medium.Root(), out.path());
    QCOMPARE(int(s.readErrors.size()), listed.size());
    QVERIFY2(s.status ==
                 (listed.isEmpty() ? BagSummary::Status::Complete : BagSummary::Status::Incomplete),
             qPrintable(FormatBagSummary(s)));
    const QString errors = QString::fromUtf8(ReadBytes(s.bag + "/metadata/read-errors.txt"));
    const QStringList errorLines =
        errors.split('\n', Qt::SkipEmptyParts).filter(QRegularExpression("^[^#]"));
    QCOMPARE(errorLines.size(), listed.size());
    for (int i = 0; i < listed.size(); ++i) {
      QVERIFY2(errorLines[i].startsWith(listed[i]), qPrintable(errors));
    }
    // A name that is not UTF-8: copied under its own bytes, listed as they are, logged.
    const QByteArray manifest = ReadBytes(s.bag + "/manifest-sha512.txt");
    const QByteArray events = ReadBytes(s.bag + "/metadata/premis-events.csv");
    for (const QByteArray& file : files) {
      const QByteArray copy = QFile::encodeName(s.bag) + "/data/medium/" + file;
      const int fd = ::open(copy.constData(), O_RDONLY);
      QVERIFY2(fd >= 0, copy.constData());
      ::close(fd);
      QVERIFY(manifest.contains("  data/medium/" + file + '\n'));
      QVERIFY2(events.contains(",replication," + NameText(file).toUtf8() + ",success,"),
               events.constData());
    }
    const VerifyResult v = VerifyBag(s.bag);
    QVERIFY2(v.validity == BagValidity::Valid, qPrintable(FormatVerification(s.bag, v)));
    QCOMPARE(v.payloadFiles, qint64(5 + files.size()));
    const ProgramRun sum =
        RunProgram("sha512sum", {"--strict", "--quiet", "-c", "manifest-sha512.txt"}, s.bag);
    QVERIFY2(sum.code == 0, qPrintable(sum.out + sum.err));
  }

  // A disk that fills up while the bag is written is said to be full. The disk is a small
  // tmpfs mounted for the program alone (a mount namespace of its own).
  void fullDiskIsSaidToBeFull() {
    TempMedium medium;
    MakeSmallMedium(medium);
    QTemporaryDir out;
    const QByteArray dir = QFile::encodeName(out.path());
    const uid_t uid = ::geteuid();
    const gid_t gid = ::getegid();
    QProcess p;
    // Runs in the child between fork and exec: system calls only.
    p.setChildProcessModifier([dir, uid, gid] {
      if (uid != 0) {
        if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) ::_exit(77);
        char map[64];
        auto put = [](const char* file, const char* text, int length) {
          const int fd = ::open(file, O_WRONLY);
          const bool ok = fd >= 0 && ::write(fd, text, size_t(length)) == length;
          if (fd >= 0) ::close(fd);
          return ok;
        };
        put("/proc/self/setgroups", "deny", 4);
        if (!put("/proc/self/uid_map", map, std::snprintf(map, sizeof map, "0 %u 1", uid)) ||
            !put("/proc/self/gid_map", map, std::snprintf(map, sizeof map, "0 %u 1", gid))) {
          ::_exit(77);
        }
      } else if (::unshare(CLONE_NEWNS) != 0) {
        ::_exit(77);
      }
      if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
          ::mount("tmpfs", dir.constData(), "tmpfs", 0, "size=1m") != 0) {
        ::_exit(77);
      }
    });
    p.start(kAmbrel, {"--preserve", out.path(), medium.Root()});
    QVERIFY(p.waitForFinished(120000));
    if (p.exitCode() == 77) QSKIP("no mount namespace here for a small disk of the program's own");
    const QString said = QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
    QCOMPARE(p.exitCode(), 1);
    QVERIFY2(said.contains(": not preserved: cannot write ") &&
                 said.contains("data/medium/Media/Talk/big.bin: the disk is full"),
             qPrintable(said));
    QVERIFY2(!said.contains("Unknown error"), qPrintable(said));
  }

  // What a --preserve killed outright (SIGKILL) left behind is named and removed by the next
  // --preserve into that folder; a bag another run is still filling is named and left alone.
  void leftoversOfKilledRuns() {
    TempMedium medium;
    QDirIterator it(kSample, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
      const QString file = it.next().mid(kSample.size() + 1);
      if (!file.startsWith("Media/Launch2004"))
        medium.Write(file, ReadBytes(kSample + u'/' + file));
    }
    QTemporaryDir out;
    QProcess killed;
    killed.start(kAmbrel, {"--preserve", out.path(), "--masters", medium.Root()});
    QVERIFY(killed.waitForStarted());
    QVERIFY2(WaitForChild(killed, "ffmpeg", 120000) != 0, "no ffmpeg seen while making masters");
    QCOMPARE(::kill(pid_t(killed.processId()), SIGKILL), 0);
    QVERIFY(killed.waitForFinished(30000));
    const QStringList left = Leftovers(out.path());
    QCOMPARE(left.size(), 1);  // a kill leaves the bag in the making behind

    // Another run at work: it holds the lock on its folder.
    const QString busy = out.path() + "/.preserve-other-Ab12Cd";
    QVERIFY(QDir().mkpath(busy + "/data"));
    const int lock = ::open(QFile::encodeName(busy).constData(), O_RDONLY | O_DIRECTORY);
    QVERIFY(lock >= 0);
    QCOMPARE(::flock(lock, LOCK_EX), 0);

    TempMedium small;
    MakeSmallMedium(small);
    const ProgramRun r = RunProgram(kAmbrel, {"--preserve", out.path(), small.Root()});
    ::close(lock);
    QVERIFY2(r.code == 0, qPrintable(r.out + r.err));
    QVERIFY2(r.out.contains(QStringLiteral("%1/%2: a bag left unfinished by a --preserve that was "
                                           "stopped (")
                                .arg(out.path(), left[0])) &&
                 r.out.contains(" MB): removed\n"),
             qPrintable(r.out));
    QVERIFY2(r.out.contains(busy + ": being filled by another --preserve still running: left "
                                   "alone\n"),
             qPrintable(r.out));
    QCOMPARE(Leftovers(out.path()), QStringList{".preserve-other-Ab12Cd"});
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
