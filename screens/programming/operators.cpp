#include "screens/programming/operators.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "app/input.h"
#include "app/screen_helpers.h"
#include "app/text_codec.h"
#include "driver/commands.h"
#include "screens/programming/text_fields.h"
#include "screens/screen_kit.h"

namespace kovrix {

OperatorParameters::OperatorParameters(ScreenContext& context, QWidget* parent)
    : Screen(context, QStringLiteral("TForm12"), QStringLiteral("Параметры операторов"), parent) {
  number_ = new QLineEdit;
  password_ = NewPasswordBox();
  operatorPassword_ = NewPasswordBox();
  operatorPassword_->setMaxLength(6);
  name_ = new QLineEdit;
  name_->setMaxLength(20);
  readName_ = new QLineEdit;
  readName_->setMaxLength(20);
  readName_->setReadOnly(true);
  madeSales_ = new QCheckBox(QStringLiteral("Выполнялись продажи"));
  // The box reports what the registrator answered; the user does not tick it.
  madeSales_->setAttribute(Qt::WA_TransparentForMouseEvents);
  madeSales_->setFocusPolicy(Qt::NoFocus);
  set_ = NewButton(QStringLiteral("Установить"));
  read_ = NewButton(QStringLiteral("Прочитать"));
  delete_ = NewButton(QStringLiteral("Удалить оператора"));
  delete_->setToolTip(QStringLiteral("Если номер оператора \"-1\", то удаляются все опреаторы"));
  close_ = NewButton(QStringLiteral("Закрыть"));

  auto* top = new QFormLayout;
  top->addRow(QStringLiteral("Номер оператора:"), number_);
  top->addRow(QStringLiteral("Пароль:"), password_);

  auto* setGroup = new QGroupBox(QStringLiteral("Установить параметры оператора"));
  auto* setForm = new QFormLayout;
  setForm->addRow(QStringLiteral("Пароль оператора:"), operatorPassword_);
  setForm->addRow(QStringLiteral("Имя:"), name_);
  auto* setColumn = new QVBoxLayout(setGroup);
  setColumn->addLayout(setForm);
  setColumn->addWidget(set_, 0, Qt::AlignRight);

  auto* readGroup = new QGroupBox(QStringLiteral("Прочитать параметры оператора"));
  auto* readForm = new QFormLayout;
  readForm->addRow(QStringLiteral("Имя:"), readName_);
  readForm->addRow(madeSales_);
  auto* readColumn = new QVBoxLayout(readGroup);
  readColumn->addLayout(readForm);
  readColumn->addWidget(read_, 0, Qt::AlignRight);

  auto* buttons = ButtonRow({delete_}, close_);
  auto* outer = new QVBoxLayout(this);
  outer->addLayout(top);
  outer->addWidget(setGroup);
  outer->addWidget(readGroup);
  outer->addLayout(buttons);
  setMinimumWidth(380);

  OnClick(set_, [this] { Run(Action::Set); });
  OnClick(read_, [this] { Run(Action::Read); });
  OnClick(delete_, [this] { Run(Action::Delete); });
  connect(close_, &QPushButton::clicked, this, &QDialog::accept);
}

void OperatorParameters::Run(Action action) {
  int number = 0;
  try {
    number = ToInt(number_->text());
  } catch (const InputError&) {
    ui().ShowMessage(QStringLiteral("Ошибка! Номер оператора неверный."));
    return;
  }
  if (!SeparatorFree(ui(), QStringLiteral("Пароль:"), password_->text())) return;
  const std::string password = ToCp1251(password_->text());
  int err = 0;
  switch (action) {
    case Action::Set:
      if (!SeparatorFree(ui(), QStringLiteral("Пароль оператора:"), operatorPassword_->text()) ||
          !SeparatorFree(ui(), QStringLiteral("Имя:"), name_->text())) {
        return;
      }
      state().lastReply =
          SetOperatorParams(password, number, ToCp1251(operatorPassword_->text()), ToCp1251(name_->text()), err);
      break;
    case Action::Read:
      state().lastReply = GetOperatorParams(password, number, err);
      break;
    case Action::Delete:
      state().lastReply = ClearOpetratorPsw(password, number, err);
      break;
  }
  if (!CheckSent(ui(), err)) return;
  const ReplyRecord& reply = state().LastReply();
  if (!CheckReply(ui(), reply, QStringLiteral("Оператор %1 ").arg(number))) return;
  if (action == Action::Read) {
    if (!ShowOutsideValues(ui(), {{readName_, QStringLiteral("Имя:"), FromCp1251(reply.field(2))}})) return;
    madeSales_->setChecked(reply.field(1) == "1");
  }
  ui().ShowMessage(QStringLiteral("Успешно!"));
}

}  // namespace kovrix
