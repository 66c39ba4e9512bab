#include "app/main_window.h"

#include <QCloseEvent>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QMenuBar>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>

#include "app/screen_helpers.h"
#include "app/text_codec.h"
#include "monitor/frame_monitor.h"
#include "screens/programming/date_time.h"
#include "screens/programming/decimal_point.h"
#include "screens/programming/device_profile_screen.h"
#include "screens/programming/fiscal_dialogs.h"
#include "screens/programming/fiscal_parameters.h"
#include "screens/programming/fiscalisation.h"
#include "screens/programming/header_text.h"
#include "screens/programming/serial_number.h"
#include "screens/programming/id_dev.h"
#include "screens/programming/comm_params.h"
#include "screens/programming/mode_passwords.h"
#include "screens/programming/operators.h"
#include "screens/programming/payment_types.h"
#include "screens/programming/registrator_params.h"
#include "screens/reports/additional_reports.h"
#include "screens/reports/daily_reports.h"
#include "screens/reports/free_resources.h"
#include "screens/reports/goods_sold_report.h"
#include "screens/reports/periodic_report.h"
#include "screens/reports/second_line_daily_reports.h"
#include "screens/sales/non_fiscal_receipt.h"
#include "screens/service/last_acquirer.h"
#include "screens/service/modem_state.h"
#include "screens/service/modem_state_short.h"
#include "screens/service/service_counters.h"
#include "screens/service/service_reminder.h"
#include "screens/sales/article_loading.h"
#include "screens/sales/cash_in_out.h"
#include "screens/sales/fiscal_receipt.h"
#include "screens/sales/receipt_copy.h"
#include "screens/sales/receipt_recovery.h"
#include "screens/service/firmware_reading.h"
#include "screens/service/fiscal_memory.h"
#include "screens/service/logo_programming.h"
#include "driver/driver.h"
#include "driver/line_speeds.h"

