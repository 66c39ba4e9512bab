#include "screens/programming/payment_types.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QVBoxLayout>
#include <algorithm>

#include "app/input.h"
#include "app/long_run.h"
#include "app/screen_helpers.h"
#include "app/text_codec.h"
#include "driver/commands.h"
#include "screens/programming/text_fields.h"
#include "screens/screen_kit.h"

namespace kovrix {
namespace {

enum Column { kNumber, kName, kSale, kRefund, kChange, kColumns };

QString Permission(bool allowed) { return allowed ? QStringLiteral("Разрешено") : QStringLiteral("Запрещено"); }

}  // namespace

int PaymentMask(bool sale, bool refund, bool cashChange) {
  return (sale ? kPaymentSale : 0) | (refund ? kPaymentRefund : 0) | (cashChange ? kPaymentCashChange : 0);
}

QStringList PaymentPermissionTexts(const std::string& maskField) {
  const std::uint32_t mask = HexPrefix(maskField);
  return {Permission(mask & kPaymentSale), Permission(mask & kPaymentRefund), Permission(mask & kPaymentCashChange)};
}

PaymentTypes::PaymentTypes(ScreenContext& context, QWidget* parent)
    : Screen(context, QStringLiteral("TForm34"), QStringLiteral("Параметры оплаты"), parent) {
  table_ = new QTableWidget(0, kColumns);
  table_->setHorizontalHeaderLabels({QStringLiteral("Номер"), QStringLiteral("Название"), QStringLiteral("Продажа"),
                                     QStringLiteral("Возврат"), QStringLiteral("Сдача наличными")});
  table_->verticalHeader()->hide();
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setSelectionMode(QAbstractItemView::NoSelection);
  table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  table_->horizontalHeader()->setSectionResizeMode(kName, QHeaderView::Stretch);
  table_->setFocusPolicy(Qt::NoFocus);
  table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 8);
  // Room for ten payment types without scrolling; more scroll.
  table_->setMinimumSize(560, table_->horizontalHeader()->sizeHint().height() +
                                  10 * table_->verticalHeader()->defaultSectionSize() + 4);

  name_ = new QLineEdit;
  name_->setMaxLength(20);
  number_ = new QLineEdit;
  number_->setMaxLength(1);
  number_->setMaximumWidth(50);
  sale_ = new QCheckBox(QStringLiteral("Разрешение использования при продаже"));
  refund_ = new QCheckBox(QStringLiteral("Разрешение использования при возврате"));
  change_ = new QCheckBox(QStringLiteral("Разрешение начисления сдачи наличными"));
  add_ = NewButton(QStringLiteral("Добавить"));
  read_ = NewButton(QStringLiteral("Прочитать"));
  exit_ = NewButton(QStringLiteral("Выход"));

  auto* group = new QGroupBox(QStringLiteral("Добавить форму оплаты"));
  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Наименование:"), name_);
  form->addRow(QStringLiteral("Номер:"), number_);
  auto* groupColumn = new QVBoxLayout(group);
  groupColumn->addLayout(form);
  groupColumn->addWidget(sale_);
  groupColumn->addWidget(refund_);
  groupColumn->addWidget(change_);
  groupColumn->addWidget(add_, 0, Qt::AlignRight);

  auto* buttons = ButtonRow({read_}, exit_);
  auto* outer = new QVBoxLayout(this);
  outer->addWidget(table_);
  outer->addWidget(group);
  outer->addLayout(buttons);

  connect(name_, &QLineEdit::textChanged, this, [this] { UpdateAddButton(); });
  connect(number_, &QLineEdit::textChanged, this, [this] { UpdateAddButton(); });
  OnClick(add_, [this] { AddPaymentType(); });
  OnClick(read_, [this] { ReadPaymentTypes(); });
  connect(exit_, &QPushButton::clicked, this, &QDialog::accept);
  UpdateAddButton();
}

void PaymentTypes::Activate() {
  if (readFlag_) return;
  const int rows = std::max(0, state().paymentTypeCount);
  table_->setRowCount(rows);
  for (int row = 0; row < rows; ++row) SetCell(row, kNumber, QString::number(row));
  BlankRows();
  name_->clear();
  number_->clear();
  sale_->setChecked(false);
  refund_->setChecked(false);
  change_->setChecked(false);
}

void PaymentTypes::UpdateAddButton() { add_->setEnabled(!name_->text().isEmpty() && !number_->text().isEmpty()); }

void PaymentTypes::SetCell(int row, int column, const QString& text) {
  QTableWidgetItem* item = table_->item(row, column);
  if (!item) {
    item = new QTableWidgetItem;
    table_->setItem(row, column, item);
  }
  item->setText(text);
}

void PaymentTypes::BlankRows() {
  for (int row = 0; row < table_->rowCount(); ++row) {
    for (int column = kName; column < kColumns; ++column) SetCell(row, column, QString());
  }
}

void PaymentTypes::AddPaymentType() {
  const int mask = PaymentMask(sale_->isChecked(), refund_->isChecked(), change_->isChecked());
  const int number = ToInt(number_->text());
  if (!SeparatorFree(ui(), QStringLiteral("Наименование:"), name_->text())) return;
  int err = 0;
  state().lastReply = SetPaymentParams(kDefaultPassword, number, mask, ToCp1251(name_->text()), err);
  if (!CheckSent(ui(), err)) return;
  if (CheckReply(ui(), state().LastReply(), QStringLiteral("Добавление формы оплаты:"))) {
    ui().ShowMessage(QStringLiteral("Успешно!"));
  }
}

void PaymentTypes::ReadPaymentTypes() {
  readFlag_ = true;
  add_->setEnabled(false);
  read_->setEnabled(false);
  BlankRows();
  LongRun run(this, QStringLiteral("Чтение форм оплаты"), table_->rowCount());
  for (int k = 0; k < table_->rowCount() && run.Continue(); ++k) {
    int err = 0;
    state().lastReply = GetPaymentParams(kDefaultPassword, k, err);
    const ReplyRecord& reply = state().LastReply();
    if (!CheckSent(ui(), err) || !CheckReply(ui(), reply, QStringLiteral("Чтение форм оплаты:"))) break;
    SetCell(k, kName, FromCp1251(reply.field(2)));
    const QStringList permissions = PaymentPermissionTexts(reply.field(1));
    SetCell(k, kSale, permissions[0]);
    SetCell(k, kRefund, permissions[1]);
    SetCell(k, kChange, permissions[2]);
    table_->viewport()->update();
  }
  run.End();
  UpdateAddButton();
  read_->setEnabled(true);
}

}  // namespace kovrix
