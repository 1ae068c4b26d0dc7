// Preserving a medium, measured:
//   1. SHA-512 in memory: Qt's own against OpenSSL's libcrypto (the one the bags use);
//   2. copying one large file into a bag, hashing on the copying thread or on a second one;
//   3. the whole bag of a synthetic medium of SIZE MB (recordings-sized files and many small
//      ones), and the verification of that bag with one and with two threads;
//   4. --masters on the sample medium: the real-time factor and the size of the masters.
//
//   bench_preserve [--size MB] [--runs N] [--sample DIR] [--no-masters]
//
// Exits 1 when hashing or verifying runs below 300 MB/s.

#include <sys/resource.h>
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "preserver/BagVerifier.h"
#include "preserver/Digest.h"
#include "preserver/FileCopy.h"
#include "preserver/Preserver.h"

namespace {

constexpr double kGoalMBs = 300.0;

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

double MBs(qint64 bytes, double seconds) {
  return seconds > 0 ? bytes / 1e6 / seconds : 0.0;
}

double ChildrenCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_CHILDREN, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
         (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

QByteArray Noise(qint64 size, quint32 seed) {
  QByteArray bytes(size, Qt::Uninitialized);
  QRandomGenerator random(seed);
  random.fillRange(reinterpret_cast<quint32*>(bytes.data()), size / 4);
  return bytes;
}

void WriteFile(const QString& path, const QByteArray& bytes) {
  QDir().mkpath(QFileInfo(path).path());
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size()) {
    std::fprintf(stderr, "bench_preserve: cannot write %s\n", qPrintable(path));
    std::exit(2);
  }
}

// A medium of about sizeMb: a config.txt, recordings of 64 MB and 600 files of 20 to 200 KB,
// as slide pictures are.
qint64 MakeMedium(const QString& root, int sizeMb, int* files) {
  WriteFile(root + "/Data/config.txt", "Presentations 1\r\nA bench talk\r\nTalk\r\n");
  qint64 total = 0;
  *files = 601;
  QRandomGenerator sizes(7);
  for (int i = 0; i < 600; ++i) {
    const qint64 size = 20000 + sizes.bounded(180000);
    WriteFile(QStringLiteral("%1/Slides/Deck/Slide%2.jpg").arg(root).arg(i + 1), Noise(size, i));
    total += size;
  }
  const qint64 big = qint64(64) << 20;
  for (int i = 0; total + big / 2 < qint64(sizeMb) * 1000000; ++i) {
    WriteFile(QStringLiteral("%1/Media/Talk%2/media.bin").arg(root).arg(i), Noise(big, 1000 + i));
    total += big;
    ++*files;
  }
  return total;
}

// The same files copied with nothing else done: the pace the machine's own reading and writing
// sets, against which the bag's copy is measured.
double PlainCopySeconds(const QString& from, const QString& to) {
  QElapsedTimer t;
  t.start();
  QByteArray buffer(1 << 20, Qt::Uninitialized);
  QDirIterator it(from, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
  while (it.hasNext()) {
    const QString file = it.next();
    const QString target = to + file.mid(from.size());
    QDir().mkpath(QFileInfo(target).path());
    QFile in(file), out(target);
    in.open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    out.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    qint64 n;
    while ((n = in.read(buffer.data(), buffer.size())) > 0) out.write(buffer.constData(), n);
  }
  return t.nsecsElapsed() / 1e9;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  int sizeMb = 1000;
  int runs = 3;
  bool masters = true;
  QString sample = QStringLiteral(SAMPLE_MEDIUM_DIR);
  const QStringList args = app.arguments().mid(1);
  for (qsizetype i = 0; i < args.size(); ++i) {
    if (args[i] == "--size" && i + 1 < args.size()) {
      sizeMb = std::max(10, args[++i].toInt());
    } else if (args[i] == "--runs" && i + 1 < args.size()) {
      runs = std::max(1, args[++i].toInt());
    } else if (args[i] == "--sample" && i + 1 < args.size()) {
      sample = args[++i];
    } else if (args[i] == "--no-masters") {
      masters = false;
    }
  }
  bool met = true;

  // 1. SHA-512 of 256 MB in memory.
  {
    const QByteArray block = Noise(qint64(1) << 20, 1);
    const int blocks = 256;
    std::vector<double> qt, ssl;
    for (int r = 0; r < runs; ++r) {
      QElapsedTimer t;
      t.start();
      QCryptographicHash h(QCryptographicHash::Sha512);
      for (int b = 0; b < blocks; ++b) h.addData(block);
      h.result();
      qt.push_back(t.nsecsElapsed() / 1e9);
      t.restart();
      preserver::Digest d(preserver::Algorithm::Sha512);
      for (int b = 0; b < blocks; ++b) d.Add(block);
      d.HexResult();
      ssl.push_back(t.nsecsElapsed() / 1e9);
    }
    const qint64 bytes = qint64(blocks) << 20;
    const double fast = MBs(bytes, Median(ssl));
    std::printf("SHA-512 in memory (256 MiB, median of %d)\n", runs);
    std::printf("  QCryptographicHash     %7.0f MB/s\n", MBs(bytes, Median(qt)));
    std::printf("  OpenSSL libcrypto      %7.0f MB/s   goal %.0f MB/s: %s\n\n", fast, kGoalMBs,
                fast >= kGoalMBs ? "met" : "NOT met");
    met = met && fast >= kGoalMBs;
  }

  QTemporaryDir work;
  // 2. One file of 256 MiB copied with its digest.
  {
    const QString source = work.filePath("one.bin");
    WriteFile(source, Noise(qint64(256) << 20, 2));
    std::vector<double> inlineRuns, workerRuns;
    for (int r = 0; r < runs; ++r) {
      for (bool withWorker : {false, true}) {
        preserver::DigestWorker worker;
        preserver::CopyOptions options;
        options.worker = withWorker ? &worker : nullptr;
        auto file = preserver::OpenLocalFile(QFile::encodeName(source));
        QElapsedTimer t;
        t.start();
        const preserver::CopyResult c =
            preserver::CopyWithDigest(*file, work.filePath("copy.bin"), options);
        (withWorker ? workerRuns : inlineRuns).push_back(t.nsecsElapsed() / 1e9);
        if (!c.Complete()) return 2;
      }
    }
    const qint64 bytes = qint64(256) << 20;
    std::printf("Copy of one 256 MiB file with its SHA-512 (median of %d)\n", runs);
    std::printf("  hashed on the copying thread  %7.0f MB/s\n", MBs(bytes, Median(inlineRuns)));
    std::printf("  hashed on a second thread     %7.0f MB/s\n\n", MBs(bytes, Median(workerRuns)));
    QFile::remove(work.filePath("copy.bin"));
    QFile::remove(source);
  }

  // 3. The bag of a synthetic medium, then its verification.
  {
    const QString root = work.filePath("bench-medium");
    int files = 0;
    const qint64 bytes = MakeMedium(root, sizeMb, &files);
    std::vector<double> whole, copy, plain;
    for (int r = 0; r < runs; ++r) {
      plain.push_back(PlainCopySeconds(root, work.filePath("plain")));
      QDir(work.filePath("plain")).removeRecursively();
    }
    QString bag;
    for (int r = 0; r < runs; ++r) {
      preserver::PreserveRequest request;
      request.outDir = work.filePath("bags");
      request.force = true;
      const preserver::BagSummary s = preserver::PreserveMedium(root, request);
      if (s.status != preserver::BagSummary::Status::Complete) {
        std::fprintf(stderr, "%s", qPrintable(preserver::FormatBagSummary(s)));
        return 2;
      }
      whole.push_back(s.seconds);
      copy.push_back(s.copySeconds);
      bag = s.bag;
    }
    std::printf(
        "Bag of a medium of %lld files, %.0f MB (files just written, so read from the page "
        "cache; median of %d)\n",
        static_cast<long long>(files), bytes / 1e6, runs);
    std::printf("  copied alone (reference)   %7.0f MB/s  (%.2f s: read and write, nothing else)\n",
                MBs(bytes, Median(plain)), Median(plain));
    std::printf("  copied with SHA-512        %7.0f MB/s  (%.2f s)\n", MBs(bytes, Median(copy)),
                Median(copy));
    std::printf(
        "  whole bag                  %7.0f MB/s  (%.2f s: copy, check, read back, tag "
        "files)\n\n",
        MBs(bytes, Median(whole)), Median(whole));
    for (int threads : {1, 2}) {
      std::vector<double> times;
      for (int r = 0; r < runs; ++r) {
        preserver::VerifyOptions options;
        options.threads = threads;
        QElapsedTimer t;
        t.start();
        const preserver::VerifyResult v = preserver::VerifyBag(bag, options);
        times.push_back(t.nsecsElapsed() / 1e9);
        if (v.validity != preserver::BagValidity::Valid) return 2;
      }
      const double rate = MBs(bytes, Median(times));
      std::printf("  verify, %d thread%s          %7.0f MB/s  (%.2f s)%s\n", threads,
                  threads == 1 ? " " : "s", rate, Median(times),
                  threads == 2
                      ? (rate >= kGoalMBs ? "   goal 300 MB/s: met" : "   goal 300 MB/s: NOT met")
                      : "");
      if (threads == 2) met = met && rate >= kGoalMBs;
    }
    std::printf("\n");
    QDir(root).removeRecursively();
    QDir(work.filePath("bags")).removeRecursively();
  }

  // 4. Masters of the sample medium.
  if (masters) {
    if (!QFileInfo::exists(sample + "/Data/config.txt")) {
      std::fprintf(stderr, "bench_preserve: no sample medium at %s\n", qPrintable(sample));
      return 2;
    }
    preserver::PreserveRequest request;
    request.outDir = work.filePath("sample-bags");
    request.masters = true;
    const double cpuBefore = ChildrenCpuSeconds();
    const preserver::BagSummary s = preserver::PreserveMedium(sample, request);
    const double cpu = ChildrenCpuSeconds() - cpuBefore;
    std::printf("--masters on the sample medium: bag in %.2f s (ffmpeg and ffprobe CPU %.2f s)\n",
                s.seconds, cpu);
    std::printf("%-34s %8s %8s %8s %10s %10s %7s\n", "recording", "length", "wall", "x real",
                "original", "master", "ratio");
    double length = 0, wall = 0;
    qint64 originals = 0, mastersBytes = 0;
    for (const preserver::MasterOutcome& m : s.masters) {
      std::printf("%-34s %7.1fs %7.2fs %7.1fx %9.2fM %9.2fM %6.1fx%s\n", qPrintable(m.recording),
                  m.durationS, m.seconds, m.seconds > 0 ? m.durationS / m.seconds : 0.0,
                  m.originalBytes / 1e6, m.masterBytes / 1e6,
                  m.originalBytes > 0 ? double(m.masterBytes) / m.originalBytes : 0.0,
                  m.proved ? "" : "  NOT PROVED");
      length += m.durationS;
      wall += m.seconds;
      originals += m.originalBytes;
      mastersBytes += m.masterBytes;
    }
    std::printf("%-34s %7.1fs %7.2fs %7.1fx %9.2fM %9.2fM %6.1fx\n", "all", length, wall,
                wall > 0 ? length / wall : 0.0, originals / 1e6, mastersBytes / 1e6,
                originals > 0 ? double(mastersBytes) / originals : 0.0);
    if (s.ExitCode() != 0) {
      std::fprintf(stderr, "%s", qPrintable(preserver::FormatBagSummary(s)));
      return 2;
    }
  }
  return met ? 0 : 1;
}
