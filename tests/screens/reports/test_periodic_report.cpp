#include "screens/reports/periodic_report.h"

#include "sim/model/fiscal_memory.h"
#include "support/sim_screen_fixture.h"

namespace kovrix {
namespace {

using test::Sent;
using Messages = std::vector<std::string>;

class PeriodicReportTest : public test::SimScreenFixture {
 protected:
  void SetUp() override {
    SimScreenFixture::SetUp();
    screen.SetToday([] { return QDate(2024, 6, 17); });
    // Three daily reports of 15, 16 and 17 June 2024 in fiscal memory.
    WithDevice([](sim::DeviceState& s) {
      for (int n = 1; n <= 3; ++n) {
        sim::FmRecord r;
        r.number = n;
        r.time = *sim::ParseDeviceDate("1" + std::to_string(4 + n) + "0624", "2000");
        r.sales = n * 1000;
        sim::AppendFmRecord(s.flash, r);
      }
      s.zNumber = 3;
      s.reportsPassword = "123456";
    });
    Open(screen);
    screen.PasswordBox()->setText("123456");
  }

  PeriodicReport screen{context};
};

TEST_F(PeriodicReportTest, ActivationSetsBothDatesToTodayAndTheChoiceSwapsTheRangeGroups) {
  EXPECT_EQ(screen.FirstDateBox()->text(), "17.06.24");
  EXPECT_EQ(screen.LastDateBox()->text(), "17.06.24");
  EXPECT_FALSE(screen.StatusButton()->isEnabled());
  EXPECT_TRUE(screen.ByDateChoice()->isChecked());
  EXPECT_TRUE(screen.ShortChoice()->isChecked());
  EXPECT_TRUE(screen.DateGroup()->isVisible());
  EXPECT_FALSE(screen.NumberGroup()->isVisible());

  Click(screen.ByNumberChoice());
  EXPECT_FALSE(screen.DateGroup()->isVisible());
  EXPECT_TRUE(screen.NumberGroup()->isVisible());
  Click(screen.ByDateChoice());
  EXPECT_TRUE(screen.DateGroup()->isVisible());
  EXPECT_FALSE(screen.NumberGroup()->isVisible());
}

TEST_F(PeriodicReportTest, ByDatesAndByNumbersInsideAReceiptOpenedAndClosedWithTheDefaultPassword) {
  screen.FirstDateBox()->setDate(QDate(2024, 6, 15));
  screen.LastDateBox()->setDate(QDate(2024, 6, 16));
  Click(screen.ReportButton());
  EXPECT_EQ(TakeSent(), (std::vector<Sent>{{0x60, "482916;"}, {0xA2, "123456;150624;160624;0;"}, {0x65, "482916;0;"}}));
  EXPECT_TRUE(TakeMessages().empty());
  EXPECT_EQ(screen.ErrorCodeBox()->text(), "0000");
  EXPECT_TRUE(screen.StatusButton()->isEnabled());
  std::string tape = Tape();
  EXPECT_NE(tape.find("ПЕРІОДИЧНИЙ ЗВІТ СКОРОЧЕНИЙ"), std::string::npos) << tape;
  EXPECT_NE(tape.find("15.06.24 - 16.06.24"), std::string::npos) << tape;
  EXPECT_NE(tape.find("30.00"), std::string::npos) << tape;  // Z1 and Z2 only
  EXPECT_EQ(tape.find("60.00"), std::string::npos) << tape;

  Click(screen.ByNumberChoice());
  Click(screen.FullChoice());
  screen.FirstNumberBox()->setText("2");
  screen.LastNumberBox()->setText(" 3");
  Click(screen.ReportButton());
  EXPECT_EQ(TakeSent(), (std::vector<Sent>{{0x60, "482916;"}, {0xA3, "123456;2;3;1;"}, {0x65, "482916;0;"}}));
  EXPECT_TRUE(TakeMessages().empty());
  tape = Tape();
  EXPECT_NE(tape.find("ПЕРІОДИЧНИЙ ЗВІТ ПОВНИЙ"), std::string::npos) << tape;
  EXPECT_NE(tape.find("Z2 16.06.24"), std::string::npos) << tape;
  EXPECT_NE(tape.find("Z3 17.06.24"), std::string::npos) << tape;
  EXPECT_EQ(WithDevice([](sim::DeviceState& s) { return s.receipt.kind; }), sim::kNoReceipt);

  Click(screen.ByDateChoice());  // the full report by dates is type 1 too
  Click(screen.ReportButton());
  EXPECT_EQ(TakeSent()[1], (Sent{0xA2, "123456;150624;160624;1;"}));
}

TEST_F(PeriodicReportTest, TheReceiptIsClosedWhateverTheReportsOutcome) {
  const std::string printer = "Печать периодического отчета :\n  Ошибка оборудования!\n Ошибка принтера!";
  struct Case {
    int failing;
    std::size_t sent;
  } cases[] = {{0x60, 1}, {0xA2, 3}, {0x65, 3}};
  for (const auto& c : cases) {
    server.faults().FailCommand(static_cast<std::uint8_t>(c.failing), sim::err::kPrinter);
    Click(screen.ReportButton());
    const std::vector<Sent> sent = TakeSent();
    ASSERT_EQ(sent.size(), c.sent) << std::hex << c.failing;
    EXPECT_EQ(TakeMessages(), Messages{printer}) << std::hex << c.failing;
    EXPECT_EQ(screen.ErrorCodeBox()->text(), c.failing == 0xA2 ? "0000" : "0101");
    server.faults().Clear();
    const int left = WithDevice([](sim::DeviceState& s) { return s.receipt.kind; });
    EXPECT_EQ(left, c.failing == 0x65 ? sim::kTextReceipt : sim::kNoReceipt) << std::hex << c.failing;
    WithDevice([](sim::DeviceState& s) { s.receipt = {}; });
  }

  // A report refused by the registrator itself: the range is reversed.
  screen.FirstDateBox()->setDate(QDate(2024, 6, 16));
  screen.LastDateBox()->setDate(QDate(2024, 6, 15));
  Click(screen.ReportButton());
  EXPECT_EQ(TakeSent().size(), 3u);
  ASSERT_EQ(TakeMessages().size(), 1u);
  EXPECT_EQ(WithDevice([](sim::DeviceState& s) { return s.receipt.kind; }), sim::kNoReceipt);
}

TEST_F(PeriodicReportTest, ATypingErrorInANumberStopsBeforeTheReceiptIsOpened) {
  Click(screen.ByNumberChoice());
  struct Case {
    const char* first;
    const char* last;
    const char* message;
  } cases[] = {{"1", "", "'' is not a valid integer value"},
               {"x1", "3", "'x1' is not a valid integer value"},
               {"1", "99999999999", "'99999999999' is not a valid integer value"}};
  for (const auto& c : cases) {
    screen.FirstNumberBox()->setText(c.first);
    screen.LastNumberBox()->setText(c.last);
    Click(screen.ReportButton());
    EXPECT_EQ(TakeMessages(), Messages{c.message});
  }
  EXPECT_TRUE(TakeSent().empty());
  EXPECT_EQ(WithDevice([](sim::DeviceState& s) { return s.receipt.kind; }), sim::kNoReceipt);
}

}  // namespace
}  // namespace kovrix
