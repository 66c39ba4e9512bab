// The driver's link against the simulated registrator over a pseudo-terminal, through the
// real termios line. Link timing is shrunk (silence limit 5 x 20 ms) and the repeat waits are
// recorded instead of slept.

#include <gtest/gtest.h>

#include <functional>
#include <thread>

#include "driver/commands.h"
#include "driver/driver.h"
#include "driver/ean13.h"
#include "sim/device_server.h"

namespace kovrix::sim {
namespace {

class SimLinkE2E : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server.start());
    Connect();
  }
  void TearDown() override {
    CloseComPort();
    server.stop();
  }
  void Connect() {
    UseSerialLine(MakeSystemSerialLine());
    TheLink().SetTiming(LinkTiming{5, 20, 2000, 3000});
    TheLink().SetSleeper([this](int ms) { waits.push_back(ms); });
    SetRepeatCount(4);
    ASSERT_EQ(OpenComPort(server.slavePath(), 115200), 0);
  }
  std::vector<Outcome> Outcomes() {
    std::vector<Outcome> out;
    for (const JournalEntry& e : server.journal().Entries()) out.push_back(e.outcome);
    return out;
  }
  bool OneSeq() {
    const auto entries = server.journal().Entries();
    for (const JournalEntry& e : entries) {
      if (e.seq != entries.front().seq) return false;
    }
    return true;
  }
  std::int64_t Cash() {
    return server.withDevice([](Registrator& r) { return r.state().cash; });
  }
  // A successful exchange, so that the raw reply of the session holds a well-formed frame.
  void Warm() {
    ASSERT_EQ(ExecuteCommand(0x21, "482916;")->errorText, "0000");
    server.journal().Clear();
    waits.clear();
  }

  DeviceServer server;
  std::vector<int> waits;
};

TEST_F(SimLinkE2E, ANormalExchangeFillsTheRecord) {
  const ReplyRecord* r = ExecuteCommand(0x21, "482916;");
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->status & (ST_NO_REPLY | ST_NAK | ST_BAD_CHECKSUM), 0u);
  EXPECT_EQ(r->errorText, "0000");
  ASSERT_EQ(r->fieldCount, 2);
  const std::string date = server.withDevice([](Registrator& reg) { return DateText(reg.device().Now()); });
  EXPECT_EQ(r->field(1), date);
  EXPECT_EQ(r->field(2).size(), 4u);
  EXPECT_TRUE(waits.empty());
  ASSERT_EQ(server.journal().Size(), 1u);
  EXPECT_EQ(server.journal().Entries()[0].seq, 0x21);
  EXPECT_EQ(server.journal().Entries()[0].data, "482916;");
}

TEST_F(SimLinkE2E, LineFaultsAreRepeatedOrReportedAsTheLinkLayerPrescribes) {
  struct Case {
    const char* name;
    std::function<void(FaultPlan&)> fault;
    std::uint32_t flags;       // link outcome bits of the final record
    std::vector<int> waits;    // repeat waits taken
    std::vector<Outcome> journal;
    int executions;            // cash-ins the device booked
  } cases[] = {
      {"none", [](FaultPlan&) {}, 0, {}, {Outcome::Executed}, 1},
      {"nak then success with the same SEQ", [](FaultPlan& f) { f.Queue(LineFault::Nak); }, 0, {2000},
       {Outcome::Naked, Outcome::Executed}, 1},
      {"garbled reply repeated", [](FaultPlan& f) { f.Queue(LineFault::Garble); }, 0, {2000},
       {Outcome::Executed, Outcome::Repeated}, 1},
      {"cut reply repeated", [](FaultPlan& f) { f.Queue(LineFault::Cut); }, 0, {2000},
       {Outcome::Executed, Outcome::Repeated}, 1},
      {"bad checksum repeated", [](FaultPlan& f) { f.Queue(LineFault::BadChecksum); }, 0, {2000},
       {Outcome::Executed, Outcome::Repeated}, 1},
      {"reply-less exchange not repeated", [](FaultPlan& f) { f.Queue(LineFault::Mute); }, ST_NO_REPLY, {},
       {Outcome::Executed}, 1},
      {"silence not repeated", [](FaultPlan& f) { f.Queue(LineFault::Drop); }, ST_NO_REPLY, {},
       {Outcome::Dropped}, 0},
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
    EXPECT_TRUE(OneSeq());
    EXPECT_EQ(Cash() - before, 100 * c.executions);
  }
}

TEST_F(SimLinkE2E, OverTheUsbPortAReplyLessExchangeIsRepeatedAndAnsweredFromTheCache) {
  Warm();
  SetUsbLinkActive(true);
  server.faults().Queue(LineFault::Mute);
  const ReplyRecord* r = ExecuteCommand(0x6E, "482916;1;1.00;");
  EXPECT_EQ(r->status & ST_NO_REPLY, 0u);
  EXPECT_EQ(r->field(1), "1.00");
  EXPECT_EQ(waits, std::vector<int>{3000});
  EXPECT_EQ(Outcomes(), (std::vector<Outcome>{Outcome::Executed, Outcome::Repeated}));
}

