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
  // With late, the answers wait for Answer() (or Settle()), as the players' probes answer while
  // the window is already on screen.
  void ProbeLater(const QStringList& identifiers, Answered answered) override {
    if (!late) {
      EngineProbe::ProbeLater(identifiers, std::move(answered));
      return;
    }
    asked << identifiers;
    pending = std::move(answered);
  }
  void Settle() override {
    ++settled;
    Answer();
  }
  void Answer() {
    if (!pending) return;
    const Answered answered = std::move(pending);
    pending = {};
    answered(answers);
  }
  QList<bool> answers{true, true};
  QStringList asked;
  bool late = false;
  Answered pending;
  int settled = 0;
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
