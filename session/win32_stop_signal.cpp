// Ctrl+C, Ctrl+Break, the console's closing, log-off and shut-down as the stop request. The
// handler runs in a thread of its own that the system makes; for the last three the system ends
// the process as soon as the handler returns, so that handler holds on until the program has
// finished (and its own exit, status 0, ends the process), or until just before the system's
// limit of about five seconds.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "session/stop_signal.h"

namespace kovrix::session {
namespace {

constexpr std::chrono::milliseconds kCloseHold{4500};

// Never destroyed: the handler's thread may still wait on it while the program exits.
struct Shared {
  std::mutex mutex;
  std::condition_variable changed;
  bool stopAsked = false;
  bool finished = false;
};
Shared& State() {
  static Shared* const state = new Shared;
  return *state;
}

BOOL WINAPI AskStop(DWORD event) {
  Shared& s = State();
  std::unique_lock lock(s.mutex);
  s.stopAsked = true;
  s.changed.notify_all();
  if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT) {
    const auto until = std::chrono::steady_clock::now() + kCloseHold;
    // Once finished, the program's own exit ends the process: the rest of the time is only a
    // bound in case that exit is slow.
    if (s.changed.wait_until(lock, until, [&s] { return s.finished; })) {
      lock.unlock();
      std::this_thread::sleep_until(until);
    }
  }
  return TRUE;
}

}  // namespace

StopSignal::StopSignal() {
  State();
  SetConsoleCtrlHandler(AskStop, TRUE);
}

StopSignal::~StopSignal() { SetConsoleCtrlHandler(AskStop, FALSE); }

void StopSignal::Wait() {
  Shared& s = State();
  std::unique_lock lock(s.mutex);
  s.changed.wait(lock, [&s] { return s.stopAsked; });
}

void StopSignal::Wake() {
  Shared& s = State();
  std::lock_guard lock(s.mutex);
  s.stopAsked = true;
  s.changed.notify_all();
}

void StopSignal::Finished() {
  Shared& s = State();
  std::lock_guard lock(s.mutex);
  s.finished = true;
  s.changed.notify_all();
}

}  // namespace kovrix::session
