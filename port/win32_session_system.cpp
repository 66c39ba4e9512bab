// The session's effect on the process on Windows: the process's priority class, the thread's
// priority (Windows has no scheduling policy: it reads as 0) and a locked stretch of code.

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include "port/session_system.h"

namespace kovrix {
namespace {

// The locked stretch: 2000 bytes of the program's code from this unit on, so that the code that
// runs the exchange is not paged out in the middle of it.
constexpr SIZE_T kLockedBytes = 2000;

void* LockedCode();

class OsSessionSystem final : public SessionSystem {
 public:
  int ReadProcessPriority(int& priorityClass) override {
    const DWORD value = GetPriorityClass(GetCurrentProcess());
    if (value == 0) return static_cast<int>(GetLastError());
    priorityClass = static_cast<int>(value);
    return 0;
  }
  int WriteProcessPriority(int priorityClass) override {
    return SetPriorityClass(GetCurrentProcess(), static_cast<DWORD>(priorityClass)) ? 0
                                                                                    : static_cast<int>(GetLastError());
  }
  int ReadThreadPriority(int& policy, int& priority) override {
    const int value = GetThreadPriority(GetCurrentThread());
    if (value == THREAD_PRIORITY_ERROR_RETURN) return static_cast<int>(GetLastError());
    policy = 0;
    priority = value;
    return 0;
  }
  int WriteThreadPriority(int, int priority) override {
    return SetThreadPriority(GetCurrentThread(), priority) ? 0 : static_cast<int>(GetLastError());
  }
  int LockMemory() override { return VirtualLock(LockedCode(), kLockedBytes) ? 0 : static_cast<int>(GetLastError()); }
  int UnlockMemory() override {
    return VirtualUnlock(LockedCode(), kLockedBytes) ? 0 : static_cast<int>(GetLastError());
  }
};

void* LockedCode() { return reinterpret_cast<void*>(&LockedCode); }

}  // namespace

SessionSystem& RealSessionSystem() {
  static OsSessionSystem system;
  return system;
}

}  // namespace kovrix
