#include "screens/sales/cash_in_out.h"

#include <QFormLayout>

#include "app/text_codec.h"
#include "driver/commands.h"
#include "app/screen_helpers.h"
#include "screens/screen_kit.h"
#include "session/lost_reply.h"

namespace kovrix {

namespace {

const QString kCashUnknown = QStringLiteral(
    "Ответ регистратора потерян: проведена ли операция, неизвестно. Не повторяйте ее, пока не проверите "
    "ленту или X-отчет (сумма в кассе).");
const QString kReceiptUnknown = QStringLiteral(
    "Ответ регистратора потерян: служебный чек может остаться открытым. Откройте «Аннулирование и закрытие чека»: "
    "«Закрыть чек» проведет уже внесенную сумму, «Аннулировать чек» отменит ее.");

const QString kReceiptOpen = QStringLiteral(
    "Служебный чек открыт. Откройте «Аннулирование и закрытие чека»: «Закрыть чек» проведет уже внесенную сумму, "
    "«Аннулировать чек» отменит ее.");

// The signed amount of a service cash command's data ("PASSWORD;0;-12.30;").
QString ServiceAmountOf(const std::string& data) {
  const std::size_t second = data.find(';', data.find(';') + 1);
  if (second == std::string::npos) return QString();
  const std::size_t end = data.find(';', second + 1);
  return QString::fromStdString(data.substr(second + 1, end == std::string::npos ? std::string::npos : end - second - 1));
}

}  // namespace

bool CashBySingleCommand(const std::string& protocolVersion, bool highAccess) {
  return (protocolVersion == "2.03" || protocolVersion == "2.01" || protocolVersion == "2.02") && !highAccess;
}

CashInOutScreen::CashInOutScreen(ScreenContext& context, QWidget* parent)
    : Screen(context, QStringLiteral("CashInOut"), QStringLiteral("Служебное внесение и изъятие денег"), parent) {
  password_ = NewPasswordBox();
  amount_ = new QLineEdit(QStringLiteral("1.00"));
  operator_ = new QLineEdit(QStringLiteral("1"));
  cash_ = NewErrorCodeBox();
  cashIn_ = NewButton(QStringLiteral("Служебный внос"));
  cashOut_ = NewButton(QStringLiteral("Служебное изъятие"));
  close_ = NewButton(QStringLiteral("Закрыть"));

  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Пароль:"), password_);
  form->addRow(QStringLiteral("Сумма:"), amount_);
  form->addRow(QStringLiteral("Номер оператора:"), operator_);
  form->addRow(QStringLiteral("Денег в кассе:"), cash_);
  LayOutBoxesAndButtons(this, form, {cashIn_, cashOut_, close_});
  setMinimumWidth(380);

  OnSend(cashIn_, [this] { MoveCash(true); });
  OnSend(cashOut_, [this] { MoveCash(false); });
  connect(close_, &QPushButton::clicked, this, &QDialog::accept);
}

void CashInOutScreen::MoveCash(bool in) {
  const QString prefix = in ? QStringLiteral("Служебный внос денег:") : QStringLiteral("Служебное изъятие денег:");
  const QString success =
      in ? QStringLiteral("Служебный внос денег - Успешно!") : QStringLiteral("Служебное изъятие денег - Успешно!");
  const double amount = ToFloat(amount_->text());
  const int operatorNumber = ToInt(operator_->text());
  // The direction comes from the button; a typed sign would turn a deposit into a withdrawal.
  if (!(amount > 0)) {
    ui().ShowMessage(QStringLiteral("Сумма должна быть больше нуля!"));
    return;
  }
  const double signedAmount = in ? amount : -amount;
  if (!SeparatorFree(ui(), QStringLiteral("Пароль:"), password_->text())) return;
  const std::string password = ToCp1251(password_->text());
  int err = 0;
  // Every step's lost reply is asked for again with its SEQ, so the money moves once; when the
  // registrator stays silent the message says what is not known and what not to do.
  if (CashBySingleCommand(state().protocolVersion, state().HighAccess())) {
    state().lastReply = SettleLostReply(CashInOut(password, operatorNumber, signedAmount, err));
    if (!CheckSent(ui(), err) || !CheckReply(ui(), state().LastReply(), prefix)) return Unsettled(kCashUnknown);
    cash_->setText(FromCp1251(state().LastReply().field(1)));
  } else {
    state().lastReply = SettleLostReply(OpenFiscalReceipt(password, operatorNumber, 0, 2, err));
    if (!CheckSent(ui(), err) || !CheckReplyText(ui(), state().LastReply())) return Unsettled(kReceiptUnknown);
    // A refused cash command leaves the service receipt open; the operator closes or annuls it.
    state().lastReply = SettleLostReply(ServiceCashInOut(password, 0, signedAmount, err));
    if (!CheckSent(ui(), err) || !CheckReply(ui(), state().LastReply(), prefix)) return Unsettled(kReceiptUnknown);
    cash_->setText(FromCp1251(state().LastReply().field(1)));
    state().openServiceCash = QString::number(signedAmount, 'f', 2);
    state().lastReply = SettleLostReply(CloseNonFiscalReceipt(password, err));
    if (!CheckSent(ui(), err) || !CheckReplyText(ui(), state().LastReply())) return Unsettled(kReceiptUnknown);
    state().openServiceCash.clear();
  }
  ui().ShowMessage(success);
}

void CashInOutScreen::EarlierSettled(const ReplyRecord* answer) {
  if (answer == nullptr || answer->errorText != "0000") return;
  // The cash command's answer holds the money in the till.
  if (answer->command == 0x6E || answer->command == 0x77) cash_->setText(FromCp1251(answer->field(1)));
  if (answer->command == 0x77) state().openServiceCash = ServiceAmountOf(answer->sentData);
  if (answer->command == 0x65) state().openServiceCash.clear();
  // A service receipt opened, or its cash moved, and not closed yet: what each recovery button does.
  if (answer->command == 0x63 || answer->command == 0x77) ui().ShowMessage(kReceiptOpen);
}

void CashInOutScreen::Unsettled(const QString& advice) {
  if (session::ReplyLost(state().LastReply())) ui().ShowMessage(advice);
}

}  // namespace kovrix
