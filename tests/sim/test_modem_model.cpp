// The simulated modem: its state follows the documents not yet passed on and the time they wait.

#include <gtest/gtest.h>

#include "sim_fixture.h"

namespace kovrix::sim {
namespace {

using test::kStart;
using test::Model;

constexpr DeviceTime kHour = 3600;

// A closed receipt the modem has not passed on yet.
void CloseAReceipt(Model& m) {
  ASSERT_EQ(m.Code(0x6E, "482916;1;1.00;"), "0000");
  ASSERT_EQ(m.Code(0x63, "482916;1;0;2;"), "0000");
  ASSERT_EQ(m.Code(0x65, "482916;0;"), "0000");
}

TEST(SimModem, SeventyTwoHoursWithoutTransferBlockUntilTheDailyReportPassesTheDocumentsOn) {
  Model full;
  CloseAReceipt(full);
  EXPECT_EQ(full.Run(0xEA, "482916;0;").data.substr(0, 3), "F0;");
  full.wall = kStart + 72 * kHour + 60;
  EXPECT_EQ(full.Run(0xEA, "482916;0;").data, "F4;150624;1000;150124;1030;");
  ASSERT_EQ(full.Code(0xA1, "482916;0;"), "0000");
  EXPECT_EQ(full.Run(0xEA, "482916;0;").data, "70;;;150124;1030;");

  Model kr12(FactoryState("Veltra KR-12", "3.01"));
  CloseAReceipt(kr12);
  EXPECT_EQ(kr12.Run(0xEA, "482916;").data, "0;1501241030;1806241000;1506241000;1;");
  EXPECT_EQ(kr12.reg.device().Status()[5] & 0x03, 0x02);
  kr12.wall = kStart + 72 * kHour + 60;
  EXPECT_EQ(kr12.reg.device().Status()[5] & 0x03, 0x03);
}

TEST(SimModem, ThePrintedReportNeedsNoOpenDocument) {
  Model m;
  ASSERT_EQ(m.Code(0x60, "482916;"), "0000");
  EXPECT_NE(m.Code(0xEA, "482916;1;"), "0000");
  EXPECT_EQ(m.Code(0xEA, "482916;0;"), "0000");
  ASSERT_EQ(m.Code(0x62, "482916;"), "0000");
  EXPECT_EQ(m.Code(0xEA, "482916;1;"), "0000");
  EXPECT_NE(m.Tape().find("СТАН МОДЕМА"), std::string::npos);
}

}  // namespace
}  // namespace kovrix::sim
