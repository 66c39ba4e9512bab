#include "screens/programming/decimal_point.h"

#include <QFormLayout>

#include "app/input.h"
#include "app/screen_helpers.h"
#include "app/text_codec.h"
#include "driver/commands.h"
#include "screens/screen_kit.h"

namespace kovrix {
namespace {

const QString kHeading = QStringLiteral("Позиция десятичной точки:");

}  // namespace

DecimalPointPosition::DecimalPointPosition(ScreenContext& context, QWidget* parent)
    : Screen(context, QStringLiteral("TForm32"), QStringLiteral("Позиция десятичной точки (\"гривны-копейки\")"),
             parent) {
  position_ = new QComboBox;
  position_->addItems({QStringLiteral("0"), QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")});
  errorCode_ = NewErrorCodeBox();
  password_ = NewPasswordBox();
  read_ = NewButton(QStringLiteral("Прочитать"));
  set_ = NewButton(QStringLiteral("Установить"));
  status_ = NewButton(QStringLiteral("Состояние регистратора"));
  close_ = NewButton(QStringLiteral("Закрыть"));

  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Позиция десятичной точки:"), position_);
  form->addRow(QStringLiteral("Код ошибки:"), errorCode_);
  form->addRow(QStringLiteral("Пароль:"), password_);
  LayOutBoxesAndButtons(this, form, {read_, set_, status_, close_});

  OnClick(read_, [this] { ReadPosition(); });
  OnClick(set_, [this] { SetPosition(); });
  OnClick(status_, [this] { shell().OpenStatusBytes(); });
  connect(close_, &QPushButton::clicked, this, &QDialog::accept);
}

void DecimalPointPosition::Activate() { position_->setCurrentIndex(2); }

void DecimalPointPosition::ReadPosition() {
  if (!SeparatorFree(ui(), QStringLiteral("Пароль:"), password_->text())) return;
  int err = 0;
  state().lastReply = GetDecimalPoint(ToCp1251(password_->text()), err);
  if (!CheckSent(ui(), err)) return;
  const ReplyRecord& reply = state().LastReply();
  errorCode_->setText(ErrorCodeText(reply));
  if (!CheckReply(ui(), reply, kHeading)) return;
  // A position the list does not have leaves no entry selected rather than a wrong one.
  position_->setCurrentIndex(ToInt(FromCp1251(reply.field(1))));
}

void DecimalPointPosition::SetPosition() {
  if (!SeparatorFree(ui(), QStringLiteral("Пароль:"), password_->text())) return;
  int err = 0;
  state().lastReply = SetDecimalPoint(ToCp1251(password_->text()), position_->currentIndex(), err);
  if (!CheckSent(ui(), err)) return;
  const ReplyRecord& reply = state().LastReply();
  errorCode_->setText(ErrorCodeText(reply));
  CheckReply(ui(), reply, kHeading);
}

}  // namespace kovrix
