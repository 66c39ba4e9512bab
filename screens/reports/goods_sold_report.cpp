#include "screens/reports/goods_sold_report.h"

#include <QFormLayout>
#include <limits>

#include "app/input.h"
#include "app/screen_helpers.h"
#include "app/text_codec.h"
#include "driver/commands.h"
#include "screens/reports/report_layout.h"
#include "screens/screen_kit.h"

namespace kovrix {
namespace {

const QString kHeading = QStringLiteral("Отчет по реализованным товарам:");
const QString kStateHeading = QStringLiteral("Проверка состояния регистратора:");

}  // namespace

long long ToArticleCode(const QString& text) {
  const QString t = text.trimmed();
  qsizetype i = 0;
  bool negative = false;
  if (i < t.size() && (t[i] == u'-' || t[i] == u'+')) negative = t[i++] == u'-';
  const bool hasDigits = i < t.size();
  // Accumulated as a negative number, whose range reaches one further than the positive one.
  long long value = 0;
  bool inRange = true;
  for (; i < t.size() && inRange; ++i) {
    if (t[i] < u'0' || t[i] > u'9') break;
    const int digit = t[i].unicode() - u'0';
    if (value < (std::numeric_limits<long long>::min() + digit) / 10) inRange = false;
    else value = value * 10 - digit;
  }
  if (!negative && value == std::numeric_limits<long long>::min()) inRange = false;
  if (!hasDigits || !inRange || i != t.size()) {
    throw InputError{QStringLiteral("'%1' is not a valid integer value").arg(text)};
  }
  return negative ? value : -value;
}

QString LastArticleCodeFor(const ConnectionState& state) {
  const std::string& v = state.protocolVersion;
  const bool longCodes = v == "2.02" || v == "2.03" || v == "3.00" || state.HighAccess();
  return longCodes ? QStringLiteral("99999999999999") : QStringLiteral("999999999");
}

GoodsSoldReport::GoodsSoldReport(ScreenContext& context, QWidget* parent)
    : Screen(context, QStringLiteral("GoodsSoldReport"), QStringLiteral("Отчет по реализованным товарам"), parent) {
  password_ = NewPasswordBox();
  errorCode_ = NewErrorCodeBox();
  firstCode_ = new QLineEdit(QStringLiteral("0"));
  firstCode_->setMaxLength(9);
  lastCode_ = new QLineEdit;
  report_ = NewButton(QStringLiteral("Сделать отчет"));
  status_ = NewButton(QStringLiteral("Состояние регистратора"));
  close_ = NewButton(QStringLiteral("Закрыть"));

  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Пароль:"), password_);
  form->addRow(QStringLiteral("Код ошибки:"), errorCode_);
  form->addRow(QStringLiteral("Код первого товара:"), firstCode_);
  form->addRow(QStringLiteral("Код последнего товара:"), lastCode_);
  LayOutBoxesAndButtons(this, form, {report_, status_, close_});
  setMinimumWidth(kReportScreenWidth);

  OnClick(report_, [this] { MakeReport(); });
  OnClick(status_, [this] { CheckState(); });
  OnClick(close_, [this] {
    status_->setEnabled(false);
    accept();
  });
}

void GoodsSoldReport::Activate() {
  lastCode_->setText(LastArticleCodeFor(state()));
  errorCode_->clear();
  status_->setEnabled(false);
}

void GoodsSoldReport::ShowResult(const ReplyRecord& reply) {
  errorCode_->setText(ErrorCodeText(reply));
  CheckReply(ui(), reply, kHeading);
}

void GoodsSoldReport::MakeReport() {
  status_->setEnabled(true);
  errorCode_->clear();
  // Both codes are converted before the receipt is opened, so that a typing error never leaves
  // a non-fiscal receipt open on the registrator.
  const long long first = ToArticleCode(firstCode_->text());
  const long long last = ToArticleCode(lastCode_->text());
  if (!SeparatorFree(ui(), QStringLiteral("Пароль:"), password_->text())) return;

  int err = 0;
  state().lastReply = OpenNonFiscalReceipt(kDefaultPassword, err);
  if (!CheckSent(ui(), err)) return;
  errorCode_->setText(ErrorCodeText(state().LastReply()));
  if (!CheckReply(ui(), state().LastReply(), kHeading)) return;

  // The receipt is closed whatever the report's outcome.
  state().lastReply = PrintArticulReport(ToCp1251(password_->text()), first, last, err);
  if (CheckSent(ui(), err)) ShowResult(state().LastReply());

  err = 0;
  state().lastReply = CloseNonFiscalReceipt(kDefaultPassword, err);
  if (CheckSent(ui(), err)) ShowResult(state().LastReply());
}

void GoodsSoldReport::CheckState() {
  int err = 0;
  state().lastReply = GetDiagnosticInfo(kDefaultPassword, err);
  if (!CheckSent(ui(), err)) return;
  const ReplyRecord& reply = state().LastReply();
  if (!CheckReply(ui(), reply, kStateHeading)) return;
  state().paymentTypeCount = PaymentTypeCount(reply);
  shell().SetStatusText(ModelStatusLine(reply, false));
  shell().OpenStatusBytes();
}

}  // namespace kovrix
