#include <gtest/gtest.h>

#include "driver/frame.h"
#include "sim/device_link.h"
#include "sim_fixture.h"

namespace kovrix::sim {
namespace {

class SimDeviceLink : public ::testing::Test {
 protected:
  std::vector<Transmission> Send(std::uint8_t seq, std::uint8_t command, const std::string& data) {
    return link.Receive(BuildRequestFrame(seq, command, data));
  }
  std::vector<Outcome> Outcomes() const {
    std::vector<Outcome> out;
    for (const JournalEntry& e : journal.Entries()) out.push_back(e.outcome);
    return out;
  }

  test::Model model;
  FaultPlan faults;
  Journal journal;
  DeviceLink link{model.reg, faults, journal};
};

TEST_F(SimDeviceLink, AnExactRepeatGetsThePreviousReplyWithoutExecution) {
  const std::string cashIn = "482916;1;10.00;";
  const auto first = Send(0x30, 0x6E, cashIn);
  const auto again = Send(0x30, 0x6E, cashIn);
  ASSERT_EQ(first.size(), 1u);
  ASSERT_EQ(again.size(), 1u);
  EXPECT_EQ(again[0].bytes, first[0].bytes);
  EXPECT_EQ(model.s().cash, 1000);
  // The same SEQ with another command, or the same command under a new SEQ, is executed.
  Send(0x30, 0x21, "482916;");
  Send(0x31, 0x6E, cashIn);
  EXPECT_EQ(model.s().cash, 2000);
  EXPECT_EQ(Outcomes(), (std::vector<Outcome>{Outcome::Executed, Outcome::Repeated, Outcome::Executed, Outcome::Executed}));
  EXPECT_EQ(model.reg.executed(), 3);
}

TEST_F(SimDeviceLink, ReplyFramesCarryTheErrorFieldDataAndStatusWithTopBits) {
  const auto t = Send(0x41, 0x6E, "482916;1;10.00;");
  ASSERT_EQ(t.size(), 1u);
  const std::string& f = t[0].bytes;
  EXPECT_EQ(f.substr(2, 2), "\x41\x6E");
  EXPECT_EQ(f.substr(4, 5), "0000;");
  EXPECT_EQ(f.substr(9, 6), "10.00;");
  EXPECT_EQ(static_cast<std::uint8_t>(f[1]), 0x30 + 6);
  for (std::size_t i = 16; i < 22; ++i) EXPECT_TRUE(static_cast<std::uint8_t>(f[i]) & 0x80);
  EXPECT_EQ(static_cast<std::uint8_t>(f[21]) & 0x10, 0x10);  // shift open
  EXPECT_EQ(t[0].requestBytes, 25u);
}

TEST_F(SimDeviceLink, LineFaultsShapeTheAnswerAndTheJournal) {
  struct Case {
    LineFault fault;
    bool executed;
    Outcome outcome;
    std::function<void(const std::vector<Transmission>&, const std::string& good)> check;
  } cases[] = {
      {LineFault::Nak, false, Outcome::Naked,
       [](auto& t, auto&) { ASSERT_EQ(t.size(), 1u); EXPECT_EQ(t[0].bytes, "\x15"); }},
      {LineFault::Drop, false, Outcome::Dropped, [](auto& t, auto&) { EXPECT_TRUE(t.empty()); }},
      {LineFault::Mute, true, Outcome::Executed, [](auto& t, auto&) { EXPECT_TRUE(t.empty()); }},
      {LineFault::BadChecksum, true, Outcome::Executed,
       [](auto& t, auto& good) {
         ASSERT_EQ(t.size(), 1u);
         EXPECT_NE(t[0].bytes, good);
         EXPECT_EQ(t[0].bytes.substr(0, good.size() - 5), good.substr(0, good.size() - 5));
       }},
      {LineFault::Garble, true, Outcome::Executed,
       [](auto& t, auto&) { ASSERT_EQ(t.size(), 1u); EXPECT_EQ(t[0].bytes[8], '#'); }},
      {LineFault::Cut, true, Outcome::Executed,
       [](auto& t, auto& good) { ASSERT_EQ(t.size(), 1u); EXPECT_EQ(t[0].bytes, good.substr(0, good.size() / 2)); }},
  };
  std::uint8_t seq = 0x21;
  for (const Case& c : cases) {
    const long before = model.reg.executed();
    faults.Queue(c.fault);
    const auto t = Send(seq, 0x6E, "482916;1;1.00;");
    // The good reply the device would have sent: the repeat of an executed frame returns it.
    const std::string good = c.executed ? Send(seq, 0x6E, "482916;1;1.00;")[0].bytes : std::string();
    c.check(t, good);
    EXPECT_EQ(model.reg.executed() - before, c.executed ? 1 : 0) << static_cast<int>(c.fault);
    EXPECT_EQ(journal.Entries()[c.executed ? journal.Size() - 2 : journal.Size() - 1].outcome, c.outcome);
    ++seq;
  }
}

TEST_F(SimDeviceLink, BadChecksumsAreNakedAndForcedErrorsSkipExecution) {
  std::string frame = BuildRequestFrame(0x22, 0x6E, "482916;1;5.00;");
  frame[frame.size() - 3] ^= 0x01;
  const auto nak = link.Receive(frame);
  ASSERT_EQ(nak.size(), 1u);
  EXPECT_EQ(nak[0].bytes, "\x15");
  faults.FailCommand(0x6E, err::kCashLow);
  faults.ForceStatusBit(1, 4, true);
  const auto t = Send(0x23, 0x6E, "482916;1;5.00;");
  EXPECT_EQ(t[0].bytes.substr(4, 5), "080B;");
  EXPECT_EQ(static_cast<std::uint8_t>(t[0].bytes[11]), 0x80 | 0x10);  // status byte 1, cover open
  EXPECT_EQ(model.s().cash, 0);
  EXPECT_EQ(Outcomes(), (std::vector<Outcome>{Outcome::BadChecksum, Outcome::Failed}));
}

TEST_F(SimDeviceLink, CountedFailuresAreUsedUpThenTheStandingOneOrExecutionResumes) {
  faults.FailCommandTimes(0x6E, err::kCashLow, 2);
  std::uint8_t seq = 0x30;
  std::vector<std::string> codes;
  for (int i = 0; i < 3; ++i) codes.push_back(Send(seq++, 0x6E, "482916;1;5.00;")[0].bytes.substr(4, 4));
  EXPECT_EQ(codes, (std::vector<std::string>{"080B", "080B", "0000"}));
  EXPECT_EQ(model.s().cash, 500);

  faults.FailCommand(0x6E, err::kPassword);
  faults.FailCommandTimes(0x6E, err::kCashLow, 1);
  EXPECT_EQ(Send(seq++, 0x6E, "482916;1;5.00;")[0].bytes.substr(4, 4), "080B");
  EXPECT_EQ(Send(seq++, 0x6E, "482916;1;5.00;")[0].bytes.substr(4, 4), err::kPassword.WireText());
  EXPECT_EQ(model.s().cash, 500);
}

TEST_F(SimDeviceLink, SynStreamsAndTheUsbStorageModeAreCarriedOut) {
  faults.SynBeforeReply(300, 1, 15);
  const auto t = Send(0x21, 0x21, "482916;");
  ASSERT_EQ(t.size(), 1u);
  EXPECT_EQ(t[0].synMs, 300);
  EXPECT_EQ(t[0].synIntervalMs, 15);
  EXPECT_EQ(Send(0x22, 0x88, "482916;3;1;").size(), 1u);
  EXPECT_TRUE(Send(0x23, 0x21, "482916;").empty());
  link.HostGone();
  EXPECT_EQ(Send(0x24, 0x21, "482916;").size(), 1u);
  EXPECT_EQ(journal.Entries()[2].outcome, Outcome::Offline);
}

// Faults aimed at one command: the n-th new frame of it (a repeat does not count, and gets the
// kept reply), or every frame of it; other commands pass untouched.
TEST_F(SimDeviceLink, AimedFaultsHitTheChosenFrameOfOneCommand) {
  const std::string cashIn = "482916;1;10.00;";
  faults.Aim(0x6E, LineFault::Mute, 2);
  faults.Aim(0x21, LineFault::Drop);
  EXPECT_EQ(Send(0x30, 0x6E, cashIn).size(), 1u);   // the first cash in: answered
  EXPECT_TRUE(Send(0x31, 0x6E, cashIn).empty());    // the second: executed, muted
  EXPECT_EQ(Send(0x31, 0x6E, cashIn).size(), 1u);   // its repeat: the kept reply
  EXPECT_EQ(Send(0x32, 0x6E, cashIn).size(), 1u);   // the third: answered, the aim is used up
  EXPECT_EQ(model.s().cash, 3000);
  for (std::uint8_t seq : {0x33, 0x34}) EXPECT_TRUE(Send(seq, 0x21, "482916;").empty()) << int(seq);
  EXPECT_EQ(Outcomes(), (std::vector<Outcome>{Outcome::Executed, Outcome::Executed, Outcome::Repeated,
                                              Outcome::Executed, Outcome::Dropped, Outcome::Dropped}));
  faults.Clear();
  EXPECT_EQ(Send(0x35, 0x21, "482916;").size(), 1u);
}

// A brief outage: the command runs unanswered and the device then hears nothing for a while.
TEST_F(SimDeviceLink, SilenceAfterACommandLeavesTheDeviceDeafForAWhile) {
  faults.SilenceAfter(0x6E, 1, 60000);
  EXPECT_TRUE(Send(0x30, 0x6E, "482916;1;10.00;").empty());
  EXPECT_EQ(model.s().cash, 1000);
  EXPECT_TRUE(Send(0x31, 0x21, "482916;").empty());
  EXPECT_EQ(Outcomes(), (std::vector<Outcome>{Outcome::Executed, Outcome::Offline}));
}

}  // namespace
}  // namespace kovrix::sim
