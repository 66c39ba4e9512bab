#include "screens/sales/receipt_recovery.h"

#include "driver/commands.h"
#include "support/sim_screen_fixture.h"

namespace kovrix {
namespace {

using test::Sent;
using Messages = std::vector<std::string>;

TEST(ReceiptState, TheTableIsReadInOrder) {
  const QString none = "Нет открытых чеков", text = "Открыт нефискальный чек", fiscal = "Открыт фискальный чек",
                ret = "Открыт чек возврата";
  struct Case {
    std::uint8_t b;
    ReceiptStateView view;
  } cases[] = {
      {0x00, {none, false, false}},  {0x10, {none, false, false}}, {0x05, {text, true, false}},
      {0x15, {text, true, false}},   {0x14, {ret, true, true}},    {0x11, {ret, false, true}},
      {0x04, {fiscal, true, true}},  {0x01, {fiscal, false, true}}, {0x09, {fiscal, false, true}},
  };
  for (const Case& c : cases) EXPECT_EQ(ReceiptStateFor(c.b), c.view) << int(c.b);
}

class ReceiptRecoveryTest : public test::SimScreenFixture {
 protected:
  void Run(const std::vector<std::pair<int, std::string>>& steps) {
    for (const auto& [command, data] : steps) ASSERT_EQ(ExecuteCommand(command, data)->errorText, "0000") << data;
  }

  ReceiptRecovery screen{context};
};

TEST_F(ReceiptRecoveryTest, ActivationReadsTheReceiptStateTheRegistratorReports) {
  struct Case {
    std::vector<std::pair<int, std::string>> steps;
    std::string text;
    bool canClose, canAnnul;
  } cases[] = {
      {{}, "Нет открытых чеков", false, false},
      {{{0x60, "482916;"}}, "Открыт нефискальный чек", true, false},
      {{{0x63, "482916;1;1;0;"}, {0x64, "482916;1;1.000;5.00;"}}, "Открыт фискальный чек", false, true},
      {{{0x63, "482916;1;1;0;"}, {0x64, "482916;1;1.000;5.00;"}, {0x67, "482916;0;5.00;"}}, "Открыт фискальный чек",
       true, true},
      {{{0x63, "482916;1;1;1;"}, {0x64, "482916;1;1.000;5.00;"}}, "Открыт чек возврата", false, true},
      {{{0x63, "482916;1;1;1;"}, {0x64, "482916;1;1.000;5.00;"}, {0x67, "482916;0;5.00;"}}, "Открыт чек возврата",
       true, true},
      {{{0x63, "482916;1;0;2;"}}, "Открыт фискальный чек", true, true},
  };
  Run({{0x24, "482916;1;A;5.00;0;1;"}});
  WithDevice([](sim::DeviceState& s) { s.cash = 100000; });
  for (const Case& c : cases) {
    WithDevice([](sim::DeviceState& s) { s.receipt = {}; });
    Run(c.steps);
    TakeSent();
    Open(screen);
    EXPECT_EQ(TakeSent(), (std::vector<Sent>{{0x80, "482916;"}}));
    EXPECT_EQ(screen.StatusBar()->currentMessage().toStdString(), c.text);
    EXPECT_EQ(screen.CloseReceiptButton()->isEnabled(), c.canClose) << c.text;
    EXPECT_EQ(screen.AnnulButton()->isEnabled(), c.canAnnul) << c.text;
    EXPECT_EQ(screen.ErrorCodeBox()->text(), "0000");
    screen.hide();
  }
  EXPECT_EQ(TakeMessages(), Messages{});
}

TEST_F(ReceiptRecoveryTest, ClosingAndAnnullingEndTheReceipt) {
  Run({{0x60, "482916;"}});
  TakeSent();
  Open(screen);
  Click(screen.CloseReceiptButton());
  Run({{0x24, "482916;1;A;5.00;0;1;"}, {0x63, "482916;1;1;0;"}, {0x64, "482916;1;1.000;5.00;"}});
  screen.hide();
  Open(screen);
  Click(screen.AnnulButton());
  const auto sent = TakeSent();
  EXPECT_EQ(sent.at(1), (Sent{0x65, "482916;0;"}));
  EXPECT_EQ(sent.back(), (Sent{0x6B, "482916;0;"}));
  EXPECT_EQ(TakeMessages(), Messages{});
  EXPECT_EQ(screen.StatusBar()->currentMessage(), "Нет открытых чеков");
  EXPECT_FALSE(screen.CloseReceiptButton()->isEnabled());
  EXPECT_FALSE(screen.AnnulButton()->isEnabled());
  EXPECT_EQ(WithDevice([](sim::DeviceState& s) { return s.receipt.kind; }), sim::kNoReceipt);
}

TEST_F(ReceiptRecoveryTest, FailuresAreReportedAndLeaveTheButtonsAsTheyWere) {
  Run({{0x24, "482916;1;A;5.00;0;1;"}, {0x63, "482916;1;1;0;"}, {0x64, "482916;1;1.000;5.00;"}});
  Open(screen);
  server.faults().FailCommand(0x6B, sim::err::kPrinter);
  Click(screen.AnnulButton());
  server.faults().Queue(sim::LineFault::Drop);
  Click(screen.AnnulButton());
  EXPECT_EQ(TakeMessages(), (Messages{"Ошибка аннулирования", "Таймаут устройства! Ошибка аннулирования!"}));
  EXPECT_TRUE(screen.AnnulButton()->isEnabled());
  server.faults().Clear();

  Click(screen.StatusButton());
  EXPECT_EQ(shell.statusBytesOpened, 1);
  EXPECT_EQ(screen.StatusBar()->currentMessage().left(10), "   Модель:");
  server.faults().FailCommand(0x80, sim::err::kPrinter);
  screen.hide();
  Open(screen);
  const Messages messages = TakeMessages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].rfind("Проверка состояния регистратора:\n  ", 0), 0u);
  EXPECT_TRUE(screen.AnnulButton()->isEnabled());
}

}  // namespace
}  // namespace kovrix
