#include "screens/sales/non_fiscal_receipt.h"

#include "support/sim_screen_fixture.h"

namespace kovrix {
namespace {

using test::Sent;
using Messages = std::vector<std::string>;

class NonFiscalReceiptTest : public test::SimScreenFixture {
 protected:
  void SetUp() override {
    SimScreenFixture::SetUp();
    Open(screen);
  }

  NonFiscalReceipt screen{context};
};

TEST_F(NonFiscalReceiptTest, PrintsEachLineCutThenCleanedBetweenOpenAndClose) {
  screen.LinesBox()->setPlainText(QString::fromUtf8(
      "Первая строка\n"
      "\n"
      "123456789012345678901234567890123456789ABCDEF\n"
      "12;45678901234567890123456789012345;789ABCDEF\n"));
  screen.PasswordBox()->setText("000001");
  WithDevice([](sim::DeviceState& s) { s.operators[0].password = "000001"; });
  Click(screen.PrintButton());
  EXPECT_EQ(TakeSent(), (std::vector<Sent>{{0x60, "000001;"},
                                           {0x61, "000001;Первая строка;"},
                                           {0x61, "000001;;"},
                                           {0x61, "000001;123456789012345678901234567890123456789;"},
                                           {0x61, "000001;1245678901234567890123456789012345789;"},
                                           {0x65, "000001;0;"}}));
  EXPECT_TRUE(TakeMessages().empty());
  const std::string tape = Tape();
  EXPECT_NE(tape.find("Первая строка\n\n123456789012345678901234567890123456789\n"), std::string::npos) << tape;
  EXPECT_EQ(WithDevice([](sim::DeviceState& s) { return s.receipt.kind; }), sim::kNoReceipt);
}

TEST_F(NonFiscalReceiptTest, AnEmptyBoxPrintsAnEmptyReceipt) {
  Click(screen.PrintButton());
  EXPECT_EQ(TakeSent(), (std::vector<Sent>{{0x60, "482916;"}, {0x65, "482916;0;"}}));
  EXPECT_TRUE(TakeMessages().empty());
}

TEST_F(NonFiscalReceiptTest, ARefusedCommandShowsItsTextAloneAndStopsThere) {
  screen.LinesBox()->setPlainText("a\nb");
  struct Case {
    int failing;
    std::vector<int> sent;
  } cases[] = {
      {0x60, {0x60}},
      {0x61, {0x60, 0x61}},  // the receipt stays open, the close is not sent
      {0x65, {0x60, 0x61, 0x61, 0x65}},
  };
  for (const auto& c : cases) {
    server.faults().FailCommand(static_cast<std::uint8_t>(c.failing), sim::err::kNoData);
    Click(screen.PrintButton());
    std::vector<int> sent;
    for (const Sent& s : TakeSent()) sent.push_back(s.command);
    EXPECT_EQ(sent, c.sent) << std::hex << c.failing;
    EXPECT_EQ(TakeMessages(), Messages{"В сообщении нет данных"}) << std::hex << c.failing;
    server.faults().Clear();
    WithDevice([](sim::DeviceState& s) { s.receipt = {}; });
  }
}

TEST_F(NonFiscalReceiptTest, TypingASemicolonWarnsAndKeepsIt) {
  QTest::keyClicks(screen.LinesBox(), "a;b;");
  EXPECT_EQ(ui.titles, (std::vector<QString>(2, QStringLiteral("Ввод текста"))));
  EXPECT_EQ(TakeMessages(), (Messages(2, "; - недопустимый символ, \n   будет удален при печати чека!")));
  EXPECT_EQ(screen.LinesBox()->toPlainText(), "a;b;");
  Click(screen.PrintButton());
  EXPECT_EQ(TakeSent().at(1), (Sent{0x61, "482916;ab;"}));
}

}  // namespace
}  // namespace kovrix
