#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <csignal>

#include "session/stop_signal.h"

namespace kovrix::session {
namespace {

sigset_t StopSignals() {
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  return signals;
}

}  // namespace

StopSignal::StopSignal() {
  const sigset_t signals = StopSignals();
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  // A client that goes away while it is answered must not end the service.
  std::signal(SIGPIPE, SIG_IGN);
}

StopSignal::~StopSignal() = default;

void StopSignal::Wait() {
  const sigset_t signals = StopSignals();
  int received = 0;
  sigwait(&signals, &received);
}

// Every thread blocks the signal, so it stays pending until Wait takes it, even when Wait has
// not started yet.
void StopSignal::Wake() { ::kill(::getpid(), SIGTERM); }

void StopSignal::Finished() {}

}  // namespace kovrix::session
