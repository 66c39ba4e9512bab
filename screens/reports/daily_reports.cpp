#include "screens/reports/daily_reports.h"

#include <QFormLayout>

#include "app/screen_helpers.h"
#include "app/text_codec.h"
#include "driver/commands.h"
#include "driver/driver.h"
#include "screens/screen_kit.h"
#include "session/lost_reply.h"

namespace kovrix {
namespace {

// Report selectors of the daily report command.
constexpr int kZReport = 0;
constexpr int kXReport = 1;
constexpr int kClearControlTape = 2;
// Selector of the additional report command that prints the control tape.
constexpr int kControlTapeReport = 2;

const QString kReportHeading = QStringLiteral("Печать дневных отчетов:");
const QString kStateHeading = QStringLiteral("Проверка состояния регистратора:");
const QString kClearHeading = QStringLiteral("Обнуление контрольной ленты:");
// Said after a lost reply, below the time-out text.
const QString kZUnknown = QStringLiteral(
    "Ответ на Z-отчет потерян: напечатан ли он, неизвестно. Нажмите «Z-отчет» еще раз: регистратор "
    "ответит на тот же запрос, второй Z-отчет напечатан не будет.");
const QString kZAskAgain = QStringLiteral(
    "Ответ на предыдущий Z-отчет был потерян, и с тех пор регистратору отправлялись другие команды: "
    "Z-отчет мог быть уже напечатан (проверьте ленту). Отправить новый Z-отчет?");
const QString kRecovered = QStringLiteral("Ответ регистратора был потерян и получен повторно: отчет напечатан один раз.");

// The header line goes out as it stands, its leading print-control characters included.
const QString kTapeHeader = QStringLiteral("%MHJc*** Контрольная лента ***");

}  // namespace

DailyReports::DailyReports(ScreenContext& context, QWidget* parent)
    : Screen(context, QStringLiteral("DailyReports"), QStringLiteral("Печать дневных отчетов"), parent) {
  password_ = NewPasswordBox();
  errorCode_ = NewErrorCodeBox();
  xReport_ = NewButton(QStringLiteral("X-отчет"));
  zReport_ = NewButton(QStringLiteral("Z-отчет"));
  controlTape_ = NewButton(QStringLiteral("Печать контрольной ленты"));
  clearTape_ = NewButton(QStringLiteral("Обнуления контрольной ленты"));
  status_ = NewButton(QStringLiteral("Состояние регистратора"));
  close_ = NewButton(QStringLiteral("Закрыть"));

  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Пароль:"), password_);
  form->addRow(QStringLiteral("Код ошибки:"), errorCode_);
  LayOutBoxesAndButtons(this, form, {xReport_, zReport_, controlTape_, clearTape_, status_, close_});

  OnSend(xReport_, [this] { DailyReport(kXReport); });
  OnSend(zReport_, [this] { DailyReport(kZReport); });
  OnSend(controlTape_, [this] { PrintControlTape(); });
  OnSend(clearTape_, [this] { ClearControlTape(); });
  OnClick(status_, [this] { shell().OpenStatusBytes(); });
  OnClick(close_, [this] { Close(); });
}

void DailyReports::EarlierSettled(const ReplyRecord* answer) {
  errorCode_->setText(ErrorCodeText(state().LastReply()));
  // The lost Z report's own answer came: its outcome is known, no question is needed any more.
  if (answer && answer->command == 0xA1) lostZ_ = false;
}

std::string DailyReports::Password() const { return ToCp1251(password_->text()); }

void DailyReports::Succeeded() {
  status_->setEnabled(true);
  state().connected = true;
}

void DailyReports::DailyReport(int selector) {
  if (!SeparatorFree(ui(), QStringLiteral("Пароль:"), password_->text())) return;
  status_->setEnabled(true);
  errorCode_->clear();
  // A Z report counts the connection as checked before it is sent, whatever the answer.
  if (selector == kZReport) state().connected = true;
  if (!SendReport(selector)) return;
  const ReplyRecord& reply = state().LastReply();
  errorCode_->setText(ErrorCodeText(reply));
  if (selector == kZReport && session::ReplyLost(reply)) {
    lostZ_ = true;
    CheckReply(ui(), reply, kReportHeading);
    ui().ShowMessage(kZUnknown);
    return;
  }
  if (CheckReply(ui(), reply, kReportHeading)) Succeeded();
}

bool DailyReports::SendReport(int selector) {
  // A lost Z whose frame is still the last one sent was asked for again before this click went on
  // (EarlierSettled); here other frames went out since, and only the tape tells.
  if (selector == kZReport && lostZ_ && !ui().AskOkCancel(kZAskAgain)) return false;
  if (selector == kZReport) lostZ_ = false;
  int err = 0;
  state().lastReply = PrintReport(Password(), selector, err);
  if (!CheckSent(ui(), err)) return false;
  // A lost reply is asked for again at once, with the same SEQ.
  if (session::ReplyLost(state().LastReply())) {
    if (const ReplyRecord* again = session::RecoverLostReply()) {
      state().lastReply = again;
      ui().ShowMessage(kRecovered);
    }
  }
  return true;
}

void DailyReports::PrintControlTape() {
  if (!SeparatorFree(ui(), QStringLiteral("Пароль:"), password_->text())) return;
  status_->setEnabled(true);
  int err = 0;
  state().lastReply = OpenNonFiscalReceipt(Password(), err);
  if (!CheckSent(ui(), err) || !CheckReplyText(ui(), state().LastReply())) return;
  // The header line always goes with the default password, whatever the password box holds.
  state().lastReply = PrintText(kDefaultPassword, ToCp1251(kTapeHeader), err);
  if (!CheckSent(ui(), err) || !CheckReplyText(ui(), state().LastReply())) return;
  state().lastReply = PrintAdditionalReport(Password(), kControlTapeReport, 0, 0, err);
  if (!CheckSent(ui(), err) || !CheckReply(ui(), state().LastReply(), kStateHeading)) return;
  state().lastReply = CloseNonFiscalReceipt(Password(), err);
  if (!CheckSent(ui(), err) || !CheckReplyText(ui(), state().LastReply())) return;
  Succeeded();
}

void DailyReports::ClearControlTape() {
  if (!SeparatorFree(ui(), QStringLiteral("Пароль:"), password_->text())) return;
  int err = 0;
  state().lastReply = PrintReport(Password(), kClearControlTape, err);
  if (!CheckSent(ui(), err)) return;
  const ReplyRecord& reply = state().LastReply();
  errorCode_->setText(ErrorCodeText(reply));
  if (CheckReply(ui(), reply, kClearHeading)) Succeeded();
}

void DailyReports::Close() {
  errorCode_->clear();
  status_->setEnabled(false);
  state().connected = true;
  accept();
}

}  // namespace kovrix
