#pragma once
// The frame monitor (TForm28): sends a command typed as a hexadecimal code, a password and data,
// traces the frames that went out and came back, keeps a list of commands for re-use, repeats the
// last command, and runs script files with the script engine (run, continue, step, stop), keeping
// the five most recently opened script files in the initialisation file.

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>

#include "app/screen.h"
#include "monitor/monitor_host.h"
#include "monitor/script/runner.h"
#include "monitor/variables_window.h"

namespace kovrix {

class FrameMonitor : public Screen {
  Q_OBJECT

 public:
  explicit FrameMonitor(ScreenContext& context, QWidget* parent = nullptr);

  /// Puts a text into the code box and runs the box's change handling, even when the text is
  /// the one already there (a script line or a command list entry sets the box this way).
  void SetCodeText(const QString& text);
  /// Appends one line to the trace.
  void AppendTrace(const QString& line);

  /// Answers the command code the code box last decoded.
  int CommandCode() const { return commandCode_; }
  /// Answers the current script file (empty until one is chosen).
  const QString& ScriptFile() const { return scriptFile_; }
  /// Answers whether a script run, continue or step is under way.
  bool ScriptRunning() const { return runner_.Running(); }
  /// Answers the script engine (its run state keeps the variables after a run).
  const script::ScriptRunner& Runner() const { return runner_; }
  VariablesWindow& Variables() { return *variables_; }

  // Widgets, for the script host and the tests.
  QPlainTextEdit* Trace() const { return trace_; }
  QGroupBox* CommandGroup() const { return commandGroup_; }
  QLineEdit* CodeBox() const { return code_; }
  QLineEdit* PasswordBox() const { return password_; }
  QLineEdit* DataBox() const { return data_; }
  QPushButton* SendButton() const { return send_; }
  QPushButton* AddToListButton() const { return addToList_; }
  QListWidget* CommandList() const { return commandList_; }
  QLineEdit* ErrorBox() const { return error_; }
  QLineEdit* StatusBox() const { return status_; }
  QPushButton* StatusButton() const { return statusButton_; }
  QPushButton* RepeatButton() const { return repeat_; }
  QCheckBox* NoRepaintBox() const { return noRepaint_; }
  QCheckBox* QuietBox() const { return quiet_; }
  QComboBox* RecentFiles() const { return recentFiles_; }
  QPushButton* OpenFileButton() const { return openFile_; }
  QPushButton* RunButton() const { return run_; }
  QPushButton* StopButton() const { return stop_; }
  QPushButton* ContinueButton() const { return continue_; }
  QPushButton* StepButton() const { return step_; }
  QPushButton* VariablesButton() const { return variablesButton_; }
  QLineEdit* LineNumberBox() const { return lineNumber_; }
  QPushButton* ClearButton() const { return clear_; }
  QPushButton* ExitButton() const { return exit_; }

 public slots:
  /// Refuses to close while a script runs: the run owns the window until it ends.
  void reject() override;

 protected:
  void Activate() override;

 private:
  using RunOperation = script::RunEnd (script::ScriptRunner::*)(const std::string&);

  void BuildWidgets();
  void BuildLayout();
  void ConnectHandlers();

  // The command part.
  void CodeChanged();
  void PasswordChanged();
  void Send();
  void QuickSend();
  void Repeat();
  /// Sends the boxes' command and answers the reply (also the latest reply); answers null, having
  /// said that nothing was sent, when the data text does not fit one frame.
  const ReplyRecord* ExecuteBoxes();
  bool ReplyArrived(const ReplyRecord* reply);
  void ShowReplyBoxes(const ReplyRecord& reply, bool withStatus);
  std::string DataText() const;
  void AddToList();
  void LoadListEntry(QListWidgetItem* item);
  void OpenStatusBytes();
  void ClearTrace();

  // The script part.
  void LoadRecentFiles();
  void OpenScriptFile();
  void RecentFileChosen(int index);
  void ChooseScript(const QString& path);
  void RunScript(RunOperation operation);
  void SetRunning(bool running);

  QPlainTextEdit* trace_ = nullptr;
  QGroupBox* commandGroup_ = nullptr;
  QLineEdit* code_ = nullptr;
  QLineEdit* password_ = nullptr;
  QLineEdit* data_ = nullptr;
  QPushButton* send_ = nullptr;
  QPushButton* addToList_ = nullptr;
  QListWidget* commandList_ = nullptr;
  QLineEdit* error_ = nullptr;
  QLineEdit* status_ = nullptr;
  QPushButton* statusButton_ = nullptr;
  QPushButton* repeat_ = nullptr;
  QCheckBox* noRepaint_ = nullptr;
  QCheckBox* quiet_ = nullptr;
  QComboBox* recentFiles_ = nullptr;
  QPushButton* openFile_ = nullptr;
  QPushButton* run_ = nullptr;
  QPushButton* stop_ = nullptr;
  QPushButton* continue_ = nullptr;
  QPushButton* step_ = nullptr;
  QPushButton* variablesButton_ = nullptr;
  QLineEdit* lineNumber_ = nullptr;
  QPushButton* clear_ = nullptr;
  QPushButton* exit_ = nullptr;
  VariablesWindow* variables_ = nullptr;

  int commandCode_ = 0;
  QString scriptFile_;
  MonitorHost host_;
  script::ScriptRunner runner_{host_};
};

}  // namespace kovrix
