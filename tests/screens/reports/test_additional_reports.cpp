#include "screens/reports/additional_reports.h"

#include "support/sim_screen_fixture.h"

namespace kovrix {
namespace {

using test::Sent;
using Messages = std::vector<std::string>;

class AdditionalReportsTest : public test::SimScreenFixture {
 protected:
  void SetUp() override {
    SimScreenFixture::SetUp();
    WithDevice([](sim::DeviceState& s) {
      s.shift.open = true;
      s.shift.totals.departments[3] = 4550;
      s.operators[1].name = Utf8ToCp1251("Олена");
      s.operators[1].shiftReceipts = 2;
      s.operators[1].shiftSales = 4550;
      s.controlTape = {"CHECK 0001"};
      s.reportsPassword = "123456";
    });
    Open(screen);
    screen.PasswordBox()->setText("123456");
  }
  int ReceiptKind() {
    return WithDevice([](sim::DeviceState& s) { return s.receipt.kind; });
  }

  AdditionalReports screen{context};
};

TEST_F(AdditionalReportsTest, EachReportTypeIsPrintedInsideAReceiptAndTheListResetsOnOpening) {
  EXPECT_EQ(screen.ReportTypeList()->count(), 3);
  struct Case {
    int type;
    const char* heading;
    const char* line;
  } cases[] = {{0, "ЗВІТ ПО ВІДДІЛАХ", "ВІДДІЛ 3"},
               {1, "ЗВІТ ПО КАСИРАХ", "Олена (2)"},
               {2, "КОНТРОЛЬНА СТРІЧКА", "CHECK 0001"}};
  for (const auto& c : cases) {
    screen.ReportTypeList()->setCurrentIndex(c.type);
    Click(screen.ReportButton());
    EXPECT_EQ(TakeSent(), (std::vector<Sent>{{0x60, "482916;"},
                                             {0xA6, "123456;" + std::to_string(c.type) + ";;;"},
                                             {0x65, "482916;0;"}}));
    EXPECT_TRUE(TakeMessages().empty());
    EXPECT_EQ(screen.ErrorCodeBox()->text(), "0000");
    const std::string tape = Tape();
    const auto heading = tape.rfind(c.heading);
    ASSERT_NE(heading, std::string::npos) << tape;
    EXPECT_NE(tape.find(c.line, heading), std::string::npos) << tape;
    EXPECT_EQ(ReceiptKind(), sim::kNoReceipt);
  }
  // The control tape goes out without the header line of the daily reports' printout.
  EXPECT_EQ(Tape().find("Контрольная лента"), std::string::npos);

  EXPECT_EQ(screen.ReportTypeList()->currentText(), "Вывести контрольную ленту");
  screen.hide();
  Open(screen);
  EXPECT_EQ(screen.ReportTypeList()->currentIndex(), 0);
  EXPECT_EQ(screen.ReportTypeList()->currentText(), "Отчет по отделам");
  Click(screen.StatusButton());
  EXPECT_EQ(shell.statusBytesOpened, 1);
}

TEST_F(AdditionalReportsTest, ARefusedReportStopsWithTheReceiptOpenUnderItsOwnHeading) {
  const std::string printer = "\n  Ошибка оборудования!\n Ошибка принтера!";
  struct Case {
    int failing;
    std::size_t sent;
    std::string heading;
    int receiptLeft;
  } cases[] = {
      {0x60, 1, "Печать дополнительных дневных отчетов :", sim::kNoReceipt},
      {0xA6, 2, "Печать дополнительных дневных отчетов:", sim::kTextReceipt},
      {0x65, 3, "Печать дополнительных дневных отчетов :", sim::kTextReceipt},
  };
  for (const auto& c : cases) {
    server.faults().FailCommand(static_cast<std::uint8_t>(c.failing), sim::err::kPrinter);
    Click(screen.ReportButton());
    const std::vector<Sent> sent = TakeSent();
    ASSERT_EQ(sent.size(), c.sent) << std::hex << c.failing;
    EXPECT_EQ(sent.back().command, c.failing);
    EXPECT_EQ(TakeMessages(), Messages{c.heading + printer}) << std::hex << c.failing;
    EXPECT_EQ(screen.ErrorCodeBox()->text(), "0101");
    EXPECT_EQ(ReceiptKind(), c.receiptLeft);
    server.faults().Clear();
    WithDevice([](sim::DeviceState& s) { s.receipt = {}; });
  }
}

TEST_F(AdditionalReportsTest, AReportThatCannotBeSentClosesTheReceiptItOpened) {
  screen.PasswordBox()->setText(QString(300, u'1'));
  Click(screen.ReportButton());
  EXPECT_EQ(TakeSent(), (std::vector<Sent>{{0x60, "482916;"}, {0x65, "482916;0;"}}));
  EXPECT_EQ(TakeMessages(), Messages{"Команда не отправлена: данные не помещаются в кадр."});
  EXPECT_EQ(screen.ErrorCodeBox()->text(), "0000");
  EXPECT_EQ(ReceiptKind(), sim::kNoReceipt);
}

}  // namespace
}  // namespace kovrix
