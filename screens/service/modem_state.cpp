#include "screens/service/modem_state.h"

#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "app/screen_helpers.h"
#include "app/text_codec.h"
#include "screens/screen_kit.h"

namespace kovrix {
namespace {

constexpr int kModemReport = 0xEA;

// The state byte's bits, bit 0 first.
const char* const kStateBits[8] = {
    "МБ_SAM неисправен",
    "Карта памяти неисправна",
    "Блокировка по неотправке док. 72 час",
    "ID_DEV установлен",
    "Техническая регистрация выполнена",
    "ЭККР персонализирован",
    "Кабель Ethernet подключен",
    "Есть данные для отправки",
};

int HexDigit(char c) {
  static const std::string kDigits = "0123456789ABCDEF";
  const std::size_t at = kDigits.find(c);
  return at == std::string::npos ? 0 : static_cast<int>(at);
}

// The boxes report the device's bits; a click must not make them say otherwise.
QCheckBox* BitBox(const QString& caption) {
  auto* box = new QCheckBox(caption);
  box->setAttribute(Qt::WA_TransparentForMouseEvents);
  box->setFocusPolicy(Qt::NoFocus);
  return box;
}

}  // namespace

int ModemStateBits(const std::string& field) {
  const int high = field.size() > 0 ? HexDigit(field[0]) : 0;
  const int low = field.size() > 1 ? HexDigit(field[1]) : 0;
  return high * 16 + low;
}

ModemState::ModemState(ScreenContext& context, QWidget* parent)
    : Screen(context, QStringLiteral("TForm51"), QStringLiteral("Состояние модема"), parent) {
  password_ = NewPasswordBox();
  errorCode_ = NewErrorCodeBox();
  errorCode_->setText(QStringLiteral("0000"));
  print_ = new QCheckBox(QStringLiteral("Печатать"));
  firstDate_ = NewReportBox();
  firstTime_ = NewReportBox();
  personalisedDate_ = NewReportBox();
  personalisedTime_ = NewReportBox();
  report_ = NewButton(QStringLiteral("Получить отчет"));
  close_ = NewButton(QStringLiteral("Закрыть"));

  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Пароль:"), password_);
  form->addRow(QStringLiteral("Код ошибки:"), errorCode_);
  form->addRow(QString(), print_);
  form->addRow(QStringLiteral("Дата формирования  первого \nнедоставленного документа:"), firstDate_);
  form->addRow(QStringLiteral("Время формирования  первого \nнедоставленного документа:"), firstTime_);
  form->addRow(QStringLiteral("Дата персонализации:"), personalisedDate_);
  form->addRow(QStringLiteral("Время персонализации:"), personalisedTime_);

  auto* bits = new QGroupBox;
  auto* bitColumn = new QVBoxLayout(bits);
  for (std::size_t i = 0; i < stateBoxes_.size(); ++i) {
    stateBoxes_[i] = BitBox(QString::fromUtf8(kStateBits[i]));
    bitColumn->addWidget(stateBoxes_[i]);
  }

  auto* buttons = ButtonRow({report_}, close_);
  auto* outer = new QVBoxLayout(this);
  outer->addLayout(form);
  outer->addWidget(bits);
  outer->addLayout(buttons);

  OnClick(report_, [this] { GetReport(); });
  connect(close_, &QPushButton::clicked, this, &QDialog::accept);
}

void ModemState::GetReport() {
  if (!SeparatorFree(ui(), QStringLiteral("Пароль:"), password_->text())) return;
  const std::string data = ToCp1251(password_->text()) + ';' + (print_->isChecked() ? "1" : "0") + ';';
  const ReplyRecord* sent = ExecuteFitting(ui(), kModemReport, data);
  if (!sent) return;
  state().lastReply = sent;
  const ReplyRecord& reply = *sent;
  if (reply.status & ST_NO_REPLY) {
    ui().ShowMessage(QStringLiteral("Таймаут устройства! Ошибка!"));
    return;
  }
  errorCode_->setText(ErrorCodeText(reply));
  if (reply.errorText != "0000") {
    ui().ShowMessage(QStringLiteral("Состояние модема. Ошибка!"));
    return;
  }
  firstDate_->setText(FromCp1251(reply.field(2)));
  firstTime_->setText(FromCp1251(reply.field(3)));
  personalisedDate_->setText(FromCp1251(reply.field(4)));
  personalisedTime_->setText(FromCp1251(reply.field(5)));
  const int bitsSet = ModemStateBits(reply.field(1));
  for (std::size_t i = 0; i < stateBoxes_.size(); ++i) stateBoxes_[i]->setChecked((bitsSet >> i) & 1);
}

}  // namespace kovrix
