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

  OnClick(report_, [this] { MakeReport(); });
  OnClick(status_, [this] { shell().OpenStatusBytes(); });
  OnClick(close_, [this] { accept(); });
}

void AdditionalReports::Activate() { reportType_->setCurrentIndex(0); }

void AdditionalReports::MakeReport() {
  if (!SeparatorFree(ui(), QStringLiteral("Пароль:"), password_->text())) return;
  // Open and close go with the default password; their data always fits one frame.
  auto closeReceipt = [this] {
    int closeErr = 0;
    state().lastReply = CloseNonFiscalReceipt(kDefaultPassword, closeErr);
    errorCode_->setText(ErrorCodeText(state().LastReply()));
    CheckReply(ui(), state().LastReply(), kReceiptHeading);
  };
  int err = 0;
  state().lastReply = OpenNonFiscalReceipt(kDefaultPassword, err);
  errorCode_->setText(ErrorCodeText(state().LastReply()));
  if (!CheckReply(ui(), state().LastReply(), kReceiptHeading)) return;

  state().lastReply = PrintAdditionalReport(ToCp1251(password_->text()), reportType_->currentIndex(), 0, 0, err);
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
