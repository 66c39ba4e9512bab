#include <gtest/gtest.h>

#include "sim_fixture.h"

namespace kovrix::sim {
namespace {

class SimReceipts : public ::testing::Test {
 protected:
  void SetUp() override {
    // Article 1 at 12.50 in tax group A, article 2 at 3.00 in tax group B (department 2).
    ASSERT_EQ(m.Code(0x24, "482916;1;" + Cp("Хліб") + ";12.50;0;1;"), "0000");
    ASSERT_EQ(m.Code(0x24, "482916;2;" + Cp("Сіль") + ";3.00;1;2;"), "0000");
  }
  std::uint8_t ReceiptByte() { return m.reg.device().Status()[2]; }
  std::string Total() { return m.Run(0x6D, "482916;0;").data; }

  test::Model m;
};

TEST_F(SimReceipts, AFullSaleGivesChangeBooksTheShiftAndPrints) {
  EXPECT_EQ(m.Code(0x63, "482916;1;1;0;"), "0000");
  EXPECT_EQ(ReceiptByte(), 0x01);
  EXPECT_EQ(m.Run(0x64, "482916;1;2.000;12.50;").data, "25.00;");
  EXPECT_EQ(m.Code(0x64, "482916;2;0.500;3.00;"), "0000");
  EXPECT_EQ(Total(), "26.50;");
  EXPECT_EQ(m.Run(0x67, "482916;1;20.00;").data, "6.50;0.00;");
  EXPECT_EQ(ReceiptByte(), 0x03);
  EXPECT_EQ(m.Run(0x67, "482916;0;10.00;").data, "0.00;3.50;");
  EXPECT_EQ(ReceiptByte(), 0x04);
  EXPECT_EQ(m.Code(0x65, "482916;0;"), "0000");
  EXPECT_EQ(ReceiptByte(), 0x00);

  const DeviceState& s = m.s();
  EXPECT_EQ(s.receiptNumber, 1);
  EXPECT_EQ(s.cash, 650);  // 10.00 in cash less 3.50 change
  EXPECT_EQ(s.shift.totals.sales[0], 2500);
  EXPECT_EQ(s.shift.totals.sales[1], 150);
  EXPECT_EQ(s.shift.totals.salePayments[1], 2000);
  EXPECT_EQ(s.articles[0].soldQuantity, 2000);
  EXPECT_TRUE(s.operators[0].madeSales);
  EXPECT_TRUE(m.reg.device().Status()[5] & 0x10);
  const std::string tape = m.Tape();
  for (const char* printed : {"Хліб", "2.000 x 12.50", "СУМА", "26.50", "РЕШТА", "3.50", "ЧЕК №1"}) {
    EXPECT_NE(tape.find(printed), std::string::npos) << printed;
  }
}

TEST_F(SimReceipts, OutOfOrderStepsAndBadValuesAreRefused) {
  struct Step {
    int command;
    const char* data;
    const char* code;
  } steps[] = {
      {0x64, "482916;1;1.000;1.00;", "000B"},  // selling needs an open receipt
      {0x67, "482916;0;1.00;", "000B"},
      {0x65, "482916;0;", "000B"},
      {0x63, "111111;1;1;0;", "0006"},         // not the operator's password
      {0x63, "482916;17;1;0;", "0204"},
      {0x63, "482916;1;1;0;", "0000"},
      {0x65, "482916;0;", "000B"},             // nothing sold yet
      {0x67, "482916;0;1.00;", "000B"},
      {0x64, "482916;9;1.000;1.00;", "020A"},  // unknown article
      {0x64, "482916;1;0.000;1.00;", "0F0B"},
      {0x64, "482916;1;1.000;-1.00;", "100B"},
      {0x64, "482916;1;1.0000;1.00;", "0303"},
      {0x64, "482916;1;1.000;10.00;", "0000"},
      {0x65, "482916;0;", "000B"},             // not paid
      {0x67, "482916;1;20.00;", "0A0B"},       // no change from a card
      {0x67, "482916;4;5.00;", "090B"},        // payment type not permitted
      {0x67, "482916;10;5.00;", "0204"},
      {0x60, "482916;", "000B"},               // a receipt is already open
      {0xA1, "482916;0;", "000B"},             // Z needs a closed receipt
      {0x67, "482916;0;4.00;", "0000"},
      {0x68, "482916;-5.00;", "000B"},         // no discount after payment
      {0x6B, "482916;1;", "110B"},
      {0x67, "482916;0;10.00;", "0000"},
      {0x67, "482916;0;1.00;", "000B"},        // already paid
      {0x65, "482916;0;", "0000"},
  };
  for (const Step& s : steps) EXPECT_EQ(m.Code(s.command, s.data), s.code) << std::hex << s.command << " " << s.data;
  EXPECT_EQ(m.s().cash, 1000);  // 14.00 taken in cash, 4.00 given back
}

TEST_F(SimReceipts, StatusByteTwoFollowsTheReceipt) {
  struct Case {
    std::vector<std::pair<int, std::string>> steps;
    std::uint8_t byte;
  } cases[] = {
      {{{0x60, "482916;"}}, 0x05},
      {{{0x63, "482916;1;1;1;"}}, 0x11},
      {{{0x63, "482916;1;1;1;"}, {0x64, "482916;1;1.000;1.00;"}}, 0x12},
      {{{0x63, "482916;1;1;0;"}, {0x64, "482916;1;1.000;1.00;"}, {0x73, "482916;-10.00;"}}, 0x06},
      {{{0x63, "482916;1;1;0;"}, {0x64, "482916;1;1.000;1.00;"}, {0x6B, "482916;1;"}}, 0x09},
      {{{0x63, "482916;1;1;2;"}}, 0x07},
  };
  for (const Case& c : cases) {
    test::Model fresh;
    fresh.Run(0x24, "482916;1;A;1.00;0;1;");
    for (const auto& [command, data] : c.steps) ASSERT_EQ(fresh.Code(command, data), "0000") << data;
    EXPECT_EQ(fresh.reg.device().Status()[2], c.byte);
  }
}

TEST_F(SimReceipts, DiscountsAndSurchargesChangeTheTotal) {
  ASSERT_EQ(m.Code(0x63, "482916;1;1;0;"), "0000");
  m.Run(0x64, "482916;1;1.000;12.50;");
  EXPECT_EQ(m.Code(0x68, "482916;-10.00;"), "0000");  // -1.25
  EXPECT_EQ(m.Code(0x69, "482916;-1.00;"), "000B");   // one adjustment per item
  m.Run(0x64, "482916;2;2.000;3.00;");
  EXPECT_EQ(m.Code(0x69, "482916;-7.00;"), "0B0B");   // more than the item
  EXPECT_EQ(m.Code(0x69, "482916;0.50;"), "0000");
  EXPECT_EQ(Total(), "17.75;");
  EXPECT_EQ(m.Code(0x75, "482916;-10.00;0;"), "0000");  // 10% of group A's 11.25
  EXPECT_EQ(Total(), "16.62;");
  EXPECT_EQ(m.Code(0x74, "482916;-0.62;"), "000B");     // subtotal only right after a sale
  EXPECT_EQ(m.Code(0x75, "482916;-10.00;4;"), "0B0B");  // nothing sold in group D
  EXPECT_EQ(m.Code(0x68, "482916;-100.00;"), "0B0B");
}

TEST_F(SimReceipts, AnnulmentTakesBackMarkedSalesOrTheWholeReceipt) {
  ASSERT_EQ(m.Code(0x63, "482916;1;1;0;"), "0000");
  m.Run(0x64, "482916;1;1.000;12.50;");
  m.Run(0x64, "482916;2;1.000;3.00;");
  EXPECT_EQ(m.Code(0x6B, "482916;2;"), "000B");
  EXPECT_EQ(m.Code(0x6B, "482916;1;"), "0000");
  EXPECT_EQ(m.Code(0x6B, "482916;2;"), "050B");                // nothing marked yet
  EXPECT_EQ(m.Code(0x64, "482916;2;2.000;3.00;"), "040B");     // no such sale
  EXPECT_EQ(m.Code(0x64, "482916;2;1.000;3.00;"), "0000");
  EXPECT_EQ(m.Code(0x6B, "482916;2;"), "0000");
  EXPECT_EQ(Total(), "12.50;");
  EXPECT_EQ(m.reg.device().Status()[2], 0x02);
  EXPECT_EQ(m.Code(0x6B, "482916;0;"), "0000");
  EXPECT_EQ(m.reg.device().Status()[2], 0x00);
  EXPECT_EQ(m.Code(0x6B, "482916;0;"), "060B");
  EXPECT_EQ(m.s().shift.totals.annulled, 1);
  EXPECT_EQ(m.s().receiptNumber, 0);
  ASSERT_EQ(m.Code(0x60, "482916;"), "0000");
  EXPECT_EQ(m.Code(0x6B, "482916;0;"), "000B");                // a non-fiscal receipt is closed, not annulled
}

TEST_F(SimReceipts, CashMovesThroughTheTillAndServiceReceipts) {
  EXPECT_EQ(m.Run(0x6E, "482916;1;100.00;").data, "100.00;");
  EXPECT_EQ(m.Code(0x6E, "482916;1;-150.00;"), "080B");
  ASSERT_EQ(m.Code(0x63, "482916;1;0;2;"), "0000");
  EXPECT_EQ(m.Run(0x77, "482916;0;-40.00;").data, "60.00;");
  EXPECT_EQ(m.Code(0x65, "482916;0;"), "0000");
  EXPECT_EQ(m.s().cash, 6000);
  EXPECT_EQ(m.s().shift.totals.cashOut, 4000);
  // A refund in cash comes out of the till and is limited by it.
  ASSERT_EQ(m.Code(0x63, "482916;1;1;1;"), "0000");
  m.Run(0x64, "482916;1;10.000;12.50;");
  EXPECT_EQ(m.Code(0x67, "482916;0;125.00;"), "080B");
}

TEST_F(SimReceipts, CardPaymentsKeepTheTransactionAndTheAcquirerSession) {
  ASSERT_EQ(m.Code(0x63, "482916;1;1;0;"), "0000");
  m.Run(0x64, "482916;1;1.000;12.50;");
  EXPECT_EQ(m.Code(0x78, "482916;0;12.50;604211000001;"), "090B");  // cash is no card
  EXPECT_EQ(m.Code(0x78, "482916;1;12.50;;"), "0404");
  EXPECT_EQ(m.Code(0x78, "482916;1;12.5;604211000001;"), "0000");
  EXPECT_EQ(m.Code(0x65, "482916;0;"), "0000");
  EXPECT_EQ(m.Run(0xFC, "482916;").data, "150624;1000;");
  EXPECT_NE(m.Tape().find("RRN 604211000001"), std::string::npos);
}

TEST_F(SimReceipts, TextReceiptsPrintLinesAndReportsPrintInsideThem) {
  EXPECT_EQ(m.Code(0x61, "482916;x;"), "000B");
  ASSERT_EQ(m.Code(0x60, "482916;"), "0000");
  EXPECT_EQ(m.Code(0x61, "482916;" + std::string(45, 'w') + ";"), "0000");  // wraps at the paper width
  EXPECT_EQ(m.Code(0x61, "482916;;"), "0000");
  EXPECT_EQ(m.Code(0x6F, "482916;50;0051A9D7BD12CD50A142E90B35000000;"), "0000");
  EXPECT_EQ(m.Code(0x65, "482916;0;"), "0000");
  const std::string tape = m.Tape();
  EXPECT_NE(tape.find(std::string(40, 'w') + "\nwwwww\n\n"), std::string::npos);
  EXPECT_NE(tape.find("EAN-13 4006381333931 h50"), std::string::npos);
}

// The turnover the daily reports print is what the customers paid: subtotal discounts count,
// and a return receipt's own subtotal discount counts in the return turnover.
TEST_F(SimReceipts, DailyReportsCountSubtotalDiscountsInTheTurnover) {
  struct Receipt {
    const char* type;
    std::vector<std::string> sales;
    std::string subtotal;  // command and data of the subtotal adjustment
    const char* total;
  };
  const std::vector<Receipt> day = {
      {"0", {"482916;1;2.000;12.50;"}, "73:482916;-24.00;", "19.00;"},
      {"0", {"482916;1;14.000;12.50;", "482916;2;1.000;3.00;"}, "74:482916;-1.32;", "176.68;"},
      {"1", {"482916;1;1.000;12.50;"}, "73:482916;-10.00;", "11.25;"},
  };
  for (const Receipt& r : day) {
    ASSERT_EQ(m.Code(0x63, std::string("482916;1;1;") + r.type + ";"), "0000");
    for (const std::string& sale : r.sales) ASSERT_EQ(m.Code(0x64, sale), "0000");
    ASSERT_EQ(m.Code(r.subtotal[1] == '3' ? 0x73 : 0x74, r.subtotal.substr(3)), "0000");
    ASSERT_EQ(Total(), r.total);
    ASSERT_EQ(m.Code(0x67, "482916;0;200.00;"), "0000");
    ASSERT_EQ(m.Code(0x65, "482916;0;"), "0000");
  }
  const ShiftTotals& t = m.s().shift.totals;
  EXPECT_EQ(t.sales[0] + t.sales[1], 19568);
  EXPECT_EQ(t.sales[1], 298);  // 3.00 less its share of the 1.32 discount
  EXPECT_EQ(t.returns[0], 1125);
  ASSERT_EQ(m.Code(0xA1, "482916;1;"), "0000");  // X report
  const std::string tape = m.Tape();
  const std::string x = tape.substr(tape.rfind("X-ЗВІТ"));
  const auto line = [&](const char* heading) {
    const auto at = x.find(heading);
    return at == std::string::npos ? std::string() : x.substr(at, x.find('\n', at) - at);
  };
  EXPECT_NE(line("ОБІГ ПРОДАЖУ").find("195.68"), std::string::npos) << x;
  EXPECT_NE(line("ОБІГ ПОВЕРНЕННЯ").find("11.25"), std::string::npos) << x;
  ASSERT_EQ(m.Code(0xA1, "482916;0;"), "0000");  // Z report: the same turnover goes to the fiscal memory
  EXPECT_NE(m.Tape().rfind("195.68"), std::string::npos);
}

}  // namespace
}  // namespace kovrix::sim
