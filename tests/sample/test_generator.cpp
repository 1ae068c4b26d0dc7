// The sample medium generator's own pieces: its Windows-1252 texts, the WAV and RealMedia
// handling, and the program's behaviour with missing or failing tools and existing folders.

#include <QCryptographicHash>
#include <QDirIterator>
#include <QProcess>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include "medium/TextStream.h"
#include "tools/GeneratorError.h"
#include "tools/MediaTools.h"
#include "tools/SampleMedium.h"
#include "tools/TextFiles.h"

using namespace sample;

namespace {

QByteArray Le16(quint16 v) {
  QByteArray b(2, '\0');
  qToLittleEndian(v, b.data());
  return b;
}
QByteArray Le32(quint32 v) {
  QByteArray b(4, '\0');
  qToLittleEndian(v, b.data());
  return b;
}
QByteArray Be16(quint16 v) {
  QByteArray b(2, '\0');
  qToBigEndian(v, b.data());
  return b;
}
QByteArray Be32(quint32 v) {
  QByteArray b(4, '\0');
  qToBigEndian(v, b.data());
  return b;
}
quint32 ReadBe32(const QByteArray& b, qsizetype at) {
  return qFromBigEndian<quint32>(reinterpret_cast<const uchar*>(b.constData()) + at);
}

// A PCM WAV: 16-bit samples, optionally with an extra chunk before the data and with the data
// size left unset as streaming writers do.
QByteArray Wav(int rate, int channels, int samples, bool extraChunk, bool sizeUnset) {
  const quint32 dataBytes = static_cast<quint32>(samples * channels * 2);
  QByteArray fmt = Le16(1) + Le16(static_cast<quint16>(channels)) + Le32(rate) +
                   Le32(static_cast<quint32>(rate * channels * 2)) +
                   Le16(static_cast<quint16>(channels * 2)) + Le16(16);
  QByteArray body = "WAVE" + QByteArray("fmt ") + Le32(fmt.size()) + fmt;
  if (extraChunk) body += "LIST" + Le32(5) + QByteArray("INFOx") + QByteArray(1, '\0');
  body += "data" + Le32(sizeUnset ? 0xFFFFFFFFu : dataBytes) + QByteArray(dataBytes, '\0');
  return "RIFF" + Le32(sizeUnset ? 0xFFFFFFFFu : static_cast<quint32>(body.size())) + body;
}

struct FakeRm {
  QByteArray bytes;
  qsizetype prop = 0, mdprAudio = 0;
  std::vector<qsizetype> audioPackets;
};

// A RealMedia file as ffmpeg writes it: .RMF, PROP, one MDPR per stream, DATA with packets;
// the audio stream is RealAudio 14.4 at 8000 bit/s, 20 bytes a packet.
FakeRm MakeRm(bool withVideo, quint32 audioStamp) {
  FakeRm rm;
  QByteArray& b = rm.bytes;
  b += ".RMF" + Be32(18) + Be16(0) + Be32(0) + Be32(withVideo ? 5 : 4);
  rm.prop = b.size();
  b += "PROP" + Be32(50) + Be16(0);
  for (int i = 0; i < 5; ++i) b += Be32(i == 0 || i == 1 ? 8000 : 0);
  b += Be32(0) /*duration*/ + Be32(0) + Be32(0) + Be32(0) + Be16(withVideo ? 2 : 1) + Be16(0);
  const auto mdpr = [&](quint16 stream, quint32 rate, const QByteArray& mime) {
    QByteArray c = Be16(0) + Be16(stream) + Be32(rate) + Be32(rate) + Be32(20) + Be32(20) +
                   Be32(0) + Be32(0) + Be32(0) + QByteArray(1, 0) +
                   QByteArray(1, char(mime.size())) + mime + Be32(0);
    return "MDPR" + Be32(static_cast<quint32>(8 + c.size())) + c;
  };
  if (withVideo) b += mdpr(0, 100000, "video/x-pn-realvideo");
  rm.mdprAudio = b.size();
  b += mdpr(withVideo ? 1 : 0, 8000, "audio/x-pn-realaudio");
  const qsizetype data = b.size();
  b += "DATA" + Be32(0) + Be16(0) + Be32(0) + Be32(0);
  for (int k = 0; k < 4; ++k) {
    if (withVideo)
      b += Be16(0) + Be16(12 + 30) + Be16(0) + Be32(k * 200) + QByteArray(2, 0) +
           QByteArray(30, 'v');
    rm.audioPackets.push_back(b.size());
    b += Be16(0) + Be16(12 + 20) + Be16(withVideo ? 1 : 0) + Be32(k ? audioStamp * k : 0) +
         QByteArray(2, 0) + QByteArray(20, 'a');
  }
  const quint32 dataSize = static_cast<quint32>(b.size() - data);
  qToBigEndian(dataSize, b.data() + data + 4);
  return rm;
}

QByteArray ReadAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void WriteExecutable(const QString& path, const QByteArray& script) {
  QFile f(path);
  QVERIFY(f.open(QIODevice::WriteOnly));
  f.write(script);
  f.close();
  f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

struct Run {
  int exitCode = -1;
  QString out, err;
};

// Runs the generator program with PATH limited to the given folder (or left alone).
Run RunProgram(const QStringList& args, const QString& pathFolder = QString(),
               const QStringList& extraEnv = {}) {
  QProcess p;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  if (!pathFolder.isNull()) env.insert(QStringLiteral("PATH"), pathFolder);
  for (const QString& kv : extraEnv) env.insert(kv.section(u'=', 0, 0), kv.section(u'=', 1));
  env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  p.setProcessEnvironment(env);
  p.start(QStringLiteral(GENERATOR_PATH), args);
  Run r;
  if (!p.waitForFinished(150000)) {
    p.kill();
    p.waitForFinished();
    return r;
  }
  r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
  r.out = QString::fromLocal8Bit(p.readAllStandardOutput());
  r.err = QString::fromLocal8Bit(p.readAllStandardError());
  return r;
}

// Relative path -> SHA-1 of every file below root.
QMap<QString, QByteArray> HashTree(const QString& root) {
  QMap<QString, QByteArray> hashes;
  QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
  while (it.hasNext()) {
    const QString path = it.next();
    hashes.insert(QDir(root).relativeFilePath(path),
                  QCryptographicHash::hash(ReadAll(path), QCryptographicHash::Sha1).toHex());
  }
  return hashes;
}

QString FfprobeValue(const QString& file, const QString& entries) {
  QProcess p;
  p.start(QStringLiteral("ffprobe"),
          {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"), entries,
           QStringLiteral("-of"), QStringLiteral("csv=p=0"), file});
  p.waitForFinished(30000);
  return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

}  // namespace

class GeneratorTest : public QObject {
  Q_OBJECT
 private slots:
  void encodesWindows1252_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("ascii") << QStringLiteral("0~0~Deck~1~Title") << QByteArray("0~0~Deck~1~Title");
    QTest::newRow("e acute") << QStringLiteral("déploiement") << QByteArray("d\xE9ploiement");
    QTest::newRow("apostrophe") << QStringLiteral("s\u2019affichent")
                                << QByteArray(
                                       "s\x92"
                                       "affichent");
    QTest::newRow("en dash") << QStringLiteral("a \u2013 b") << QByteArray("a \x96 b");
    QTest::newRow("euro") << QStringLiteral("\u20AC5")
                          << QByteArray(
                                 "\x80"
                                 "5");
    QTest::newRow("OE ligature") << QStringLiteral("\u0152uvre") << QByteArray("\x8Cuvre");
    QTest::newRow("y diaeresis") << QStringLiteral("\u00FF\u0178") << QByteArray("\xFF\x9F");
    QTest::newRow("no-break space") << QStringLiteral("a\u00A0b")
                                    << QByteArray(
                                           "a\xA0"
                                           "b");
  }
  void encodesWindows1252() {
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QCOMPARE(EncodeWindows1252(text), bytes);
    // The players' own decoder reads back what was meant.
    QCOMPARE(medium::DecodeWindows1252(bytes), text);
  }

  void rejectsCharactersOutsideTheCodePage_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("CJK") << QStringLiteral("\u65E5\u672C");
    QTest::newRow("Greek") << QStringLiteral("\u03A9");
    QTest::newRow("C1 control") << QString(QChar(0x81));
    QTest::newRow("emoji") << QStringLiteral("\U0001F600");
  }
  void rejectsCharactersOutsideTheCodePage() {
    QFETCH(QString, text);
    QVERIFY_THROWS_EXCEPTION(GeneratorError, EncodeWindows1252(text));
  }

