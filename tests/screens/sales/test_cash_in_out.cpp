#include "screens/sales/cash_in_out.h"

#include "support/sim_screen_fixture.h"

namespace kovrix {
namespace {

using test::Sent;
using Messages = std::vector<std::string>;

class CashInOutTest : public test::SimScreenFixture {
 protected:
  void SetUp() override {
    SimScreenFixture::SetUp();
    Open(screen);
  }

  CashInOutScreen screen{context};
};

TEST_F(CashInOutTest, TheVariantFollowsProtocolAndAccessLevel) {
  struct Case {
    std::string protocol, level;
    bool in;
    const char* amount;
    std::vector<Sent> sent;
    std::string till;
    std::string message;
  } cases[] = {
      {"2.02", "medium", true, "5", {{0x6E, "482916;1;5.00;"}}, "5.00", "Служебный внос денег - Успешно!"},
      {"2.02", "medium", false, "1.20", {{0x6E, "482916;1;-1.20;"}}, "3.80", "Служебное изъятие денег - Успешно!"},
      {"2.02", "high", true, "12.30",
       {{0x63, "482916;1;0;2;"}, {0x77, "482916;0;12.30;"}, {0x65, "482916;0;"}}, "16.10",
       "Служебный внос денег - Успешно!"},
      {"3.00", "medium", false, "12.30",
       {{0x63, "482916;1;0;2;"}, {0x77, "482916;0;-12.30;"}, {0x65, "482916;0;"}}, "3.80",
       "Служебное изъятие денег - Успешно!"},
  };
  for (const Case& c : cases) {
    state.protocolVersion = c.protocol;
    state.accessLevel = c.level;
    screen.AmountBox()->setText(c.amount);
    Click(c.in ? screen.CashInButton() : screen.CashOutButton());
    EXPECT_EQ(TakeSent(), c.sent) << c.protocol << " " << c.level;
    EXPECT_EQ(TakeMessages(), Messages{c.message});
    EXPECT_EQ(screen.CashBox()->text().toStdString(), c.till);
  }
  EXPECT_EQ(WithDevice([](sim::DeviceState& s) { return s.cash; }), 380);
  EXPECT_EQ(WithDevice([](sim::DeviceState& s) { return s.receipt.kind; }), sim::kNoReceipt);
}

// A lost reply at any step: the same frame is asked for again with its SEQ, so the deposit moves
// the till once and the service receipt closes; a registrator that stays silent gets a message
// that says what is not known and what the recovery buttons do.
TEST_F(CashInOutTest, ALostReplyAtAnyStepMovesTheMoneyOnce) {
  struct Case {
    const char* protocol;
    std::uint8_t lost;
    sim::LineFault fault;
  } cases[] = {
      {"2.02", 0x6E, sim::LineFault::Mute}, {"2.02", 0x6E, sim::LineFault::Drop},
      {"3.00", 0x63, sim::LineFault::Mute}, {"3.00", 0x77, sim::LineFault::Mute},
      {"3.00", 0x77, sim::LineFault::Drop}, {"3.00", 0x65, sim::LineFault::Mute},
  };
  std::int64_t till = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.protocol) + " " + std::to_string(c.lost));
    state.protocolVersion = c.protocol;
    screen.AmountBox()->setText("100.00");
    server.faults().Aim(c.lost, c.fault, 1);
    Click(screen.CashInButton());
    TakeSent();
    till += 10000;
    EXPECT_EQ(TakeMessages(), Messages{"Служебный внос денег - Успешно!"});
    EXPECT_EQ(WithDevice([](sim::DeviceState& s) { return s.cash; }), till);
    EXPECT_EQ(WithDevice([](sim::DeviceState& s) { return s.receipt.kind; }), sim::kNoReceipt);
  }
  // Silent for good at the cash command of a service receipt: the time-out first, then the advice.
  state.protocolVersion = "3.00";
  server.faults().Aim(0x77, sim::LineFault::Mute, 0);
  Click(screen.CashInButton());
  const Messages shown = TakeMessages();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0], "Служебный внос денег:\n  Таймаут устройства! Ошибка!");
  EXPECT_EQ(shown[1].rfind("Ответ регистратора потерян: служебный чек может остаться открытым.", 0), 0u) << shown[1];
  server.faults().Clear();
}

TEST_F(CashInOutTest, RefusalsCarryThePrefixOnlyForTheCashCommand) {
  state.protocolVersion = "3.00";
  Click(screen.CashOutButton());  // the till is empty: the service receipt stays open
  const auto sent = TakeSent();
  ASSERT_EQ(sent.size(), 2u);
  const Messages messages = TakeMessages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].rfind("Служебное изъятие денег:\n  ", 0), 0u) << messages[0];
  Click(screen.CashInButton());  // a receipt is open: opening the next one fails with the bare text
  EXPECT_EQ(TakeSent().size(), 1u);
  const Messages bare = TakeMessages();
  ASSERT_EQ(bare.size(), 1u);
  EXPECT_EQ(bare[0].find("Служебный"), std::string::npos) << bare[0];

  state.protocolVersion = "2.01";
  WithDevice([](sim::DeviceState& s) { s.receipt = {}; });
  Click(screen.CashOutButton());
  EXPECT_EQ(TakeMessages().at(0).rfind("Служебное изъятие денег:\n  ", 0), 0u);
}

TEST_F(CashInOutTest, NegativeOrMistypedInputsSendNothing) {
  struct Case {
    const char* amount;
    const char* operatorNumber;
    std::string message;
  } cases[] = {
      {"-5", "1", "Сумма должна быть больше нуля!"},
      {"0", "1", "Сумма должна быть больше нуля!"},
      {"5,00", "1", "'5,00' is not a valid floating point value"},
      {"5", "x", "'x' is not a valid integer value"},
  };
  for (const Case& c : cases) {
    screen.AmountBox()->setText(c.amount);
    screen.OperatorBox()->setText(c.operatorNumber);
    Click(screen.CashOutButton());
    EXPECT_EQ(TakeMessages(), Messages{c.message}) << c.amount;
  }
  EXPECT_EQ(TakeSent(), std::vector<Sent>{});
}

}  // namespace
}  // namespace kovrix
