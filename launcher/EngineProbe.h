#pragma once
// Whether each media engine is installed: a yes or no per engine, found once at start-up and
// silently. Behind an interface so that tests decide the answers.

#include <QDeadlineTimer>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

namespace launcher {

class EngineProbe {
 public:
  using Answered = std::function<void(const QList<bool>& installed)>;
  virtual ~EngineProbe() = default;
  // One answer per identifier, in the order given. Never reports and never throws.
  virtual QList<bool> Probe(const QStringList& identifiers) = 0;
  // The same answers, told to answered once they are in (once): at once here; a probe that asks
  // other programs tells them from the event loop when those have answered.
  virtual void ProbeLater(const QStringList& identifiers, Answered answered) {
    answered(Probe(identifiers));
  }
  // Answers still to come are waited for and told now.
  virtual void Settle() {}
};

// An engine is installed when its player program stands in the launcher's folder and running it
// with --probe exits with 0 within the time allowed. The probes run side by side, so the
// launcher waits for the slower one only; started early (Start), they run while the launcher
// builds its window, and Probe only collects their answers.
class ProcessEngineProbe : public EngineProbe {
 public:
  // programFolder in the medium's form; empty means the launcher's own folder.
  explicit ProcessEngineProbe(QString programFolder = QString(), int timeoutMs = 5000);
  // Ends probes still running.
  ~ProcessEngineProbe() override;
  // Starts the probes of these engines now; the time allowed runs from here.
  void Start(const QStringList& identifiers);
  // The answers of the probes started for these identifiers (started now if they were not).
  QList<bool> Probe(const QStringList& identifiers) override;
  // Told as soon as every probe has ended, or when the time allowed is up.
  void ProbeLater(const QStringList& identifiers, Answered answered) override;
  void Settle() override;

 private:
  void EndAll();
  void AnswerWhenAllEnded();

  QString programFolder_;
  int timeoutMs_;
  QStringList started_;
  std::vector<std::unique_ptr<QProcess>> processes_;
  QDeadlineTimer deadline_;
  Answered answered_;
  QObject context_;  // the probes' signals and timer end with the probe
};

}  // namespace launcher
