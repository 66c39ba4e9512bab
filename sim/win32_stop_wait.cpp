// Ctrl+C, Ctrl+Break and the closing of the console as the stop request. The system ends the
// process as soon as the handler of a close, log-off or shut-down event returns, so that handler
// waits for Finished (the system allows it about five seconds).
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "sim/stop_wait.h"

namespace kovrix::sim {
namespace {

std::mutex gMutex;
std::condition_variable gChanged;
bool gStopAsked = false;
bool gFinished = false;

BOOL WINAPI AskStop(DWORD event) {
  std::unique_lock lock(gMutex);
  gStopAsked = true;
  gChanged.notify_all();
  if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT) {
    gChanged.wait_for(lock, std::chrono::milliseconds(4500), [] { return gFinished; });
  }
  return TRUE;
}

}  // namespace

StopWait::StopWait() { SetConsoleCtrlHandler(AskStop, TRUE); }

StopWait::~StopWait() { SetConsoleCtrlHandler(AskStop, FALSE); }

void StopWait::Wait() {
  std::unique_lock lock(gMutex);
  gChanged.wait(lock, [] { return gStopAsked; });
}

void StopWait::Finished() {
  std::lock_guard lock(gMutex);
  gFinished = true;
  gChanged.notify_all();
}

}  // namespace kovrix::sim
