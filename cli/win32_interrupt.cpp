// Ctrl+C and Ctrl+Break of the console as the stop request of a script run.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <atomic>

#include "cli/interrupt.h"

namespace kovrix::cli {
namespace {

std::atomic<bool> gStopRequested{false};
// Set by the first Ctrl+C: later ones fall through to the default handling, which ends the program.
std::atomic<bool> gTaken{false};

BOOL WINAPI RequestStop(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
  if (gTaken.exchange(true)) return FALSE;
  gStopRequested = true;
  return TRUE;
}

}  // namespace

struct StopOnInterrupt::Previous {};

StopOnInterrupt::StopOnInterrupt() {
  gTaken = false;
  SetConsoleCtrlHandler(RequestStop, TRUE);
}

StopOnInterrupt::~StopOnInterrupt() { SetConsoleCtrlHandler(RequestStop, FALSE); }

bool StopRequested() { return gStopRequested; }
void ClearStopRequest() { gStopRequested = false; }

}  // namespace kovrix::cli
