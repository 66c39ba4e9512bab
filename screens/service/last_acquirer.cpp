#include "screens/service/last_acquirer.h"

#include <QFormLayout>

#include "app/screen_helpers.h"
#include "app/text_codec.h"
#include "screens/screen_kit.h"

namespace kovrix {
namespace {

constexpr int kLastAcquirerSession = 0xFC;

}  // namespace

LastAcquirerSession::LastAcquirerSession(ScreenContext& context, QWidget* parent)
    : Screen(context, QStringLiteral("TForm53"), QStringLiteral("Последний успешный сеанс связи с эквайером"), parent) {
  password_ = NewPasswordBox();
  errorCode_ = NewErrorCodeBox();
  errorCode_->setText(QStringLiteral("0000"));
  date_ = NewReportBox();
  time_ = NewReportBox();
  run_ = NewButton(QStringLiteral("Выполнить"));
  close_ = NewButton(QStringLiteral("Закрыть"));

  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Пароль:"), password_);
  form->addRow(QStringLiteral("Код ошибки:"), errorCode_);
  form->addRow(QStringLiteral("Дата:"), date_);
  form->addRow(QStringLiteral("Время:"), time_);
  LayOutBoxesAndButtons(this, form, {run_, close_});
  setMinimumWidth(400);

  OnClick(run_, [this] { ReadSession(); });
  connect(close_, &QPushButton::clicked, this, &QDialog::accept);
}

void LastAcquirerSession::ReadSession() {
  if (!SeparatorFree(ui(), QStringLiteral("Пароль:"), password_->text())) return;
  date_->clear();
  time_->clear();
  const ReplyRecord* sent = ExecuteFitting(ui(), kLastAcquirerSession, ToCp1251(password_->text()) + ';');
  if (!sent) return;
  state().lastReply = sent;
  const ReplyRecord& reply = *sent;
  if (reply.status & ST_NO_REPLY) {
    ui().ShowMessage(QStringLiteral("Таймаут устройства! Ошибка!"));
    return;
  }
  // The fields go in whatever the error code: a refusing device may still say something.
  errorCode_->setText(ErrorCodeText(reply));
  date_->setText(FromCp1251(reply.field(1)));
  time_->setText(FromCp1251(reply.field(2)));
  if (reply.errorText != "0000") ui().ShowMessage(QStringLiteral("Состояние модема. Ошибка!"));
}

}  // namespace kovrix
