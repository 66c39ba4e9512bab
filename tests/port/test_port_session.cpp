// Sessions of TPortControl: the priorities and memory locking they change and put back, on a
// stand-in for the system and on the system itself.

#include <gtest/gtest.h>
#include <linux/capability.h>
#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include "pty_fixture.h"

namespace kovrix {
namespace {

using test::FakeSessionSystem;
using test::PtyTest;

const std::string kRaiseThread =
    "write thread " + std::to_string(SCHED_FIFO) + " " + std::to_string(sched_get_priority_max(SCHED_FIFO));

TEST_F(PtyTest, AFailedSessionStepAnswersItsCodeAndPutsEverythingBack) {
  ASSERT_EQ(port.OpenPort(), 0);
  const FakeSessionSystem::State initial = system.state;
  struct Case {
    std::string failAt;
    int code;
  } cases[] = {
      {"read nice", -8}, {"read thread", -10}, {"write nice -20", -9}, {kRaiseThread, -11}, {"lock", -12},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.failAt);
    system.failAt = c.failAt;
    EXPECT_EQ(port.StartSession(false), c.code);
    EXPECT_EQ(port.LastError(), EPERM);
    EXPECT_EQ(port.Descr(), "Operation not permitted\nError = 0x1");
    EXPECT_FALSE(port.SessionOpen());
    EXPECT_EQ(system.state, initial);
  }
}

TEST_F(PtyTest, ASessionRaisesPrioritiesAndEndingItRestoresThem) {
  ASSERT_EQ(port.OpenPort(), 0);
  const FakeSessionSystem::State initial = system.state;
  ASSERT_EQ(port.StartSession(false), 0);
  EXPECT_EQ(system.state, (FakeSessionSystem::State{-20, SCHED_FIFO, sched_get_priority_max(SCHED_FIFO), true}));
  struct Case {
    std::string failAt;
    int code;
  } cases[] = {
      {"write nice 5", -9}, {"write thread " + std::to_string(SCHED_OTHER) + " 0", -11}, {"unlock", -13},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.failAt);
    system.failAt = c.failAt;
    EXPECT_EQ(port.EndSession(false), c.code);
    EXPECT_TRUE(port.SessionOpen());
  }
  system.failAt.clear();
  EXPECT_EQ(port.EndSession(false), 0);
  EXPECT_FALSE(port.SessionOpen());
  EXPECT_EQ(system.state, initial);
}

struct Priorities {
  int nice;
  int policy;
  int priority;
  bool operator==(const Priorities&) const = default;
};

Priorities CurrentPriorities() {
  sched_param param{};
  int policy = 0;
  pthread_getschedparam(pthread_self(), &policy, &param);
  errno = 0;
  return {getpriority(PRIO_PROCESS, 0), policy, param.sched_priority};
}

TEST_F(PtyTest, TheSystemsSessionPutsThePrioritiesBack) {
  TPortControl real(registry);
  real.SetNumPort(path);
  ASSERT_EQ(real.OpenPort(), 0);
  const Priorities before = CurrentPriorities();
  const int started = real.StartSession(true);
  if (started == 0) {
    EXPECT_EQ(CurrentPriorities(), (Priorities{-20, SCHED_FIFO, sched_get_priority_max(SCHED_FIFO)}));
    EXPECT_EQ(real.EndSession(true), 0);
  } else {
    EXPECT_TRUE(started == -9 || started == -11) << started;  // not permitted here
  }
  EXPECT_EQ(CurrentPriorities(), before);
}

// Takes away the right to raise scheduling priority, as an ordinary user has none.
void DropPriorityPrivilege() {
  const rlimit none{0, 0};
  setrlimit(RLIMIT_NICE, &none);
  setrlimit(RLIMIT_RTPRIO, &none);
  __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3] = {};
  if (syscall(SYS_capget, &header, data) != 0) return;
  data[0].effective &= ~(1u << CAP_SYS_NICE);
  data[0].permitted &= ~(1u << CAP_SYS_NICE);
  syscall(SYS_capset, &header, data);
}

TEST_F(PtyTest, WithoutThePrivilegeTheSessionAnswersNotPermitted) {
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    DropPriorityPrivilege();
    TPortControl real(registry);
    real.EnableDescr = true;
    real.SetNumPort(path);
    const Priorities before = CurrentPriorities();
    const int code = real.OpenPort() == 0 ? real.StartSession(false) : 1;
    const bool ok = code == -9 && real.Descr() == "Permission denied\nError = 0xd" && !real.SessionOpen() &&
                    CurrentPriorities() == before;
    _exit(ok ? 0 : 100 - code);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "StartSession answered " << 100 - WEXITSTATUS(status);
}

}  // namespace
}  // namespace kovrix
