#include <gtest/gtest.h>

#include <memory>
#include <sstream>

#include "cli/cli.h"
#include "driver/codepage.h"
#include "driver/driver.h"
#include "driver/frame.h"
#include "support/scripted_line.h"

namespace kovrix::cli {
namespace {

std::string DataOf(const std::string& frame) { return frame.substr(4, frame.size() - 10); }

// The whole client on the process's link over a scripted line.
class RunCliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    UseSerialLine(std::make_unique<test::ScriptedLine>(line));
    TheLink().SetTiming({/*silencePasses*/ 2, /*readTimeoutMs*/ 1, /*repeatWaitMs*/ 0, /*usbRepeatWaitMs*/ 0});
    TheLink().SetSleeper([](int) {});
  }
  void TearDown() override { UseSerialLine(MakeSystemSerialLine()); }

  void Answer(const std::string& data, const std::string& error = "0000") {
    line.replies.push_back(BuildReplyFrame(0x21, 0x21, error, data, StatusBytes{0, 0, 0, 0, 0, 0x10}));
  }

  int Run(const std::vector<std::string>& args) {
    out.str("");
    err.str("");
    return RunCli(args, out, err);
  }

  test::ScriptedLine::Shared line;
  std::ostringstream out;
  std::ostringstream err;
};

TEST_F(RunCliTest, ExecSendsTheDataAsGivenInCp1251AndPrintsTheReply) {
  Answer(Utf8ToCp1251("Привет;"));
  EXPECT_EQ(Run({"-p", "ttyUSB0", "-b", "19200", "exec", "6a", "482916;Чек;"}), kExitOk);
  EXPECT_EQ(line.openedPort, "ttyUSB0");
  EXPECT_EQ(line.openedBaud, 19200);
  ASSERT_EQ(line.written.size(), 1u);
  EXPECT_EQ(static_cast<std::uint8_t>(line.written[0][3]), 0x6A);
  EXPECT_EQ(DataOf(line.written[0]), Utf8ToCp1251("482916;Чек;"));
  EXPECT_NE(out.str().find("field 1: Привет\n"), std::string::npos) << out.str();
  EXPECT_FALSE(line.open);  // closed at the end
  EXPECT_TRUE(err.str().empty());
}

TEST_F(RunCliTest, CallFormatsTheFunctionsDataAndPrintsJson) {
  Answer("1;");
  EXPECT_EQ(Run({"-p", "x", "--json", "call", "SellItemEx", "482916", "4820000000001", "12.5", "2"}), kExitOk);
  ASSERT_EQ(line.written.size(), 1u);
  EXPECT_EQ(DataOf(line.written[0]), "482916;4820000000001;2.000;12.50;");
  const std::string json = out.str();
  EXPECT_EQ(json.front(), '{');
  EXPECT_EQ(json.substr(json.size() - 2), "}\n");
  EXPECT_NE(json.find(R"("command":"64","error":"0000","ok":true)"), std::string::npos) << json;
  EXPECT_NE(json.find(R"("fields":["1"])"), std::string::npos) << json;
}

TEST_F(RunCliTest, ExitStatusFollowsTheOutcome) {
  Answer("", "0006");
  EXPECT_EQ(Run({"-p", "x", "exec", "21", "1;"}), kExitDeviceError);
  EXPECT_NE(out.str().find("error: 0006 Неверный пароль доступа!"), std::string::npos) << out.str();

  EXPECT_EQ(Run({"-p", "x", "--json", "exec", "21", "1;"}), kExitNoReply);  // silence
  EXPECT_NE(out.str().find(R"("noReply":true)"), std::string::npos);

  line.replies.push_back("\x15");  // NAK, and the one repeat of --repeats 1 gets a NAK too
  line.replies.push_back("\x15");
  EXPECT_EQ(Run({"-p", "x", "exec", "21", "1;"}), kExitNoReply);
}

TEST_F(RunCliTest, RepeatsOptionSetsTheLinksRepeatCount) {
  line.replies = {"\x15", "\x15", "\x15"};
  Run({"-p", "x", "--repeats", "2", "exec", "21", "1;"});
  EXPECT_EQ(line.written.size(), 3u);  // one send and two repeats
}

TEST_F(RunCliTest, RefusedArgumentsSendNothing) {
  EXPECT_EQ(Run({"-p", "x", "--json", "call", "SetHeaderFooter", "482916", "21", "text", "0"}), kExitUsage);
  EXPECT_EQ(out.str(), "{\"err\":-121}\n");
  EXPECT_NE(err.str().find("SetHeaderFooter refused its arguments: -121"), std::string::npos) << err.str();
  EXPECT_TRUE(line.written.empty());
}

// Usage, argument and port errors: exit 3, one line on stderr, nothing on stdout or the line.
TEST_F(RunCliTest, UsageAndPortErrors) {
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"-p", "x"},
      {"-p", "x", "frobnicate"},
      {"--bogus", "exec", "21"},
      {"exec", "21"},  // no port
      {"-p", "x", "exec"},
      {"-p", "x", "exec", "2", "1;"},
      {"-p", "x", "exec", "G1", "1;"},
      {"-p", "x", "exec", "21", "1;", "extra"},
      {"-p", "x", "exec", "21", std::string(220, 'a')},
      {"-p", "x", "call"},
      {"-p", "x", "call", "NoSuchFunction", "1"},
      {"-p", "x", "call", "GetTaxes", "482916"},
      {"-p", "x", "call", "GetTaxes", "482916", "one"},
      {"-p", "x", "call", "PrintTotal", "482916", "maybe"},
  };
  for (const auto& args : cases) {
    std::string joined;
    for (const auto& a : args) joined += a.substr(0, 20) + " ";
    SCOPED_TRACE(joined);
    EXPECT_EQ(Run(args), kExitUsage);
    EXPECT_TRUE(out.str().empty());
    const std::string message = err.str();
    ASSERT_FALSE(message.empty());
    EXPECT_EQ(message.find('\n'), message.size() - 1);  // exactly one line
  }
  EXPECT_TRUE(line.written.empty());

  line.openFails = true;
  EXPECT_EQ(Run({"-p", "ttyS9", "exec", "21", "1;"}), kExitUsage);
  EXPECT_EQ(err.str(), "kovrix-cli: cannot open port ttyS9\n");
  EXPECT_TRUE(line.written.empty());
}

TEST_F(RunCliTest, HelpAndFunctionListNeedNoPort) {
  EXPECT_EQ(Run({"--help"}), kExitOk);
  EXPECT_NE(out.str().find("exec CODE [DATA]"), std::string::npos);
  EXPECT_NE(out.str().find("call FUNCTION [ARG...]"), std::string::npos);
  EXPECT_EQ(Run({"call", "--list"}), kExitOk);
  EXPECT_NE(out.str().find("SellItemEx password:text code:int64 price:real quantity:real\n"), std::string::npos);
  EXPECT_FALSE(line.open);
}

}  // namespace
}  // namespace kovrix::cli
