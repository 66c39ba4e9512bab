#include "screens/service/service_reminder.h"

#include <QDate>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QStringList>
#include <QVBoxLayout>

#include "app/input.h"
#include "app/screen_helpers.h"
#include "app/text_codec.h"
#include "driver/commands.h"
#include "screens/programming/date_time.h"
#include "screens/screen_kit.h"

namespace kovrix {
namespace {

// The reminder report among the service reports.
constexpr int kReminderReport = 3;
constexpr int kPasswordLength = 6;

// The picker shows two-digit years; one century keeps them unambiguous.
const QDate kFirstDate(2000, 1, 1);
const QDate kLastDate(2099, 12, 31);

const QString kSuccess = QStringLiteral("Успешно!");

// The event mask, bit 0 first.
const char* const kMaskBits[5] = {
    "напоминание сделается один раз после включения регистратора",
    "вывести сообщение на дисплей ",
    "вывести сообщение на принтер",
    "дождаться нажатия клавиши регистратора",
    "звуковой сигнал",
};

QLineEdit* ReminderPasswordBox() {
  auto* box = new QLineEdit;
  box->setMaxLength(kPasswordLength);
  box->setEchoMode(QLineEdit::Password);
  box->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));  // typed as "*"
  return box;
}

int HexValue(const std::string& field) {
  bool ok = false;
  const int value = QString::fromLatin1(field.data(), static_cast<qsizetype>(field.size())).toInt(&ok, 16);
  if (!ok || field.empty() || field.find_first_not_of("0123456789ABCDEFabcdef") != std::string::npos) {
    throw InputError{QStringLiteral("'%1' is not a valid integer value").arg(FromCp1251(field))};
  }
  return value;
}

}  // namespace

std::vector<ReminderLine> ReminderLines(const QString& message) {
  std::vector<ReminderLine> lines;
  if (message.isEmpty()) return lines;
  const QStringList all = message.split(u'\n');
  lines.push_back({0, all.first()});
  for (qsizetype i = 1; i < all.size(); ++i) {
    if (!all[i].isEmpty()) lines.push_back({1, all[i]});
  }
  return lines;
}

ServiceReminder::ServiceReminder(ScreenContext& context, QWidget* parent)
    : Screen(context, QStringLiteral("ServiceReminder"), QStringLiteral("Техническое обслуживание"), parent) {
  message_ = new QPlainTextEdit;
  message_->setLineWrapMode(QPlainTextEdit::NoWrap);
  message_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  message_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  message_->setToolTip(QStringLiteral(
      "Введенное сообщение будет использовано при напоминании о ТО, если \nВы не ввели текст, то сообщения не будет "
      "перезаписано в РРО."));
  message_->setStyleSheet(QStringLiteral("QToolTip { background-color: cyan; color: black; }"));
  message_->setMinimumHeight(110);
  oldPassword_ = ReminderPasswordBox();
  newPassword_ = ReminderPasswordBox();
  repeatPassword_ = ReminderPasswordBox();
  date_ = new QDateEdit;
  date_->setDisplayFormat(QStringLiteral("dd.MM.yy"));
  date_->setDateRange(kFirstDate, kLastDate);
  date_->setCalendarPopup(true);
  days_ = new QLineEdit;
  days_->setMaximumWidth(80);
  set_ = NewButton(QStringLiteral("Установить"));
  set_->setToolTip(QStringLiteral("Установить напоминание ТО"));
  read_ = NewButton(QStringLiteral("Прочитать"));
  read_->setToolTip(QStringLiteral("Прочитать информацию об напоминании ТО"));
  report_ = NewButton(QStringLiteral("Отчет"));
  report_->setToolTip(QStringLiteral("Отчет ТО"));
  close_ = NewButton(QStringLiteral("Закрыть"));

  auto* messageGroup = new QGroupBox(QStringLiteral("Установить сообщение о техническом обслуживании"));
  auto* messageColumn = new QVBoxLayout(messageGroup);
  messageColumn->addWidget(message_);

  auto* daysRow = new QHBoxLayout;
  daysRow->addWidget(new QLabel(QStringLiteral("Напоминать за ")));
  daysRow->addWidget(days_);
  daysRow->addWidget(new QLabel(QStringLiteral("дней.")));
  daysRow->addStretch();
  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Старый пароль:"), oldPassword_);
  form->addRow(QStringLiteral("Новый пароль:"), newPassword_);
  form->addRow(QStringLiteral("Повторить новый пароль:"), repeatPassword_);
  form->addRow(QStringLiteral("Дата события:"), date_);
  form->addRow(daysRow);

  auto* maskGroup = new QGroupBox(QStringLiteral("Маска события"));
  auto* maskColumn = new QVBoxLayout(maskGroup);
  for (std::size_t i = 0; i < mask_.size(); ++i) {
    mask_[i] = new QCheckBox(QString::fromUtf8(kMaskBits[i]));
    maskColumn->addWidget(mask_[i]);
  }

  auto* buttons = ButtonRow({set_, read_, report_}, close_);
  auto* outer = new QVBoxLayout(this);
  outer->addWidget(messageGroup);
  outer->addLayout(form);
  outer->addWidget(maskGroup);
  outer->addLayout(buttons);

  OnClick(set_, [this] { SetReminder(); });
  OnClick(read_, [this] { ReadReminder(); });
  OnClick(report_, [this] { PrintReminderReport(); });
  connect(close_, &QPushButton::clicked, this, &QDialog::accept);
}

