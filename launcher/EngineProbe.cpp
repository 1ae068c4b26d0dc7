#include "launcher/EngineProbe.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QProcess>
#include <memory>
#include <optional>
#include <vector>

#include "launcher/PlayerLaunch.h"
#include "medium/Paths.h"

namespace launcher {

namespace {

std::optional<PlayerBuild> PlayerFor(const QString& identifier) {
  for (PlayerBuild p : {PlayerBuild::Tavisco, PlayerBuild::Norvanta}) {
    if (identifier == ProbeIdentifier(p)) return p;
  }
  return std::nullopt;
}

}  // namespace

ProcessEngineProbe::ProcessEngineProbe(QString programFolder, int timeoutMs)
    : programFolder_(std::move(programFolder)), timeoutMs_(timeoutMs) {}

QList<bool> ProcessEngineProbe::Probe(const QStringList& identifiers) {
  const QString folder = programFolder_.isEmpty() ? medium::ProgramFolder() : programFolder_;
  std::vector<std::unique_ptr<QProcess>> processes;
  for (const QString& id : identifiers) {
    const auto player = PlayerFor(id);
    const QString program = player ? ProgramPath(*player, folder) : QString();
    const QFileInfo info(program);
    if (!player || !info.isFile() || !info.isExecutable()) {
      processes.push_back(nullptr);
      continue;
    }
    auto process = std::make_unique<QProcess>();
    // Silent: whatever the probe prints goes nowhere.
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    process->start(program, {QStringLiteral("--probe")});
    processes.push_back(std::move(process));
  }

  // One deadline for all, so the probes cost the time of the slowest one, at most timeoutMs.
  const QDeadlineTimer deadline(timeoutMs_);
  QList<bool> answers;
  for (auto& process : processes) {
    bool installed = false;
    if (process && process->waitForStarted(qMax<qint64>(0, deadline.remainingTime())) &&
        process->waitForFinished(static_cast<int>(qMax<qint64>(0, deadline.remainingTime())))) {
      installed = process->exitStatus() == QProcess::NormalExit && process->exitCode() == 0;
    }
    if (process && process->state() != QProcess::NotRunning) {
      process->kill();
      process->waitForFinished(1000);
    }
    answers << installed;
  }
  return answers;
}

}  // namespace launcher
