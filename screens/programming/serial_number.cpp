#include "screens/programming/serial_number.h"

#include <QDate>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "app/input.h"
#include "app/screen_helpers.h"
#include "app/text_codec.h"
#include "driver/commands.h"
#include "screens/screen_kit.h"

namespace kovrix {
namespace {

const QString kTimeout = QStringLiteral("Таймаут устройства! Ошибка!");
const QString kNotSet = QStringLiteral("Заводской номер не установлен!");

bool AllDigits(const QString& text, qsizetype size) {
  if (text.size() != size) return false;
  for (QChar c : text) {
    if (c < u'0' || c > u'9') return false;
  }
  return true;
}

}  // namespace

void CheckDeviceDate(const QString& ddmmyy) {
  const bool valid = AllDigits(ddmmyy, 6) &&
                     QDate(2000 + ddmmyy.mid(4, 2).toInt(), ddmmyy.mid(2, 2).toInt(), ddmmyy.mid(0, 2).toInt()).isValid();
  if (!valid) throw InputError{QStringLiteral("'%1' is not a valid date").arg(ddmmyy)};
}

void CheckDeviceTime(const QString& hhmm) {
  const bool valid = AllDigits(hhmm, 4) && hhmm.mid(0, 2).toInt() < 24 && hhmm.mid(2, 2).toInt() < 60;
  if (!valid) throw InputError{QStringLiteral("'%1' is not a valid time").arg(hhmm)};
}

SerialNumberScreen::SerialNumberScreen(ScreenContext& context, QWidget* parent)
    : Screen(context, QStringLiteral("TForm15"), QStringLiteral("Установить заводской номер"), parent) {
  date_ = new QLineEdit;
  date_->setMaxLength(6);
  time_ = new QLineEdit;
  time_->setMaxLength(4);
  serial_ = new QLineEdit;
  serial_->setMaxLength(11);
  password_ = NewPasswordBox();
  notice_ = new QLabel(QStringLiteral("Подождите пока ККМ перезагрузиться, затем продолжайте"));
  notice_->setStyleSheet(QStringLiteral("color: #C00000;"));
  notice_->hide();
  setDateTime_ = NewButton(QStringLiteral("Установить дату и время"));
  setSerial_ = NewButton(QStringLiteral("Установить"));
  close_ = NewButton(QStringLiteral("Закрыть"));

  auto* status = new QLabel(QStringLiteral("Установка текущего времени и заводского номера"));
  // The notice keeps its room while hidden, so that the boxes do not move under the pointer.
  auto* noticeRoom = new QWidget;
  auto* noticeLayout = new QVBoxLayout(noticeRoom);
  noticeLayout->setContentsMargins(0, 0, 0, 0);
  noticeLayout->addWidget(notice_);
  noticeRoom->setMinimumHeight(notice_->sizeHint().height());
  auto* form = new QFormLayout;
  form->addRow(status);
  form->addRow(QStringLiteral("Дата (DDMMYY): "), date_);
  form->addRow(QStringLiteral("Время (HHMM):"), time_);
  form->addRow(setDateTime_);
  form->addRow(noticeRoom);
  form->addRow(QStringLiteral("Заводской номер:"), serial_);
  form->addRow(QStringLiteral("Пароль:"), password_);
  auto* buttons = ButtonRow({setSerial_}, close_);
  auto* outer = new QVBoxLayout(this);
  outer->addLayout(form);
  outer->addLayout(buttons);
  setMinimumWidth(420);

  OnClick(setDateTime_, [this] { SetDateTimeAndRestart(); });
  OnClick(setSerial_, [this] { SetSerial(); });
  connect(close_, &QPushButton::clicked, this, &QDialog::accept);
}

void SerialNumberScreen::Activate() {
  const QDateTime now = clock_();
  date_->setText(now.date().toString(QStringLiteral("ddMMyy")));
  time_->setText(now.time().toString(QStringLiteral("HHmm")));
}

void SerialNumberScreen::SetDateTimeAndRestart() {
  if (!SeparatorFree(ui(), QStringLiteral("Пароль:"), password_->text())) return;
  CheckDeviceDate(date_->text());
  CheckDeviceTime(time_->text());
  const std::string password = ToCp1251(password_->text());
  int err = 0;
  state().lastReply = SetDateTime(password, ToCp1251(date_->text()), ToCp1251(time_->text()), err);
  if (!CheckSent(ui(), err)) return;
  if (!CheckTimeoutAndCode(ui(), state().LastReply(), kTimeout, QStringLiteral("Ошибка установки времени!"))) return;
  // The registrator restarts; its answer, if one comes, tells nothing more.
  state().lastReply = RestartRegistrator(password, err);
  notice_->show();
  serial_->setEnabled(true);
}

void SerialNumberScreen::SetSerial() {
  notice_->hide();
  if (!SeparatorFree(ui(), QStringLiteral("Заводской номер:"), serial_->text()) ||
      !SeparatorFree(ui(), QStringLiteral("Пароль:"), password_->text())) {
    return;
  }
  if (serial_->text().size() <= 6) {
    ui().ShowMessage(QStringLiteral("Неверное количество символов в номере! \n ") + kNotSet);
    return;
  }
  int err = 0;
  state().lastReply = SetSerialNumber(ToCp1251(password_->text()), ToCp1251(serial_->text()), err);
  if (!CheckSent(ui(), err)) return;
  if (!CheckTimeoutAndCode(ui(), state().LastReply(), kTimeout, kNotSet)) return;
  ui().ShowMessage(QStringLiteral("Успешно. Заводской номер установлен!"));
}

}  // namespace kovrix
