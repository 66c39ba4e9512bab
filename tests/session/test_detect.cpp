// Finding registrators: the probe against the simulated registrator and against pseudo-terminals
// that nobody answers on, that never fall silent, or that another program holds.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/capability.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <memory>
#include <mutex>
#include <thread>

#include "driver/codepage.h"
#include "driver/driver.h"
#include "driver/frame.h"
#include "driver/link.h"
#include "driver/network_serial_line.h"
#include "driver/resolver.h"
#include "session/detect.h"
#include "session/device_session.h"
#include "session/port_state.h"
#include "sim/device_server.h"

namespace kovrix::session {
namespace {

using sim::Outcome;

// Short for lines where nothing answers; a pseudo-terminal ignores the line speed.
constexpr ProbeTiming kQuick{/*silenceMs*/ 60, /*readSliceMs*/ 20, /*lockWaitMs*/ 50, /*allowLineTime*/ false};
// Where the simulator answers: room for its thread to wake on a loaded machine.
constexpr ProbeTiming kSim{/*silenceMs*/ 300, /*readSliceMs*/ 50, /*lockWaitMs*/ 50, /*allowLineTime*/ false};

long ElapsedMs(std::chrono::steady_clock::time_point since) {
  return static_cast<long>(
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - since).count());
}

// A pseudo-terminal of the test's own whose far end listens and never answers: it records what the
// probe writes (at once, as a line flush on one side of a pseudo-terminal discards what the other
// side has not read yet) and, when it chatters, sends a noise byte every 10 ms; when it floods, it
// sends a scale's readings as fast as the line takes them.
class FarEnd {
 public:
  explicit FarEnd(bool chatter, bool flood = false) : flood_(flood) {
    char name[256] = {};
    if (openpty(&master_, &slave_, name, nullptr, nullptr) != 0) return;
    path = name;
    if (flood_) fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
    thread_ = std::thread([this, chatter] { Run(chatter); });
  }
  ~FarEnd() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    if (master_ >= 0) close(master_);
    if (slave_ >= 0) close(slave_);
  }
  FarEnd(const FarEnd&) = delete;
  FarEnd& operator=(const FarEnd&) = delete;

  // Answers the SEQ bytes of the request frames heard so far.
  std::vector<std::uint8_t> FrameSeqs() const {
    std::lock_guard lock(mutex_);
    std::vector<std::uint8_t> seqs;
    for (std::size_t i = 0; i + 2 < heard_.size(); ++i)
      if (static_cast<std::uint8_t>(heard_[i]) == kSOH) seqs.push_back(static_cast<std::uint8_t>(heard_[i + 2]));
    return seqs;
  }

  std::string path;

 private:
  void Run(bool chatter) {
    while (!stop_) {
      pollfd p{master_, POLLIN, 0};
      if (poll(&p, 1, 10) > 0 && (p.revents & POLLIN)) {
        char buf[512];
        const ssize_t n = read(master_, buf, sizeof buf);
        std::lock_guard lock(mutex_);
        if (n > 0) heard_.append(buf, static_cast<std::size_t>(n));
      }
      if (chatter) {
        [[maybe_unused]] const ssize_t sent = write(master_, "\xFF", 1);
      }
      for (int i = 0; flood_ && i < 64; ++i) {
        if (write(master_, "ST,GS,+0001.250kg\r\n", 19) <= 0) break;
      }
    }
  }

  bool flood_ = false;
  int master_ = -1;
  int slave_ = -1;  // kept open, so that the master never sees a hang-up between the probe's opens
  std::atomic<bool> stop_{false};
  std::thread thread_;
  mutable std::mutex mutex_;
  std::string heard_;
};

