// The driver's link to the simulated registrator through a real converter: ser2net serving the
// simulator's pseudo-terminal on a loopback port, raw and as telnet with the RFC 2217 COM-port
// option. The same exchanges and line faults as over the pseudo-terminal directly, with the link
// timing shrunk (silence 5 x 20 ms) and the repeat waits recorded instead of slept.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <thread>
#include <utility>
#include <vector>

#include "driver/commands.h"
#include "driver/driver.h"
#include "driver/network_serial_line.h"
#include "sim/device_server.h"
#include "support/ser2net_bridge.h"

namespace kovrix::sim {
namespace {

using Mode = test::Ser2netBridge::Mode;

class Ser2netLink : public ::testing::TestWithParam<Mode> {
 protected:
  void SetUp() override {
    if (test::Ser2netBridge::Program().empty()) GTEST_SKIP() << test::Ser2netBridge::kMissing;
    ASSERT_TRUE(server.start());
    ASSERT_TRUE(bridge.Start(server.slavePath(), GetParam())) << bridge.why();
    Connect(115200);
  }
  void TearDown() override {
    CloseComPort();
    bridge.Stop();
    server.stop();
  }
  void Connect(int baud) {
    UseSerialLine(MakeSerialLine());
    TheLink().SetTiming(LinkTiming{5, 20, 2000, 3000});
    TheLink().SetSleeper([this](int ms) { waits.push_back(ms); });
    SetRepeatCount(4);
    ASSERT_EQ(OpenComPort(bridge.PortName(), baud), 0) << LastNetworkOpenFailure();
  }
  std::vector<Outcome> Outcomes() {
    std::vector<Outcome> out;
    for (const JournalEntry& e : server.journal().Entries()) out.push_back(e.outcome);
    return out;
  }
  std::int64_t Cash() {
    return server.withDevice([](Registrator& r) { return r.state().cash; });
  }
  void Warm() {
    ASSERT_EQ(ExecuteCommand(0x21, "482916;")->errorText, "0000");
    server.journal().Clear();
    waits.clear();
  }

