#include "screens/sales/receipt_recovery.h"

#include <QFormLayout>
#include <QVBoxLayout>

#include "app/text_codec.h"
#include "driver/commands.h"
#include "driver/error_text.h"
#include "screens/screen_kit.h"

namespace kovrix {

namespace {

const QString kNoReceipt = QStringLiteral("Нет открытых чеков");
const QString kFiscal = QStringLiteral("Открыт фискальный чек");
const QString kReturn = QStringLiteral("Открыт чек возврата");

}  // namespace

ReceiptStateView ReceiptStateFor(std::uint8_t b) {
  const bool returnReceipt = b & 0x10;
  const bool closable = b & 0x04;
  switch (b & 0x0F) {
    case 0:
      return {kNoReceipt, false, false};
    case 5:
      return {QStringLiteral("Открыт нефискальный чек"), true, false};
    default:
      return {returnReceipt ? kReturn : kFiscal, closable, true};
  }
}

ReceiptRecovery::ReceiptRecovery(ScreenContext& context, QWidget* parent)
    : Screen(context, QStringLiteral("ReceiptRecovery"), QStringLiteral("Аннулирование и закрытие чека"), parent) {
  errorCode_ = NewErrorCodeBox();
  statusBar_ = new QStatusBar;
  statusBar_->setSizeGripEnabled(false);
  closeReceipt_ = NewButton(QStringLiteral("Закрыть чек"));
  annul_ = NewButton(QStringLiteral("Аннулировать чек"));
  status_ = NewButton(QStringLiteral("Состояние регистратора"));
  exit_ = NewButton(QStringLiteral("Выход"));
  closeReceipt_->setEnabled(false);
  annul_->setEnabled(false);

  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Код ошибки:"), errorCode_);
  LayOutBoxesAndButtons(this, form, {closeReceipt_, annul_, status_, exit_});
  layout()->addWidget(statusBar_);
  setMinimumWidth(460);

  OnClick(closeReceipt_, [this] { CloseReceipt(); });
  OnClick(annul_, [this] { AnnulReceipt(); });
  OnClick(status_, [this] {
    if (ReadDiagnostics()) shell().OpenStatusBytes();
  });
  connect(exit_, &QPushButton::clicked, this, &QDialog::accept);
}

bool ReceiptRecovery::ReadDiagnostics() {
  int err = 0;
  state().lastReply = GetDiagnosticInfo(kDefaultPassword, err);
  if (!CheckSent(ui(), err)) return false;
  const ReplyRecord& reply = state().LastReply();
  errorCode_->setText(ErrorCodeText(reply));
  if (!CheckReply(ui(), reply, QStringLiteral("Проверка состояния регистратора:"))) return false;
  state().paymentTypeCount = PaymentTypeCount(reply);
  statusBar_->showMessage(ModelStatusLine(reply, false));
  return true;
}

void ReceiptRecovery::Activate() {
  if (!ReadDiagnostics()) return;
  const ReceiptStateView view = ReceiptStateFor(state().LastReply().statusBytes[2]);
  // No receipt open: a service receipt remembered as open was finished meanwhile.
  if (!view.canClose && !view.canAnnul) state().openServiceCash.clear();
  statusBar_->showMessage(view.text);
  closeReceipt_->setEnabled(view.canClose);
  annul_->setEnabled(view.canAnnul);
}

void ReceiptRecovery::ShowNoReceipt() {
  statusBar_->showMessage(kNoReceipt);
  closeReceipt_->setEnabled(false);
  annul_->setEnabled(false);
}

void ReceiptRecovery::CloseReceipt() {
  int err = 0;
  state().lastReply = CloseFiscalReceipt(kDefaultPassword, 0, err);
  if (!CheckSent(ui(), err)) return;
  const ReplyRecord& reply = state().LastReply();
  errorCode_->setText(ErrorCodeText(reply));
  if (CheckTimeoutAndCode(ui(), reply, QStringLiteral("Таймаут устройства! Ошибка закрыиия чека!"),
                          QStringLiteral("Ошибка закрытия чека"))) {
    state().openServiceCash.clear();
    ShowNoReceipt();
  }
}

void ReceiptRecovery::AnnulReceipt() {
  // A service cash receipt left open holds money already counted in: annulling it takes that back.
  if (!state().openServiceCash.isEmpty() &&
      !ui().AskOkCancel(QStringLiteral("Открыт служебный чек на сумму %1. Аннулирование отменит эту сумму; "
                                       "«Закрыть чек» проведет ее. Аннулировать чек?")
                            .arg(state().openServiceCash))) {
    return;
  }
  int err = 0;
  state().lastReply = Annulment(kDefaultPassword, 0, err);
  if (!CheckSent(ui(), err)) return;
  const ReplyRecord& reply = state().LastReply();
  errorCode_->setText(ErrorCodeText(reply));
  if (CheckTimeoutAndCode(ui(), reply, QStringLiteral("Таймаут устройства! Ошибка аннулирования!"),
                          QStringLiteral("Ошибка аннулирования"))) {
    state().openServiceCash.clear();
    ShowNoReceipt();
  }
}

}  // namespace kovrix
