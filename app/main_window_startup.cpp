// The main window's start-up sequence: port lists, USB scan, the initialisation file and the
// preselection of port and speed.

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <clocale>

#include "app/main_window.h"
#include "ini/private_profile.h"
#include "driver/serial_line.h"

namespace kovrix {

void MainWindow::StartupSequence() {
  if (startupDone_) return;
  startupDone_ = true;

  state_.paperWidth.numberText = "40";
  state_.paperWidth.listShown = false;
  ++state_.paperWidth.setting;
  closeButton_->setEnabled(false);
  connectButton_->setEnabled(false);
  AboutEntry()->setEnabled(false);

  // "." is the decimal separator for the toolkit and for the driver's printf formatting alike.
  QLocale::setDefault(QLocale::c());
  std::setlocale(LC_NUMERIC, "C");

  ListPorts();
  usbPortName_ = ScanUsbPort(registry_, *this);
  ui_.Pause(1000);
  setWindowTitle(QStringLiteral("Kovrix"));
  terminalPortBox_->setCurrentIndex(0);

  if (state_.programDir.empty()) state_.programDir = QDir::currentPath().toStdString();
  state_.iniPath = state_.programDir + "/fpinit.ini";
  CreateIniFileIfMissing();

  terminalGroup_->setVisible(!IniText("Communication", "Terminal", "", 10).empty());
  PreselectPortAndSpeed();
  ApplyPresetPorts();
  FitSize();

  closeButton_->setEnabled(true);
  connectButton_->setEnabled(true);
  terminalSpeedBox_->setCurrentIndex(10);
  // A preset terminal (the simulated one) is prepared at once: a card payment then reaches it
  // without a press of the terminal button first.
  if (!presetTerminalPort_.isEmpty()) ConnectTerminalPort();
  AboutEntry()->setEnabled(true);
}

void MainWindow::ListPorts() {
  portBox_->clear();
  terminalPortBox_->clear();
  if (PortControl1.BeginEnumeratePorts() != 0) return;
  for (;;) {
    const std::string name = PortControl1.EnumeratePorts();
    if (name.empty() || name == "0") break;
    const QString port = QString::fromStdString(name);
    portBox_->addItem(port);
    terminalPortBox_->addItem(port);
    setWindowTitle(QStringLiteral("Проверка портов: ") + port);
    portBox_->setEditText(port);
    repaint();
    ui_.Pause(200);
  }
  PortControl1.EndEnumeratePorts();
}

void MainWindow::CreateIniFileIfMissing() {
  if (QFileInfo::exists(QString::fromStdString(state_.iniPath))) return;
  ui_.ShowMessage(QStringLiteral("Файл fpinit.ini отсутствует.\n Создание файла!"));
  const std::string& path = state_.iniPath;
  WritePrivateProfileString("CountryMode", "Country code", "0", path);
  WritePrivateProfileString("Fiscal Printer", "ExtendedTax", "1", path);
  WritePrivateProfileString("LogFile", "Log", "0", path);
  WritePrivateProfileString("LogFile", "LogName", "kovrix.log", path);
}

void MainWindow::PreselectPortAndSpeed() {
  const QString port = QString::fromStdString(IniText("Communication", "Port", "", kMaxPortPath + 1));
  const QString speed = QString::fromStdString(IniText("Communication", "Speed", "", 10));
  // Device names here differ in letter case (ttyS0, ttyUSB0): an exact match wins, and a match
  // without regard to case stands in for the upper-casing of port names elsewhere.
  int portIndex = port.isEmpty() ? -1 : portBox_->findText(port, Qt::MatchExactly | Qt::MatchCaseSensitive);
  if (portIndex < 0 && !port.isEmpty()) portIndex = portBox_->findText(port, Qt::MatchFixedString);
  // A port the enumeration does not list (a stable /dev/serial/by-id/ name, a pseudo-terminal)
  // is taken as written, so that connect opens it rather than the first port of the list.
  if (portIndex < 0 && !port.isEmpty()) {
    portBox_->addItem(port);
    portIndex = portBox_->count() - 1;
  }
  portBox_->setCurrentIndex(portIndex < 0 ? 0 : portIndex);
  const int speedIndex = speed.isEmpty() ? -1 : speedList_->findText(speed, Qt::MatchExactly | Qt::MatchCaseSensitive);
  speedList_->setCurrentIndex(speedIndex < 0 ? 6 : speedIndex);
}

void MainWindow::PresetPorts(const QString& registratorPort, const QString& terminalPort) {
  presetPort_ = registratorPort;
  presetTerminalPort_ = terminalPort;
}

void MainWindow::ApplyPresetPorts() {
  auto select = [](QComboBox* box, const QString& port) {
    if (port.isEmpty()) return;
    if (box->findText(port) < 0) box->addItem(port);
    box->setCurrentIndex(box->findText(port));
  };
  select(portBox_, presetPort_);
  select(terminalPortBox_, presetTerminalPort_);
  if (!presetTerminalPort_.isEmpty()) terminalGroup_->show();
}

std::string MainWindow::IniText(const char* section, const char* key, const char* fallback, std::size_t size) const {
  return GetPrivateProfileString(section, key, fallback, size, state_.iniPath);
}

int MainWindow::IniInt(const char* section, const char* key, int fallback) const {
  return GetPrivateProfileInt(section, key, fallback, state_.iniPath);
}

}  // namespace kovrix
