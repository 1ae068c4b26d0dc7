#include "medium/Interruption.h"

#include <csignal>
#include <iterator>

#ifdef Q_OS_UNIX
#include <signal.h>
#endif

namespace medium {
namespace {

// What the handler touches: lock-free atomics only, which a signal handler may set.
std::atomic<bool> g_flag{false};
std::atomic<int> g_signal{0};
static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<int>::is_always_lock_free);

#ifdef Q_OS_UNIX
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction g_previous[3];
#else
constexpr int kSignals[] = {SIGINT, SIGTERM};
void (*g_previous[2])(int);
#endif

extern "C" void OnSignal(int signal) {
  int none = 0;
  g_signal.compare_exchange_strong(none, signal);
  g_flag.store(true);
}

}  // namespace

Interruption::Interruption() {
  g_flag = false;
  g_signal = 0;
  for (size_t i = 0; i < std::size(kSignals); ++i) {
#ifdef Q_OS_UNIX
    struct sigaction action {};
    action.sa_handler = &OnSignal;
    sigemptyset(&action.sa_mask);
    // Interrupted reads and waits go on; the job looks at the flag often enough.
    action.sa_flags = SA_RESTART;
    sigaction(kSignals[i], &action, &g_previous[i]);
#else
    g_previous[i] = std::signal(kSignals[i], &OnSignal);
#endif
  }
}

Interruption::~Interruption() {
  for (size_t i = 0; i < std::size(kSignals); ++i) {
#ifdef Q_OS_UNIX
    sigaction(kSignals[i], &g_previous[i], nullptr);
#else
    std::signal(kSignals[i], g_previous[i]);
#endif
  }
}

const std::atomic<bool>* Interruption::CancelFlag() const {
  return &g_flag;
}

bool Interruption::Interrupted() const {
  return g_flag.load();
}

int Interruption::Signal() const {
  return g_signal.load();
}

QString Interruption::SignalName() const {
  switch (g_signal.load()) {
    case 0:
      return QString();
    case SIGINT:
      return QStringLiteral("SIGINT");
    case SIGTERM:
      return QStringLiteral("SIGTERM");
#ifdef Q_OS_UNIX
    case SIGHUP:
      return QStringLiteral("SIGHUP");
#endif
    default:
      return QStringLiteral("signal %1").arg(g_signal.load());
  }
}

void Interruption::EndLikeTheSignal() {
  const int signal = g_signal.load();
  if (signal == 0) return;
#ifdef Q_OS_UNIX
  struct sigaction action {};
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  sigaction(signal, &action, nullptr);
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, signal);
  pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
#else
  std::signal(signal, SIG_DFL);
#endif
  std::raise(signal);
}

}  // namespace medium