  void linesEndInCrLf() {
    const QByteArray bytes =
        CrLfLines({QStringLiteral("SlideMode=0"), QString(), QStringLiteral("Fran\u00E7ais")});
    QCOMPARE(bytes, QByteArray("SlideMode=0\r\n\r\nFran\xE7"
                               "ais\r\n"));
  }

  void wavDuration_data() {
    QTest::addColumn<QByteArray>("wav");
    QTest::addColumn<int>("ms");
    QTest::newRow("22050 mono") << Wav(22050, 1, 11025, false, false) << 500;
    QTest::newRow("8000 stereo") << Wav(8000, 2, 16000, false, false) << 2000;
    QTest::newRow("extra chunk") << Wav(22050, 1, 22050, true, false) << 1000;
    QTest::newRow("size unset") << Wav(22050, 1, 2205, false, true) << 100;
    QTest::newRow("empty") << Wav(22050, 1, 0, false, false) << 0;
  }
  void wavDuration() {
    QFETCH(QByteArray, wav);
    QFETCH(int, ms);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("a.wav"));
    WriteFileBytes(path, wav);
    QCOMPARE(WavDurationMs(path), ms);
  }
  void wavDurationRejectsOtherFiles() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("a.wav"));
    WriteFileBytes(path, "ID3 not a wave file");
    QVERIFY_THROWS_EXCEPTION(GeneratorError, WavDurationMs(path));
    QVERIFY_THROWS_EXCEPTION(GeneratorError, WavDurationMs(dir.filePath(QStringLiteral("none"))));
  }

  void stampsRealAudioPackets_data() {
    QTest::addColumn<bool>("withVideo");
    QTest::newRow("audio only") << false;
    QTest::newRow("with video") << true;
  }
  void stampsRealAudioPackets() {
    QFETCH(bool, withVideo);
    const FakeRm rm = MakeRm(withVideo, 0);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("media.rm"));
    WriteFileBytes(path, rm.bytes);
    RepairRealMediaTimes(path);
    const QByteArray fixed = ReadAll(path);
    QCOMPARE(fixed.size(), rm.bytes.size());
    // 20 bytes at 8000 bit/s are 20 ms each.
    for (size_t k = 0; k < rm.audioPackets.size(); ++k) {
      QCOMPARE(ReadBe32(fixed, rm.audioPackets[k] + 6), quint32(20 * k));
    }
    QCOMPARE(ReadBe32(fixed, rm.prop + 30), 80u);       // file duration
    QCOMPARE(ReadBe32(fixed, rm.mdprAudio + 36), 80u);  // audio stream duration
    if (withVideo) {
      // Video packets keep their own stamps.
      QCOMPARE(ReadBe32(fixed, rm.audioPackets[2] - 42 + 6), 400u);
    }
  }
  void leavesStampedRealAudioAlone() {
    const FakeRm rm = MakeRm(false, 20);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("media.rm"));
    WriteFileBytes(path, rm.bytes);
    RepairRealMediaTimes(path);
    QCOMPARE(ReadAll(path), rm.bytes);
  }
  void realMediaRepairRejectsOtherFiles() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("media.rm"));
    WriteFileBytes(path, Wav(8000, 1, 100, false, false));
    QVERIFY_THROWS_EXCEPTION(GeneratorError, RepairRealMediaTimes(path));
  }

  void usage_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("code");
    QTest::addColumn<bool>("toOut");
    QTest::newRow("no folder") << QStringList{} << 2 << false;
    QTest::newRow("two folders") << QStringList{"a", "b"} << 2 << false;
    QTest::newRow("unknown option") << QStringList{"--fast"} << 2 << false;
    QTest::newRow("help") << QStringList{"--help"} << 0 << true;
  }
  void usage() {
    QFETCH(QStringList, args);
    QFETCH(int, code);
    QFETCH(bool, toOut);
    QString out, err;
    const int rc = RunGenerator(
        QStringList{QStringLiteral("make_sample_medium")} + args,
        [&](const QString& t) { out += t; }, [&](const QString& t) { err += t; });
    QCOMPARE(rc, code);
    QVERIFY((toOut ? out : err).contains(QStringLiteral("Usage: make_sample_medium OUTPUT_DIR")));
    QVERIFY((toOut ? err : out).isEmpty());
  }

  void missingFfmpegIsReported() {
    QTemporaryDir dir;
    const QString emptyBin = dir.filePath(QStringLiteral("bin"));
    QDir().mkpath(emptyBin);
    const QString target = dir.filePath(QStringLiteral("medium"));
    const Run r = RunProgram({target}, emptyBin);
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(r.err.contains(QStringLiteral("ffmpeg was not found")), qPrintable(r.err));
    // Nothing is written when the tools are missing.
    QVERIFY(!QFileInfo::exists(target));
  }

  void failingFfmpegIsReported() {
    QTemporaryDir dir;
    const QString bin = dir.filePath(QStringLiteral("bin"));
    QDir().mkpath(bin);
    WriteExecutable(bin + QStringLiteral("/ffmpeg"),
                    "#!/bin/sh\necho \"Unknown encoder 'wmv2'\" >&2\nexit 3\n");
    const Run r = RunProgram({dir.filePath(QStringLiteral("medium"))}, bin);
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(r.err.contains(QStringLiteral("ffmpeg failed while")), qPrintable(r.err));
    QVERIFY2(r.err.contains(QStringLiteral("exit code 3")), qPrintable(r.err));
    QVERIFY2(r.err.contains(QStringLiteral("Unknown encoder 'wmv2'")), qPrintable(r.err));
  }

  void refusesAFolderItDidNotWrite() {
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("home"));
    QDir().mkpath(target + QStringLiteral("/Data"));
    WriteFileBytes(target + QStringLiteral("/Data/keep.txt"), "mine");
    const Run r = RunProgram({target});
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(r.err.contains(QStringLiteral("is not empty")), qPrintable(r.err));
    QCOMPARE(ReadAll(target + QStringLiteral("/Data/keep.txt")), QByteArray("mine"));
  }

  // Without espeak-ng the narration is a tone; two runs into the same folder give the same
  // bytes, and the second replaces what the first left there.
  void toneNarrationRepeatableAndReplacing() {
    QTemporaryDir dir;
    const QString bin = dir.filePath(QStringLiteral("bin"));
    QDir().mkpath(bin);
    const QString ffmpeg = QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
    QVERIFY2(!ffmpeg.isEmpty(), "ffmpeg is needed on this machine");
    const QString log = dir.filePath(QStringLiteral("ffmpeg.log"));
    WriteExecutable(bin + QStringLiteral("/ffmpeg"),
                    "#!/bin/sh\nprintf '%s\\n' \"$@\" >> \"$FAKE_LOG\"\nexec " +
                        ffmpeg.toLocal8Bit() + " \"$@\"\n");
    const QString target = dir.filePath(QStringLiteral("medium"));

    const Run first = RunProgram({target}, bin, {QStringLiteral("FAKE_LOG=") + log});
    QCOMPARE(first.exitCode, 0);
    QVERIFY2(first.out.contains(QStringLiteral("espeak-ng was not found")), qPrintable(first.out));
    QVERIFY(ReadAll(log).contains("sine=frequency="));
    const QString wmv = target + QStringLiteral("/Media/Launch2004/media.wmv");
    const double seconds = FfprobeValue(wmv, QStringLiteral("format=duration")).toDouble();
    QVERIFY2(seconds > 47.5 && seconds < 49, qPrintable(QString::number(seconds)));
    const QMap<QString, QByteArray> before = HashTree(target);

    WriteFileBytes(target + QStringLiteral("/Data/Old/events.txt"), "0~0~Old~1~Stale\r\n");
    const Run second = RunProgram({target}, bin, {QStringLiteral("FAKE_LOG=") + log});
    QCOMPARE(second.exitCode, 0);
    QVERIFY(!QFileInfo::exists(target + QStringLiteral("/Data/Old")));
    const QMap<QString, QByteArray> after = HashTree(target);
    QCOMPARE(after.keys(), before.keys());
    for (auto it = before.begin(); it != before.end(); ++it) {
      QVERIFY2(after.value(it.key()) == it.value(), qPrintable(it.key() + " differs"));
    }
  }
};

QTEST_GUILESS_MAIN(GeneratorTest)
#include "test_generator.moc"
