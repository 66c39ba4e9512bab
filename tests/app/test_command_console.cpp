#include <gtest/gtest.h>

#include <QTest>

#include "app/command_console.h"
#include "driver/driver.h"
#include "support/fake_shell.h"
#include "support/scripted_line.h"
#include "support/ui_recorder.h"

namespace kovrix {
namespace {

// The console on the process link, over a scripted line that answers each frame from a script.
class CommandConsoleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    UseSerialLine(std::make_unique<test::ScriptedLine>(line));
    TheLink().SetTiming({/*silencePasses*/ 2, /*readTimeoutMs*/ 1, /*repeatWaitMs*/ 1, /*usbRepeatWaitMs*/ 1});
    TheLink().SetSleeper([](int) {});
    SetRepeatCount(0);
    ASSERT_EQ(OpenComPort("ttyS0", 9600), 0);
    ui.ShowModal(console);
  }
  void TearDown() override { UseSerialLine(MakeSerialLine()); }

  void Run(const QString& code, const QString& commandLine) {
    QTest::keyClicks(console.CodeBox(), code);
    console.CommandLineBox()->setText(commandLine);
    QTest::mouseClick(console.ExecuteButton(), Qt::LeftButton);
    console.CodeBox()->clear();
  }
  static int CommandOf(const std::string& frame) { return static_cast<unsigned char>(frame.at(3)); }
  static std::string DataOf(const std::string& frame) { return frame.substr(4, frame.size() - 4 - 6); }

  test::ScriptedLine::Shared line;
  ConnectionState state;
  test::UiRecorder ui;
  test::FakeShell shell;
  ScreenContext context{state, ui, shell};
  CommandConsole console{context};
};

TEST_F(CommandConsoleTest, DecodesTheCodeAndSendsPasswordAndCommandLine) {
  // "482916;" and the command line fill one frame's 219 data bytes exactly, or one byte more.
  const std::string fullFrame = std::string(212, 'x');
  const std::string overFull = std::string(213, 'x');
  const std::string fullData = "482916;" + fullFrame;
  struct Case {
    const char* code;
    const char* commandLine;
    int command;  // -1: nothing sent
    const char* data;
    const char* message;
  } cases[] = {
      {"6f", "", 0x6F, "482916;", nullptr},
      {"6F", "1;", 0x6F, "482916;1;", nullptr},
      {"214", "", 0x21, "482916;", nullptr},  // the third character is ignored
      {"a0", "x;;y", 0xA0, "482916;x;;y", nullptr},
      {"G1", "", -1, nullptr, "Неверный код команды"},
      {"1g", "", -1, nullptr, "Неверный код команды"},
      {"6", "", -1, nullptr, "Код команды \"6\" неполный: нужны две шестнадцатеричные цифры (от 00 до FF)."},
      {"", "", -1, nullptr, "Код команды не введен: нужны две шестнадцатеричные цифры (от 00 до FF)."},
      {"21", fullFrame.c_str(), 0x21, fullData.c_str(), nullptr},
      {"21", overFull.c_str(), -1, nullptr, "Команда не отправлена: данные не помещаются в кадр."},
  };
  for (const auto& c : cases) {
    line.written.clear();
    ui.ClearRecord();
    Run(c.code, c.commandLine);
    if (c.command < 0) {
      EXPECT_TRUE(line.written.empty()) << c.code;
      EXPECT_EQ(ui.messages, (std::vector<QString>{QString::fromUtf8(c.message)})) << c.code;
      continue;
    }
    ASSERT_EQ(line.written.size(), 1u) << c.code;
    EXPECT_EQ(CommandOf(line.written[0]), c.command) << c.code;
    EXPECT_EQ(DataOf(line.written[0]), c.data) << c.code;
    EXPECT_TRUE(ui.messages.empty()) << c.code;
  }
  console.PasswordBox()->setText("000000");
  line.written.clear();
  Run("21", "");
  ASSERT_EQ(line.written.size(), 1u);
  EXPECT_EQ(DataOf(line.written[0]), "000000;");
}

TEST_F(CommandConsoleTest, ShowsTheReplyRecordAsItIsAndOpensTheStatusScreen) {
  line.replies.push_back(BuildReplyFrame(0x21, 0x80, "0006", "Veltra KR-23;3.01;", {0x01, 0, 0x19, 0, 0x10, 0x7F}));
  Run("80", "");
  EXPECT_EQ(console.ResultBox()->text(), "Veltra KR-23;3.01;");
  EXPECT_EQ(console.ErrorBox()->text(), "0006");
  EXPECT_EQ(console.StatusBox()->text(), "01 00 19 00 10 7F");
  EXPECT_TRUE(ui.messages.empty()) << "the console shows no message for an error code";
  EXPECT_EQ(state.lastReply, LatestRecord());
  ASSERT_TRUE(console.StatusButton()->isEnabled());
  QTest::mouseClick(console.StatusButton(), Qt::LeftButton);
  EXPECT_EQ(shell.statusBytesOpened, 1);

  // Enter in the command line box runs the command; without a reply the error box shows "----",
  // not the previous reply's error field that the record still holds, and the status bytes read zero.
  QTest::keyClicks(console.CodeBox(), "21");
  QTest::keyClick(console.CommandLineBox(), Qt::Key_Return);
  EXPECT_EQ(line.written.size(), 2u);
  EXPECT_EQ(LatestRecord()->errorText, "0006");
  EXPECT_EQ(console.ErrorBox()->text(), "----");
  EXPECT_EQ(console.StatusBox()->text(), "00 00 00 00 00 00");
  EXPECT_EQ(console.ResultBox()->text(), "");

  // Opening the console again empties the error and status boxes and disables "?".
  console.setWindowTitle("x");
  console.StatusBar()->clearMessage();
  console.OpenFromMenu();
  EXPECT_FALSE(console.StatusButton()->isEnabled());
  EXPECT_EQ(console.ErrorBox()->text(), "");
  EXPECT_EQ(console.StatusBox()->text(), "");
  EXPECT_EQ(console.windowTitle(), "Тест команд");
  EXPECT_EQ(console.StatusBar()->currentMessage(), "   Тест команд:  ");
}

TEST_F(CommandConsoleTest, ALongReplyIsShownFromItsStartWithTheWholeTextInTheTooltip) {
  const std::string reply = "Veltra KR-23;3.01;" + std::string(120, '7') + ";end";
  line.replies.push_back(BuildReplyFrame(0x21, 0x80, "0000", reply, {0, 0, 0, 0, 0, 0}));
  console.resize(480, console.height());
  Run("80", "");
  EXPECT_EQ(console.ResultBox()->text().toStdString(), reply);
  EXPECT_EQ(console.ResultBox()->cursorPosition(), 0) << "the model name stays in sight";
  EXPECT_EQ(console.ResultBox()->toolTip().remove(QLatin1Char('\n')).toStdString(), reply);

  Run("21", "");  // no reply: the box and its tooltip are emptied
  EXPECT_EQ(console.ResultBox()->text(), "");
  EXPECT_EQ(console.ResultBox()->toolTip(), "");
}

}  // namespace
}  // namespace kovrix
