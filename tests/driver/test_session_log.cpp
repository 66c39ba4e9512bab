#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "driver/codepage.h"
#include "driver/link.h"
#include "driver/session_log.h"
#include "support/scripted_line.h"

namespace kovrix {
namespace {

namespace fs = std::filesystem;

std::tm Fixed() {
  std::tm t{};
  t.tm_mday = 5;
  t.tm_mon = 2;
  t.tm_year = 126;
  t.tm_hour = 7;
  t.tm_min = 4;
  t.tm_sec = 9;
  return t;
}

std::string Slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

class LogDir : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("kovrix-log-" + std::to_string(getpid()) + "-" +
                                       ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir / "elsewhere");
    old = fs::current_path();
    fs::current_path(dir);
  }
  void TearDown() override {
    fs::current_path(old);
    fs::remove_all(dir);
  }
  fs::path dir, old;
};

TEST(SessionLogFormat, EntryLines) {
  SessionLog log;
  EXPECT_EQ(Cp1251ToUtf8(log.FormatEntry("", "x", Fixed())), ";Начало сеанса    5-03-2026  7:04:09 \r\n");
  EXPECT_EQ(Cp1251ToUtf8(log.FormatEntry("x", "", Fixed())), ";Конец Сеанса    5-03-2026  7:04:09 \r\n");
  EXPECT_EQ(log.FormatEntry("21", "21482916;", Fixed()), "; 5-03-2026  7:04:09  21\r\n21482916;\r\n");
}

TEST_F(LogDir, OffByDefaultAndFixedToTheFirstDirectory) {
  SessionLog log;
  log.WriteLog("", "x");
  EXPECT_TRUE(fs::is_empty(dir / "elsewhere"));
  EXPECT_FALSE(fs::exists(dir / "k.log"));

  log.SetLogFileName("k.log");
  log.WriteLog("", "x");
  fs::current_path(dir / "elsewhere");
  log.SetLogFileName("other.log");
  log.WriteLog("21", "21x");
  EXPECT_FALSE(fs::exists(dir / "elsewhere" / "k.log"));
  EXPECT_FALSE(fs::exists(dir / "elsewhere" / "other.log"));
  const std::string text = Slurp(dir / "k.log");
  EXPECT_NE(text.find("21x\r\n"), std::string::npos);

  log.SetLogFileName("");
  log.WriteLog("22", "22y");
  EXPECT_EQ(Slurp(dir / "k.log"), text);
}

TEST_F(LogDir, ExchangesAreLoggedByteForByteWithTheSynCount) {
  SessionLog log;
  log.SetLogFileName("s.log");
  log.SetClock(Fixed);
  test::ScriptedLine::Shared shared;
  Link link(std::make_unique<test::ScriptedLine>(shared), &log);
  link.SetTiming({2, 1, 0, 0});
  link.SetRepeatCount(0);
  ASSERT_EQ(link.OpenComPort("ttyS0", 9600), 0);

  link.ExecuteCommand(0x21, "482916;");  // no reply before any reply: empty text line
  const std::string reply = BuildReplyFrame(0x22, 0x20, "0000", "", {0, 0, 0, 0, 0, 0});
  shared.replies = {"\x16\x16" + reply};
  link.ExecuteCommand(0x20, "482916;101226;0930;");
  link.CloseComPort();

  const std::string expected = Utf8ToCp1251(";Начало сеанса    5-03-2026  7:04:09 \r\n") +
                               "; 5-03-2026  7:04:09  21\r\n21482916;\r\n"
                               "; 5-03-2026  7:04:09  0 SYN=0\r\n\r\n"
                               "; 5-03-2026  7:04:09  22\r\n20482916;101226;0930;\r\n"
                               "; 5-03-2026  7:04:09  22 SYN=2\r\n" +
                               reply + "\r\n" + Utf8ToCp1251(";Конец Сеанса    5-03-2026  7:04:09 \r\n");
  EXPECT_EQ(Slurp(dir / "s.log"), expected);
}

}  // namespace
}  // namespace kovrix
