// The soak's judgement: how the tape is read into executions, and how each command's report is
// set against them. A fault here would hide a double execution or a loss from the soak.

#include <gtest/gtest.h>

#include "sim/model/device.h"
#include "sim/soak.h"

namespace kovrix::soak {
namespace {

using sim::Cp;

// A tape as the device prints it: receipts with text lines, cash movements with their sum
// lines, and look-alikes that must not count as cash movements.
std::vector<std::string> SampleTape() {
  return {
      Cp("           НЕФІСКАЛЬНИЙ ЧЕК"),
      "SOAK 000001",
      "SOAK 000002",
      "SOAK 000002",
      Cp("           НЕФІСКАЛЬНИЙ ЧЕК"),
      Cp("           СЛУЖБОВЕ ВНЕСЕННЯ"),
      Cp("СУМА                             1000.03"),
      Cp("ГОТІВКА В КАСІ                   2000.03"),
      Cp("            СЛУЖБОВА ВИДАЧА"),
      Cp("СУМА                                0.04"),
      Cp("СЛУЖБОВЕ ВНЕСЕННЯ                   7.00"),  // a service receipt's line: no heading
      Cp("СУМА                                9.99"),  // a sale receipt's total
      Cp("           СЛУЖБОВЕ ВНЕСЕННЯ"),
      Cp("СУМА                             1000.03"),
  };
}

TEST(SoakTape, CountsTextLinesAndCashMovementsUnderTheirHeadings) {
  const auto marks = CountTapeMarks(SampleTape());
  EXPECT_EQ(marks.at("SOAK 000001"), 1);
  EXPECT_EQ(marks.at("SOAK 000002"), 2);
  EXPECT_EQ(marks.at("+1000.03"), 2);
  EXPECT_EQ(marks.at("-0.04"), 1);
  EXPECT_EQ(marks.count("+7.00"), 0u);
  EXPECT_EQ(marks.count("+9.99"), 0u);
  EXPECT_EQ(marks.count("-9.99"), 0u);
}

TEST(SoakTally, SortsEveryCommandByItsReportAndExecutions) {
  const std::vector<HostCommand> commands = {
      {Kind::TextLine, "SOAK 000001", true, ""},                      // once, done
      {Kind::TextLine, "SOAK 000002", true, "mute"},                  // twice
      {Kind::TextLine, "SOAK 000003", true, ""},                      // lost, reported done
      {Kind::TextLine, "SOAK 000004", false, "drop"},                 // clean failure
      {Kind::CashIn, TapeMark(Kind::CashIn, "1000.03"), false, "bad checksum"},
      {Kind::CashOut, TapeMark(Kind::CashOut, "0.04"), false, "mute+NAK"},
      {Kind::CashOut, TapeMark(Kind::CashOut, "0.05"), false, ""},     // refused by the device
  };
  auto marks = CountTapeMarks(SampleTape());
  marks["+1000.03"] = 1;
  const Tally t = Compare(commands, marks);
  EXPECT_EQ(t.commands, 7);
  EXPECT_EQ(t.executedOnce, 1);
  EXPECT_EQ(t.doubleExecutions, 1);
  EXPECT_EQ(t.lossesReportedOk, 1);
  EXPECT_EQ(t.cleanFailures, 2);
  EXPECT_EQ(t.executedReportedFailed, 2);
  EXPECT_EQ(t.executedFailedByFaults, (std::map<std::string, int>{{"bad checksum", 1}, {"mute+NAK", 1}}));
  EXPECT_EQ(t.offenders, (std::vector<std::string>{"executed 2 times: SOAK 000002 (after mute)", "lost, reported done: SOAK 000003"}));
}

TEST(SoakTally, ADoubleExecutionCountsWhateverTheHostWasTold) {
  const std::vector<HostCommand> commands = {{Kind::CashIn, "+1000.03", false, "bad checksum"}};
  const Tally t = Compare(commands, CountTapeMarks(SampleTape()));
  EXPECT_EQ(t.doubleExecutions, 1);
  EXPECT_EQ(t.executedReportedFailed, 0);
}

}  // namespace
}  // namespace kovrix::soak
