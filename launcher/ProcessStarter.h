#pragma once
// Starting a player as an independent process that the launcher does not wait for. Behind an
// interface so that tests record what would be started.

#include <QString>
#include <QStringList>

namespace launcher {

class ProcessStarter {
 public:
  virtual ~ProcessStarter() = default;
  // Starts the program with the arguments; throws medium::AppError (kCannotStartProgram) with a
  // description naming the program when it cannot be started.
  virtual void StartDetached(const QString& program, const QStringList& arguments) = 0;
};

class DetachedProcessStarter : public ProcessStarter {
 public:
  void StartDetached(const QString& program, const QStringList& arguments) override;
};

}  // namespace launcher