  DeviceServer server;
  test::Ser2netBridge bridge;
  std::vector<int> waits;
};

TEST_P(Ser2netLink, ExchangesAndLineFaultsGoAsOverTheSerialLine) {
  struct Case {
    const char* name;
    std::function<void(FaultPlan&)> fault;
    std::uint32_t flags;
    std::vector<int> waits;
    std::vector<Outcome> journal;
    int executions;
  } cases[] = {
      {"none", [](FaultPlan&) {}, 0, {}, {Outcome::Executed}, 1},
      {"nak then success with the same SEQ", [](FaultPlan& f) { f.Queue(LineFault::Nak); }, 0, {2000},
       {Outcome::Naked, Outcome::Executed}, 1},
      {"bad checksum repeated", [](FaultPlan& f) { f.Queue(LineFault::BadChecksum); }, 0, {2000},
       {Outcome::Executed, Outcome::Repeated}, 1},
      {"garbled reply repeated", [](FaultPlan& f) { f.Queue(LineFault::Garble); }, 0, {2000},
       {Outcome::Executed, Outcome::Repeated}, 1},
      {"reply-less exchange not repeated", [](FaultPlan& f) { f.Queue(LineFault::Mute); }, ST_NO_REPLY, {},
       {Outcome::Executed}, 1},
      {"silence not repeated", [](FaultPlan& f) { f.Queue(LineFault::Drop); }, ST_NO_REPLY, {}, {Outcome::Dropped}, 0},
      {"syn stream outlasting the silence limit", [](FaultPlan& f) { f.SynBeforeReply(300, 1, 20); }, 0, {},
       {Outcome::Executed}, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Warm();
    const std::int64_t before = Cash();
    c.fault(server.faults());
    const ReplyRecord* r = ExecuteCommand(0x6E, "482916;1;1.00;");
    EXPECT_EQ(r->status & (ST_NO_REPLY | ST_NAK | ST_BAD_CHECKSUM), c.flags);
    if (c.flags == 0) {
      EXPECT_EQ(r->field(1), Money(Cash()));
    }
    EXPECT_EQ(waits, c.waits);
    EXPECT_EQ(Outcomes(), c.journal);
    EXPECT_EQ(Cash() - before, 100 * c.executions);
  }
  // A text in the device's code page (bytes above 7Fh) and a repeated SEQ answered from memory.
  int err = 0;
  ASSERT_EQ(ExecuteCommand(0x24, "482916;7;" + Utf8ToCp1251("Кава лате") + ";45.50;0;1;")->errorText, "0000");
  ASSERT_EQ(OpenNonFiscalReceipt("482916", err)->errorText, "0000");
  ASSERT_EQ(PrintText("482916", Utf8ToCp1251("Дякуємо! ЯяЁё"), err)->errorText, "0000");
  ASSERT_EQ(RepeatCommand(false)->errorText, "0000");
  EXPECT_EQ(server.journal().Entries().back().outcome, Outcome::Repeated);
  std::string tape;
  for (const std::string& line : server.tape()) tape += Cp1251ToUtf8(line) + "\n";
  EXPECT_NE(tape.find("Дякуємо! ЯяЁё"), std::string::npos) << tape;
}

TEST_P(Ser2netLink, AConverterThatGoesAwayIsAnErrorNotAHang) {
  Warm();
  bridge.Stop();
  const auto t0 = std::chrono::steady_clock::now();
  const ReplyRecord* r = ExecuteCommand(0x21, "482916;");
  EXPECT_TRUE(r->status & ST_NO_REPLY);
  // Five silent passes of 20 ms at most, plus the repeats' recorded waits: well under a second.
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(1));
  CloseComPort();
  UseSerialLine(MakeSerialLine());
  EXPECT_EQ(OpenComPort(bridge.PortName(), 115200), -1);
  EXPECT_EQ(LastNetworkOpenFailure(), "connection refused");
}

INSTANTIATE_TEST_SUITE_P(RawAndRfc2217, Ser2netLink, ::testing::Values(Mode::Raw, Mode::Rfc2217),
                         [](const auto& info) { return info.param == Mode::Raw ? "Raw" : "Rfc2217"; });

// The speed change as the registrator parameters screen makes it: the new speed written to the
// registrator, then the port closed and opened again at it. Over RFC 2217 the reopening moves the
// converter's line; a host that stays at the old speed is no longer heard.
TEST(Ser2netSpeedChange, TheReopenedPortMovesTheConvertersLine) {
  if (test::Ser2netBridge::Program().empty()) GTEST_SKIP() << test::Ser2netBridge::kMissing;
  DeviceServer server;
  test::Ser2netBridge bridge;
  ASSERT_TRUE(server.start());
  ASSERT_TRUE(bridge.Start(server.slavePath(), Mode::Rfc2217, 115200)) << bridge.why();
  UseSerialLine(MakeSerialLine());
  TheLink().SetTiming(LinkTiming{5, 20, 0, 0});
  TheLink().SetSleeper([](int) {});
  SetRepeatCount(0);
  ASSERT_EQ(OpenComPort(bridge.PortName(), 9600), 0) << LastNetworkOpenFailure();
  EXPECT_EQ(server.hostBaud(), 9600);
  int err = 0;
  EXPECT_EQ(SetRegistratorParams("482916", 19200, 0, 0, 0, 0, 0, 20, err)->errorText, "0000");
  EXPECT_TRUE(server.speedCheck());
  EXPECT_TRUE(ExecuteCommand(0x21, "482916;")->status & ST_NO_REPLY);
  CloseComPort();
  ASSERT_EQ(OpenComPort(bridge.PortName(), 19200), 0) << LastNetworkOpenFailure();
  EXPECT_EQ(server.hostBaud(), 19200);
  EXPECT_EQ(ExecuteCommand(0x21, "482916;")->errorText, "0000");
  CloseComPort();
  bridge.Stop();
  server.stop();
}

}  // namespace
}  // namespace kovrix::sim

