// Scripts run in the monitor window against the simulator: a whole run with its trace and the
// variables window, step and continue over command lines, stop during a run with the buttons that
// would start another one disabled, and script files that cannot be opened.
#include <QTimer>

#include "app/window_placement.h"
#include "monitor_fixture.h"

namespace kovrix {
namespace {

using Messages = std::vector<std::string>;
using Lines = std::vector<std::string>;

class MonitorScriptTest : public test::MonitorFixture {
 protected:
  static bool StartsWith(const std::string& text, const std::string& prefix) { return text.rfind(prefix, 0) == 0; }
  QString Cell(int row, int column) {
    QTableWidgetItem* item = monitor.Variables().Grid()->item(row, column);
    return item ? item->text() : QStringLiteral("<none>");
  }
};

TEST_F(MonitorScriptTest, RunTracesCommentsCommandsAndPrintsAndTheVariablesWindowShowsDeclaredValues) {
  ChooseScript(WriteScript("run.txt", {
                                          "%DeclareBeg v_",
                                          "%New x",
                                          "%DeclareEnd",
                                          "%Set v_x = \"7\"",
                                          "+Начало",
                                          "21482916;",
                                          "%Oper(v_x, 5, 0, v_x)",
                                          "%Print v_x",
                                      }));
  Click(monitor.RunButton());
  EXPECT_EQ(TakeSent(), (std::vector<test::Sent>{{0x21, "482916;"}}));
  const Lines trace = TakeTrace();
  ASSERT_EQ(trace.size(), 4u);
  EXPECT_EQ(trace[0], "Комментарий:: Начало!!!");
  EXPECT_TRUE(StartsWith(trace[1], "PC: ") && trace[1].back() == '\x03') << trace[1];
  EXPECT_TRUE(StartsWith(trace[2], "FP: ") && trace[2].back() == '\x03') << trace[2];
  EXPECT_EQ(trace[3], ";v_x=12");
  EXPECT_EQ(TakeMessages(), Messages{"Конец файла!"});
  EXPECT_EQ(monitor.LineNumberBox()->text(), "0");
  EXPECT_EQ(monitor.ErrorBox()->text(), "0000");
  EXPECT_EQ(monitor.CodeBox()->text(), "21");
  EXPECT_EQ(monitor.CommandCode(), 0x21);

  // The grid shows what New and Set showed; an operation's result is not shown there.
  QTableWidget* grid = monitor.Variables().Grid();
  ASSERT_EQ(grid->rowCount(), 1);
  EXPECT_EQ(Cell(0, 0), "1");
  EXPECT_EQ(Cell(0, 1), "v_x");
  EXPECT_EQ(Cell(0, 2), "7");
  ASSERT_EQ(monitor.Runner().State().variables.size(), 1u);
  EXPECT_EQ(monitor.Runner().State().variables[0].value, "12");

  EXPECT_FALSE(monitor.Variables().isVisible());
  Click(monitor.VariablesButton());
  EXPECT_TRUE(monitor.Variables().isVisible());
  EXPECT_FALSE(monitor.Variables().isModal());
  EXPECT_EQ(monitor.Variables().objectName(), "TForm40");
  EXPECT_EQ(grid->horizontalHeaderItem(1)->text(), "Переменные");
  EXPECT_EQ(grid->horizontalHeaderItem(2)->text(), "Значения");
  // At the monitor's right edge and top, as far as the screen allows: wholly on the screen.
  const QRect frame = FrameRect(monitor);
  const QRect beside = FrameRect(monitor.Variables());
  const QRect area = AvailableArea(monitor.Variables());
  EXPECT_TRUE(area.contains(beside));
  EXPECT_EQ(beside.left(), std::min(frame.right() + 1, area.right() + 1 - beside.width()));
  EXPECT_EQ(beside.top(), frame.top());
  EXPECT_EQ(grid->columnWidth(0), 40);
  EXPECT_EQ(grid->columnWidth(2), 94);
  Click(monitor.Variables().CloseButton());
  EXPECT_FALSE(monitor.Variables().isVisible());

  // Choosing a script file empties the variables.
  ChooseScript(WriteScript("other.txt", {";"}));
  EXPECT_EQ(grid->rowCount(), 0);
  EXPECT_TRUE(monitor.Runner().State().variables.empty());
}

TEST_F(MonitorScriptTest, StepAndContinueSendCommandLinesFromTheLineNumberBoxOn) {
  ChooseScript(WriteScript("steps.txt", {"; comment", "21482916;", "+note", "", "21482916;x"}));
  struct Step {
    const char* lineBox;
    std::vector<test::Sent> sent;
    std::size_t traceLines;
    Messages messages;
  } steps[] = {
      {"1", {}, 0, {}},
      {"2", {{0x21, "482916;"}}, 2, {}},
      {"3", {}, 1, {}},
      {"5", {{0x21, "482916;x"}}, 2, {}},  // the empty line is passed over
      {"0", {}, 0, {"Конец файла!"}},
  };
  for (const Step& s : steps) {
    Click(monitor.StepButton());
    SCOPED_TRACE(s.lineBox);
    EXPECT_EQ(monitor.LineNumberBox()->text(), s.lineBox);
    EXPECT_EQ(TakeSent(), s.sent);
    EXPECT_EQ(TakeTrace().size(), s.traceLines);
    EXPECT_EQ(TakeMessages(), s.messages);
  }

  monitor.LineNumberBox()->setText("1");
  Click(monitor.ContinueButton());
  EXPECT_EQ(TakeSent(), (std::vector<test::Sent>{{0x21, "482916;"}, {0x21, "482916;x"}}));
  const Lines trace = TakeTrace();
  ASSERT_EQ(trace.size(), 5u);
  EXPECT_EQ(trace[2], "Комментарий:: note!!!");
  EXPECT_EQ(TakeMessages(), Messages{"Конец файла!"});
  EXPECT_EQ(monitor.LineNumberBox()->text(), "0");
}

TEST_F(MonitorScriptTest, StopEndsTheRunAfterTheNextCommandWhileSecondRunsAndClosingAreRefused) {
  ChooseScript(WriteScript("loop.txt", {
                                           "%DeclareBeg v_",
                                           "%New i",
                                           "%DeclareEnd",
                                           "%Set v_i = \"0\"",
                                           "%While (v_i < 5)",
                                           "21482916;",
                                           "%Oper(v_i, 1, 0, v_i)",
                                           "%EndWhile",
                                       }));
  QPushButton* blocked[] = {monitor.RunButton(), monitor.ContinueButton(), monitor.StepButton(),
                            monitor.OpenFileButton(), monitor.ExitButton()};
  bool pressed = false;
  QTimer timer;
  timer.setInterval(0);
  QObject::connect(&timer, &QTimer::timeout, &monitor, [&] {
    if (pressed || !monitor.ScriptRunning()) return;
    pressed = true;
    for (QPushButton* button : blocked) EXPECT_FALSE(button->isEnabled()) << button->text().toStdString();
    EXPECT_FALSE(monitor.RecentFiles()->isEnabled());
    EXPECT_TRUE(monitor.StopButton()->isEnabled());
    monitor.reject();
    EXPECT_TRUE(monitor.isVisible());
    Click(monitor.StopButton());
    // Opening the window again in the middle of the run leaves the stop request standing.
    monitor.hide();
    Open(monitor);
  });
  timer.start();
  Click(monitor.RunButton());
  timer.stop();

  ASSERT_TRUE(pressed);
  EXPECT_EQ(TakeCommands(), std::vector<int>{0x21});
  EXPECT_TRUE(TakeMessages().empty());
  EXPECT_EQ(monitor.LineNumberBox()->text(), "6");
  EXPECT_FALSE(monitor.ScriptRunning());
  for (QPushButton* button : blocked) EXPECT_TRUE(button->isEnabled()) << button->text().toStdString();
  EXPECT_TRUE(monitor.RecentFiles()->isEnabled());

  // Without a stop the same file runs its five rounds to the end.
  Click(monitor.RunButton());
  EXPECT_EQ(TakeCommands(), std::vector<int>(5, 0x21));
  EXPECT_EQ(TakeMessages(), Messages{"Конец файла!"});
}

TEST_F(MonitorScriptTest, AScriptFileThatCannotBeOpenedIsReportedAndNothingRuns) {
  Click(monitor.RunButton());
  EXPECT_EQ(TakeMessages(), Messages{"Файл скрипта не выбран!"});

  const QString missing = QString::fromStdString(Path("missing.txt"));
  ChooseScript(missing);
  for (QPushButton* button : {monitor.RunButton(), monitor.ContinueButton(), monitor.StepButton()}) {
    Click(button);
    EXPECT_EQ(TakeMessages(), Messages{"Не удается открыть файл скрипта: " + missing.toStdString()});
    EXPECT_TRUE(button->isEnabled());
  }
  EXPECT_TRUE(TakeSent().empty());
  EXPECT_TRUE(TakeTrace().empty());
}

}  // namespace
}  // namespace kovrix
