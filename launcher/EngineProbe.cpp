#include "launcher/EngineProbe.h"

#include <QFileInfo>
#include <QTimer>
#include <optional>

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#endif

#include "launcher/PlayerLaunch.h"
#include "medium/Paths.h"

namespace launcher {

namespace {

#ifdef Q_OS_UNIX
constexpr int kProbeNiceness = 10;
#endif

std::optional<PlayerBuild> PlayerFor(const QString& identifier) {
  for (PlayerBuild p : {PlayerBuild::Tavisco, PlayerBuild::Norvanta}) {
    if (identifier == ProbeIdentifier(p)) return p;
  }
  return std::nullopt;
}

}  // namespace

ProcessEngineProbe::ProcessEngineProbe(QString programFolder, int timeoutMs)
    : programFolder_(std::move(programFolder)), timeoutMs_(timeoutMs) {}

ProcessEngineProbe::~ProcessEngineProbe() {
  EndAll();
}

void ProcessEngineProbe::EndAll() {
  for (auto& process : processes_) {
    if (process && process->state() != QProcess::NotRunning) {
      process->kill();
      process->waitForFinished(1000);
    }
  }
  processes_.clear();
  started_.clear();
}

void ProcessEngineProbe::Start(const QStringList& identifiers) {
  EndAll();
  const QString folder = programFolder_.isEmpty() ? medium::ProgramFolder() : programFolder_;
  for (const QString& id : identifiers) {
    const auto player = PlayerFor(id);
    const QString program = player ? ProgramPath(*player, folder) : QString();
    const QFileInfo info(program);
    if (!player || !info.isFile() || !info.isExecutable()) {
      processes_.push_back(nullptr);
      continue;
    }
    auto process = std::make_unique<QProcess>();
    // Silent: whatever the probe prints goes nowhere.
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
#ifdef Q_OS_UNIX
    // The probes run while the launcher builds its window and must not take the processor from
    // it: they yield to it, and use what it leaves.
    process->setChildProcessModifier([] { setpriority(PRIO_PROCESS, 0, kProbeNiceness); });
#endif
    process->start(program, {QStringLiteral("--probe")});
    processes_.push_back(std::move(process));
  }
  started_ = identifiers;
  // One deadline for all, so the probes cost the time of the slowest one, at most timeoutMs.
  deadline_ = QDeadlineTimer(timeoutMs_);
}

QList<bool> ProcessEngineProbe::Probe(const QStringList& identifiers) {
  if (started_ != identifiers || processes_.size() != static_cast<size_t>(identifiers.size()))
    Start(identifiers);
  QList<bool> answers;
  for (auto& process : processes_) {
    bool installed = false;
    if (process) {
      // A probe may have ended already (its answer waited for the event loop).
      if (process->state() != QProcess::NotRunning)
        process->waitForFinished(static_cast<int>(qMax<qint64>(0, deadline_.remainingTime())));
      installed = process->state() == QProcess::NotRunning &&
                  process->error() != QProcess::FailedToStart &&
                  process->exitStatus() == QProcess::NormalExit && process->exitCode() == 0;
    }
    answers << installed;
  }
  // Each answer is given once; a second call probes again.
  EndAll();
  return answers;
}

void ProcessEngineProbe::ProbeLater(const QStringList& identifiers, Answered answered) {
  if (started_ != identifiers || processes_.size() != static_cast<size_t>(identifiers.size()))
    Start(identifiers);
  answered_ = std::move(answered);
  for (auto& process : processes_) {
    if (!process) continue;
    QObject::connect(process.get(), &QProcess::finished, &context_,
                     [this] { AnswerWhenAllEnded(); });
    QObject::connect(process.get(), &QProcess::errorOccurred, &context_,
                     [this] { AnswerWhenAllEnded(); });
  }
  QTimer::singleShot(static_cast<int>(qMax<qint64>(0, deadline_.remainingTime())), &context_,
                     [this] { Settle(); });
  AnswerWhenAllEnded();
}

void ProcessEngineProbe::AnswerWhenAllEnded() {
  for (const auto& process : processes_)
    if (process && process->state() != QProcess::NotRunning) return;
  // Not from within a process's own signal: the answer ends the processes.
  QTimer::singleShot(0, &context_, [this] { Settle(); });
}

void ProcessEngineProbe::Settle() {
  if (!answered_) return;
  const Answered answered = std::move(answered_);
  answered_ = {};
  answered(Probe(started_));
}

}  // namespace launcher
