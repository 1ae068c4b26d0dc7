#pragma once
// Stand-ins for the launcher's outside world: engine probes, process start and the browser.

#include <QList>
#include <QString>
#include <QStringList>

#include "launcher/EngineProbe.h"
#include "launcher/ProcessStarter.h"
#include "launcher/WebLink.h"
#include "medium/Error.h"

class FakeProbe : public launcher::EngineProbe {
 public:
  QList<bool> Probe(const QStringList& identifiers) override {
    asked << identifiers;
    return answers;
  }
  QList<bool> answers{true, true};
  QStringList asked;
};

class FakeStarter : public launcher::ProcessStarter {
 public:
  void StartDetached(const QString& program, const QStringList& arguments) override {
    ++calls;
    this->program = program;
    this->arguments = arguments;
    if (failing) {
      throw medium::AppError(medium::kCannotStartProgram,
                             QStringLiteral("The player program %1 is missing.").arg(program));
    }
  }
  int calls = 0;
  QString program;
  QStringList arguments;
  bool failing = false;
};

class FakeWeb : public launcher::WebOpener {
 public:
  void Open(const QString& address, QWidget* owner, Done done) override {
    opened << address;
    this->owner = owner;
    done(result);
  }
  int result = launcher::kOpenSucceeded;
  QStringList opened;
  QWidget* owner = nullptr;
};
