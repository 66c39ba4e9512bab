#pragma once
// A pseudo-terminal for tests of TPortControl: the component works on the terminal side, the
// test plays the far end of the line on the other side. Sessions run on FakeSessionSystem, so
// that tests change no real scheduling unless they ask for it.

#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sched.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <string>

#include "port/memory_registry.h"
#include "port/port_control.h"

namespace kovrix::test {

using Clock = std::chrono::steady_clock;

// Priorities and memory locking as plain state; a call named in failAt answers EPERM.
class FakeSessionSystem final : public SessionSystem {
 public:
  struct State {
    int nice = 5;
    int policy = SCHED_OTHER;
    int priority = 0;
    bool locked = false;
    bool operator==(const State&) const = default;
  };
  State state;
  std::string failAt;

  int ReadProcessPriority(int& nice) override { return Fails("read nice") ? EPERM : (nice = state.nice, 0); }
  int WriteProcessPriority(int nice) override {
    return Fails("write nice " + std::to_string(nice)) ? EPERM : (state.nice = nice, 0);
  }
  int ReadThreadPriority(int& policy, int& priority) override {
    if (Fails("read thread")) return EPERM;
    policy = state.policy;
    priority = state.priority;
    return 0;
  }
  int WriteThreadPriority(int policy, int priority) override {
    if (Fails("write thread " + std::to_string(policy) + " " + std::to_string(priority))) return EPERM;
    state.policy = policy;
    state.priority = priority;
    return 0;
  }
  int LockMemory() override { return Fails("lock") ? EPERM : (state.locked = true, 0); }
  int UnlockMemory() override { return Fails("unlock") ? EPERM : (state.locked = false, 0); }

 private:
  bool Fails(const std::string& call) const { return call == failAt; }
};

class PtyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(::openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
    path = ::ttyname(slave);
    port.SetNumPort(path);
    port.EnableDescr = true;
    port.Timeout = {0, 0, 50, 0, 0};
  }
  void TearDown() override {
    if (master >= 0) ::close(master);
    ::close(slave);
  }
  void OpenWithSession() {
    ASSERT_EQ(port.OpenPort(), 0) << port.Descr();
    ASSERT_EQ(port.StartSession(false), 0) << port.Descr();
  }
  void Send(const std::string& bytes) const { ASSERT_EQ(::write(master, bytes.data(), bytes.size()), ssize_t(bytes.size())); }
  // Waits until the port has input to read (a pseudo-terminal passes bytes on asynchronously).
  bool InputArrives() const {
    pollfd p{slave, POLLIN, 0};
    return ::poll(&p, 1, 1000) == 1;
  }
  // What the other side of the line receives, waiting at most a second for n bytes.
  std::string Receive(std::size_t n) const {
    std::string got;
    const auto end = Clock::now() + std::chrono::seconds(1);
    char buffer[256];
    while (got.size() < n && Clock::now() < end) {
      pollfd p{master, POLLIN, 0};
      if (::poll(&p, 1, 50) != 1) continue;
      const ssize_t r = ::read(master, buffer, std::min(sizeof buffer, n - got.size()));
      if (r <= 0) break;
      got.append(buffer, static_cast<std::size_t>(r));
    }
    return got;
  }
  std::string Read(std::size_t count, int& code) {
    std::string buffer(count, '\0');
    std::size_t read = 12345;
    code = port.ReadData(buffer.data(), count, read);
    return buffer.substr(0, std::min(read, count));
  }

  int master = -1;
  int slave = -1;
  std::string path;
  MemoryDeviceRegistry registry;
  FakeSessionSystem system;
  TPortControl port{registry, system};
};

}  // namespace kovrix::test
