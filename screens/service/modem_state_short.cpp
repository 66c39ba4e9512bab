#include "screens/service/modem_state_short.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "app/screen_helpers.h"
#include "app/text_codec.h"
#include "screens/screen_kit.h"

namespace kovrix {
namespace {

constexpr int kModemReport = 0xEA;

}  // namespace

QString ModemStampText(const std::string& field) {
  const QString t = FromCp1251(field);
  if (field.size() != 10) return t;
  return t.mid(0, 2) + u'-' + t.mid(2, 2) + u'-' + t.mid(4, 2) + u' ' + t.mid(6, 2) + u':' + t.mid(8, 2);
}

ModemStateShort::ModemStateShort(ScreenContext& context, QWidget* parent)
    : Screen(context, QStringLiteral("TForm44"), QStringLiteral("Состояние модема для "), parent) {
  password_ = NewPasswordBox();
  modemNumber_ = NewReportBox();
  personalised_ = NewReportBox();
  blockExpected_ = NewReportBox();
  firstPending_ = NewReportBox();
  pendingCount_ = NewReportBox();
  report_ = NewButton(QStringLiteral("Получить отчет"));
  close_ = NewButton(QStringLiteral("Закрыть"));

  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Пароль:"), password_);
  form->addRow(QStringLiteral("Номер (ID_DEV) модема:"), modemNumber_);
  form->addRow(QStringLiteral("Дата персонализации::"), personalised_);
  form->addRow(QStringLiteral("Ожидаемое время \nистечения 72 часов:"), blockExpected_);
  form->addRow(QStringLiteral("Время первого не переданного \nчека в модеме:"), firstPending_);
  form->addRow(QStringLiteral("Количество чеков не \nпереданных модему:"), pendingCount_);
  auto* buttons = ButtonRow({report_}, close_);
  auto* outer = new QVBoxLayout(this);
  outer->addLayout(form);
  outer->addLayout(buttons);
  setMinimumWidth(420);

  OnClick(report_, [this] { GetReport(); });
  connect(close_, &QPushButton::clicked, this, &QDialog::accept);
}

void ModemStateShort::GetReport() {
  if (!SeparatorFree(ui(), QStringLiteral("Пароль:"), password_->text())) return;
  // Emptied first: after a failed report no box may still show an earlier report's data.
  for (QLineEdit* box : {modemNumber_, personalised_, blockExpected_, firstPending_, pendingCount_}) box->clear();
  const ReplyRecord* sent = ExecuteFitting(ui(), kModemReport, ToCp1251(password_->text()) + ';');
  if (!sent) return;
  state().lastReply = sent;
  if (!CheckTimeoutAndCode(ui(), *sent, QStringLiteral("Таймаут устройства! Ошибка!"),
                           QStringLiteral("Состояние модема. Ошибка!"))) {
    return;
  }
  modemNumber_->setText(FromCp1251(sent->field(1)));
  personalised_->setText(ModemStampText(sent->field(2)));
  blockExpected_->setText(ModemStampText(sent->field(3)));
  firstPending_->setText(ModemStampText(sent->field(4)));
  pendingCount_->setText(FromCp1251(sent->field(5)));
}

}  // namespace kovrix
