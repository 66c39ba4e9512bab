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

// The menu: one row per entry, in the order of the menu bar. A row is the one place an entry is
// defined: its menu, its text, how its screen is made and opened, and what the model allows.
struct MainWindow::MenuRow {
  const char* menu;  // the menu-bar menu it is in; nullptr: an entry of the menu bar itself
  const char* entry;
  Maker make;        // creates the screen once; answers what choosing the entry runs
  EntryRule rule;
};

const std::vector<MainWindow::MenuRow>& MainWindow::MenuRows() {
  using W = MainWindow;
  using R = EntryRule;
  static const std::vector<MenuRow> rows = {
      {"Продажа", "Программировать товары", &W::OpenArticleLoading, R::Always},
      {"Продажа", "Фискальный чек", &W::OpenFiscalReceipt, R::Always},
      {"Продажа", "Печать нефискального чека", &W::Modal<NonFiscalReceipt>, R::Always},
      {"Продажа", "Служебное внесение и изъятие денег", &W::Modal<CashInOutScreen>, R::Always},
      {"Продажа", "Аннулирование и закрытие чека", &W::Modal<ReceiptRecovery>, R::Always},

      {"Команды", "Тест команд", &W::OpenConsole, R::Always},
      {"Команды", "Запуск скрипта", &W::Modal<FrameMonitor>, R::WithMenus},

      {"Отчеты", "Информация о свободных ресурсах и статусе", &W::Modal<FreeResources>, R::Always},
      {"Отчеты", "Печать дневных отчетов RQM707", &W::Modal<SecondLineDailyReports>, R::SecondLineOnly},
      {"Отчеты", "Печать дневных отчетов", &W::Modal<DailyReports>, R::NotSecondLine},
      {"Отчеты", "Печать периодического отчета ", &W::Modal<PeriodicReport>, R::Always},
      {"Отчеты", "Отчет по реализованным товарам", &W::Modal<GoodsSoldReport>, R::Always},
      {"Отчеты", "Печать дополнительных дневных отчетов", &W::Modal<AdditionalReports>, R::Always},
      {"Отчеты", "Копия фискальных чеков по сквозным номерам", &W::Modal<ReceiptCopy>, R::Always},

      {"Утилиты", "Заголовок чека и рекламный текст", &W::Modal<HeaderAndAdvertising>, R::Always},
      {"Утилиты", "Параметры операторов", &W::Modal<OperatorParameters>, R::Always},
      {"Утилиты", "Параметры оплаты", &W::Modal<PaymentTypes>, R::Always},
      {"Утилиты", "Пароли", &W::Modal<ModePasswords>, R::Always},
      {"Утилиты", "Загрузка логотипа", &W::Modal<LogoProgramming>, R::Always},
      {"Утилиты", "Чтение внутреннего ПО", &W::Modal<FirmwareReading>, R::Always},
      {"Утилиты", "Фискальная память", &W::Modal<FiscalMemory>, R::Always},
      {"Утилиты", "Дата и время", &W::Modal<DateAndTime>, R::Always},
      {"Утилиты", "Техническое обслуживание", &W::Modal<ServiceReminder>, R::Always},
      {"Утилиты", "Служебные счетчики", &W::Modal<ServiceCounters>, R::Always},

      {"Фискальные параметры", "Установить заводской номер", &W::Modal<SerialNumberScreen>, R::Always},
      {"Фискальные параметры", "Чтение и программирование", &W::OpenFiscalParameters, R::Always},
      {"Фискальные параметры", "Параметры регистратора", &W::Modal<RegistratorParameters>, R::Always},
      {"Фискальные параметры", "Параметры связи", &W::Modal<CommunicationParameters>, R::HiddenForModem},
      {"Фискальные параметры", "Позиция десятичной точки", &W::Modal<DecimalPointPosition>, R::Always},
      {"Фискальные параметры", "Фискализация", &W::Modal<Fiscalisation>, R::Always},
      {"Фискальные параметры", "Установить и прочитать ID_DEV", &W::Modal<DeviceIdentifier>, R::HiddenForModem},
      {"Фискальные параметры", "Состояние модема", &W::OpenModemState, R::Always},
      {"Фискальные параметры", "Последний сеанс связи с эквайером", &W::Modal<LastAcquirerSession>, R::Always},
      {"Фискальные параметры", "Профиль регистратора", &W::Modal<DeviceProfileScreen>, R::Always},

      {nullptr, "О программе...", &W::OpenAbout, R::OutsideStartup},
  };
  return rows;
}

