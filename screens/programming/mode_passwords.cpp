#include "screens/programming/mode_passwords.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "app/screen_helpers.h"
#include "app/text_codec.h"
#include "driver/commands.h"
#include "screens/programming/text_fields.h"
#include "screens/screen_kit.h"

namespace kovrix {
namespace {

QLineEdit* SixCharacterBox() {
  QLineEdit* box = NewPasswordBox();
  box->setMaxLength(6);
  return box;
}

}  // namespace

ModePasswords::ModePasswords(ScreenContext& context, QWidget* parent)
    : Screen(context, QStringLiteral("TForm13"), QStringLiteral("Пароли"), parent) {
  admin_ = SixCharacterBox();
  programming_ = SixCharacterBox();
  reports_ = SixCharacterBox();
  newAdmin_ = SixCharacterBox();
  newAdmin_->setEchoMode(QLineEdit::Password);
  run_ = NewButton(QStringLiteral("Выполнить"));
  close_ = NewButton(QStringLiteral("Закрыть"));

  auto* top = new QFormLayout;
  top->addRow(QStringLiteral("Пароль администратора:"), admin_);
  auto* group = new QGroupBox(QStringLiteral("Пароли режимов"));
  auto* modes = new QFormLayout(group);
  modes->addRow(QStringLiteral("Новый пароль программирования:"), programming_);
  modes->addRow(QStringLiteral("Новый пароль отчетов:"), reports_);
  modes->addRow(QStringLiteral("Новый пароль администратора:"), newAdmin_);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(run_);
  buttons->addWidget(close_);
  auto* outer = new QVBoxLayout(this);
  outer->addLayout(top);
  outer->addWidget(group);
  outer->addLayout(buttons);

  OnClick(run_, [this] { SetPasswords(); });
  connect(close_, &QPushButton::clicked, this, &QDialog::accept);
}

void ModePasswords::SetPasswords() {
  const std::pair<const char*, QLineEdit*> boxes[] = {{"Пароль администратора:", admin_},
                                                      {"Новый пароль программирования:", programming_},
                                                      {"Новый пароль отчетов:", reports_},
                                                      {"Новый пароль администратора:", newAdmin_}};
  for (const auto& [label, box] : boxes) {
    if (!SeparatorFree(ui(), QString::fromUtf8(label), box->text())) return;
  }
  int err = 0;
  state().lastReply = SetModePsw(ToCp1251(admin_->text()), ToCp1251(programming_->text()),
                                 ToCp1251(reports_->text()), ToCp1251(newAdmin_->text()), err);
  if (!CheckSent(ui(), err)) return;
  if (CheckReply(ui(), state().LastReply(), QStringLiteral("Ошибка установки паролей: "))) {
    ui().ShowMessage(QStringLiteral("Успешно!"));
  }
}

}  // namespace kovrix