TEST_F(SimLinkE2E, ARepeatedSeqIsAnsweredWithoutASecondExecution) {
  ASSERT_EQ(ExecuteCommand(0x6E, "482916;1;5.00;")->field(1), "5.00");
  ASSERT_EQ(RepeatCommand(false)->field(1), "5.00");  // same SEQ: the cached reply
  EXPECT_EQ(Cash(), 500);
  ASSERT_EQ(RepeatCommand(true)->field(1), "10.00");  // next SEQ: executed again
  // A host that starts its counter over reuses SEQ 21h; a new command under it is executed.
  CloseComPort();
  Connect();
  ASSERT_EQ(ExecuteCommand(0x6E, "482916;1;-2.00;")->field(1), "8.00");
  const auto entries = server.journal().Entries();
  ASSERT_EQ(entries.size(), 4u);
  EXPECT_EQ(entries[1].outcome, Outcome::Repeated);
  EXPECT_EQ(entries[3].seq, entries[0].seq);
  EXPECT_EQ(entries[3].outcome, Outcome::Executed);
}

TEST_F(SimLinkE2E, AFullSaleShowsOnTheDeviceAndTheTape) {
  int err = 0;
  ASSERT_EQ(ExecuteCommand(0x24, "482916;4820000000017;" + Utf8ToCp1251("Молоко 2.5%") + ";32.40;0;1;")->errorText,
            "0000");
  EXPECT_EQ(OpenFiscalReceipt("482916", 1, 1, 0, err)->errorText, "0000");
  EXPECT_EQ(SellItemEx("482916", 4820000000017LL, 32.40, 2.0, err)->errorText, "0000");
  EXPECT_EQ(PrintEAN13Code("482916", 50, "482000000001", err)->errorText, "0000");
  const ReplyRecord* total = PrintTotal("482916", true, err);
  EXPECT_EQ(total->field(1), "64.80");
  EXPECT_EQ(total->statusBytes[2], 0x02);
  EXPECT_EQ(kovrix::Payment("482916", 0, 70.00, err)->statusBytes[2], 0x04);
  const ReplyRecord* closed = CloseFiscalReceipt("482916", 0, err);
  EXPECT_EQ(closed->errorText, "0000");
  EXPECT_EQ(closed->statusBytes[2], 0x00);
  EXPECT_TRUE(closed->status & ST_SHIFT_OPEN);

  const DeviceState s = server.withDevice([](Registrator& r) { return r.state(); });
  EXPECT_EQ(s.receiptNumber, 1);
  EXPECT_EQ(s.cash, 6480);
  EXPECT_EQ(s.shift.totals.receipts, 1);
  std::string tape;
  for (const std::string& line : server.tape()) tape += Cp1251ToUtf8(line) + "\n";
  const std::string barcode = "EAN-13 482000000001" + std::to_string(Ean13CheckDigit("482000000001"));
  for (const std::string& printed : {std::string("Молоко 2.5%"), std::string("2.000 x 32.40"), barcode,
                                     std::string("СУМА"), std::string("64.80"), std::string("РЕШТА")}) {
    EXPECT_NE(tape.find(printed), std::string::npos) << printed;
  }
}

TEST_F(SimLinkE2E, TheUsbStorageModeLeavesTheLineUntilTheHostReconnects) {
  int err = 0;
  ASSERT_EQ(ExecuteCommand(0x88, "482916;3;1;")->errorText, "0000");
  EXPECT_TRUE(ExecuteCommand(0x21, "482916;")->status & ST_NO_REPLY);
  const long hangUps = server.hangUps();
  CloseComPort();
  // A person reconnects long after the line went down; wait until the device has seen it.
  for (int i = 0; i < 200 && server.hangUps() == hangUps; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  Connect();
  EXPECT_EQ(GetDateTime("482916", err)->errorText, "0000");
  EXPECT_EQ(server.journal().Entries()[1].outcome, Outcome::Offline);
}

TEST_F(SimLinkE2E, PacingMakesTheLineAsSlowAsItsBaudRate) {
  server.setPace(9600);
  const auto t0 = std::chrono::steady_clock::now();
  const ReplyRecord* r = ExecuteCommand(0x21, "482916;");
  const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
  const double wireMs = static_cast<double>(r->sentFrame.size() + r->rawReply.size()) * 10 * 1000 / 9600;
  EXPECT_EQ(r->errorText, "0000");
  EXPECT_GE(ms, wireMs);
  EXPECT_LT(ms, wireMs * 2);
}

TEST_F(SimLinkE2E, AfterASpeedChangeTheDeviceHearsOnlyAHostAtItsNewSpeed) {
  SetRepeatCount(0);
  // A fresh device hears a host at any speed.
  CloseComPort();
  ASSERT_EQ(OpenComPort(server.slavePath(), 9600), 0);
  int err = 0;
  EXPECT_EQ(SetRegistratorParams("482916", 19200, 0, 0, 0, 0, 0, 20, err)->errorText, "0000");
  EXPECT_TRUE(server.speedCheck());
  EXPECT_TRUE(ExecuteCommand(0x21, "482916;")->status & ST_NO_REPLY);
  CloseComPort();
  ASSERT_EQ(OpenComPort(server.slavePath(), 19200), 0);
  EXPECT_EQ(ExecuteCommand(0x21, "482916;")->errorText, "0000");
  // Writing the parameters without a new speed ("0") leaves the device where it is.
  EXPECT_EQ(SetRegistratorParams("482916", 0, 0, 0, 0, 0, 0, 20, err)->errorText, "0000");
  EXPECT_EQ(ExecuteCommand(0x21, "482916;")->errorText, "0000");
  EXPECT_EQ(server.withDevice([](Registrator& r) { return r.state().params.speed; }), 19200);
}

}  // namespace
}  // namespace kovrix::sim