QString MainWindow::EntryMadeBy(Maker make) {
  for (const MenuRow& row : MenuRows()) {
    if (row.make == make) return QString::fromUtf8(row.entry);
  }
  return {};
}

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
  for (const MenuRow& row : MenuRows()) {
    QAction* action = nullptr;
    if (row.menu) {
      const QString title = QString::fromUtf8(row.menu);
      QAction* menuAction = actions_.value(title);
      if (!menuAction) {
        QMenu* menu = menuBar()->addMenu(title);
        menuAction = menu->menuAction();
        actions_.insert(title, menuAction);
        deviceMenus_.append(menu);
      }
      action = menuAction->menu()->addAction(QString::fromUtf8(row.entry));
    } else {
      action = menuBar()->addAction(QString::fromUtf8(row.entry));
    }
    // Enabled when its screen is bound; the about box is there from the start.
    action->setEnabled(row.rule == EntryRule::OutsideStartup);
    actions_.insert(action->text(), action);
    rules_.insert(action, row.rule);
  }
  SetMenusEnabled(false);
}

void MainWindow::CreateScreens() {
  statusBytes_ = new StatusBytesScreen(context_, this);
  // Each screen is created once and kept (its inputs keep their values); the window owns it.
  for (const MenuRow& row : MenuRows()) BindMenuEntry(QString::fromUtf8(row.entry), (this->*row.make)());
}

template <class Screen>
std::function<void()> MainWindow::Modal() {
  Screen* screen = new Screen(context_, this);
  return [this, screen] { ui_.ShowModal(*screen); };
}

std::function<void()> MainWindow::OpenConsole() {
  console_ = new CommandConsole(context_, this);
  return [this] { console_->OpenFromMenu(); };
}

QAction* MainWindow::AboutEntry() const { return actions_.value(EntryMadeBy(&MainWindow::OpenAbout)); }

std::function<void()> MainWindow::OpenAbout() {
  about_ = new AboutBox(context_, this);
  return [this] { ui_.ShowModal(*about_); };
}

ArticleLoading& MainWindow::Articles() {
  if (!articles_) articles_ = new ArticleLoading(context_, this);
  return *articles_;
}

std::function<void()> MainWindow::OpenArticleLoading() {
  ArticleLoading* articles = &Articles();
  return [this, articles] { ui_.ShowModal(*articles); };
}

std::function<void()> MainWindow::OpenFiscalReceipt() {
  // The fiscal receipt sells from the article loader's list.
  auto* receipt = new FiscalReceipt(context_, Articles(), this);
  return [this, receipt] { ui_.ShowModal(*receipt); };
}

std::function<void()> MainWindow::OpenFiscalParameters() {
  // Both fiscal parameter screens share one confirmation and one result dialog.
  auto* confirmation = new ProgrammingConfirmation(this);
  auto* result = new OperationResult(this);
  auto* standardTaxes = new FiscalParameters(context_, *confirmation, *result, false, this);
  auto* extendedTaxes = new FiscalParameters(context_, *confirmation, *result, true, this);
  return FiscalParametersChoice([this, standardTaxes] { ui_.ShowModal(*standardTaxes); },
                                [this, extendedTaxes] { ui_.ShowModal(*extendedTaxes); });
}

std::function<void()> MainWindow::OpenModemState() {
  auto* general = new ModemState(context_, this);
  return ModemStateChoice(*new ModemStateShort(context_, this), [this, general] { ui_.ShowModal(*general); });
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
  for (auto it = rules_.begin(); it != rules_.end(); ++it) {
    if (it.value() == EntryRule::WithMenus) it.key()->setEnabled(enabled && bound_.value(it.key()->text()));
  }
}

void MainWindow::UpdateModelEntries() {
  // An entry is enabled when its screen exists and the model allows it.
  for (auto it = rules_.begin(); it != rules_.end(); ++it) {
    QAction* action = it.key();
    bool allowed = bound_.value(action->text());
    switch (it.value()) {
      case EntryRule::Always: break;
      case EntryRule::SecondLineOnly: allowed = allowed && secondLineModel_; break;
      case EntryRule::NotSecondLine: allowed = allowed && !secondLineModel_; break;
      case EntryRule::HiddenForModem: action->setVisible(!modemModel_); break;
      case EntryRule::WithMenus: continue;       // follows the menus (SetMenusEnabled)
      case EntryRule::OutsideStartup: continue;  // follows the start-up sequence
    }
    action->setEnabled(allowed);
  }
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
