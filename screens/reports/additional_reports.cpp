#include "screens/reports/additional_reports.h"

#include <QFormLayout>

#include "app/screen_helpers.h"
#include "app/text_codec.h"
#include "driver/commands.h"
#include "screens/reports/report_layout.h"
#include "screens/screen_kit.h"

namespace kovrix {
namespace {

// The receipt commands and the report command report under headings that differ by one blank.
const QString kReceiptHeading = QStringLiteral("Печать дополнительных дневных отчетов :");
const QString kReportHeading = QStringLiteral("Печать дополнительных дневных отчетов:");

}  // namespace

AdditionalReports::AdditionalReports(ScreenContext& context, QWidget* parent)
    : Screen(context, QStringLiteral("AdditionalReports"), QStringLiteral("Печать дополнительных дневных отчетов"),
             parent) {
  password_ = NewPasswordBox();
  reportType_ = new QComboBox;
  // The entry's index is the report type the registrator is sent.
  reportType_->addItems({QStringLiteral("Отчет по отделам"), QStringLiteral("Отчет по операторам"),
                         QStringLiteral("Вывести контрольную ленту")});
  errorCode_ = NewErrorCodeBox();
  report_ = NewButton(QStringLiteral("Отчет"));
  status_ = NewButton(QStringLiteral("Состояние регистратора"));
  close_ = NewButton(QStringLiteral("Закрыть"));

  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Пароль:"), password_);
  form->addRow(QStringLiteral("Тип отчета:"), reportType_);
  form->addRow(QStringLiteral("Код ошибки:"), errorCode_);
  LayOutBoxesAndButtons(this, form, {report_, status_, close_});
  setMinimumWidth(kReportScreenWidth);

  OnSend(report_, [this] { MakeReport(); });
  OnClick(status_, [this] { shell().OpenStatusBytes(); });
  OnClick(close_, [this] { accept(); });
}

void AdditionalReports::Activate() { reportType_->setCurrentIndex(0); }

void AdditionalReports::CloseReceipt() {
  // Open and close go with the default password; their data always fits one frame.
  int err = 0;
  state().lastReply = SettleLostReply(CloseNonFiscalReceipt(kDefaultPassword, err));
  errorCode_->setText(ErrorCodeText(state().LastReply()));
  CheckReply(ui(), state().LastReply(), kReceiptHeading);
}

void AdditionalReports::EarlierSettled(const ReplyRecord* answer) {
  errorCode_->setText(ErrorCodeText(state().LastReply()));
  // The report printed once after all: the receipt opened for it is closed, as the report's own
  // click would have done.
  if (answer && answer->command == 0xA6 && answer->errorText == "0000") CloseReceipt();
}

void AdditionalReports::MakeReport() {
  if (!SeparatorFree(ui(), QStringLiteral("Пароль:"), password_->text())) return;
  const auto closeReceipt = [this] { CloseReceipt(); };
  int err = 0;
  state().lastReply = OpenNonFiscalReceipt(kDefaultPassword, err);
  errorCode_->setText(ErrorCodeText(state().LastReply()));
  if (!CheckReply(ui(), state().LastReply(), kReceiptHeading)) return;

  // A lost reply is asked for again at once with the same SEQ: the report prints once.
  state().lastReply =
      SettleLostReply(PrintAdditionalReport(ToCp1251(password_->text()), reportType_->currentIndex(), 0, 0, err));
  if (!CheckSent(ui(), err)) {
    // Nothing reached the registrator: the receipt opened for the report is closed again.
    closeReceipt();
    return;
  }
  errorCode_->setText(ErrorCodeText(state().LastReply()));
  // A refused report leaves the receipt open for the operator to close or annul.
  if (!CheckReply(ui(), state().LastReply(), kReportHeading)) return;
  closeReceipt();
}

}  // namespace kovrix
