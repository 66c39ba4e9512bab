// SIGINT as the stop request of a script run.
#include <csignal>

#include "cli/interrupt.h"

namespace kovrix::cli {
namespace {

volatile std::sig_atomic_t gStopRequested = 0;

extern "C" void RequestStop(int) { gStopRequested = 1; }

}  // namespace

struct StopOnInterrupt::Previous {
  struct sigaction action {};
};

// The handler resets itself (SA_RESETHAND), so a second SIGINT gets the default handling.
StopOnInterrupt::StopOnInterrupt() : previous_(std::make_unique<Previous>()) {
  struct sigaction action {};
  action.sa_handler = RequestStop;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESETHAND;
  sigaction(SIGINT, &action, &previous_->action);
}

StopOnInterrupt::~StopOnInterrupt() { sigaction(SIGINT, &previous_->action, nullptr); }

bool StopRequested() { return gStopRequested != 0; }
void ClearStopRequest() { gStopRequested = 0; }

}  // namespace kovrix::cli
