#include <gtest/gtest.h>

#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "driver/resolver.h"
#include "session/port_locks.h"
#include "session/port_state.h"

namespace kovrix::session {
namespace {

// A state directory and a stand-in device file of this test's own.
class PortStateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char dir[] = "/tmp/kovrix-port-state-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    work = dir;
    setenv("XDG_STATE_HOME", (work / "state").c_str(), 1);
    std::ofstream(work / "ttyFAKE0");
    device = (work / "ttyFAKE0").string();
  }
  void TearDown() override {
    unsetenv("XDG_STATE_HOME");
    std::filesystem::remove_all(work);
  }
  std::filesystem::path StateFile() { return work / "state" / "kovrix" / StateFileName(device); }

  std::filesystem::path work;
  std::string device;
};

TEST_F(PortStateTest, CounterIsKeptPerDeviceAndAMissingOrDamagedFileIsAFirstRun) {
  PortState state;
  ASSERT_EQ(state.Acquire(device, 0), PortState::Lock::Held);
  EXPECT_EQ(state.counter(), 0);
  state.Store(254);
  state.Store(7);
  state.Release();

  // A link to the device is the same port.
  std::filesystem::create_symlink(device, work / "alias");
  ASSERT_EQ(state.Acquire((work / "alias").string(), 0), PortState::Lock::Held);
  EXPECT_EQ(state.counter(), 7);
  state.Release();

  for (const char* damaged : {"", "x12\n", "300\n", "-1\n"}) {
    std::ofstream(StateFile(), std::ios::trunc) << damaged;
    ASSERT_EQ(state.Acquire(device, 0), PortState::Lock::Held);
    EXPECT_EQ(state.counter(), 0) << damaged;
    state.Release();
  }
  EXPECT_EQ(state.Acquire((work / "no-such-port").string(), 0), PortState::Lock::Unavailable);
}

TEST_F(PortStateTest, ASecondHolderWaitsAndThenFindsThePortBusy) {
  PortState first;
  ASSERT_EQ(first.Acquire(device, 0), PortState::Lock::Held);
  PortState second;
  EXPECT_EQ(second.Acquire(device, 60), PortState::Lock::Busy);
  first.Release();
  EXPECT_EQ(second.Acquire(device, 60), PortState::Lock::Held);
}

// A converter is one line by the address and port it is reached at, however its name is written:
// raw or telnet, any case, a host name or any form of its address; another port of the same
// converter is another line. A name that stands for several addresses locks each of them until
// the line has connected, then keeps the connected one's lock and sequence.
TEST_F(PortStateTest, AConvertersAliasesAreOneLockAndOneSequence) {
  net::SetResolverForTests([](const std::string& host, int port) {
    std::vector<net::Address> found;
    auto add = [&](const std::string& text) { found.push_back(net::Resolve(text, port, 0).addresses.at(0)); };
    if (host == "conv.lan") add("10.0.0.5");
    if (host == "both.lan") {
      add("::1");
      add("127.0.0.1");
    }
    return found.empty() ? net::Resolution{{}, "name not resolved (Name or service not known)"}
                         : net::Resolution{found, ""};
  });
  for (const char* alias : {"tcp://127.0.0.1:4001", "tcp://127.1:4001", "tcp://0x7f000001:4001",
                            "tcp://[::ffff:127.0.0.1]:4001", "RFC2217://127.000.000.001:4001"}) {
    EXPECT_EQ(ResolvedDevicePath(alias), "tcp://127.0.0.1:4001") << alias;
    EXPECT_TRUE(SameLine(alias, "tcp://both.lan:4001")) << alias;
  }
  EXPECT_EQ(ResolvedDevicePath("RFC2217://Conv.lan:4001"), "tcp://10.0.0.5:4001");
  EXPECT_EQ(StateFileName(ResolvedDevicePath("tcp://[::1]:4001")), "tcp:%2F%2F[::1]:4001.seq");
  EXPECT_EQ(ResolvedDevicePath("tcp://conv.lan:0"), "");
  EXPECT_EQ(ResolvedDevicePath("tcp://nowhere.lan:4001"), "");
  EXPECT_FALSE(SameLine("tcp://127.0.0.1:4001", "tcp://127.0.0.1:4002"));
  EXPECT_FALSE(SameLine("tcp://nowhere.lan:4001", "tcp://nowhere.lan:4001"));

  PortState first;
  ASSERT_EQ(first.Acquire("tcp://conv.lan:4001", 0), PortState::Lock::Held);
  first.Store(42);
  PortState second;
  EXPECT_EQ(second.Acquire("rfc2217://10.0.0.5:4001", 40), PortState::Lock::Busy);
  EXPECT_EQ(second.Acquire("tcp://conv.lan:4002", 0), PortState::Lock::Held);
  EXPECT_EQ(second.counter(), 0);
  second.Release();
  first.Release();
  ASSERT_EQ(second.Acquire("rfc2217://conv.lan:4001", 0), PortState::Lock::Held);
  EXPECT_EQ(second.counter(), 42);
  second.Release();
  EXPECT_EQ(PortState().Acquire("tcp://conv.lan:99999", 0), PortState::Lock::Unavailable);

  // A name for two addresses holds both until connected; an alias of either waits meanwhile.
  PortLocks both;
  ASSERT_EQ(both.Acquire("tcp://both.lan:4001", 0), PortState::Lock::Held);
  EXPECT_EQ(PortLocks().Acquire("tcp://[::1]:4001", 40), PortState::Lock::Busy);
  EXPECT_EQ(PortLocks().Acquire("tcp://127.1:4001", 40), PortState::Lock::Busy);
  both.KeepOnly("tcp://127.0.0.1:4001");
  both.Store(77);
  EXPECT_EQ(PortLocks().Acquire("tcp://[::1]:4001", 0), PortState::Lock::Held);
  EXPECT_EQ(PortLocks().Acquire("tcp://0x7f000001:4001", 40), PortState::Lock::Busy);
  both.Release();
  PortLocks again;
  ASSERT_EQ(again.Acquire("tcp://[::ffff:127.0.0.1]:4001", 0), PortState::Lock::Held);
  EXPECT_EQ(again.counter(), 77);
  net::SetResolverForTests(nullptr);
}

TEST(PortStateNames, DevicePathsMapToDistinctFileNames) {
  EXPECT_EQ(StateFileName("/dev/ttyUSB0"), "%2Fdev%2FttyUSB0.seq");
  EXPECT_EQ(StateFileName("/dev/a%2Fb"), "%2Fdev%2Fa%252Fb.seq");
  EXPECT_NE(StateFileName("/dev/a/b"), StateFileName("/dev/a%2Fb"));
}

}  // namespace
}  // namespace kovrix::session
