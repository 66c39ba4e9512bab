#include "screens/reports/second_line_daily_reports.h"

#include <QFormLayout>
#include <QGridLayout>
#include <QVBoxLayout>

#include "app/screen_helpers.h"
#include "app/text_codec.h"
#include "driver/commands.h"
#include "driver/reply.h"
#include "screens/reports/report_layout.h"
#include "screens/screen_kit.h"

namespace kovrix {
namespace {

// Report selectors of the daily report command.
constexpr int kZReport = 0;
constexpr int kXReport = 1;
constexpr int kClearControlTape = 2;
constexpr int kUploadControlTape = 5;
// The command that clears the article base; it goes with the default password alone.
constexpr int kClearArticleBase = 0x3B;

const QString kReportHeading = QStringLiteral("Печать дневных отчетов:");

}  // namespace

bool ControlTapeUploadOffered(const ConnectionState& state) {
  return state.protocolVersion == "3.02" || state.HighAccess();
}

SecondLineDailyReports::SecondLineDailyReports(ScreenContext& context, QWidget* parent)
    : Screen(context, QStringLiteral("SecondLineDailyReports"), QStringLiteral("RQM707 дневные отчеты"), parent) {
  password_ = NewPasswordBox();
  errorCode_ = NewErrorCodeBox();
  xReport_ = NewButton(QStringLiteral("X-отчет"));
  zReport_ = NewButton(QStringLiteral("Z-отчет"));
  upload_ = NewButton(QStringLiteral("Выгрузка и обнуления контрольной ленты"));
  clearArticles_ = new QCheckBox(QStringLiteral("Обнулить базу товаров"));
  status_ = NewButton(QStringLiteral("Состояние регистратора"));
  close_ = NewButton(QStringLiteral("Закрыть"));

  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Пароль:"), password_);
  form->addRow(QStringLiteral("Код ошибки:"), errorCode_);
  auto* grid = new QGridLayout;
  grid->addWidget(xReport_, 0, 0);
  grid->addWidget(zReport_, 0, 1);
  // The check box sits beside the upload button and stays when the button is hidden.
  grid->addWidget(upload_, 1, 0);
  grid->addWidget(clearArticles_, 1, 1);
  grid->addWidget(status_, 2, 0);
  grid->addWidget(close_, 2, 1);
  auto* outer = new QVBoxLayout(this);
  outer->addLayout(form);
  outer->addLayout(grid);
  setMinimumWidth(kReportScreenWidth);

  OnClick(xReport_, [this] { DailyReport(kXReport); });
  OnClick(zReport_, [this] { DailyReport(kZReport); });
  OnClick(upload_, [this] { UploadAndClear(); });
  OnClick(status_, [this] { Refresh(); });
  OnClick(close_, [this] { Close(); });
}

std::string SecondLineDailyReports::Password() const { return ToCp1251(password_->text()); }

void SecondLineDailyReports::Succeeded() {
  status_->setEnabled(true);
  state().connected = true;
}

bool SecondLineDailyReports::SendReport(int selector) {
  int err = 0;
  state().lastReply = PrintReport(Password(), selector, err);
  if (!CheckSent(ui(), err)) return false;
  errorCode_->setText(ErrorCodeText(state().LastReply()));
  return CheckReply(ui(), state().LastReply(), kReportHeading);
}

void SecondLineDailyReports::DailyReport(int selector) {
  if (!SeparatorFree(ui(), QStringLiteral("Пароль:"), password_->text())) return;
  status_->setEnabled(true);
  errorCode_->clear();
  // A Z report counts the connection as checked before it is sent, whatever the answer.
  if (selector == kZReport) state().connected = true;
  if (SendReport(selector)) Succeeded();
}

void SecondLineDailyReports::UploadAndClear() {
  if (!SeparatorFree(ui(), QStringLiteral("Пароль:"), password_->text())) return;
  status_->setEnabled(true);
  state().connected = true;
  errorCode_->clear();
  // The tape is cleared only once it has been uploaded.
  if (!SendReport(kUploadControlTape) || !SendReport(kClearControlTape)) return;
  if (clearArticles_->isChecked()) {
    const std::string data = std::string(kDefaultPassword) + ";";
    const ReplyRecord* reply = ExecuteFitting(ui(), kClearArticleBase, data);
    if (reply == nullptr) return;
    state().lastReply = reply;
    errorCode_->setText(ErrorCodeText(*reply));
    if (!CheckTimeoutAndCode(ui(), *reply, QStringLiteral("Таймаут устройства! Ошибка!"), QStringLiteral("Ошибка "))) {
      return;
    }
  }
  Succeeded();
}

void SecondLineDailyReports::Refresh() {
  status_->setEnabled(false);
  if (state().connected) status_->setEnabled(true);
  errorCode_->clear();
  upload_->setVisible(ControlTapeUploadOffered(state()));
}

void SecondLineDailyReports::Close() {
  errorCode_->clear();
  status_->setEnabled(false);
  state().connected = true;
  accept();
}

}  // namespace kovrix
