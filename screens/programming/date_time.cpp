#include "screens/programming/date_time.h"

#include <QFormLayout>
#include <algorithm>

#include "app/input.h"
#include "app/screen_helpers.h"
#include "app/text_codec.h"
#include "driver/commands.h"
#include "screens/screen_kit.h"

namespace kovrix {
namespace {

// The picker shows two-digit years; keeping it within one century makes them unambiguous.
const QDate kFirstDate(2000, 1, 1);
const QDate kLastDate(2099, 12, 31);
const QString kShownFormat = QStringLiteral("dd.MM.yy");

const QString kTimeout = QStringLiteral("Таймаут устройства! Ошибка!");
const QString kSuccess = QStringLiteral("Успешно!");

int TwoDigits(const std::string& text, std::size_t at) { return (text[at] - '0') * 10 + (text[at + 1] - '0'); }

// The text the date box is given: a point after the second and after the fourth character, a
// short field taking both points at its end ("1299" gives "12.99.", "" gives "..").
QString DottedField(const std::string& field) {
  const std::size_t first = std::min<std::size_t>(2, field.size());
  const std::size_t second = std::min<std::size_t>(4, field.size());
  return FromCp1251(field.substr(0, first)) + u'.' + FromCp1251(field.substr(first, second - first)) + u'.' +
         FromCp1251(field.substr(second));
}

}  // namespace

QDate DateOfDevice(const std::string& ddmmyy) {
  const bool digits = ddmmyy.size() == 6 && ddmmyy.find_first_not_of("0123456789") == std::string::npos;
  const QDate date = digits ? QDate(2000 + TwoDigits(ddmmyy, 4), TwoDigits(ddmmyy, 2), TwoDigits(ddmmyy, 0)) : QDate();
  // The conversion error names the text with its points in, as the date box was given it.
  if (!date.isValid()) throw InputError{QStringLiteral("'%1' is not a valid date").arg(DottedField(ddmmyy))};
  return date;
}

DateAndTime::DateAndTime(ScreenContext& context, QWidget* parent)
    : Screen(context, QStringLiteral("TForm27"), QStringLiteral("Дата и время"), parent) {
  date_ = new QDateEdit;
  date_->setDisplayFormat(kShownFormat);
  date_->setDateRange(kFirstDate, kLastDate);
  date_->setCalendarPopup(true);
  time_ = new QLineEdit;
  password_ = NewPasswordBox();
  set_ = NewButton(QStringLiteral("Установить дату и время"));
  read_ = NewButton(QStringLiteral("Прочитать дату и время"));
  status_ = NewButton(QStringLiteral("Состояние регистратора"));
  status_->setEnabled(false);
  exit_ = NewButton(QStringLiteral("Выход"));

  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Дата (DDMMYY): "), date_);
  form->addRow(QStringLiteral("Время (HHMM):"), time_);
  form->addRow(QStringLiteral("Пароль:"), password_);
  LayOutBoxesAndButtons(this, form, {set_, read_, status_, exit_});

  OnClick(set_, [this] { SetClockOfDevice(); });
  OnClick(read_, [this] { ReadClockOfDevice(); });
  OnClick(status_, [this] { shell().OpenStatusBytes(); });
  OnClick(exit_, [this] { Exit(); });
}

void DateAndTime::Activate() {
  const QDateTime now = clock_();
  date_->setDate(now.date());
  time_->setText(now.time().toString(QStringLiteral("HHmm")));
}

void DateAndTime::SetClockOfDevice() {
  const std::string date = DateToDevice(date_->text());
  if (!SeparatorFree(ui(), QStringLiteral("Время (HHMM):"), time_->text())) return;
  if (!SeparatorFree(ui(), QStringLiteral("Пароль:"), password_->text())) return;
  int err = 0;
  state().lastReply = SetDateTime(ToCp1251(password_->text()), date, ToCp1251(time_->text()), err);
  if (!CheckSent(ui(), err)) return;
  if (!CheckTimeoutAndCode(ui(), state().LastReply(), kTimeout, QStringLiteral("Ошибка установки времени!"))) return;
  status_->setEnabled(true);
  ui().ShowMessage(kSuccess);
}

void DateAndTime::ReadClockOfDevice() {
  if (!SeparatorFree(ui(), QStringLiteral("Пароль:"), password_->text())) return;
  int err = 0;
  state().lastReply = GetDateTime(ToCp1251(password_->text()), err);
  if (!CheckSent(ui(), err)) return;
  const ReplyRecord& reply = state().LastReply();
  if (!CheckTimeoutAndCode(ui(), reply, kTimeout, QStringLiteral("Ошибка чтения времени!"))) return;
  status_->setEnabled(true);
  date_->setDate(DateOfDevice(reply.field(1)));
  time_->setText(FromCp1251(reply.field(2)));
  ui().ShowMessage(kSuccess);
}

void DateAndTime::Exit() {
  status_->setEnabled(false);
  accept();
}

}  // namespace kovrix
