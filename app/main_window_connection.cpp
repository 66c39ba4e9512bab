// The main window's connection: connect and disconnect, the model-dependent settings, the state
// button, the bank-terminal port and USB recovery.

#include <QFile>
#include <filesystem>

#include "app/main_window.h"
#include "app/main_window_port_texts.h"
#include "app/model_settings.h"
#include "ini/private_profile.h"
#include "app/screen_helpers.h"
#include "app/terminal_port.h"
#include "app/text_codec.h"
#include "driver/commands.h"
#include "driver/driver.h"
#include "driver/network_port.h"
#include "driver/serial_line.h"

namespace kovrix {
namespace {

const QColor kRed(255, 0, 0);
const QColor kBrightGreen(0, 255, 0);
const QColor kAmber(255, 192, 0);
const QColor kDarkGreen(0, 128, 0);
const QString kStateHeading = QStringLiteral("Проверка состояния регистратора:");
const QString kWaitingNote = QStringLiteral("   Порт открыт, ожидание ответа регистратора...");
const QString kNoAnswerNote = QStringLiteral("   Регистратор не отвечает: нажмите \"Отключить\", проверьте порт и скорость.");
constexpr int kNoAnswerCheckMs = 250;

}  // namespace

void MainWindow::ConnectToggle() {
  state_.connected = false;
  if (IndicatorColor() == kRed) {
    Connect();
  } else {
    Disconnect();
  }
}

void MainWindow::Connect() {
  state_.accessLevel = IniText("Priority", "Level", "medium", 20);
  state_.elJournal = IniText("Priority", "ElJournal", "", 20);
  state_.paymentTypeCount = 10;
  if (IniInt("LogFile", "Log", 0) != 0) SetLogFileName(IniText("LogFile", "LogName", "Kovrix.log", 300));
  SetRepeatCount(IniInt("Fiscal Printer", "Reply", 1));

  const QString port = portBox_->currentText();
  const int baud = speedList_->currentText().toInt();
  const std::string name = QFile::encodeName(port).toStdString();
  if (OpenComPort(name, baud) == -1) {
    ui_.ShowMessage(PortOpenFailureMessage(name));
    return;
  }
  // A device file that vanishes while open (an adapter pulled out) leaves reads failing and writes
  // lost; the messages of every screen then say the port is gone rather than the registrator silent.
  const std::string device = IsNetworkPortName(name) ? std::string() : PortPath(name);
  SetPortGoneCheck([device] {
    std::error_code error;
    return device.rfind('/', 0) == 0 && !std::filesystem::exists(device, error) && !error;
  });
  const bool usb = !usbPortName_.empty() && port == QString::fromStdString(usbPortName_);
  SetUsbLinkActive(usb);
  usbButton_->setVisible(usb);

  SetMenusEnabled(true);
  // Amber until the registrator answers: an open port alone does not mean that anything is there.
  SetIndicator(indicator_, kAmber);
  SetStatusText(kWaitingNote);
  connectButton_->setText(QStringLiteral("Отключить"));
  portBox_->setEnabled(false);
  speedList_->setEnabled(false);
  stateButton_->setEnabled(true);

  if (const int index = SpeedIndexOf(baud); index >= 0) state_.registratorParams.speedIndex = index;
  state_.versionOverride = IniInt("UkrVer", "Version", -1);
  state_.registratorParams.smallFontReceiptShown = false;
  state_.registratorParams.smallFontControlShown = false;

  int err = 0;
  state_.lastReply = GetDiagnosticInfo(kDefaultPassword, err);
  const ReplyRecord& reply = state_.LastReply();
  // The status bar and the indicator tell what came back before a message box asks for attention.
  if (reply.status & ST_NO_REPLY) {
    ShowNoAnswer();
  } else {
    SetIndicator(indicator_, kBrightGreen);
    SetStatusText(QString());
  }
  // The port stays open with the connected look, whatever the check says.
  if (!CheckReply(ui_, reply, kStateHeading)) return;

  WritePrivateProfileString("Communication", "Port", QFile::encodeName(port).toStdString(), state_.iniPath);
  WritePrivateProfileString("Communication", "Speed", speedList_->currentText().toStdString(), state_.iniPath);
  state_.paymentTypeCount = PaymentTypeCount(reply);
  state_.modelName = reply.field(1);
  ApplyModelSettings(reply);
  SetStatusText(ModelStatusLine(reply, true));
  state_.connected = true;
  state_.protocolVersion = ProtocolVersionFor(state_.versionOverride, reply.field(2), state_.protocolVersion);
}

void MainWindow::ApplyModelSettings(const ReplyRecord& reply) {
  const std::string& model = reply.field(1);
  ApplyPaperWidth(model, state_.paperWidth);
  modemModel_ = HasModemModelRules(model);
  statusBytes_->SetModemModelCaptions(modemModel_);
  ApplyRegistratorParamsRules(model, state_.registratorParams);
  secondLineModel_ = IsSecondModelLine(model);
  state_.secondModelLine = secondLineModel_;
  UpdateModelEntries();
}

void MainWindow::ShowNoAnswer() {
  // A port that USB recovery closed stays red, so that the connect button opens it again.
  if (IndicatorColor() != kRed) SetIndicator(indicator_, kAmber);
  SetStatusText(kNoAnswerNote);
  if (!noAnswerTimer_) {
    noAnswerTimer_ = new QTimer(this);
    noAnswerTimer_->setInterval(kNoAnswerCheckMs);
    connect(noAnswerTimer_, &QTimer::timeout, this, [this] { ClearNoAnswerOnReply(); });
  }
  noAnswerTimer_->start();
}

void MainWindow::ClearNoAnswerOnReply() {
  // Commands are sent from every screen, all through the one link: its latest record tells
  // whether the registrator has answered since. A disconnect (red) or a state check that got an
  // answer (green) has ended the watch already.
  if (IndicatorColor() == kAmber) {
    const ReplyRecord* latest = LatestRecord();
    if (!latest || (latest->status & ST_NO_REPLY)) return;
    SetIndicator(indicator_, kBrightGreen);
    // Another text in the status bar (a model line) stays.
    if (StatusText() == kNoAnswerNote) SetStatusText(QString());
  }
  noAnswerTimer_->stop();
}

void MainWindow::Disconnect() {
  // A port that another screen already closed (a failed reopen after a speed change) needs no
  // closing; only a port that stays open after a failed close keeps the connected look.
  if (TheLink().IsOpen() && !CloseComPort()) return;
  ShowDisconnected();
}

void MainWindow::ShowDisconnected() {
  SetMenusEnabled(false);
  SetIndicator(indicator_, kRed);
  connectButton_->setText(QStringLiteral("Подключить"));
  portBox_->setEnabled(true);
  speedList_->setEnabled(true);
  stateButton_->setEnabled(false);
  SetStatusText(QString());
}

void MainWindow::CheckRegistratorState() {
  int err = 0;
  state_.lastReply = GetDiagnosticInfo(kDefaultPassword, err);
  const ReplyRecord& reply = state_.LastReply();
  if (!CheckReply(ui_, reply, kStateHeading) && (reply.status & ST_NO_REPLY)) {
    ShowNoAnswer();
    return;
  }
  SetIndicator(indicator_, kBrightGreen);  // the registrator has answered
  state_.paymentTypeCount = PaymentTypeCount(reply);
  SetStatusText(ModelStatusLine(reply, false));
  OpenStatusBytes();
  state_.connected = true;
}

void MainWindow::ConnectTerminalPort() {
  if (TerminalIndicatorColor() == kRed) {
    const int baud = ToInt(terminalSpeedBox_->currentText());  // a bad rate ends here, nothing prepared
    PrepareTerminalPort(state_.terminal, QFile::encodeName(terminalPortBox_->currentText()).toStdString(), baud);
    state_.terminal.prepared = true;
    SetIndicator(terminalIndicator_, kDarkGreen);
    terminalButton_->setText(QStringLiteral("Отключить"));
    terminalPortBox_->setEnabled(false);
    terminalSpeedBox_->setEnabled(false);
  } else {
    state_.terminal.prepared = false;
    SetIndicator(terminalIndicator_, kRed);
    terminalButton_->setText(QStringLiteral("Подключить"));
    terminalPortBox_->setEnabled(true);
    terminalSpeedBox_->setEnabled(true);
  }
}

void MainWindow::BindFiscalParameterScreens(std::function<void()> standard, std::function<void()> extendedTax) {
  BindMenuEntry(EntryMadeBy(&MainWindow::OpenFiscalParameters),
                FiscalParametersChoice(std::move(standard), std::move(extendedTax)));
}

std::function<void()> MainWindow::FiscalParametersChoice(std::function<void()> standard,
                                                         std::function<void()> extendedTax) {
  return [this, standard = std::move(standard), extendedTax = std::move(extendedTax)] {
    switch (FiscalParametersScreenFor(IniInt("Fiscal Printer", "ExtendedTax", 0), state_.HighAccess())) {
      case FiscalParametersScreen::Standard: standard(); break;
      case FiscalParametersScreen::ExtendedTax: extendedTax(); break;
      case FiscalParametersScreen::IniError: ui_.ShowMessage(QStringLiteral("Ошибка в ini-файле. Параметр ExtendedTax!")); break;
    }
  };
}

void MainWindow::BindModemScreens(QDialog& shortReport, std::function<void()> general) {
  BindMenuEntry(EntryMadeBy(&MainWindow::OpenModemState), ModemStateChoice(shortReport, std::move(general)));
}

std::function<void()> MainWindow::ModemStateChoice(QDialog& shortReport, std::function<void()> general) {
  return [this, &shortReport, general = std::move(general)] {
    if (!HasModemModelRules(state_.modelName)) {
      general();
      return;
    }
    const QString base = QStringLiteral("Состояние модема для ");
    shortReport.setWindowTitle(base + FromCp1251(state_.modelName));
    ui_.ShowModal(shortReport);
    shortReport.setWindowTitle(base);
  };
}

void MainWindow::RecoverUsb() { usbPortName_ = RecoverUsbPort(registry_, *this); }

}  // namespace kovrix
