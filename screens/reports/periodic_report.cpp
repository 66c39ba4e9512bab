#include "screens/reports/periodic_report.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "app/input.h"
#include "app/screen_helpers.h"
#include "app/text_codec.h"
#include "driver/commands.h"
#include "screens/reports/report_layout.h"
#include "screens/screen_kit.h"

namespace kovrix {
namespace {

const QString kHeading = QStringLiteral("Печать периодического отчета :");
// The pickers show two-digit years; one century keeps them unambiguous.
const QDate kFirstDate(2000, 1, 1);
const QDate kLastDate(2099, 12, 31);

QDateEdit* NewDatePicker() {
  auto* picker = new QDateEdit;
  picker->setDisplayFormat(QStringLiteral("dd.MM.yy"));
  picker->setDateRange(kFirstDate, kLastDate);
  picker->setCalendarPopup(true);
  return picker;
}

QGroupBox* NewChoiceGroup(const QString& title, QRadioButton* first, QRadioButton* second) {
  auto* group = new QGroupBox(title);
  auto* row = new QHBoxLayout(group);
  row->addWidget(first);
  row->addSpacing(24);
  row->addWidget(second);
  row->addStretch();
  first->setChecked(true);
  return group;
}

}  // namespace

PeriodicReport::PeriodicReport(ScreenContext& context, QWidget* parent)
    : Screen(context, QStringLiteral("PeriodicReport"), QStringLiteral("Печать периодического отчета "), parent) {
  byDate_ = new QRadioButton(QStringLiteral("По дате"));
  byNumber_ = new QRadioButton(QStringLiteral("По номеру"));
  short_ = new QRadioButton(QStringLiteral("Сокращенный"));
  full_ = new QRadioButton(QStringLiteral("Полный"));
  auto* typeGroup = new QGroupBox(QStringLiteral("Тип отчета"));
  auto* typeColumn = new QVBoxLayout(typeGroup);
  typeColumn->addWidget(NewChoiceGroup(QStringLiteral("По дате/номеру"), byDate_, byNumber_));
  typeColumn->addWidget(NewChoiceGroup(QStringLiteral("Полный/сокращенный"), short_, full_));

  firstDate_ = NewDatePicker();
  lastDate_ = NewDatePicker();
  dateGroup_ = new QGroupBox(QStringLiteral("Дата"));
  auto* dateForm = new QFormLayout(dateGroup_);
  dateForm->addRow(QStringLiteral("Дата первого отчета:"), firstDate_);
  dateForm->addRow(QStringLiteral("Дата последнего отчета:"), lastDate_);

  firstNumber_ = new QLineEdit;
  lastNumber_ = new QLineEdit;
  numberGroup_ = new QGroupBox(QStringLiteral("Номер"));
  auto* numberForm = new QFormLayout(numberGroup_);
  numberForm->addRow(QStringLiteral("Номер первого отчета:"), firstNumber_);
  numberForm->addRow(QStringLiteral("Номер последнего отчета:"), lastNumber_);

  password_ = NewPasswordBox();
  errorCode_ = NewErrorCodeBox();
  report_ = NewButton(QStringLiteral("Сделать отчет"));
  status_ = NewButton(QStringLiteral("Состояние регистратора"));
  status_->setEnabled(false);
  exit_ = NewButton(QStringLiteral("Выход"));

  auto* form = new QFormLayout;
  form->addRow(typeGroup);
  form->addRow(dateGroup_);
  form->addRow(numberGroup_);
  form->addRow(QStringLiteral("Пароль:"), password_);
  form->addRow(QStringLiteral("Код ошибки:"), errorCode_);
  LayOutBoxesAndButtons(this, form, {report_, status_, exit_});
  // The dialog follows its contents, so that swapping the date and number groups leaves no gap.
  typeGroup->setMinimumWidth(kReportScreenWidth);
  layout()->setSizeConstraint(QLayout::SetFixedSize);
  ShowRangeGroup();

  connect(byDate_, &QRadioButton::toggled, this, [this] { ShowRangeGroup(); });
  OnSend(report_, [this] { MakeReport(); });
  OnClick(status_, [this] { shell().OpenStatusBytes(); });
  OnClick(exit_, [this] { accept(); });
}

void PeriodicReport::Activate() {
  status_->setEnabled(false);
  firstDate_->setDate(today_());
  lastDate_->setDate(today_());
}

void PeriodicReport::ShowRangeGroup() {
  dateGroup_->setVisible(byDate_->isChecked());
  numberGroup_->setVisible(!byDate_->isChecked());
}

void PeriodicReport::ShowResult(const ReplyRecord& reply) {
  errorCode_->setText(ErrorCodeText(reply));
  CheckReply(ui(), reply, kHeading);
}

void PeriodicReport::MakeReport() {
  status_->setEnabled(true);
  errorCode_->clear();
  // Every typed value is converted before the receipt is opened, so that a typing error never
  // leaves a non-fiscal receipt open on the registrator.
  const bool byNumber = byNumber_->isChecked();
  const int type = full_->isChecked() ? 1 : 0;
  int first = 0;
  int last = 0;
  std::string firstDate;
  std::string lastDate;
  if (byNumber) {
    first = ToInt(firstNumber_->text());
    last = ToInt(lastNumber_->text());
  } else {
    firstDate = DateToDevice(firstDate_->text());
    lastDate = DateToDevice(lastDate_->text());
  }
  if (!SeparatorFree(ui(), QStringLiteral("Пароль:"), password_->text())) return;

  int err = 0;
  state().lastReply = OpenNonFiscalReceipt(kDefaultPassword, err);
  if (!CheckSent(ui(), err)) return;
  errorCode_->setText(ErrorCodeText(state().LastReply()));
  if (!CheckReply(ui(), state().LastReply(), kHeading)) return;

  // The receipt is closed whatever the report's outcome, so that a refused report does not
  // leave it open.
  state().lastReply = byNumber ? PrintPeriodicReport(ToCp1251(password_->text()), first, last, type, err)
                               : FindReportByDate(ToCp1251(password_->text()), firstDate, lastDate, type, err);
  if (CheckSent(ui(), err)) ShowResult(state().LastReply());

  err = 0;
  state().lastReply = CloseNonFiscalReceipt(kDefaultPassword, err);
  if (CheckSent(ui(), err)) ShowResult(state().LastReply());
}

}  // namespace kovrix