// Lowers CAP_SYS_ADMIN in the calling thread's effective set while it lives: with it (tests run as
// root in containers) a terminal's exclusive mark does not keep anyone out.
class WithoutAdminCapability {
 public:
  WithoutAdminCapability() {
    header_.version = _LINUX_CAPABILITY_VERSION_3;
    header_.pid = 0;
    if (syscall(SYS_capget, &header_, saved_) != 0) return;
    __user_cap_data_struct lowered[2] = {saved_[0], saved_[1]};
    lowered[CAP_TO_INDEX(CAP_SYS_ADMIN)].effective &= ~CAP_TO_MASK(CAP_SYS_ADMIN);
    lowered_ = syscall(SYS_capset, &header_, lowered) == 0;
  }
  ~WithoutAdminCapability() {
    if (lowered_) syscall(SYS_capset, &header_, saved_);
  }
  WithoutAdminCapability(const WithoutAdminCapability&) = delete;
  WithoutAdminCapability& operator=(const WithoutAdminCapability&) = delete;

 private:
  __user_cap_header_struct header_{};
  __user_cap_data_struct saved_[2] = {};
  bool lowered_ = false;
};

// The simulated registrator on a pseudo-terminal, and a state directory of this test's own.
class DetectTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server.start());
    char dir[] = "/tmp/kovrix-detect-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    work = dir;
    setenv("XDG_STATE_HOME", work.c_str(), 1);
  }
  void TearDown() override {
    unsetenv("XDG_STATE_HOME");
    std::filesystem::remove_all(work);
  }
  // Answers the port's kept counter (taking and letting go of its lock).
  static int KeptCounter(const std::string& port) {
    PortState state;
    if (state.Acquire(port, 0) != PortState::Lock::Held) return -1;
    return state.counter();
  }
  DetectedPort DetectOne(const std::string& port, const ProbeTiming& timing = kSim) {
    const auto found = DetectRegistrators({port}, ProbeSpeeds(), timing);
    return found.size() == 1 ? found[0] : DetectedPort{};
  }

  sim::DeviceServer server;
  std::filesystem::path work;
};

TEST(DetectSpeeds, TheSpeedListFastestFirstAndTheBoundOfASilentPort) {
  EXPECT_EQ(ProbeSpeeds(), (std::vector<int>{115200, 57600, 38400, 19200, 9600, 4800, 2400, 1200, 600, 300, 110}));
  // 11 x 300 ms, the 200 ms lock wait, and the 17-byte request's own time on the slow lines (1546
  // ms at 110 baud, 2683 ms in all), each silence cut into equal reads of at most 100 ms.
  EXPECT_EQ(SilentPortBoundMs(ProbeSpeeds()), 6224);
  EXPECT_EQ(SilentPortBoundMs({9600, 110}, kQuick), 50 + 2 * 60);
}

// A registrator moved to 9600 hears nothing at the faster speeds; the probe passes them, finds it
// at 9600 with its fields, and its frames continue one sequence that the port keeps.
TEST_F(DetectTest, FindsTheRegistratorAtItsSpeedAfterTheFasterOnes) {
  server.withDevice([](sim::Registrator& r) {
    r.state().model = Utf8ToCp1251("Каса КР-23");
    return 0;
  });
  {
    Link setup(MakeSystemSerialLine());
    ASSERT_EQ(setup.OpenComPort(server.slavePath(), 115200), 0);
    setup.SetSequenceCounter(0x40);
    ASSERT_EQ(setup.ExecuteCommand(0x27, "482916;9600;0;0000;00;00;00;20;")->errorText, "0000");
    ASSERT_TRUE(server.speedCheck());
  }
  const auto state = server.withDevice([](sim::Registrator& r) { return r.state(); });

  const DetectedPort found = DetectOne(server.slavePath());
  EXPECT_EQ(found.port, server.slavePath());
  EXPECT_EQ(found.state, "found") << found.message;
  EXPECT_EQ(found.baud, 9600);
  EXPECT_EQ(found.model, "Каса КР-23");
  EXPECT_EQ(found.version, Cp1251ToUtf8(state.version));
  EXPECT_EQ(found.serial, Cp1251ToUtf8(state.serial));
  EXPECT_FALSE(found.serial.empty());
  EXPECT_TRUE(found.message.empty());

  // Five frames (115200, 57600, 38400, 19200, 9600); the registrator heard the last.
  const auto entries = server.journal().Entries();
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[1].command, 0x80);
  EXPECT_EQ(entries[1].data, "482916;");
  EXPECT_EQ(entries[1].seq, SeqByte(5));
  EXPECT_EQ(KeptCounter(server.slavePath()), 5);
}

