// Putting a registrator into service: the header on the printed documents, the serial number
// programmed once, fiscal data fixed by fiscalisation, and the restart that follows it.

#include <gtest/gtest.h>

#include <thread>

#include "driver/frame.h"
#include "sim/device_link.h"
#include "sim/model/state_file.h"
#include "sim_fixture.h"

namespace kovrix::sim {
namespace {

TEST(SimServiceSetup, HeaderLinesPrintWithTheirWidthsAtTheTopAndBottomOfReceipts) {
  test::Model m;
  ASSERT_EQ(m.Code(0x22, "482916;0;" + Cp("ШАПКА") + ";1;"), "0000");           // double width, centred
  ASSERT_EQ(m.Code(0x22, "482916;1;" + Cp("     ЛІВОРУЧ") + ";0;"), "0000");     // laid out by the host
  ASSERT_EQ(m.Code(0x22, "482916;11;" + Cp("ДО ЗУСТРІЧІ") + ";0;"), "0000");
  ASSERT_EQ(m.Code(0x22, "482916;0;" + std::string(21, 'x') + ";1;"), "0304");   // 21 double = 42 > 40
  ASSERT_EQ(m.Code(0x63, "482916;1;0;2;"), "0000");  // a service receipt
  ASSERT_EQ(m.Code(0x65, "482916;0;"), "0000");
  const std::string tape = m.Tape();
  EXPECT_EQ(tape.find(std::string(15, ' ') + "Ш А П К А\n"), 0u) << tape;
  EXPECT_NE(tape.find("\n     ЛІВОРУЧ\n"), std::string::npos) << tape;
  EXPECT_NE(tape.find("ДЯКУЄМО ЗА ПОКУПКУ!"), std::string::npos);
  EXPECT_LT(tape.find("Ш А П К А"), tape.find("ДО ЗУСТРІЧІ"));
  EXPECT_EQ(m.Run(0x23, "482916;0;").data, Cp("ШАПКА") + ";1;");
}

TEST(SimServiceSetup, TheSerialNumberIsProgrammedOnceAndFiscalisationFixesTheFiscalData) {
  test::Model m;
  // The free-resources reply, field 2, tells whether the serial number may still be written.
  const auto serialWritable = [&m] { return m.Run(0xA0, "482916;").data.substr(2, 2); };
  EXPECT_EQ(serialWritable(), "1;");
  EXPECT_EQ(m.Code(0x41, "482916;KR23A000777;"), "0000");
  EXPECT_EQ(serialWritable(), "0;");
  EXPECT_EQ(m.Code(0x41, "482916;KR23A000778;"), "0007");  // the second programming is refused
  EXPECT_EQ(m.Run(0x42, "482916;").data, "KR23A000777;");
  ASSERT_EQ(m.Code(0x43, "482916;1234567890;"), "0000");
  ASSERT_EQ(m.Code(0x45, "482916;123456789012;1234567890123;"), "0000");
  EXPECT_FALSE(m.reg.device().restartRequested);

  ASSERT_EQ(m.Code(0x40, "482916;KR23A000777;111111;"), "0000");
  EXPECT_TRUE(m.reg.device().restartRequested);
  EXPECT_EQ(m.reg.device().Status()[4] & 0x02, 0x02);
  struct Case {
    int command;
    const char* data;
    const char* code;
  } refused[] = {
      {0x43, "482916;0987654321;", "0007"},
      {0x45, "482916;;;", "0007"},
      {0x40, "482916;KR23A000777;111111;", "0007"},
  };
  for (const Case& c : refused) EXPECT_EQ(m.Code(c.command, c.data), c.code) << c.data;
  EXPECT_EQ(m.Run(0x44, "482916;").data, "1234567890;");
  EXPECT_EQ(m.Run(0x46, "482916;").data, "123456789012;1234567890123;");
  // Taxes stay programmable, each change recorded in the fiscal memory.
  EXPECT_EQ(m.Code(0x47, "482916;2;01;7.00;N;-1;"), "0000");

  // What fiscalisation did survives a restart of the simulator through its state file.
  DeviceState loaded = FactoryState();
  ASSERT_TRUE(LoadStateText(SaveStateText(m.s()), loaded));
  EXPECT_TRUE(loaded.fiscalised);
  EXPECT_TRUE(loaded.serialProgrammed);
  EXPECT_EQ(loaded.flash, m.s().flash);
}

TEST(SimServiceSetup, AfterARestartTheRegistratorIsOffTheLineWhileItBoots) {
  test::Model model;
  FaultPlan faults;
  Journal journal;
  DeviceLink link{model.reg, faults, journal};
  link.SetBootTime(std::chrono::milliseconds(150));
  EXPECT_EQ(link.Receive(BuildRequestFrame(0x21, 0xF3, "482916;")).size(), 1u);  // answered, then restarts
  EXPECT_TRUE(link.Receive(BuildRequestFrame(0x22, 0x80, "482916;")).empty());
  // Booting takes real time on the line: wait it out once.
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_EQ(link.Receive(BuildRequestFrame(0x23, 0x80, "482916;")).size(), 1u);
  std::vector<Outcome> outcomes;
  for (const JournalEntry& e : journal.Entries()) outcomes.push_back(e.outcome);
  EXPECT_EQ(outcomes, (std::vector<Outcome>{Outcome::Executed, Outcome::Offline, Outcome::Executed}));
}

}  // namespace
}  // namespace kovrix::sim
