#include <pthread.h>
#include <signal.h>

#include "sim/stop_wait.h"

namespace kovrix::sim {
namespace {

sigset_t StopSignals() {
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  return signals;
}

}  // namespace

StopWait::StopWait() {
  const sigset_t signals = StopSignals();
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
}

StopWait::~StopWait() = default;

void StopWait::Wait() {
  const sigset_t signals = StopSignals();
  int received = 0;
  sigwait(&signals, &received);
}

void StopWait::Finished() {}

}  // namespace kovrix::sim