// The next run after a probe continues the sequence: its diagnostic request, equal to the probe's,
// is executed rather than answered from the device's repeat memory.
TEST_F(DetectTest, TheNextRunDoesNotRepeatTheProbesSequence) {
  ASSERT_EQ(DetectOne(server.slavePath()).baud, 115200);
  {
    DeviceSession session(DeviceOptions{server.slavePath(), 115200, 0, "", false});
    ASSERT_TRUE(session.open()) << session.error();
    EXPECT_EQ(ExecuteCommand(0x80, "482916;")->errorText, "0000");
  }
  const auto entries = server.journal().Entries();
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[1].outcome, Outcome::Executed) << sim::Describe(entries[1]);
  EXPECT_NE(entries[0].seq, entries[1].seq);
}

// A port held by another kovrix run or opened exclusively by another program is reported busy and
// left alone: nothing is sent and the kept counter stays as it was.
TEST_F(DetectTest, APortHeldElsewhereIsBusyAndLeftAlone) {
  {
    PortState other;
    ASSERT_EQ(other.Acquire(server.slavePath(), 0), PortState::Lock::Held);
    other.Store(42);
    const auto started = std::chrono::steady_clock::now();
    const DetectedPort busy = DetectOne(server.slavePath());
    EXPECT_EQ(busy.state, "busy");
    EXPECT_EQ(busy.message, "another kovrix run is using " + server.slavePath());
    EXPECT_LT(ElapsedMs(started), 1000);
  }
  EXPECT_EQ(KeptCounter(server.slavePath()), 42);

  const int holder = open(server.slavePath().c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(holder, 0);
  ASSERT_EQ(ioctl(holder, TIOCEXCL), 0);
  {
    const WithoutAdminCapability asAUser;
    const DetectedPort busy = DetectOne(server.slavePath());
    EXPECT_EQ(busy.state, "busy");
    EXPECT_EQ(busy.message, "another program is using " + server.slavePath());
  }
  ioctl(holder, TIOCNXCL);
  close(holder);
  EXPECT_EQ(KeptCounter(server.slavePath()), 42);
  EXPECT_TRUE(server.journal().Entries().empty());
}

// A line that nobody answers on gets one request per speed, each with a new SEQ and none repeated,
// and the probe ends within its bound; so does a line that never falls silent.
TEST_F(DetectTest, ASilentOrChatteringPortIsNoneWithinTheBound) {
  const FarEnd silent(false);
  ASSERT_FALSE(silent.path.empty());
  auto started = std::chrono::steady_clock::now();
  auto found = DetectRegistrators({silent.path}, ProbeSpeeds(), kQuick);
  const long silentMs = ElapsedMs(started);
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].state, "none");
  EXPECT_EQ(found[0].message, "no registrator answered at 115200..110 baud");
  EXPECT_EQ(found[0].baud, 0);
  EXPECT_GE(silentMs, 11 * kQuick.silenceMs);
  EXPECT_LT(silentMs, SilentPortBoundMs(ProbeSpeeds(), kQuick) + 500);
  std::vector<std::uint8_t> expected;
  for (int counter = 1; counter <= 11; ++counter) expected.push_back(SeqByte(static_cast<std::uint8_t>(counter)));
  EXPECT_EQ(silent.FrameSeqs(), expected);
  EXPECT_EQ(KeptCounter(silent.path), 11);

  // The link's silence never comes; the probe's deadline ends each speed.
  const FarEnd chatty(true);
  started = std::chrono::steady_clock::now();
  found = DetectRegistrators({chatty.path}, ProbeSpeeds(), kQuick);
  EXPECT_EQ(found[0].state, "none");
  EXPECT_LT(ElapsedMs(started), SilentPortBoundMs(ProbeSpeeds(), kQuick) + 500);

  // A scale on the port: bytes without end, never a frame. Each speed still ends in its time.
  const FarEnd scale(false, /*flood*/ true);
  started = std::chrono::steady_clock::now();
  found = DetectRegistrators({scale.path}, ProbeSpeeds(), kQuick);
  EXPECT_EQ(found[0].state, "none");
  EXPECT_LT(ElapsedMs(started), SilentPortBoundMs(ProbeSpeeds(), kQuick) + 500);
}

