#include "port/session_system.h"

#include <pthread.h>
#include <sched.h>
#include <sys/mman.h>
#include <sys/resource.h>

#include <cerrno>

namespace kovrix {
namespace {

class OsSessionSystem final : public SessionSystem {
 public:
  int ReadProcessPriority(int& nice) override {
    // -1 is also a valid nice value, so only errno tells a failure.
    errno = 0;
    const int value = ::getpriority(PRIO_PROCESS, 0);
    if (value == -1 && errno != 0) return errno;
    nice = value;
    return 0;
  }
  int WriteProcessPriority(int nice) override {
    return ::setpriority(PRIO_PROCESS, 0, nice) == 0 ? 0 : errno;
  }
  int ReadThreadPriority(int& policy, int& priority) override {
    sched_param param{};
    const int error = ::pthread_getschedparam(::pthread_self(), &policy, &param);
    if (error == 0) priority = param.sched_priority;
    return error;
  }
  int WriteThreadPriority(int policy, int priority) override {
    sched_param param{};
    param.sched_priority = priority;
    return ::pthread_setschedparam(::pthread_self(), policy, &param);
  }
  int LockMemory() override { return ::mlockall(MCL_CURRENT) == 0 ? 0 : errno; }
  int UnlockMemory() override { return ::munlockall() == 0 ? 0 : errno; }
};

}  // namespace

SessionSystem& RealSessionSystem() {
  static OsSessionSystem system;
  return system;
}

}  // namespace kovrix
