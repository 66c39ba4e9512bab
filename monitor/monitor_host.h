#pragma once
// The script engine's host in the frame monitor window: commands go through the driver and
// become the latest reply, messages through the UI services, and the boxes, check boxes, trace,
// stop flag and variables window are the window's own. Texts cross here between cp1251 and Qt.

#include "app/connection_state.h"
#include "app/ui_services.h"
#include "monitor/script/script_host.h"

namespace kovrix {

class FrameMonitor;

class MonitorHost final : public script::ScriptHost {
 public:
  MonitorHost(FrameMonitor& monitor, ConnectionState& state, UiServices& ui)
      : monitor_(monitor), state_(state), ui_(ui) {}

  const ReplyRecord* execute(int code, const std::string& data) override;
  const ReplyRecord* lastReply() const override { return state_.lastReply; }

  void appendTrace(const std::string& line) override;
  void showMessage(const std::string& text) override;

  void setCodeBox(const std::string& text) override;
  void setPasswordBox(const std::string& text) override;
  void setDataBox(const std::string& text) override;
  std::string passwordBox() const override;
  std::string dataBox() const override;
  int commandCode() const override;
  void setErrorBox(const std::string& text) override;
  void setStatusBox(const std::string& text) override;
  std::string lineNumberBox() const override;
  void setLineNumberBox(const std::string& text) override;

  bool quiet() const override;
  bool noRepaint() const override;
  void repaint() override;
  void processEvents() override { ui_.ProcessEvents(); }

  bool stopRequested() const override { return stop_; }
  void clearStopRequest() override { stop_ = false; }
  /// "Стоп": the running script ends after its next successful command line.
  void requestStop() { stop_ = true; }

  /// Blocks the whole tool for ms milliseconds, events included, as a script delay does.
  void sleepMs(int ms) override;
  /// Answers the current time.
  unsigned randomSeed() override;

  void variablesCleared() override;
  void variableShown(int row, const std::string& name, const std::string& value) override;

 private:
  FrameMonitor& monitor_;
  ConnectionState& state_;
  UiServices& ui_;
  bool stop_ = false;
};

}  // namespace kovrix
