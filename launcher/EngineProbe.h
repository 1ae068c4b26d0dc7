#pragma once
// Whether each media engine is installed: a yes or no per engine, found once at start-up and
// silently. Behind an interface so that tests decide the answers.

#include <QList>
#include <QString>
#include <QStringList>

namespace launcher {

class EngineProbe {
 public:
  virtual ~EngineProbe() = default;
  // One answer per identifier, in the order given. Never reports and never throws.
  virtual QList<bool> Probe(const QStringList& identifiers) = 0;
};

// An engine is installed when its player program stands in the launcher's folder and running it
// with --probe exits with 0 within the time allowed. The probes run side by side, so the
// launcher waits for the slower one only.
class ProcessEngineProbe : public EngineProbe {
 public:
  // programFolder in the medium's form; empty means the launcher's own folder.
  explicit ProcessEngineProbe(QString programFolder = QString(), int timeoutMs = 5000);
  QList<bool> Probe(const QStringList& identifiers) override;

 private:
  QString programFolder_;
  int timeoutMs_;
};

}  // namespace launcher
