#include "screens/programming/id_dev.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>
#include <cstdint>

#include "app/input.h"
#include "app/screen_helpers.h"
#include "app/text_codec.h"
#include "screens/screen_kit.h"

namespace kovrix {
namespace {

constexpr int kSetIdDev = 0x4B;
constexpr int kReadIdDev = 0x4C;

const QString kHexCaption = QStringLiteral("Значение ID_DEV (Hex):");
const QString kSuccess = QStringLiteral("Успешно!");

}  // namespace

QString IdDevHexLabel(int value) {
  return kHexCaption + u' ' +
         QStringLiteral("%1").arg(static_cast<std::uint32_t>(value), 8, 16, QLatin1Char('0')).toUpper();
}

DeviceIdentifier::DeviceIdentifier(ScreenContext& context, QWidget* parent)
    : Screen(context, QStringLiteral("TForm50"), QStringLiteral("Установить и прочитать ID_DEV"), parent) {
  value_ = new QLineEdit;
  hex_ = new QLabel(kHexCaption);
  password_ = NewPasswordBox();
  read_ = NewButton(QStringLiteral("Прочитать ID_DEV"));
  set_ = NewButton(QStringLiteral("Установить ID_DEV"));
  exit_ = NewButton(QStringLiteral("Выход"));

  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Значение ID_DEV:"), value_);
  form->addRow(hex_);
  form->addRow(QStringLiteral("Пароль:"), password_);
  auto* buttons = ButtonRow({read_, set_}, exit_);
  auto* outer = new QVBoxLayout(this);
  outer->addLayout(form);
  outer->addLayout(buttons);
  setMinimumWidth(360);

  OnClick(set_, [this] { SetIdentifier(); });
  OnClick(read_, [this] { ReadIdentifier(); });
  connect(exit_, &QPushButton::clicked, this, &QDialog::accept);
}

void DeviceIdentifier::SetIdentifier() {
  if (value_->text().isEmpty()) {
    ui().ShowMessage(QStringLiteral("Не введён ID_DEV. Ошибка!"));
    return;
  }
  if (!SeparatorFree(ui(), QStringLiteral("Значение ID_DEV:"), value_->text())) return;
  if (!SeparatorFree(ui(), QStringLiteral("Пароль:"), password_->text())) return;
  const ReplyRecord* sent =
      ExecuteFitting(ui(), kSetIdDev, ToCp1251(password_->text()) + ';' + ToCp1251(value_->text()) + ';');
  if (!sent) return;
  state().lastReply = sent;
  const ReplyRecord& reply = *sent;
  if (reply.status & ST_NO_REPLY) {
    ui().ShowMessage(QStringLiteral("Ошибка выполнения команды установка ID_DEV. Таймаут"));
    return;
  }
  if (CheckReply(ui(), reply, QStringLiteral("Проверка состояния регистратора:"))) ui().ShowMessage(kSuccess);
}

void DeviceIdentifier::ReadIdentifier() {
  if (!SeparatorFree(ui(), QStringLiteral("Пароль:"), password_->text())) return;
  const ReplyRecord* sent = ExecuteFitting(ui(), kReadIdDev, ToCp1251(password_->text()) + ';');
  if (!sent) return;
  state().lastReply = sent;
  const ReplyRecord& reply = *sent;
  if (reply.status & ST_NO_REPLY) {
    ui().ShowMessage(QStringLiteral("Ошибка выполнения команды. Таймаут"));
    return;
  }
  if (reply.errorText != "0000") {
    ui().ShowMessage(QStringLiteral("Чтение ID_DEV, код ошибки:\n  ") + FromCp1251(reply.errorText));
    return;
  }
  value_->setText(FromCp1251(reply.field(1)));
  // A value that is not a 32-bit decimal ends here with the conversion error; the box keeps it.
  hex_->setText(IdDevHexLabel(ToInt(value_->text())));
  ui().ShowMessage(kSuccess);
}

}  // namespace kovrix
