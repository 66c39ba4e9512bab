#pragma once
// A script host without a window: the monitor's boxes and check boxes kept in memory.
// The command-line program and the tests derive from it and supply the device and the output.

#include <string>

#include "monitor/script/monitor_boxes.h"
#include "monitor/script/script_host.h"

namespace kovrix::script {

class HeadlessHost : public ScriptHost {
 public:
  void setCodeBox(const std::string& text) override;
  void setPasswordBox(const std::string& text) override { boxes.SetPassword(text); }
  void setDataBox(const std::string& text) override { boxes.SetData(text); }
  std::string passwordBox() const override { return boxes.Password(); }
  std::string dataBox() const override { return boxes.Data(); }
  int commandCode() const override { return boxes.CommandCode(); }
  void setErrorBox(const std::string& text) override { boxes.errorBox = text; }
  void setStatusBox(const std::string& text) override { boxes.statusBox = text; }
  std::string lineNumberBox() const override { return boxes.lineNumberBox; }
  void setLineNumberBox(const std::string& text) override { boxes.lineNumberBox = text; }

  bool quiet() const override { return quietOutput; }
  // Nothing to repaint and no events to run without a window.
  bool noRepaint() const override { return true; }
  void repaint() override {}
  void processEvents() override {}

  bool stopRequested() const override { return stop_; }
  void clearStopRequest() override { stop_ = false; }
  /// Asks the running script to stop, as the "Стоп" button does.
  void requestStop() { stop_ = true; }

  /// Sleeps for real; tests override it.
  void sleepMs(int ms) override;
  /// Answers the current time.
  unsigned randomSeed() override;

  void variablesCleared() override {}
  void variableShown(int, const std::string&, const std::string&) override {}

  MonitorBoxes boxes;
  bool quietOutput = false;  // "Не выводить данные"

 private:
  bool stop_ = false;
};

}  // namespace kovrix::script
