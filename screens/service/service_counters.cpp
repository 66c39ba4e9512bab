#include "screens/service/service_counters.h"

#include <QEvent>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "app/input.h"
#include "app/screen_helpers.h"
#include "app/text_codec.h"
#include "driver/commands.h"
#include "driver/driver.h"
#include "screens/screen_kit.h"

namespace kovrix {
namespace {

// Setting this counter switches the registrator to the USB storage mode.
constexpr int kUsbStorageCounter = 3;

const QString kSuccess = QStringLiteral("Успешно!");

const char* const kLinkModes[4] = {"0. Auto", "1. UART", "2. USB", "3. Bluetooth"};

}  // namespace

const std::vector<ServiceCounter>& ServiceCounterList() {
  using enum CounterValue;
  static const std::vector<ServiceCounter> counters = {
      {"Напряжение аккумулятора", true, false, Percent},
      {"Выбор режима связи", true, true, LinkMode},
      {"Время засыпания аппарата при бездействии аппарата ", true, true, Time},
      {"Режим USB накопителя", false, true, Plain},
      {"Активация сенсора открытия крышки контрольной ленты(1- активирован)", false, true, Plain},
      {"Подкладной бланк", false, true, Plain},
      {"Способ хранения описания кассиров", true, true, Plain},
      {"Обновление служебных сообщений", true, true, Plain},
      {"Выгрузка журналу на карту если карта рабочая и есть свободное место", true, true, Plain},
      {"Маленький шрифт чека", true, true, Plain},
      {"Тип дисплея", true, true, Plain},
      {"Размер свободной памяти в байтах", true, true, Plain},
      {"Не выводить комментарии в XML", true, true, Plain},
      {"Открывать ящик автоматически", true, true, Plain},
      {"Надбавки/скидки в отчете (0 - выводить, 1 - нет)", true, true, Plain},
      {"Включить датчик крышки", true, true, Plain},
  };
  return counters;
}

QString CounterValueText(int counter, const ReplyRecord& reply) {
  const auto& list = ServiceCounterList();
  if (counter < 0 || counter >= static_cast<int>(list.size())) return {};
  const std::string& value = reply.field(1);
  switch (list[static_cast<std::size_t>(counter)].value) {
    case CounterValue::Percent: return FromCp1251(value) + u'%';
    case CounterValue::LinkMode: {
      const int mode = value.empty() ? -1 : value[0] - '0';
      return mode >= 0 && mode < 4 ? QString::fromLatin1(kLinkModes[mode]) : QString();
    }
    case CounterValue::Time: return FromCp1251(value);
    case CounterValue::Plain: return reply.fieldCount == 1 ? FromCp1251(value) : QString();
  }
  return {};
}

ServiceCounters::ServiceCounters(ScreenContext& context, QWidget* parent)
    : Screen(context, QStringLiteral("ServiceCounters"), QStringLiteral("Служебные счетчики"), parent) {
  password_ = NewPasswordBox();
  counters_ = new QComboBox;
  for (const ServiceCounter& counter : ServiceCounterList()) counters_->addItem(QString::fromUtf8(counter.name));
  counters_->installEventFilter(this);
  value_ = new QLineEdit;
  read_ = NewButton(QStringLiteral("Прочитать"));
  set_ = NewButton(QStringLiteral("Установить"));
  close_ = NewButton(QStringLiteral("Закрыть"));

  auto* group = new QGroupBox(QStringLiteral("Чтение счетчиков"));
  auto* groupForm = new QFormLayout(group);
  groupForm->addRow(QStringLiteral("Служебный счетчик:"), counters_);
  groupForm->addRow(QStringLiteral("Значение:"), value_);
  auto* groupButtons = new QHBoxLayout;
  groupButtons->addWidget(read_);
  groupButtons->addWidget(set_);
  groupButtons->addStretch();
  groupForm->addRow(groupButtons);

  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Пароль:"), password_);
  auto* bottom = new QHBoxLayout;
  bottom->addStretch();
  bottom->addWidget(close_);
  auto* outer = new QVBoxLayout(this);
  outer->addLayout(form);
  outer->addWidget(group);
  outer->addLayout(bottom);

  connect(counters_, &QComboBox::currentIndexChanged, this, [this] { CounterChanged(); });
  OnClick(read_, [this] { ReadCounter(); });
  OnClick(set_, [this] { SetCounter(); });
  connect(close_, &QPushButton::clicked, this, &QDialog::accept);
}

void ServiceCounters::Activate() {
  counters_->setCurrentIndex(0);
  read_->setEnabled(true);
  set_->setEnabled(false);
  value_->clear();
}

bool ServiceCounters::eventFilter(QObject* watched, QEvent* event) {
  if (watched == counters_ && event->type() == QEvent::FocusOut) EnableButtons();
  return Screen::eventFilter(watched, event);
}

void ServiceCounters::EnableButtons() {
  const int index = counters_->currentIndex();
  const auto& list = ServiceCounterList();
  const bool known = index >= 0 && index < static_cast<int>(list.size());
  read_->setEnabled(known && list[static_cast<std::size_t>(index)].readable);
  set_->setEnabled(known && list[static_cast<std::size_t>(index)].settable);
}

void ServiceCounters::CounterChanged() {
  EnableButtons();
  value_->clear();
  const int index = counters_->currentIndex();
  if (index == 1 || index == 2) value_->setText(QStringLiteral("0"));
}

void ServiceCounters::ReadCounter() {
  if (!SeparatorFree(ui(), QStringLiteral("Пароль:"), password_->text())) return;
  const int counter = counters_->currentIndex();
  int err = 0;
  state().lastReply = GetServiceCounters(ToCp1251(password_->text()), counter, err);
  if (!CheckSent(ui(), err)) return;
  const ReplyRecord& reply = state().LastReply();
  if (!CheckReply(ui(), reply, QStringLiteral("Чтение служебных счетчиков:"))) return;
  value_->setText(CounterValueText(counter, reply));
  ui().ShowMessage(kSuccess);
}

void ServiceCounters::SetCounter() {
  if (!SeparatorFree(ui(), QStringLiteral("Пароль:"), password_->text())) return;
  const int counter = counters_->currentIndex();
  const int value = value_->text().isEmpty() ? 0 : ToInt(value_->text());
  int err = 0;
  state().lastReply = SetServiceCounters(ToCp1251(password_->text()), counter, value, err);
  if (!CheckSent(ui(), err)) return;
  if (!CheckReply(ui(), state().LastReply(), QStringLiteral("Установка служебных счетчиков:"))) return;
  ui().ShowMessage(kSuccess);
  if (counter != kUsbStorageCounter) return;
  // The registrator now serves as a USB storage device and no longer answers on the serial line.
  if (!CloseComPort()) return;
  shell().ShowDisconnected();
  accept();
}

}  // namespace kovrix
