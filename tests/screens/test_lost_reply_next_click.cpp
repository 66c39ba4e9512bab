// After a reply lost for good (the registrator silent for the frame and every repeat of it), the
// operator's obvious next click on the sales and report screens: the same frame is asked for once
// more with its SEQ, the message names what the registrator did, the click sends nothing of its
// own, and the tape shows each command once.
#include <functional>

#include "driver/commands.h"
#include "screens/reports/additional_reports.h"
#include "screens/reports/daily_reports.h"
#include "screens/sales/cash_in_out.h"
#include "screens/sales/receipt_copy.h"
#include "screens/sales/receipt_recovery.h"
#include "support/sim_screen_fixture.h"

namespace kovrix {
namespace {

using test::Sent;
using Messages = std::vector<std::string>;

std::string EarlierDone(const std::string& named) {
  return "Ответ на предыдущую команду (" + named + ") был потерян и получен повторно: команда выполнена один раз. "
         "Новая команда не отправлена: нажмите кнопку еще раз, если она нужна.";
}

class NextClickTest : public test::SimScreenFixture {
 protected:
  std::vector<int> Codes(const std::vector<Sent>& sent) {
    std::vector<int> codes;
    for (const Sent& s : sent) codes.push_back(s.command);
    return codes;
  }
  int Executed(int command) {
    int n = 0;
    for (const auto& e : server.journal().Entries()) n += e.command == command && e.outcome == sim::Outcome::Executed;
    return n;
  }
  int OnTape(const std::string& text) {
    const std::string tape = Tape();
    int n = 0;
    for (auto at = tape.find(text); at != std::string::npos; at = tape.find(text, at + 1)) ++n;
    return n;
  }

  CashInOutScreen cash{context};
  DailyReports reports{context};
  AdditionalReports additional{context};
  ReceiptCopy copy{context};
};

TEST_F(NextClickTest, TheNextClickSettlesTheLostCommandAndNothingRunsTwice) {
  // One closed receipt, for the copy: 5.00 in the till.
  for (const auto& [command, data] : std::vector<std::pair<int, std::string>>{
           {0x24, "482916;1;Хліб;5.00;0;1;"}, {0x63, "482916;1;1;0;"}, {0x64, "482916;1;1.000;5.00;"},
           {0x67, "482916;0;5.00;"}, {0x65, "482916;0;"}}) {
    ASSERT_EQ(ExecuteCommand(command, Utf8ToCp1251(data))->errorText, "0000") << data;
  }
  struct Case {
    const char* what;
    Screen* screen;
    QAbstractButton* button;
    std::uint8_t command;
    const char* named;
    std::vector<std::string> afterwards;  // messages after the settling one
    std::function<void()> check;          // what the registrator shows then
  } cases[] = {
      {"cash in one command", &cash, cash.CashInButton(), 0x6E, "внесение/выдача наличных", {},
       [&] {
         EXPECT_EQ(WithDevice([](sim::DeviceState& s) { return s.cash; }), 600);
         EXPECT_EQ(cash.CashBox()->text(), "6.00");
       }},
      {"service cash receipt", &cash, cash.CashInButton(), 0x77, "служебное внесение/выдача",
       {"Служебный чек открыт. Откройте «Аннулирование и закрытие чека»: «Закрыть чек» проведет уже внесенную сумму, "
        "«Аннулировать чек» отменит ее."},
       [&] {
         EXPECT_NE(WithDevice([](sim::DeviceState& s) { return s.receipt.kind; }), sim::kNoReceipt);
         // Closed, as the message says, the deposit counts once.
         ASSERT_EQ(ExecuteCommand(0x65, "482916;0;")->errorText, "0000");
         EXPECT_EQ(WithDevice([](sim::DeviceState& s) { return s.cash; }), 700);
       }},
      {"X report", &reports, reports.XReportButton(), 0xA1, "X-отчет", {},
       [&] { EXPECT_EQ(OnTape("X-ЗВІТ"), 1) << Tape(); }},
      {"additional report", &additional, additional.ReportButton(), 0xA6, "дополнительный отчет", {},
       [&] {
         EXPECT_EQ(OnTape("ЗВІТ ПО ВІДДІЛАХ"), 1) << Tape();
         EXPECT_EQ(WithDevice([](sim::DeviceState& s) { return s.receipt.kind; }), sim::kNoReceipt);
       }},
      {"receipt copy", &copy, copy.CopyButton(), 0xA5, "печать копий чеков", {},
       [&] {
         EXPECT_EQ(OnTape("КОПІЯ ЧЕКА №1"), 1) << Tape();
         EXPECT_EQ(WithDevice([](sim::DeviceState& s) { return s.receipt.kind; }), sim::kNoReceipt);
       }},
  };
  state.protocolVersion = "2.02";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.command == 0x77) state.protocolVersion = "3.00";
    Open(*c.screen);
    if (c.screen == &cash) cash.AmountBox()->setText("1.00");
    const int before = Executed(c.command);
    server.faults().Aim(c.command, sim::LineFault::Mute, 0);
    Click(c.button);
    EXPECT_FALSE(TakeMessages().empty());  // the time-out, with what it leaves unknown
    EXPECT_EQ(Executed(c.command), before + 1);
    server.faults().Clear();
    TakeSent();

    Click(c.button);
    Messages expected{EarlierDone(c.named)};
    expected.insert(expected.end(), c.afterwards.begin(), c.afterwards.end());
    EXPECT_EQ(TakeMessages(), expected);
    const auto sent = TakeSent();
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(sent[0].command, c.command);
    EXPECT_EQ(Executed(c.command), before + 1);
    c.check();
    c.screen->hide();
  }
}

// A service cash receipt whose close stayed unanswered: annulling it asks first and names the
// amount it would take back; declined, nothing is sent.
TEST_F(NextClickTest, AnnullingAnOpenServiceCashReceiptNamesItsAmountFirst) {
  state.protocolVersion = "3.00";
  Open(cash);
  cash.AmountBox()->setText("12.30");
  server.faults().Aim(0x65, sim::LineFault::Drop, 0);
  Click(cash.CashInButton());
  TakeMessages();
  server.faults().Clear();
  cash.hide();
  ReceiptRecovery recovery{context};
  Open(recovery);  // reads the state: the other frame that makes the lost close unaskable
  TakeSent();
  ui.answers = {false, true};
  Click(recovery.AnnulButton());
  ASSERT_EQ(ui.questions.size(), 1u);
  EXPECT_EQ(ui.questions[0].toStdString(), "Открыт служебный чек на сумму 12.30. Аннулирование отменит эту сумму; "
                                           "«Закрыть чек» проведет ее. Аннулировать чек?");
  EXPECT_TRUE(TakeSent().empty());
  Click(recovery.AnnulButton());
  EXPECT_EQ(Codes(TakeSent()), std::vector<int>{0x6B});
  EXPECT_EQ(WithDevice([](sim::DeviceState& s) { return s.cash; }), 0);
  EXPECT_EQ(WithDevice([](sim::DeviceState& s) { return s.receipt.kind; }), sim::kNoReceipt);
  EXPECT_TRUE(state.openServiceCash.isEmpty());
}

}  // namespace
}  // namespace kovrix