void ServiceReminder::Activate() { date_->setDate(QDate::currentDate()); }

int ServiceReminder::Mask() const {
  int mask = 0;
  for (std::size_t i = 0; i < mask_.size(); ++i) {
    if (mask_[i]->isChecked()) mask |= 1 << i;
  }
  return mask;
}

void ServiceReminder::SetReminder() {
  // Each password is one field of the command: a ";" in one would move the date into another field.
  if (!SeparatorFree(ui(), QStringLiteral("Старый пароль:"), oldPassword_->text()) ||
      !SeparatorFree(ui(), QStringLiteral("Новый пароль:"), newPassword_->text())) {
    return;
  }
  if (newPassword_->text() != repeatPassword_->text()) {
    ui().ShowMessage(QStringLiteral("Неверный пароль. Попробуйте ещё раз!"));
    return;
  }
  // Converted before anything is sent, so that a bad number leaves no half-sent message behind.
  const int days = ToInt(days_->text());
  const std::vector<ReminderLine> lines = ReminderLines(message_->toPlainText());
  // ";" ends a field on the wire: the device would keep only the part before it and report success.
  for (const ReminderLine& line : lines) {
    if (line.text.contains(u';')) {
      ui().ShowMessage(QStringLiteral("Сообщение не может содержать символ \";\"."));
      return;
    }
  }
  int err = 0;
  for (const ReminderLine& line : lines) {
    state().lastReply = AddServiceTextLine(kDefaultPassword, line.mode, ToCp1251(line.text), err);
    if (!CheckSent(ui(), err)) return;
    if (!CheckReply(ui(), state().LastReply(), QStringLiteral("Добавить строку во временный буфер:"))) return;
  }
  const std::string date = date_->date().toString(QStringLiteral("ddMMyy")).toStdString();
  state().lastReply =
      SetServiceInfo(ToCp1251(oldPassword_->text()), ToCp1251(newPassword_->text()), date, days, Mask(), err);
  if (!CheckSent(ui(), err)) return;
  if (CheckReply(ui(), state().LastReply(), QStringLiteral("Установить информацию о сервисном обслуживании:"))) {
    ui().ShowMessage(kSuccess);
  }
}

void ServiceReminder::ReadReminder() {
  int err = 0;
  state().lastReply = GetServiceInfo(kDefaultPassword, err);
  if (!CheckSent(ui(), err)) return;
  const ReplyRecord& reply = state().LastReply();
  if (!CheckReply(ui(), reply, QStringLiteral("Чтение информации о напоминании сервисного обслуживания:"))) return;
  date_->setDate(DateOfDevice(reply.field(1)));
  days_->setText(FromCp1251(reply.field(2)));
  const int mask = HexValue(reply.field(3));
  for (std::size_t i = 0; i < mask_.size(); ++i) mask_[i]->setChecked((mask >> i) & 1);
  ui().ShowMessage(kSuccess);
}

void ServiceReminder::PrintReminderReport() {
  int err = 0;
  state().lastReply = OpenNonFiscalReceipt(kDefaultPassword, err);
  if (!CheckSent(ui(), err) || !CheckReplyText(ui(), state().LastReply())) return;
  state().lastReply = PrintServiceReport(kDefaultPassword, kReminderReport, err);
  if (!CheckSent(ui(), err) || !CheckReply(ui(), state().LastReply(), QStringLiteral("Отчет об напоминании ТО:"))) {
    return;
  }
  state().lastReply = CloseNonFiscalReceipt(kDefaultPassword, err);
  if (!CheckSent(ui(), err)) return;
  CheckReplyText(ui(), state().LastReply());
}

}  // namespace kovrix
