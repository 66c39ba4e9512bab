#include "monitor/monitor_host.h"

#include <QThread>
#include <ctime>

#include "app/text_boxes.h"
#include "app/text_codec.h"
#include "driver/driver.h"
#include "monitor/frame_monitor.h"

namespace kovrix {

const ReplyRecord* MonitorHost::execute(int code, const std::string& data) {
  state_.lastReply = ExecuteCommand(code, data);
  return state_.lastReply;
}

void MonitorHost::appendTrace(const std::string& line) { monitor_.AppendTrace(FromCp1251(line)); }

void MonitorHost::showMessage(const std::string& text) { ui_.ShowMessage(FromCp1251(text)); }

void MonitorHost::setCodeBox(const std::string& text) { monitor_.SetCodeText(FromCp1251(text)); }

void MonitorHost::setPasswordBox(const std::string& text) { monitor_.PasswordBox()->setText(FromCp1251(text)); }

void MonitorHost::setDataBox(const std::string& text) { ShowBoxText(monitor_.DataBox(), FromCp1251(text)); }

std::string MonitorHost::passwordBox() const { return ToCp1251(monitor_.PasswordBox()->text()); }

std::string MonitorHost::dataBox() const { return ToCp1251(monitor_.DataBox()->text()); }

int MonitorHost::commandCode() const { return monitor_.CommandCode(); }

void MonitorHost::setErrorBox(const std::string& text) { monitor_.ErrorBox()->setText(FromCp1251(text)); }

void MonitorHost::setStatusBox(const std::string& text) { monitor_.StatusBox()->setText(FromCp1251(text)); }

std::string MonitorHost::lineNumberBox() const { return ToCp1251(monitor_.LineNumberBox()->text()); }

void MonitorHost::setLineNumberBox(const std::string& text) {
  QLineEdit* box = monitor_.LineNumberBox();
  box->setText(FromCp1251(text));
  box->repaint();
  ui_.ProcessEvents();
}

bool MonitorHost::quiet() const { return monitor_.QuietBox()->isChecked(); }

bool MonitorHost::noRepaint() const { return monitor_.NoRepaintBox()->isChecked(); }

void MonitorHost::repaint() { monitor_.repaint(); }

void MonitorHost::sleepMs(int ms) {
  if (ms > 0) QThread::msleep(static_cast<unsigned long>(ms));
}

unsigned MonitorHost::randomSeed() { return static_cast<unsigned>(std::time(nullptr)); }

void MonitorHost::variablesCleared() { monitor_.Variables().Clear(); }

void MonitorHost::variableShown(int row, const std::string& name, const std::string& value) {
  monitor_.Variables().ShowVariable(row, FromCp1251(name), FromCp1251(value));
}

}  // namespace kovrix
