#include <gtest/gtest.h>

#include "sim_fixture.h"

namespace kovrix::sim {
namespace {

using test::Model;

TEST(SimRegistrator, PasswordsAreCheckedByTheCommandsClass) {
  Model m;
  ASSERT_EQ(m.Code(0x2B, "482916;111111;222222;333333;"), "0000");
  ASSERT_EQ(m.Code(0x2F, "111111;1;444444;" + Cp("Олена") + ";"), "0000");
  struct Case {
    int command;
    std::string data;
    const char* code;
  } cases[] = {
      {0x22, "222222;0;X;0;", "0006"}, {0x22, "111111;0;X;0;", "0000"}, {0x22, "333333;0;X;0;", "0000"},
      {0xA1, "111111;1;", "0006"},     {0xA1, "222222;1;", "0000"},     {0x2B, "111111;1;2;3;", "0006"},
      {0x21, "444444;", "0000"},       {0x21, "555555;", "0006"},       {0x80, "", "0000"},
      {0x63, "111111;1;1;0;", "0006"}, {0x63, "444444;1;1;0;", "0000"}, {0x21, "", "0202"},
      {0x99, "444444;", "0002"},       {0x6A, "444444;", "0102"},
  };
  for (const Case& c : cases) EXPECT_EQ(m.Code(c.command, c.data), c.code) << std::hex << c.command << " " << c.data;
}

// Every command meets malformed data texts; none may crash the model or leave it unable to answer.
TEST(SimRegistrator, MalformedDataNeverBreaksTheModel) {
  Model m;
  const std::string fields[] = {"", "-1", "99999999999999999999", "abc", "1.999", std::string(250, '9'),
                                "FFFFFFFF", "-9223372036854775808", "0", "1"};
  for (int command = 0; command < 256; ++command) {
    for (const std::string& f : fields) {
      for (int n = 0; n < 8; ++n) {
        std::string data = "482916;";
        for (int i = 0; i < n; ++i) data += f + ";";
        m.Run(command, data);
      }
    }
  }
  EXPECT_EQ(m.Code(0x21, "482916;"), "0000");
}

TEST(SimRegistrator, DiagnosticInformationDescribesTheModel) {
  Model m(FactoryState("Veltra KR-12", "2.02"));
  const Args f(m.Run(0x80, "482916;").data);
  EXPECT_EQ(f.text(1), "Veltra KR-12");
  EXPECT_EQ(f.text(2), "2.02");
  EXPECT_EQ(f.text(3), "KR120000001");
  EXPECT_EQ(f.text(6), "32");
  EXPECT_EQ(f.integer(7, 0, 1 << 20) * 8 / f.integer(8, 1, 1 << 20), 100);  // logo rows
  EXPECT_EQ(f.text(11), "10");
  EXPECT_EQ(m.reg.device().Status()[4], 0x21);  // serial set, personalised
}

// Each setting written is read back in the reply layout the screens read.
TEST(SimRegistrator, SettingsReadBackInTheirWireFormats) {
  Model m;
  struct Case {
    int setCommand;
    std::string set;
    int getCommand;
    std::string get;
    std::string reply;
  } cases[] = {
      {0x20, "482916;311299;2359;", 0x21, "482916;", "311299;2359;"},
      {0x22, "482916;12;" + Cp("Реклама") + ";1;", 0x23, "482916;12;", Cp("Реклама") + ";1;"},
      {0x27, "482916;9600;3;FF0B;20;1A;0F;24;", 0x28, "482916;", "9600;3;FF0B;20;1A;0F;24;"},
      {0x27, "482916;0;0;8000;00;00;00;05;", 0x28, "482916;", "9600;0;8000;00;00;00;05;"},
      {0x2D, "482916;5;80;" + Cp("БОНУС") + ";", 0x2E, "482916;5;", "80;" + Cp("БОНУС") + ";"},
      {0x2F, "482916;3;123;Ivan;", 0x30, "482916;3;", "0;Ivan;"},
      {0x43, "482916;1234567890;", 0x44, "482916;", "1234567890;"},
      {0x45, "482916;;1234567890123;", 0x46, "482916;", ";1234567890123;"},
      {0x47, "482916;3;02;7.00;" + Cp("АКЦИЗ") + ";0;", 0x48, "482916;3;", "2;7.00;" + Cp("АКЦИЗ") + ";0;"},
      {0x49, "482916;3;", 0x4A, "482916;", "3;"},
      {0x4B, "482916;-1;", 0x4C, "482916;", "-1;"},
      {0xFB, "482916;0;0A000001;FFFFFF00;0A0000FE;0A000002;8813;3C00;1E00;", 0xFA, "482916;",
       "0;0A000001;FFFFFF00;0A0000FE;0A000002;8813;3C00;1E00;"},
      {0x88, "482916;1;2;", 0x89, "482916;1;", "2;"},
      {0x35, ";654321;010725;14;12;", 0x36, "482916;", "010725;14;12;"},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(m.Code(c.setCommand, c.set), "0000") << c.set;
    const Reply r = m.Run(c.getCommand, c.get);
    EXPECT_EQ(r.error.WireText(), "0000") << c.get;
    EXPECT_EQ(r.data, c.reply) << std::hex << c.getCommand;
  }
  EXPECT_TRUE(m.reg.device().Status()[4] & 0x10);  // ID_DEV set
}

TEST(SimRegistrator, SettingsOutsideTheirRangesAreRefusedByField) {
  Model m;
  struct Case {
    int command;
    std::string data;
    const char* code;
  } cases[] = {
      {0x20, "482916;320124;1200;", "0C05"},   {0x20, "482916;010124;2460;", "0D05"},
      {0x22, "482916;21;x;0;", "0204"},        {0x22, "482916;0;" + std::string(21, 'x') + ";1;", "0304"},
      {0x23, "482916;-1;", "0204"},            {0x27, "482916;14400;0;0000;00;00;00;20;", "0204"},
      {0x27, "482916;0;5;0000;00;00;00;20;", "0304"}, {0x27, "482916;0;0;000;00;00;00;20;", "0403"},
      {0x29, "482916;0;00FF;", "0303"},        {0x31, "482916;385;10;", "0204"},
      {0x2B, "482916;12a;1;1;", "0203"},       {0x2B, "482916;1234567;1;1;", "0204"},
      {0x43, "482916;12345;", "0204"},         {0x43, "482916;12345x7890;", "0203"},
      {0x47, "482916;1;08;1.00;N;-1;", "0304"}, {0x47, "482916;1;01;1.00;N;1;", "0604"},
      {0x47, "482916;5;01;1.00;N;-1;", "0204"}, {0x4B, "482916;4294967295;", "0204"},
      {0x88, "482916;0;5;", "0204"},           {0x88, "482916;1;4;", "0304"},
      {0x89, "482916;4;", "0204"},             {0xFB, "482916;2;0A000001;FFFFFF00;0A0000FE;0A000002;8813;3C00;1E00;", "0203"},
      {0xFB, "482916;0;0A0001;FFFFFF00;0A0000FE;0A000002;8813;3C00;1E00;", "0303"},
      {0xFB, "482916;0;0A000001;FFFFFF00;0A0000FE;0A000002;8813;A105;1E00;", "0804"},
      {0x35, "999999;1;010725;14;12;", "0006"}, {0x35, ";1;010725;14;20;", "0504"},
      {0x24, "482916;7;N;1.00;2;1;", "050A"},  {0x24, "482916;0;N;1.00;0;1;", "0204"},
  };
  for (const Case& c : cases) EXPECT_EQ(m.Code(c.command, c.data), c.code) << std::hex << c.command << " " << c.data;
}

TEST(SimRegistrator, TheShiftLocksFiscalSettingsAndTheClockWhileOpen) {
  Model m;
  ASSERT_EQ(m.Code(0x6E, "482916;1;5.00;"), "0000");  // opens the shift
  EXPECT_EQ(m.Code(0x47, "482916;0;01;20.00;A;-1;"), "0107");
  EXPECT_EQ(m.Code(0x49, "482916;2;"), "0107");
  EXPECT_EQ(m.Code(0x2D, "482916;1;03;X;"), "0107");
  EXPECT_EQ(m.Code(0x3B, "482916;"), "0107");
  EXPECT_EQ(m.Code(0x20, "482916;160624;0900;"), "0405");  // another day
  EXPECT_EQ(m.Code(0x20, "482916;150624;0959;"), "0E05");  // backwards
  EXPECT_EQ(m.Code(0x20, "482916;150624;1130;"), "0000");
  EXPECT_EQ(m.Run(0xA0, "482916;").data, "1;1;0;0;0;1;0;2046;150624;1000;10000;3000;");
  m.wall += 25 * 3600;  // the shift has run for more than a day
  EXPECT_TRUE(m.reg.device().Status()[5] & 0x40);
  EXPECT_EQ(m.Code(0x63, "482916;1;1;0;"), "0905");
  EXPECT_EQ(m.Code(0xA1, "482916;0;"), "0000");
  EXPECT_EQ(m.Code(0x63, "482916;1;1;0;"), "0000");
}

TEST(SimRegistrator, ZReportsCountCloseTheShiftAndFeedPeriodicReports) {
  Model m;
  m.Run(0x24, "482916;1;A;2.00;0;1;");
  for (int day = 0; day < 3; ++day) {
    ASSERT_EQ(m.Code(0x63, "482916;1;1;0;"), "0000");
    m.Run(0x64, "482916;1;1.000;2.00;");
    m.Run(0x67, "482916;0;2.00;");
    ASSERT_EQ(m.Code(0x65, "482916;0;"), "0000");
    ASSERT_EQ(m.Code(0xA1, "482916;0;"), "0000");
    m.wall += 24 * 3600;
  }
  EXPECT_EQ(m.s().zNumber, 3);
  EXPECT_FALSE(m.reg.device().Status()[5] & 0x10);
  EXPECT_EQ(m.s().articles[0].soldQuantity, 0);
  EXPECT_EQ(m.Code(0xA3, "482916;1;3;1;"), "000B");  // printed inside a non-fiscal receipt
  ASSERT_EQ(m.Code(0x60, "482916;"), "0000");
  EXPECT_EQ(m.Code(0xA3, "482916;2;3;1;"), "0000");
  EXPECT_EQ(m.Code(0xA2, "482916;150624;160624;0;"), "0000");
  EXPECT_EQ(m.Code(0xA3, "482916;3;2;1;"), "0304");
  EXPECT_EQ(m.Code(0xA5, "482916;2;3;"), "0000");
  EXPECT_EQ(m.Code(0xA5, "482916;3;4;"), "070B");
  ASSERT_EQ(m.Code(0x65, "482916;0;"), "0000");
  const std::string tape = m.Tape();
  EXPECT_NE(tape.find("Z-ЗВІТ №3"), std::string::npos);
  EXPECT_NE(tape.find("Z2 16.06.24"), std::string::npos);
  EXPECT_EQ(tape.find("Z1 15.06.24"), std::string::npos);  // the second report asked for Z2..Z3
  EXPECT_NE(tape.find("КОПІЯ ЧЕКА №2"), std::string::npos);
  // The clock cannot go back before the last daily report.
  EXPECT_EQ(m.Code(0x20, "482916;150624;1000;"), "0305");
}

TEST(SimRegistrator, FiscalisationSealsTheSerialNumber) {
  Model m;
  EXPECT_EQ(m.Code(0x41, "482916;AB12345;"), "0000");
  EXPECT_EQ(m.Code(0x40, "482916;KR230000001;123456;"), "0204");  // not this registrator's number
  EXPECT_EQ(m.Code(0x40, "482916;AB12345;12345;"), "0304");
  EXPECT_EQ(m.Code(0x40, "482916;AB12345;123456;"), "0000");
  EXPECT_EQ(m.Code(0x40, "482916;AB12345;123456;"), "0007");
  EXPECT_EQ(m.Code(0x41, "482916;XY99999;"), "0007");
  EXPECT_EQ(m.Run(0x42, "482916;").data, "AB12345;");
  EXPECT_EQ(m.reg.device().Status()[4] & 0x03, 0x03);
  EXPECT_EQ(m.Run(0xA0, "482916;").data.substr(0, 12), "0;0;1;1;1;0;");
  EXPECT_EQ(m.Code(0xF0, "482916;"), "0009");
  ASSERT_EQ(m.Code(0x60, "482916;"), "0000");
  EXPECT_EQ(m.Code(0x84, "482916;1;"), "0000");
  EXPECT_NE(m.Tape().find("ФІСКАЛІЗОВАНО"), std::string::npos);
}

TEST(SimRegistrator, ModemReportsFollowTheModelsLayout) {
  Model full;
  full.Run(0x4B, "482916;4660;");
  full.Run(0x6E, "482916;1;1.00;");
  full.Run(0x63, "482916;1;0;2;");
  full.Run(0x65, "482916;0;");
  EXPECT_EQ(full.Run(0xEA, "482916;0;").data, "F8;150624;1000;150124;1030;");
  Model shortForm(FactoryState("Veltra KR-12", "3.01"));
  shortForm.Run(0x4B, "482916;4660;");
  EXPECT_EQ(shortForm.Run(0xEA, "482916;").data, "4660;1501241030;;;0;");
}

TEST(SimRegistrator, LogoLinesFillTheLogoBufferUpToItsSize) {
  Model m;
  const std::string line(48, 'F');
  EXPECT_EQ(m.Code(0x29, "482916;0;" + line + ";"), "0000");
  EXPECT_EQ(m.Code(0x29, "482916;1;" + line + ";"), "0000");
  EXPECT_EQ(m.Code(0x29, "482916;200;" + line + ";"), "0204");
  EXPECT_EQ(m.Code(0x31, "482916;96;4;"), "0000");   // 12 bytes x 4 rows fit in 48 bytes
  EXPECT_EQ(m.Code(0x31, "482916;96;5;"), "0304");
  EXPECT_EQ(m.Code(0x31, "482916;384;2;"), "0304");  // 96 bytes do not
  EXPECT_EQ(m.s().logoWidth, 96);
}

TEST(SimRegistrator, ReminderMessageComesFromTheCollectedLines) {
  Model m;
  EXPECT_EQ(m.Code(0x34, "482916;0;" + Cp("Викличте майстра") + ";"), "0000");
  EXPECT_EQ(m.Code(0x34, "482916;1;0441234567;"), "0000");
  EXPECT_EQ(m.Code(0x35, ";111111;150624;0;1F;"), "0000");
  EXPECT_EQ(m.s().reminder.message.size(), 2u);
  EXPECT_TRUE(m.reg.device().Status()[5] & 0x08);  // the reminder is due
  EXPECT_EQ(m.Code(0x35, ";222222;150624;0;00;"), "0006");
  ASSERT_EQ(m.Code(0x60, "482916;"), "0000");
  ASSERT_EQ(m.Code(0x84, "482916;3;"), "0000");
  EXPECT_NE(m.Tape().find("0441234567"), std::string::npos);
}

}  // namespace
}  // namespace kovrix::sim
