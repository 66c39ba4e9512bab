// The monitor's command part against the simulator: code box decoding, the three send forms and
// their trace lines, the failures, the command list, and the recent-file list in the
// initialisation file.
#include <QRegularExpression>

#include "ini/private_profile.h"
#include "monitor_fixture.h"
#include "sim/model/error_code.h"

namespace kovrix {
namespace {

using Messages = std::vector<std::string>;
using Lines = std::vector<std::string>;

class FrameMonitorTest : public test::MonitorFixture {
 protected:
  void Type(QLineEdit* box, const QString& text) { box->setText(text); }
  void PressEnter(QLineEdit* box) { QTest::keyClick(box, Qt::Key_Return); }
  /// Answers the request frame from LEN on that the data text makes with a SEQ byte.
  static std::string RequestFromLen(char seq, int command, const std::string& data) {
    return BuildRequestFrame(static_cast<std::uint8_t>(seq), static_cast<std::uint8_t>(command), data).substr(1);
  }
};

TEST_F(FrameMonitorTest, ActivationEnablesTheCommandPartAndTheCaptionIsTheTool) {
  EXPECT_EQ(monitor.objectName(), "TForm28");
  EXPECT_EQ(monitor.windowTitle(), "Монитор для фискального регистратора + запуск скриптов");
  for (QWidget* w : std::initializer_list<QWidget*>{monitor.CommandGroup(), monitor.SendButton(),
                                                    monitor.AddToListButton(), monitor.OpenFileButton()}) {
    EXPECT_TRUE(w->isEnabled());
  }
  EXPECT_EQ(monitor.PasswordBox()->text(), "482916");
  EXPECT_EQ(monitor.LineNumberBox()->text(), "0");
}

TEST_F(FrameMonitorTest, CodeBoxDecodesTwoHexDigitsOnlyWithASixCharacterPassword) {
  // Steps in order: the password is typed first, then the code, as a user would.
  struct Step {
    const char* password;
    const char* code;
    bool sendEnabled;
    int commandCode;
    bool badCode;
  } steps[] = {
      {"482916", "2F", true, 0x2F, false},
      {"482916", "2", false, 0x2F, false},
      {"482916", "Z1", true, 0x00, true},
      {"482916", "3Z", true, 0x30, true},
      {"482916", "af", true, 0xAF, false},
      {"48291", "21", false, 0xAF, false},   // a short password leaves the code undecoded
      {"482916", "21", true, 0xAF, false},   // completing it enables with the old code
      {"482916", "22", true, 0x22, false},   // the next change decodes
      {"482916", "Ж1", true, 0x00, true},
  };
  for (const Step& s : steps) {
    Type(monitor.PasswordBox(), QString::fromUtf8(s.password));
    Type(monitor.CodeBox(), QString::fromUtf8(s.code));
    SCOPED_TRACE(std::string(s.password) + " " + s.code);
    EXPECT_EQ(monitor.SendButton()->isEnabled(), s.sendEnabled);
    EXPECT_EQ(monitor.CommandCode(), s.commandCode);
    EXPECT_EQ(TakeMessages(), s.badCode ? Messages{"Неверный код команды!"} : Messages{});
  }
  EXPECT_TRUE(TakeSent().empty());
}

TEST_F(FrameMonitorTest, SendQuickSendAndRepeatTraceTheirOwnFormsAndFillTheBoxes) {
  Type(monitor.CodeBox(), "21");
  Click(monitor.SendButton());
  EXPECT_EQ(TakeSent(), (std::vector<test::Sent>{{0x21, "482916;"}}));
  Lines trace = TakeTrace();
  ASSERT_EQ(trace.size(), 2u);
  EXPECT_EQ(trace[0], "PC: (21)482916;");
  // LEN, SEQ, CMD and the reply data with its error field; no status part.
  EXPECT_TRUE(QRegularExpression("^FP: ..!0000;\\d{6};\\d{4};$").match(QString::fromStdString(trace[1])).hasMatch())
      << trace[1];
  EXPECT_EQ(monitor.ErrorBox()->text(), "0000");
  const QRegularExpression statusForm("^([0-9A-F]{2} ){6}$");
  EXPECT_TRUE(statusForm.match(monitor.StatusBox()->text()).hasMatch()) << monitor.StatusBox()->text().toStdString();

  // Quick send: the whole frames from LEN, control characters included; the status box stays.
  // The password is short, which Enter does not check.
  Type(monitor.PasswordBox(), "48291");
  Type(monitor.DataBox(), "x");
  monitor.StatusBox()->setText("kept");
  PressEnter(monitor.DataBox());
  EXPECT_EQ(TakeSent(), (std::vector<test::Sent>{{0x21, "48291;x"}}));
  trace = TakeTrace();
  ASSERT_EQ(trace.size(), 2u);
  ASSERT_GE(trace[0].size(), 6u);
  EXPECT_EQ(trace[0], "PC: " + RequestFromLen(trace[0][5], 0x21, "48291;x"));
  EXPECT_EQ(trace[1].substr(0, 4), "FP: ");
  EXPECT_EQ(trace[1].back(), '\x03');
  EXPECT_NE(trace[1].find('\x04'), std::string::npos);
  EXPECT_EQ(monitor.StatusBox()->text(), "kept");

  // Repeat: the same frame with the same SEQ goes out again; the status box is filled.
  Click(monitor.RepeatButton());
  EXPECT_EQ(TakeSent(), (std::vector<test::Sent>{{0x21, "48291;x"}}));
  const Lines repeated = TakeTrace();
  EXPECT_EQ(repeated, trace);
  EXPECT_TRUE(statusForm.match(monitor.StatusBox()->text()).hasMatch());
}

TEST_F(FrameMonitorTest, QuietSendsFillTheBoxesButAddNoTraceLines) {
  monitor.QuietBox()->setChecked(true);
  Type(monitor.CodeBox(), "21");
  struct Case {
    QAbstractButton* button;  // null: Enter in the data box
    bool statusFilled;
  } cases[] = {{monitor.SendButton(), true}, {nullptr, false}, {monitor.RepeatButton(), true}};
  for (const Case& c : cases) {
    monitor.ErrorBox()->clear();
    monitor.StatusBox()->clear();
    c.button ? Click(c.button) : PressEnter(monitor.DataBox());
    EXPECT_EQ(TakeCommands(), std::vector<int>{0x21});
    EXPECT_EQ(monitor.ErrorBox()->text(), "0000");
    EXPECT_EQ(monitor.StatusBox()->text().isEmpty(), !c.statusFilled);
  }
  EXPECT_TRUE(TakeTrace().empty());
  EXPECT_TRUE(TakeMessages().empty());
}

TEST_F(FrameMonitorTest, SilenceAndBadChecksumAreReportedAndChangeNothing) {
  Type(monitor.CodeBox(), "21");
  Click(monitor.SendButton());  // something for Repeat to repeat
  TakeTrace();
  TakeSent();
  struct Case {
    sim::LineFault fault;
    const char* message;
  } faults[] = {{sim::LineFault::Drop, "Ошибка выполнения команды. Таймаут"},
                {sim::LineFault::BadChecksum, "Неверная контрольная сумма"}};
  for (const Case& f : faults) {
    for (QAbstractButton* button :
         std::initializer_list<QAbstractButton*>{monitor.SendButton(), nullptr, monitor.RepeatButton()}) {
      monitor.ErrorBox()->setText("e");
      monitor.StatusBox()->setText("s");
      server.faults().Queue(f.fault);
      button ? Click(button) : PressEnter(monitor.DataBox());
      EXPECT_EQ(TakeMessages(), Messages{f.message});
      EXPECT_TRUE(TakeTrace().empty());
      EXPECT_EQ(monitor.ErrorBox()->text(), "e");
      EXPECT_EQ(monitor.StatusBox()->text(), "s");
    }
  }
}

TEST_F(FrameMonitorTest, ADataTextBeyondOneFrameIsRefusedAsNotSentRatherThanAsATimeOut) {
  // "482916;" and the data box fill one frame's 219 data bytes exactly, or one byte more.
  Type(monitor.CodeBox(), "21");
  struct Case {
    QAbstractButton* button;  // null: Enter in the data box
    int length;
    bool sent;
  } cases[] = {{monitor.SendButton(), 212, true}, {monitor.SendButton(), 213, false}, {nullptr, 212, true},
               {nullptr, 213, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.length);
    monitor.ErrorBox()->setText("e");
    Type(monitor.DataBox(), QString(c.length, u'x'));
    c.button ? Click(c.button) : PressEnter(monitor.DataBox());
    EXPECT_EQ(TakeCommands(), c.sent ? std::vector<int>{0x21} : std::vector<int>{});
    EXPECT_EQ(TakeMessages(),
              c.sent ? Messages{} : Messages{"Команда не отправлена: данные не помещаются в кадр."});
    EXPECT_EQ(TakeTrace().size(), c.sent ? 2u : 0u);
    EXPECT_EQ(monitor.ErrorBox()->text() != "e", c.sent);
  }
}

TEST_F(FrameMonitorTest, AnErrorCodeInTheReplyShowsInTheTraceAndTheErrorBoxWithoutAMessage) {
  server.faults().FailCommand(0x21, sim::err::kPassword);
  Type(monitor.CodeBox(), "21");
  Click(monitor.SendButton());
  const Lines trace = TakeTrace();
  ASSERT_EQ(trace.size(), 2u);
  EXPECT_EQ(trace[1].substr(6), "!" + sim::err::kPassword.WireText() + ";");
  EXPECT_EQ(monitor.ErrorBox()->text().toStdString(), sim::err::kPassword.WireText());
  EXPECT_TRUE(TakeMessages().empty());
}

TEST_F(FrameMonitorTest, CommandListEntriesRoundTripAndRunTheCodeChangeEvenForTheSameCode) {
  Type(monitor.CodeBox(), "21");
  Type(monitor.DataBox(), "1;");
  Click(monitor.AddToListButton());
  ASSERT_EQ(monitor.CommandList()->count(), 1);
  EXPECT_EQ(monitor.CommandList()->item(0)->text(), "21->1;");

  // The code box comes to say 21 while its code stays 0x30: the password was short when 21 was typed.
  Type(monitor.CodeBox(), "30");
  Type(monitor.PasswordBox(), "48291");
  Type(monitor.CodeBox(), "21");
  Type(monitor.PasswordBox(), "482916");
  Type(monitor.DataBox(), "other");
  ASSERT_EQ(monitor.CommandCode(), 0x30);

  QListWidget* list = monitor.CommandList();
  const QRect rect = list->visualItemRect(list->item(0));
  // A double-click as the window system delivers it: press and release, then the second press.
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
  QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, rect.center());
  EXPECT_EQ(monitor.CodeBox()->text(), "21");
  EXPECT_EQ(monitor.DataBox()->text(), "1;");
  EXPECT_EQ(monitor.CommandCode(), 0x21);
  Click(monitor.SendButton());
  EXPECT_EQ(TakeSent(), (std::vector<test::Sent>{{0x21, "482916;1;"}}));
}

TEST_F(FrameMonitorTest, StatusClearAndExitButtons) {
  Click(monitor.StatusButton());
  EXPECT_EQ(shell.statusBytesOpened, 0);  // only while connected
  state.connected = true;
  Click(monitor.StatusButton());
  EXPECT_EQ(shell.statusBytesOpened, 1);

  monitor.AppendTrace("line");
  Click(monitor.ClearButton());
  EXPECT_TRUE(monitor.Trace()->toPlainText().isEmpty());
  Click(monitor.ExitButton());
  EXPECT_FALSE(monitor.isVisible());
}

class RecentFilesTest : public FrameMonitorTest {
 protected:
  void SetUp() override {
    FrameMonitorTest::SetUp();
    for (int i = 0; i < 5; ++i) files << WriteScript(std::string(1, static_cast<char>('a' + i)) + ".txt", {";"});
  }
  void WriteKeys(const QStringList& values) {
    for (int i = 0; i < values.size(); ++i) {
      WritePrivateProfileString("Files", "File" + std::to_string(i + 1), values[i].toStdString(), state.iniPath);
    }
  }
  QStringList Keys() {
    QStringList values;
    for (int i = 1; i <= 5; ++i) {
      values << QString::fromStdString(GetPrivateProfileString("Files", "File" + std::to_string(i), "?", 500, state.iniPath));
    }
    return values;
  }
  QStringList Entries() {
    QStringList entries;
    for (int i = 0; i < monitor.RecentFiles()->count(); ++i) entries << monitor.RecentFiles()->itemText(i);
    return entries;
  }
  void Reactivate() {
    monitor.hide();
    Open(monitor);
  }
  QStringList files;
};

TEST_F(RecentFilesTest, AnOpenedFileInTheListIsOnlySelectedAndANewOneDropsTheFifth) {
  WriteKeys(files);
  Reactivate();
  ASSERT_EQ(Entries(), files);
  EXPECT_EQ(monitor.RecentFiles()->currentIndex(), -1);

  monitor.LineNumberBox()->setText("7");
  ChooseScript(files[3]);
  ASSERT_EQ(ui.fileDialogs.size(), 1u);
  EXPECT_EQ(ui.fileDialogs[0], (test::UiRecorder::FileDialog{"Открыть файл", "Текстовые файлы (*.txt *.TXT);;Все (*)",
                                                               "txt"}));
  EXPECT_EQ(monitor.RecentFiles()->currentIndex(), 3);
  EXPECT_EQ(Entries(), files);
  EXPECT_EQ(Keys(), files);
  EXPECT_EQ(monitor.ScriptFile(), files[3]);
  EXPECT_EQ(monitor.LineNumberBox()->text(), "0");

  const QString fresh = WriteScript("new.txt", {";"});
  ChooseScript(fresh);
  const QStringList expected{fresh, files[0], files[1], files[2], files[3]};
  EXPECT_EQ(Entries(), expected);
  EXPECT_EQ(Keys(), expected);
  EXPECT_EQ(monitor.RecentFiles()->currentIndex(), 0);
  EXPECT_EQ(monitor.ScriptFile(), fresh);

  // A cancelled dialog changes nothing; choosing in the list makes the entry the script file.
  Click(monitor.OpenFileButton());
  EXPECT_EQ(monitor.ScriptFile(), fresh);
  monitor.LineNumberBox()->setText("7");
  QTest::keyClick(monitor.RecentFiles(), Qt::Key_Down);
  EXPECT_EQ(monitor.ScriptFile(), files[0]);
  EXPECT_EQ(monitor.LineNumberBox()->text(), "0");
}

TEST_F(RecentFilesTest, GapsInTheKeysCloseUpInTheListAndAreWrittenBackEmpty) {
  WriteKeys({files[0], "", files[2]});
  Reactivate();
  ASSERT_EQ(Entries(), (QStringList{files[0], files[2]}));
  ChooseScript(files[4]);
  EXPECT_EQ(Keys(), (QStringList{files[4], files[0], files[2], "", ""}));
  EXPECT_EQ(Entries(), (QStringList{files[4], files[0], files[2]}));

  // A path the keys would give back cut is used for runs but not remembered.
  const QString deep = QString::fromStdString(Path(std::string(480, 'd') + ".txt"));
  ChooseScript(deep);
  EXPECT_EQ(monitor.ScriptFile(), deep);
  EXPECT_EQ(monitor.RecentFiles()->currentIndex(), -1);
  EXPECT_EQ(Keys(), (QStringList{files[4], files[0], files[2], "", ""}));
}

}  // namespace
}  // namespace kovrix
