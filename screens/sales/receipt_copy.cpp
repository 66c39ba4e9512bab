#include "screens/sales/receipt_copy.h"

#include <QFormLayout>

#include "app/text_codec.h"
#include "driver/commands.h"
#include "screens/screen_kit.h"
#include "session/lost_reply.h"

namespace kovrix {

namespace {

const QString kReceiptHeading = QStringLiteral("Печать копии чека :");
const QString kCopyHeading = QStringLiteral("Печать копии чека:");
const QString kCopyUnknown = QStringLiteral(
    "Ответ на печать копии потерян: напечатана ли она, неизвестно. Нажмите «Копия чека» еще раз: регистратор "
    "ответит на тот же запрос, и копия не будет напечатана дважды.");

}  // namespace

ReceiptCopy::ReceiptCopy(ScreenContext& context, QWidget* parent)
    : Screen(context, QStringLiteral("ReceiptCopy"), QStringLiteral("Копия чека"), parent) {
  password_ = NewPasswordBox();
  first_ = new QLineEdit(QStringLiteral("1"));
  last_ = new QLineEdit(QStringLiteral("1"));
  errorCode_ = NewErrorCodeBox();
  copy_ = NewButton(QStringLiteral("Копия чека"));
  close_ = NewButton(QStringLiteral("Закрыть"));

  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Пароль:"), password_);
  form->addRow(QStringLiteral("Первый сквозной номер чека:"), first_);
  form->addRow(QStringLiteral("Последний сквозной номер чека:"), last_);
  form->addRow(QStringLiteral("Код ошибки:"), errorCode_);
  LayOutBoxesAndButtons(this, form, {copy_, close_});
  setMinimumWidth(380);

  OnSend(copy_, [this] { PrintCopies(); });
  connect(close_, &QPushButton::clicked, this, &QDialog::accept);
}

bool ReceiptCopy::Check(const QString& heading) {
  const ReplyRecord& reply = state().LastReply();
  errorCode_->setText(ErrorCodeText(reply));
  return CheckReply(ui(), reply, heading);
}

void ReceiptCopy::PrintCopies() {
  // Both numbers are converted before the receipt opens, so a typing error leaves nothing open.
  const int first = ToInt(first_->text());
  const int last = ToInt(last_->text());
  if (!SeparatorFree(ui(), QStringLiteral("Пароль:"), password_->text())) return;
  int err = 0;
  state().lastReply = OpenNonFiscalReceipt(kDefaultPassword, err);
  if (!CheckSent(ui(), err) || !Check(kReceiptHeading)) return;
  // A lost reply is asked for again at once with the same SEQ: the copies print once.
  state().lastReply = SettleLostReply(PrintReceiptCopies(ToCp1251(password_->text()), first, last, err));
  if (err == 0 && session::ReplyLost(state().LastReply())) {
    // Still silent: the receipt stays open, so that the next click can ask for this very frame
    // again; closing it now would leave the copies' outcome unknown for good.
    Check(kCopyHeading);
    ui().ShowMessage(kCopyUnknown);
    return;
  }
  if (!CheckSent(ui(), err) || !Check(kCopyHeading)) {
    // Receipts the registrator does not hold are a typing error too: do not leave the receipt open.
    // The box keeps the copy's error code: that refusal is the one the operator acts on, not the
    // close's "0000".
    const QString copyCode = errorCode_->text();
    state().lastReply = CloseNonFiscalReceipt(kDefaultPassword, err);
    if (CheckSent(ui(), err)) Check(kReceiptHeading);
    errorCode_->setText(copyCode);
    return;
  }
  CloseReceipt();
}

void ReceiptCopy::CloseReceipt() {
  int err = 0;
  state().lastReply = CloseNonFiscalReceipt(kDefaultPassword, err);
  if (CheckSent(ui(), err)) Check(kReceiptHeading);
}

void ReceiptCopy::EarlierSettled(const ReplyRecord* answer) {
  errorCode_->setText(ErrorCodeText(state().LastReply()));
  // The copies' own answer came (printed, or refused): the receipt opened for them is closed, as
  // their click would have done.
  if (answer && answer->command == 0xA5) CloseReceipt();
}

}  // namespace kovrix