namespace kovrix::sim {
namespace {

// The bytes of a reply that name the frame it answers: its SEQ and command.
std::string Addressed(const std::string& frame) { return frame.size() >= 4 ? frame.substr(2, 2) : frame; }

// A converter that hangs longer than the silence while frames are sent, then comes back: the
// frames sent meanwhile reach the registrator late and their replies come back late, over a line
// slow enough that they still arrive after the link has let the line fall quiet. None of them
// is ever taken for a later frame's answer: every later answer is its own frame's, and the cash
// moved once for every cash-in frame the registrator ran.
TEST_P(Ser2netLink, AFrozenConverterNeverAnswersAFrameWithAnotherFramesReply) {
  Warm();
  // A slow line, so that the late replies trickle in while later frames are sent; the silence
  // leaves room for the longest reply's time on it.
  server.setPace(9600);
  TheLink().SetTiming(LinkTiming{10, 20, 2000, 3000});
  const std::int64_t before = Cash();
  bridge.Freeze();
  for (const auto& [command, data] : std::vector<std::pair<int, std::string>>{
           {0x6E, "482916;1;1.00;"}, {0x21, "482916;"}, {0x80, "482916;"}}) {
    EXPECT_TRUE(ExecuteCommand(command, data)->status & ST_NO_REPLY);
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(150));
  bridge.Thaw();
  int answered = 0;
  for (int round = 0; round < 4; ++round) {
    for (const auto& [command, data] : std::vector<std::pair<int, std::string>>{
             {0x21, "482916;"}, {0x80, "482916;"}, {0x6E, "482916;1;1.00;"}}) {
      const ReplyRecord* r = ExecuteCommand(command, data);
      if (r->status & ST_NO_REPLY) continue;
      ++answered;
      EXPECT_EQ(Addressed(r->rawReply), Addressed(r->sentFrame)) << "round " << round << " command " << command;
      if (command == 0x6E) {
        EXPECT_EQ(r->field(1), Money(Cash()));
      }
    }
  }
  EXPECT_GE(answered, 10);
  int cashIns = 0;
  for (const JournalEntry& e : server.journal().Entries()) cashIns += e.command == 0x6E && e.outcome == Outcome::Executed;
  EXPECT_EQ(Cash() - before, 100 * cashIns);
  EXPECT_GE(cashIns, 4);
}

// The converter dies in the middle of a reply: the link says so at once (no silence wait, no
// repeat on a dead socket), and the next command connects again once the converter is back. A
// frame the cut left unfinished in the registrator does not swallow that command: it reaches the
// registrator whole and runs once.
TEST_P(Ser2netLink, AConverterClosingMidReplyIsSaidAtOnceAndTheNextFrameArrivesWhole) {
  Warm();
  server.faults().SynBeforeReply(1000);
  std::thread killer([this] {
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    bridge.Kill();
  });
  const auto t0 = std::chrono::steady_clock::now();
  const ReplyRecord* r = ExecuteCommand(0x21, "482916;");
  const auto took = std::chrono::steady_clock::now() - t0;
  killer.join();
  EXPECT_TRUE(r->status & ST_NO_REPLY);
  EXPECT_EQ(r->linkFault, LinkFault::Closed);
  EXPECT_LT(took, std::chrono::milliseconds(1000));
  EXPECT_TRUE(waits.empty());

  ASSERT_TRUE(bridge.Restart()) << bridge.why();
  // What the cut left in the registrator: the first bytes of a frame that promised more, written
  // on the line as the converter's last bytes were.
  const int fd = ::open(server.slavePath().c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
  ASSERT_GE(fd, 0) << server.slavePath();
  ASSERT_EQ(::write(fd, "\x01\x3F\x30\x21" "48", 6), 6);
  ::close(fd);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  server.journal().Clear();
  r = ExecuteCommand(0x6E, "482916;1;1.00;");
  EXPECT_EQ(r->errorText, "0000");
  EXPECT_EQ(r->linkFault, LinkFault::None);
  // Whether the registrator dropped the stale bytes before the link's repeat came or found the
  // frame behind them (the repeat then answered from its memory) depends on timing; either way
  // the cash-in ran once.
  int executed = 0;
  for (const JournalEntry& e : server.journal().Entries()) {
    EXPECT_EQ(e.command, 0x6E);
    EXPECT_TRUE(e.outcome == Outcome::Executed || e.outcome == Outcome::Repeated) << static_cast<int>(e.outcome);
    executed += e.outcome == Outcome::Executed;
  }
  EXPECT_EQ(executed, 1);
}

}  // namespace
}  // namespace kovrix::sim