TEST_F(DetectTest, APortThatCannotBeProbedIsAnErrorWithItsReason) {
  struct Case {
    std::string port;
    std::vector<int> speeds;
    std::string message;
  } cases[] = {
      {"/dev/kovrix-no-such-port", {9600}, "cannot open port /dev/kovrix-no-such-port"},
      {"", {9600}, "no port name"},
      {std::string(5000, 'x'), {9600}, "port name too long"},
      {"/dev/null", {}, "no line speed to try"},
      {"/dev/null", {0, -5}, "no valid line speed to try"},
  };
  for (const Case& c : cases) {
    const auto found = DetectRegistrators({c.port}, c.speeds, kQuick);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].port, c.port);
    EXPECT_EQ(found[0].state, "error") << c.message;
    EXPECT_EQ(found[0].message.substr(0, c.message.size()), c.message);
  }
  // Several ports: one entry each, in their order.
  const auto two = DetectRegistrators({"/dev/kovrix-a", "/dev/kovrix-b"}, {9600}, kQuick);
  ASSERT_EQ(two.size(), 2u);
  EXPECT_EQ(two[1].port, "/dev/kovrix-b");
}

// A resolver that never answers costs a detection run, and an open, the connect bound once, and
// the message names the resolver; the opens at each speed do not ask it again.
TEST_F(DetectTest, AResolverThatNeverAnswersCostsTheConnectBoundOnce) {
  const NetworkLineTiming saved = GetNetworkLineTiming();
  SetNetworkLineTiming({/*connectMs*/ 300, saved.negotiateMs});
  auto answer = std::make_shared<std::promise<void>>();
  std::shared_future<void> released = answer->get_future().share();
  std::atomic<int> asked{0};
  net::SetResolverForTests([released, &asked](const std::string&, int) {
    ++asked;
    released.wait_for(std::chrono::seconds(20));
    return net::Resolution{{}, "name not resolved (late)"};
  });
  auto started = std::chrono::steady_clock::now();
  const DetectedPort entry = DetectOne("rfc2217://hang.lan:4001", kQuick);
  const long detectMs = ElapsedMs(started);
  EXPECT_EQ(entry.state, "error");
  EXPECT_EQ(entry.message, "cannot connect to hang.lan:4001: name not resolved: no answer from the resolver within 300 ms");
  EXPECT_GE(detectMs, 290);
  EXPECT_LT(detectMs, 700);

  DeviceOptions options;
  options.port = "tcp://hang.lan:4002";
  started = std::chrono::steady_clock::now();
  const DeviceSession session(options);
  EXPECT_FALSE(session.open());
  EXPECT_EQ(session.error(), "cannot connect to hang.lan:4002: name not resolved: no answer from the resolver within 300 ms");
  EXPECT_LT(ElapsedMs(started), 700);
  EXPECT_EQ(asked.load(), 2);
  answer->set_value();
  net::SetResolverForTests(nullptr);
  SetNetworkLineTiming(saved);
}

TEST(DetectJson, AnEntryHasEveryFieldInItsOrder) {
  const DetectedPort entry{"ttyUSB0", "found", 9600, "Каса", "3.01", "KR1", ""};
  EXPECT_EQ(DetectedPortJson(entry).dump(),
            R"({"port":"ttyUSB0","state":"found","baud":9600,"model":"Каса","version":"3.01","serial":"KR1",)"
            R"("message":""})");
}

}  // namespace
}  // namespace kovrix::session
