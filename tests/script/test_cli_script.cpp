// kovrix-cli script: the same engine headless, over the process's link on a scripted line.

#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>
#include <fstream>
#include <memory>
#include <sstream>

#include "cli/cli.h"
#include "cli/options.h"
#include "cli/script_command.h"
#include "driver/codepage.h"
#include "driver/driver.h"
#include "driver/frame.h"
#include "support/scripted_line.h"

namespace kovrix::cli {
namespace {

// Forwards to a scripted line and raises SIGINT while the n-th frame is written, as a user
// pressing Ctrl-C while a command is under way.
class InterruptingLine final : public SerialLine {
 public:
  InterruptingLine(test::ScriptedLine::Shared& shared, int interruptAt) : line_(shared), at_(interruptAt) {}
  bool open(const std::string& port, int baud) override { return line_.open(port, baud); }
  bool close() override { return line_.close(); }
  bool isOpen() const override { return line_.isOpen(); }
  ReadResult readByte(std::uint8_t& byte, int ms) override { return line_.readByte(byte, ms); }
  bool write(std::string_view bytes) override {
    if (++writes_ == at_) std::raise(SIGINT);
    return line_.write(bytes);
  }
  void purge() override { line_.purge(); }
  void discard() override { line_.discard(); }
  void clearError() override { line_.clearError(); }

 private:
  test::ScriptedLine line_;
  int at_;
  int writes_ = 0;
};

class CliScriptTest : public ::testing::Test {
 protected:
  void SetUp() override { UseLine(0); }
  void TearDown() override { UseSerialLine(MakeSystemSerialLine()); }

  void UseLine(int interruptAt) {
    UseSerialLine(std::make_unique<InterruptingLine>(line, interruptAt));
    TheLink().SetTiming({/*silencePasses*/ 2, /*readTimeoutMs*/ 1, /*repeatWaitMs*/ 0, /*usbRepeatWaitMs*/ 0});
    TheLink().SetSleeper([](int) {});
  }
  void Answer(std::uint8_t seq, std::uint8_t code, const std::string& error, const std::string& data) {
    line.replies.push_back(BuildReplyFrame(seq, code, error, data, StatusBytes{}));
  }
  std::string Script(const std::string& utf8) {
    const std::string path = testing::TempDir() + "cli_script_" + std::to_string(getpid()) + "_" +
                             testing::UnitTest::GetInstance()->current_test_info()->name() + ".txt";
    std::ofstream(path, std::ios::binary) << Utf8ToCp1251(utf8);
    return path;
  }
  int Run(std::vector<std::string> args, const std::string& port = "ttyS9") {
    Options options;
    options.port = port;
    options.args = std::move(args);
    out.str("");
    err.str("");
    Context context{options, out, err};
    return RunScript(context);
  }

  test::ScriptedLine::Shared line;
  std::ostringstream out;
  std::ostringstream err;
};

const char kDeclarations[] = "%DeclareBeg v_\n%New x\n%DeclareEnd\n";

TEST_F(CliScriptTest, RunsToTheEndWithTraceOnOutAndMessagesOnErrInUtf8) {
  Answer(0x21, 0x21, "0000", Utf8ToCp1251("Чек;"));
  const std::string path = Script(std::string(kDeclarations) + "%RunCommand(33, 1)\n%Set v_x=%Ret0\n%Print v_x\n+Привет\n");
  EXPECT_EQ(Run({path}), kExitOk);
  EXPECT_EQ(line.openedPort, "ttyS9");
  ASSERT_EQ(line.written.size(), 1u);
  EXPECT_EQ(line.written[0].substr(4, 2), "1;");
  EXPECT_EQ(out.str(), ";v_x=Чек\nКомментарий:: Привет!!!\n");
  EXPECT_EQ(err.str(), "Конец файла!\n");
  EXPECT_FALSE(line.open);

  // --quiet hides the printed comment and the frames of command lines, not Print.
  Answer(0x22, 0x21, "0000", "");
  EXPECT_EQ(Run({"--quiet", Script(std::string(kDeclarations) + "+hidden\n21482916;\n%Print v_x\n")}), kExitOk);
  EXPECT_EQ(out.str(), ";v_x=\n");
}

TEST_F(CliScriptTest, ExitStatusTellsHowTheRunEnded) {
  struct Row {
    std::string script;
    std::vector<std::string> extraArgs;
    int status;
    std::string err;
  };
  const Row rows[] = {
      {std::string(kDeclarations) + "%Set y=\"1\"\n", {}, kExitDeviceError,
       "Ошибка - присвоение несуществующей переменной.\n"},
      {std::string(kDeclarations) + "%RunCommand(33)\n", {}, kExitNoReply, "Ошибка выполнения команды. Таймаут\n"},
      {"%DeclareBeg\n", {"extra"}, kExitUsage, "kovrix-cli: usage: script FILE [--quiet]\n"},
      {"%DeclareBeg\n", {"--loud"}, kExitUsage, "kovrix-cli: usage: script FILE [--quiet]\n"},
  };
  for (const Row& row : rows) {
    std::vector<std::string> args = {Script(row.script)};
    args.insert(args.end(), row.extraArgs.begin(), row.extraArgs.end());
    EXPECT_EQ(Run(args), row.status) << row.script;
    EXPECT_EQ(err.str(), row.err) << row.script;
  }
  EXPECT_EQ(Run({}), kExitUsage);
  line.openedPort.clear();
  EXPECT_EQ(Run({testing::TempDir() + "no_such_script.txt"}), kExitUsage);
  EXPECT_NE(err.str().find("cannot open"), std::string::npos);
  EXPECT_TRUE(line.openedPort.empty());  // the port was not even opened
  line.openFails = true;
  EXPECT_EQ(Run({Script("%DeclareBeg\n")}), kExitUsage);
  // Without a port the statements still run; a command then finds no reply.
  EXPECT_EQ(Run({Script(std::string(kDeclarations) + "%Print v_x\n")}, ""), kExitOk);
  EXPECT_EQ(out.str(), ";v_x=\n");
}

TEST_F(CliScriptTest, SigintStopsAfterTheCommandUnderWayAndRestoresTheHandler) {
  UseLine(1);
  Answer(0x21, 0x21, "0000", "");
  Answer(0x22, 0x22, "0000", "");
  const auto before = std::signal(SIGINT, SIG_DFL);
  EXPECT_EQ(Run({"--quiet", Script("21482916;\n22482916;\n")}), kExitInterrupted);
  EXPECT_EQ(line.written.size(), 1u);
  EXPECT_TRUE(err.str().empty());
  EXPECT_EQ(std::signal(SIGINT, before), SIG_DFL);
}

}  // namespace
}  // namespace kovrix::cli
