// Export of a medium (the sample medium unless another is given): the time of the whole export,
// and the real-time factor of the transcoding of each recording (length of the recording over
// the time ffmpeg took for it), on the wall clock and on ffmpeg's own CPU time, since the wall
// clock also counts whatever else the machine is doing.
//
//   bench_export [MEDIUM] [--runs N] [--talk MINUTES]
//
// --talk replaces the video of the sample medium's keynote (Launch2004Video) by a talk of that
// many minutes at 640 x 480 and 25 frames a second, made by ffmpeg into a copy of the medium, so
// that reading and decoding the recording weigh as they do on a real disc.
//
// Exits 1 when the transcoding of all recordings together runs at less than 20 times real time.

#include <sys/resource.h>
#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "exporter/ExportCommand.h"
#include "exporter/Exporter.h"
#include "exporter/PresentationContent.h"
#include "exporter/Transcoder.h"
#include "medium/Paths.h"
#include "medium/Report.h"
#include "presentation/ConfigReader.h"

namespace {

constexpr double kGoal = 20.0;

double CpuSeconds(int who) {
  rusage usage{};
  getrusage(who, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
         (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double ChildrenCpuSeconds() {
  return CpuSeconds(RUSAGE_CHILDREN);
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

bool CopyTree(const QString& from, const QString& to) {
  QDirIterator it(from, QDir::Files, QDirIterator::Subdirectories);
  while (it.hasNext()) {
    const QString file = it.next();
    const QString target = to + file.mid(from.size());
    if (!QDir().mkpath(QFileInfo(target).path()) || !QFile::copy(file, target)) return false;
  }
  return true;
}

bool MakeTalk(const QString& path, int minutes) {
  const QString seconds = QString::number(minutes * 60);
  QFile::remove(path);
  QProcess p;
  p.start("ffmpeg", {"-v",
                     "error",
                     "-y",
                     "-f",
                     "lavfi",
                     "-i",
                     "testsrc2=size=640x480:rate=25:duration=" + seconds,
                     "-f",
                     "lavfi",
                     "-i",
                     "sine=frequency=220:sample_rate=22050:duration=" + seconds,
                     "-c:v",
                     "wmv2",
                     "-b:v",
                     "500k",
                     "-c:a",
                     "wmav2",
                     "-b:a",
                     "32k",
                     path});
  return p.waitForFinished(-1) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QString mediumDir = QStringLiteral(SAMPLE_MEDIUM_DIR);
  int runs = 3;
  int talkMinutes = 0;
  const QStringList args = app.arguments().mid(1);
  for (qsizetype i = 0; i < args.size(); ++i) {
    if (args[i] == "--runs" && i + 1 < args.size()) {
      runs = std::max(1, args[++i].toInt());
    } else if (args[i] == "--talk" && i + 1 < args.size()) {
      talkMinutes = std::max(1, args[++i].toInt());
    } else {
      mediumDir = args[i];
    }
  }
  if (!QFileInfo::exists(mediumDir + "/Data/config.txt")) {
    std::fprintf(stderr, "bench_export: no medium at %s (build the sample_medium_dir target)\n",
                 qPrintable(mediumDir));
    return 2;
  }
  QTemporaryDir talkCopy;
  if (talkMinutes > 0) {
    const QString copy = talkCopy.path() + "/medium";
    if (!CopyTree(mediumDir, copy) ||
        !MakeTalk(copy + "/Media/Launch2004Video/media.wmv", talkMinutes)) {
      std::fprintf(stderr, "bench_export: cannot make the %d minute talk\n", talkMinutes);
      return 2;
    }
    mediumDir = copy;
  }
  const layout::MediumLayout medium(mediumDir);
  const jobs::FfmpegTools tools = jobs::FfmpegTools::FromPath();

  // The whole export, as "Ambrel --export" does it.
  // CPU time counts ours (the check, the pictures, the pages) and ffmpeg's apart; on a machine
  // shared with other work the wall clock says less.
  std::vector<double> whole, ownCpu, childCpu;
  for (int r = 0; r < runs; ++r) {
    QTemporaryDir out;
    exporter::ExportRequest request;
    request.outDir = out.path() + "/web";
    const double selfBefore = CpuSeconds(RUSAGE_SELF);
    const double childrenBefore = ChildrenCpuSeconds();
    QElapsedTimer timer;
    timer.start();
    const exporter::ExportSummary s = exporter::ExportMedium(medium, request, nullptr);
    whole.push_back(timer.nsecsElapsed() / 1e9);
    ownCpu.push_back(CpuSeconds(RUSAGE_SELF) - selfBefore);
    childCpu.push_back(ChildrenCpuSeconds() - childrenBefore);
    if (s.ExitCode() != 0) {
      std::fprintf(stderr, "bench_export: the export had problems:\n%s",
                   qPrintable(exporter::FormatSummary(s)));
      return 2;
    }
  }
  std::printf(
      "Medium %s\nWhole export (%d runs): median %.2f s wall, CPU %.2f s ours + %.2f s "
      "ffmpeg/ffprobe\n\n",
      qPrintable(mediumDir), runs, Median(whole), Median(ownCpu), Median(childCpu));

  // Each recording on its own.
  medium::SilentReporter quiet;
  const PresArr_cls list = launcher::ReadPresentationList(medium, quiet);
  std::printf("%-18s %-10s %8s %10s %8s %10s %8s\n", "presentation", "output", "length", "wall",
              "x real", "cpu", "x real");
  double totalLength = 0, totalWall = 0, totalCpu = 0;
  for (int k = 1; k <= list.arr.Count(); ++k) {
    const QString folder = list.arr.Item(k).PresDir;
    const QString recording = exporter::ChooseRecording(medium, folder);
    if (recording.isEmpty()) continue;
    const QString input = medium::OpenablePath(recording);
    QString error;
    const auto info = exporter::ProbeMedia(tools, input, &error);
    if (!info) {
      std::fprintf(stderr, "bench_export: %s: %s\n", qPrintable(folder), qPrintable(error));
      return 2;
    }
    std::vector<double> wall, cpu;
    for (int r = 0; r < runs; ++r) {
      QTemporaryDir out;
      const double cpuBefore = ChildrenCpuSeconds();
      QElapsedTimer timer;
      timer.start();
      const auto result = exporter::Transcode(
          tools, input, out.filePath(exporter::OutputFileName(*info)), *info, {}, nullptr);
      wall.push_back(timer.nsecsElapsed() / 1e9);
      cpu.push_back(ChildrenCpuSeconds() - cpuBefore);
      if (!result.ok) {
        std::fprintf(stderr, "bench_export: %s: %s\n", qPrintable(folder),
                     qPrintable(result.error));
        return 2;
      }
    }
    const double w = Median(wall), c = Median(cpu);
    std::printf("%-18s %-10s %7.1fs %9.2fs %7.1fx %9.2fs %7.1fx\n", qPrintable(folder),
                qPrintable(exporter::OutputFileName(*info)), info->durationS, w,
                info->durationS / w, c, c > 0 ? info->durationS / c : 0.0);
    totalLength += info->durationS;
    totalWall += w;
    totalCpu += c;
  }
  const double factor = totalLength / totalWall;
  std::printf("%-18s %-10s %7.1fs %9.2fs %7.1fx %9.2fs %7.1fx\n", "all", "", totalLength, totalWall,
              factor, totalCpu, totalCpu > 0 ? totalLength / totalCpu : 0.0);
  std::printf("\nGoal: transcoding at least %.0fx real time (wall clock): %s\n", kGoal,
              factor >= kGoal ? "met" : "NOT met");
  return factor >= kGoal ? 0 : 1;
}
