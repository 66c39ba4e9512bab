#include "screens/sales/receipt_copy.h"

#include "driver/driver.h"
#include "driver/error_text.h"
#include "support/sim_screen_fixture.h"

namespace kovrix {
namespace {

using test::Sent;
using Messages = std::vector<std::string>;

class ReceiptCopyTest : public test::SimScreenFixture {
 protected:
  void SetUp() override {
    SimScreenFixture::SetUp();
    // Two closed receipts, numbers 1 and 2.
    for (const auto& [command, data] : std::vector<std::pair<int, std::string>>{
             {0x24, "482916;1;Хліб;5.00;0;1;"}, {0x63, "482916;1;1;0;"}, {0x64, "482916;1;1.000;5.00;"},
             {0x67, "482916;0;5.00;"}, {0x65, "482916;0;"}, {0x63, "482916;1;1;0;"}, {0x64, "482916;1;2.000;5.00;"},
             {0x67, "482916;0;10.00;"}, {0x65, "482916;0;"}}) {
      ASSERT_EQ(ExecuteCommand(command, Utf8ToCp1251(data))->errorText, "0000") << data;
    }
    TakeSent();
    Open(screen);
  }

  ReceiptCopy screen{context};
};

TEST_F(ReceiptCopyTest, PrintsTheRangeInsideANonFiscalReceipt) {
  screen.LastBox()->setText("2");
  Click(screen.CopyButton());
  EXPECT_EQ(TakeSent(), (std::vector<Sent>{{0x60, "482916;"}, {0xA5, "482916;1;2;"}, {0x65, "482916;0;"}}));
  EXPECT_EQ(TakeMessages(), Messages{});
  EXPECT_EQ(screen.ErrorCodeBox()->text(), "0000");
  const std::string tape = Tape();
  EXPECT_NE(tape.find("КОПІЯ ЧЕКА №1"), std::string::npos) << tape;
  EXPECT_NE(tape.find("КОПІЯ ЧЕКА №2"), std::string::npos) << tape;
}

TEST_F(ReceiptCopyTest, ARefusedOrMistypedRangeLeavesNoReceiptOpen) {
  screen.FirstBox()->setText("7");
  screen.LastBox()->setText("7");
  screen.PasswordBox()->setText("1");
  Click(screen.CopyButton());
  EXPECT_EQ(TakeSent(), (std::vector<Sent>{{0x60, "482916;"}, {0xA5, "1;7;7;"}, {0x65, "482916;0;"}}));
  const Messages messages = TakeMessages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].rfind("Печать копии чека:\n  ", 0), 0u) << messages[0];
  EXPECT_EQ(WithDevice([](sim::DeviceState& s) { return s.receipt.kind; }), sim::kNoReceipt);

  // A copy refused for its own reason: the box and the message show the copy's refusal, not the
  // close that follows it.
  server.faults().FailCommand(0xA5, sim::err::kCopyUnavailable);
  screen.PasswordBox()->setText("482916");
  Click(screen.CopyButton());
  server.faults().Clear();
  EXPECT_EQ(TakeSent(), (std::vector<Sent>{{0x60, "482916;"}, {0xA5, "482916;7;7;"}, {0x65, "482916;0;"}}));
  ReplyRecord refused;
  refused.errorText = screen.ErrorCodeBox()->text().toStdString();
  std::string refusal;
  EXPECT_FALSE(GetErrorText(refused, refusal));
  EXPECT_EQ(refused.errorText, sim::err::kCopyUnavailable.WireText());
  EXPECT_EQ(TakeMessages(), Messages{"Печать копии чека:\n  " + Cp1251ToUtf8(refusal)});
  EXPECT_EQ(WithDevice([](sim::DeviceState& s) { return s.receipt.kind; }), sim::kNoReceipt);

  screen.LastBox()->setText("2x");
  Click(screen.CopyButton());
  EXPECT_EQ(TakeSent(), std::vector<Sent>{});
  EXPECT_EQ(TakeMessages(), Messages{"'2x' is not a valid integer value"});

  server.faults().FailCommand(0x60, sim::err::kPrinter);
  screen.LastBox()->setText("2");
  Click(screen.CopyButton());
  EXPECT_EQ(TakeSent().size(), 1u);
  EXPECT_EQ(TakeMessages().at(0).rfind("Печать копии чека :\n  ", 0), 0u);
}

}  // namespace
}  // namespace kovrix