namespace kovrix {
namespace {

// The speed boxes' entries, from the one list of line speeds.
QStringList SpeedTexts() {
  QStringList texts;
  for (const int baud : kBaudRates) texts << QString::number(baud);
  return texts;
}

const QStringList kSpeeds = SpeedTexts();

const QColor kRed(255, 0, 0);

// The menu bar: each menu with its entries, in order.
struct MenuTable {
  const char* title;
  std::vector<const char*> entries;
};

const std::vector<MenuTable>& Menus() {
  static const std::vector<MenuTable> menus = {
      {"Продажа",
       {"Программировать товары", "Фискальный чек", "Печать нефискального чека", "Служебное внесение и изъятие денег",
        "Аннулирование и закрытие чека"}},
      {"Команды", {"Тест команд", "Запуск скрипта"}},
      {"Отчеты",
       {"Информация о свободных ресурсах и статусе", "Печать дневных отчетов RQM707", "Печать дневных отчетов",
        "Печать периодического отчета ", "Отчет по реализованным товарам", "Печать дополнительных дневных отчетов",
        "Копия фискальных чеков по сквозным номерам"}},
      {"Утилиты",
       {"Заголовок чека и рекламный текст", "Параметры операторов", "Параметры оплаты", "Пароли", "Загрузка логотипа",
        "Чтение внутреннего ПО", "Фискальная память", "Дата и время", "Техническое обслуживание",
        "Служебные счетчики"}},
      {"Фискальные параметры",
       {"Установить заводской номер", "Чтение и программирование", "Параметры регистратора", "Параметры связи",
        "Позиция десятичной точки", "Фискализация", "Установить и прочитать ID_DEV", "Состояние модема",
        "Последний сеанс связи с эквайером", "Профиль регистратора"}},
  };
  return menus;
}

QFrame* Indicator() {
  auto* frame = new QFrame;
  frame->setFixedSize(22, 22);
  return frame;
}

QComboBox* Combo(bool editable) {
  auto* box = new QComboBox;
  box->setEditable(editable);
  // A typed port or speed is used as typed; Enter must not add it to the list, which holds only
  // what the start-up sequence put there.
  box->setInsertPolicy(QComboBox::NoInsert);
  box->setMinimumWidth(140);
  return box;
}

}  // namespace

MainWindow::MainWindow(DeviceRegistry& registry, UiServices& ui, QWidget* parent)
    : QMainWindow(parent),
      registry_(registry),
      ui_(ui),
      context_{state_, ui_, *this},
      PortControl1(registry) {
  setObjectName(QStringLiteral("TForm1"));
  setWindowTitle(QStringLiteral("Kovrix"));
  // The component's design-time properties; the window uses it only to list the ports.
  PortControl1.Timeout.ReadTotalTimeoutConstant = 1000;
  PortControl1.DTR = TPortControl::DTR_HANDSHAKE;
  PortControl1.RTS = TPortControl::RTS_HANDSHAKE;
  PortControl1.DataBits = TPortControl::Bits8;
  PortControl1.BaudRate = TPortControl::S009600;
  BuildLayout();
  BuildMenu();
  CreateScreens();
  FitSize();
}

void MainWindow::FitSize() {
  // A fixed-size tool window, wide enough for the whole menu bar.
  setMinimumSize(0, 0);
  setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
  const QSize hint = sizeHint();
  setFixedSize(std::max(hint.width(), menuBar()->sizeHint().width() + 8), hint.height());
}

MainWindow::~MainWindow() {
  SetPortGoneCheck(nullptr);  // it answers for this window's port
}

void MainWindow::BuildLayout() {
  portBox_ = Combo(true);
  speedList_ = Combo(false);
  speedList_->addItems(kSpeeds);
  indicator_ = Indicator();
  SetIndicator(indicator_, kRed);
  connectButton_ = new QPushButton(QStringLiteral("Подключить"));
  stateButton_ = new QPushButton(QStringLiteral("Состояние регистратора"));
  stateButton_->setEnabled(false);
  usbButton_ = new QPushButton(QStringLiteral("Восстановить USB"));

  auto* link = new QGroupBox(QStringLiteral("Подключение к последовательному порту"));
  auto* linkForm = new QFormLayout;
  linkForm->addRow(QStringLiteral("Последовательный порт:"), portBox_);
  linkForm->addRow(QStringLiteral("Скорость порта (бод):"), speedList_);
  auto* linkButtons = new QHBoxLayout;
  linkButtons->addWidget(indicator_);
  linkButtons->addWidget(connectButton_);
  linkButtons->addWidget(stateButton_);
  linkButtons->addWidget(usbButton_);
  auto* linkColumn = new QVBoxLayout(link);
  linkColumn->addLayout(linkForm);
  linkColumn->addLayout(linkButtons);

  terminalPortBox_ = Combo(true);
  terminalSpeedBox_ = Combo(true);
  terminalSpeedBox_->addItems(kSpeeds);
  terminalSpeedBox_->setCurrentIndex(10);
  terminalIndicator_ = Indicator();
  SetIndicator(terminalIndicator_, kRed);
  terminalButton_ = new QPushButton(QStringLiteral("Подключить"));
  terminalGroup_ = new QGroupBox(QStringLiteral("Банковский терминал"));
  auto* terminalForm = new QFormLayout;
  terminalForm->addRow(QStringLiteral("Последовательный порт:"), terminalPortBox_);
  terminalForm->addRow(QStringLiteral("Скорость порта (бод):"), terminalSpeedBox_);
  auto* terminalButtons = new QHBoxLayout;
  terminalButtons->addWidget(terminalIndicator_);
  terminalButtons->addWidget(terminalButton_);
  terminalButtons->addStretch();
  auto* terminalColumn = new QVBoxLayout(terminalGroup_);
  terminalColumn->addLayout(terminalForm);
  terminalColumn->addLayout(terminalButtons);
  terminalGroup_->hide();

  closeButton_ = new QPushButton(QStringLiteral("Закрыть"));
  auto* bottom = new QHBoxLayout;
  bottom->addStretch();
  bottom->addWidget(closeButton_);

  auto* central = new QWidget;
  auto* column = new QVBoxLayout(central);
  column->addWidget(link);
  column->addWidget(terminalGroup_);
  column->addStretch();
  column->addLayout(bottom);
  setCentralWidget(central);

  statusLabel_ = new QLabel;
  statusBar()->addWidget(statusLabel_, 1);
  statusBar()->setSizeGripEnabled(false);

  auto guard = [this](void (MainWindow::*handler)()) { return [this, handler] { Guarded(ui_, [this, handler] { (this->*handler)(); }); }; };
  connect(connectButton_, &QPushButton::clicked, this, guard(&MainWindow::ConnectToggle));
  connect(stateButton_, &QPushButton::clicked, this, guard(&MainWindow::CheckRegistratorState));
  connect(usbButton_, &QPushButton::clicked, this, guard(&MainWindow::RecoverUsb));
  connect(terminalButton_, &QPushButton::clicked, this, guard(&MainWindow::ConnectTerminalPort));
  connect(closeButton_, &QPushButton::clicked, this, &QWidget::close);
}

void MainWindow::BuildMenu() {
  for (const MenuTable& table : Menus()) {
    QMenu* menu = menuBar()->addMenu(QString::fromUtf8(table.title));
    actions_.insert(menu->title(), menu->menuAction());
    deviceMenus_.append(menu);
    for (const char* entry : table.entries) {
      QAction* action = menu->addAction(QString::fromUtf8(entry));
      action->setEnabled(false);  // enabled when its screen is bound
      actions_.insert(action->text(), action);
    }
  }
  scriptEntry_ = actions_.value(QStringLiteral("Запуск скрипта"));
  aboutEntry_ = menuBar()->addAction(QStringLiteral("О программе..."));
  actions_.insert(aboutEntry_->text(), aboutEntry_);
  SetMenusEnabled(false);
}

void MainWindow::CreateScreens() {
  statusBytes_ = new StatusBytesScreen(context_, this);
  console_ = new CommandConsole(context_, this);
  about_ = new AboutBox(context_, this);
  BindMenuEntry(QStringLiteral("Тест команд"), [this] { console_->OpenFromMenu(); });
  connect(aboutEntry_, &QAction::triggered, this, [this] { ui_.ShowModal(*about_); });

  // Each screen is created once and kept (its inputs keep their values); the window owns it.
  BindScreen(QStringLiteral("Печать дневных отчетов"), new DailyReports(context_, this));
  BindScreen(QStringLiteral("Печать нефискального чека"), new NonFiscalReceipt(context_, this));
  BindScreen(QStringLiteral("Дата и время"), new DateAndTime(context_, this));
  BindScreen(QStringLiteral("Позиция десятичной точки"), new DecimalPointPosition(context_, this));
  BindScreen(QStringLiteral("Установить и прочитать ID_DEV"), new DeviceIdentifier(context_, this));
  BindScreen(QStringLiteral("Профиль регистратора"), new DeviceProfileScreen(context_, this));
  BindScreen(QStringLiteral("Заголовок чека и рекламный текст"), new HeaderAndAdvertising(context_, this));
  BindScreen(QStringLiteral("Установить заводской номер"), new SerialNumberScreen(context_, this));
  BindScreen(QStringLiteral("Фискализация"), new Fiscalisation(context_, this));
  // Both fiscal parameter screens share one confirmation and one result dialog.
  auto* confirmation = new ProgrammingConfirmation(this);
  auto* result = new OperationResult(this);
  auto* standardTaxes = new FiscalParameters(context_, *confirmation, *result, false, this);
  auto* extendedTaxes = new FiscalParameters(context_, *confirmation, *result, true, this);
  BindFiscalParameterScreens([this, standardTaxes] { ui_.ShowModal(*standardTaxes); },
                             [this, extendedTaxes] { ui_.ShowModal(*extendedTaxes); });
  BindScreen(QStringLiteral("Запуск скрипта"), new FrameMonitor(context_, this));
  BindScreen(QStringLiteral("Информация о свободных ресурсах и статусе"), new FreeResources(context_, this));
  BindScreen(QStringLiteral("Печать дневных отчетов RQM707"), new SecondLineDailyReports(context_, this));
  BindScreen(QStringLiteral("Печать периодического отчета "), new PeriodicReport(context_, this));
  BindScreen(QStringLiteral("Отчет по реализованным товарам"), new GoodsSoldReport(context_, this));
  BindScreen(QStringLiteral("Печать дополнительных дневных отчетов"), new AdditionalReports(context_, this));
  auto* modemState = new ModemState(context_, this);
  BindModemScreens(*new ModemStateShort(context_, this), [this, modemState] { ui_.ShowModal(*modemState); });
  BindScreen(QStringLiteral("Последний сеанс связи с эквайером"), new LastAcquirerSession(context_, this));
  BindScreen(QStringLiteral("Техническое обслуживание"), new ServiceReminder(context_, this));
  BindScreen(QStringLiteral("Служебные счетчики"), new ServiceCounters(context_, this));
  // The fiscal receipt sells from the article loader's list.
  auto* articles = new ArticleLoading(context_, this);
  BindScreen(QStringLiteral("Программировать товары"), articles);
  BindScreen(QStringLiteral("Фискальный чек"), new FiscalReceipt(context_, *articles, this));
  BindScreen(QStringLiteral("Служебное внесение и изъятие денег"), new CashInOutScreen(context_, this));
  BindScreen(QStringLiteral("Аннулирование и закрытие чека"), new ReceiptRecovery(context_, this));
  BindScreen(QStringLiteral("Копия фискальных чеков по сквозным номерам"), new ReceiptCopy(context_, this));
  BindScreen(QStringLiteral("Параметры операторов"), new OperatorParameters(context_, this));
  BindScreen(QStringLiteral("Пароли"), new ModePasswords(context_, this));
  BindScreen(QStringLiteral("Параметры оплаты"), new PaymentTypes(context_, this));
  BindScreen(QStringLiteral("Параметры регистратора"), new RegistratorParameters(context_, this));
  BindScreen(QStringLiteral("Параметры связи"), new CommunicationParameters(context_, this));
  BindScreen(QStringLiteral("Загрузка логотипа"), new LogoProgramming(context_, this));
  BindScreen(QStringLiteral("Фискальная память"), new FiscalMemory(context_, this));
  BindScreen(QStringLiteral("Чтение внутреннего ПО"), new FirmwareReading(context_, this));
}

void MainWindow::BindScreen(const QString& entry, QDialog* screen) {
  BindMenuEntry(entry, [this, screen] { ui_.ShowModal(*screen); });
}

void MainWindow::BindMenuEntry(const QString& entry, std::function<void()> open) {
  QAction* action = actions_.value(entry);
  if (!action) return;
  bound_[entry] = true;
  // A later binding of an entry replaces the earlier one.
  disconnect(action, &QAction::triggered, this, nullptr);
  connect(action, &QAction::triggered, this, [this, open = std::move(open)] { Guarded(ui_, open); });
  UpdateModelEntries();
}

void MainWindow::SetMenusEnabled(bool enabled) {
  for (QMenu* menu : deviceMenus_) menu->menuAction()->setEnabled(enabled);
  if (scriptEntry_) scriptEntry_->setEnabled(enabled && bound_.value(scriptEntry_->text()));
}

void MainWindow::UpdateModelEntries() {
  // An entry is enabled when its screen exists and the model allows it.
  for (auto it = actions_.begin(); it != actions_.end(); ++it) {
    if (it.value() == aboutEntry_ || it.value() == scriptEntry_ || it.value()->menu()) continue;
    bool allowed = bound_.value(it.key());
    if (it.key() == QStringLiteral("Печать дневных отчетов RQM707")) allowed = allowed && secondLineModel_;
    if (it.key() == QStringLiteral("Печать дневных отчетов")) allowed = allowed && !secondLineModel_;
    it.value()->setEnabled(allowed);
  }
  actions_.value(QStringLiteral("Параметры связи"))->setVisible(!modemModel_);
  actions_.value(QStringLiteral("Установить и прочитать ID_DEV"))->setVisible(!modemModel_);
}

void MainWindow::SetIndicator(QFrame* indicator, const QColor& color) {
  indicator->setProperty("color", color);
  indicator->setStyleSheet(QStringLiteral("background-color: %1; border: 1px solid #404040; border-radius: 5px;")
                               .arg(color.name()));
}

QColor MainWindow::IndicatorColor() const { return indicator_->property("color").value<QColor>(); }
QColor MainWindow::TerminalIndicatorColor() const { return terminalIndicator_->property("color").value<QColor>(); }
QString MainWindow::StatusText() const { return statusLabel_->text(); }
QAction* MainWindow::Action(const QString& text) const { return actions_.value(text); }

void MainWindow::SetStatusText(const QString& text) { statusLabel_->setText(text); }
QString MainWindow::PortText() const { return portBox_->currentText(); }
QString MainWindow::SpeedText() const { return speedList_->currentText(); }

bool MainWindow::SelectSpeed(const QString& speed) {
  const int index = speedList_->findText(speed, Qt::MatchExactly);
  if (index < 0) return false;
  speedList_->setCurrentIndex(index);
  return true;
}

void MainWindow::OpenStatusBytes() { ui_.ShowModal(*statusBytes_); }

void MainWindow::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  // Run the start-up sequence once the window is on screen, so that its captions are seen.
  if (!startupDone_) QTimer::singleShot(0, this, [this] { StartupSequence(); });
}

void MainWindow::closeEvent(QCloseEvent* event) {
  // Close the link before the program ends so that the session log gets its end entry.
  if (TheLink().IsOpen()) CloseComPort();
  QMainWindow::closeEvent(event);
}

// UsbHost: how discovery and recovery reach the window.
void MainWindow::ShowMessage(const std::string& text) { ui_.ShowMessage(QString::fromStdString(text)); }
void MainWindow::SetCaption(const std::string& caption) { setWindowTitle(QString::fromStdString(caption)); }
void MainWindow::LetEventsRun(int ms) {
  repaint();
  ui_.Pause(ms);
}
void MainWindow::CloseLink() {
  if (TheLink().IsOpen()) CloseComPort();
}
void MainWindow::ShowLinkClosed() {
  SetIndicator(indicator_, kRed);
  connectButton_->setText(QStringLiteral("Подключить"));
}
void MainWindow::EnableRecovery(bool enabled) { usbButton_->setEnabled(enabled); }

}  // namespace kovrix
