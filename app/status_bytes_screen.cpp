#include "app/status_bytes_screen.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "app/screen_helpers.h"
#include "driver/commands.h"

namespace kovrix {
namespace {

struct ByteLayout {
  const char* caption;
  std::array<const char*, 7> bits;  // bits 0..6
};

// Captions in byte order 0..5.
const std::array<ByteLayout, 6> kBytes = {{
    {"Статус регистратора - байт 0 (общее состояние)",
     {"(1) Регистратор находится в сервисном режиме", "(2) Буфер документа близок к концу",
      "(4) Дата/ время не установлены после обнуления ОЗУ", "(8) Дисплей не подключен",
      "(10) Механизм печатающего устройства неисправен", "(20) Для новых настроек необходимо перегрузить ЭККР",
      "(40) Другие ошибки оборудования"}},
    {"Статус регистратора - байт 1 (состояние принтера)",
     {"(1) Заканчивается чековая лента (для  Veltra KR-26)", "(2) Заканчивается контрольная лента (для  Veltra KR-26)",
      "(4) Закончилась чековая лента", "(8) Закончилась контрольная лента", "(10) Открыта крышка принтера",
      "(20) Осуществляется ручная протяжка бумаги", "(40) Буфер принтера не пуст (есть еще не распечатанные данные)"}},
    {"Статус регистратора - байт 2 (состояние чека)",
     {"(1) Состояние чека", "(2) Состояние чека", "(4) Состояние чека", "(8) Текущее состояние чека",
      "(10) Открыт чек возврата", "(20) Резерв", "(40) Резерв"}},
    {"Статус регистратора - байт 3 (состояние переключателей)",
     {"(1) SIMError", "(2) Memory Card Error", "(4) Автономный режим работы", "(8) Резерв", "(10) Резерв",
      "(20) Версия внутреннего ПО не активирована", "(40) Резерв"}},
    {"Статус регистратора - байт 4 (фискальная память)",
     {"(1) Заводской номер запрограммирован", "(2) Регистратор фискализирован", "(4) В ФП места менее чем на 30 отчетов",
      "(8) Фискальная память переполнена", "(10) ID_DEV установлен", "(20) Регистратор персонализирован",
      "(40) Возникла ошибка фискальной памяти (CRC)"}},
    {"Статус регистратора - байт 5 (фискальная память)",
     {"(1) Резерв", "(2) Резерв", "(4) Низкий заряд батареи", "(8) Сработало оповещение", "(10) Смена открыта",
      "(20) Часы нуждаются в корректировке", "(40) До конца смены(24 часа) осталось меньше 60 минут"}},
}};

const std::array<const char*, 16> kReceiptStates = {
    "0. Документ закрыт", "1. Отпечатан заголовок чека", "2. Выполнена операция продажи", "3. Состояние оплаты",
    "4. Завершение", "5. Произвольный текстовый документ открыт", "6. Произведена скидка/надбавка на сумму",
    "7. Открыт чек  внесения/изъятия", "8. Резерв", "9. Режим АННУЛИРОВАНИЕ", "10.", "11.", "12.", "13.", "14.", "15."};

// Grid places (row, column) of the byte groups: three columns of two, bytes 0 to 2 in the first
// row and 3 to 5 in the second, so that the screen with its buttons fits a 1366x768 screen.
constexpr std::array<std::pair<int, int>, 6> kPlace = {{{0, 0}, {0, 1}, {0, 2}, {1, 0}, {1, 1}, {1, 2}}};

}  // namespace

StatusBytesScreen::StatusBytesScreen(ScreenContext& context, QWidget* parent)
    : Screen(context, QStringLiteral("StatusBytesScreen"), QStringLiteral("Байты состояния регистратора"), parent) {
  auto* grid = new QGridLayout;
  for (int byte = 0; byte < 6; ++byte) {
    const ByteLayout& layout = kBytes[static_cast<std::size_t>(byte)];
    auto* group = new QGroupBox(QString::fromUtf8(layout.caption));
    auto* column = new QVBoxLayout(group);
    for (int bit = 0; bit < 8; ++bit) {
      const QString caption = bit < 7 ? QString::fromUtf8(layout.bits[static_cast<std::size_t>(bit)])
                                      : QStringLiteral("(80) Всегда установлен");
      auto* box = new QCheckBox(caption);
      box->setObjectName(QStringLiteral("byte%1bit%2").arg(byte).arg(bit));
      // The boxes show the device's state; clicking them must not pretend to change it.
      box->setAttribute(Qt::WA_TransparentForMouseEvents);
      box->setFocusPolicy(Qt::NoFocus);
      column->addWidget(box);
      boxes_[static_cast<std::size_t>(byte)][static_cast<std::size_t>(bit)] = box;
    }
    if (byte == 2) {
      receiptState_ = new QComboBox;
      receiptState_->setObjectName(QStringLiteral("receiptState"));
      for (const char* item : kReceiptStates) receiptState_->addItem(QString::fromUtf8(item));
      column->addWidget(receiptState_);
    }
    column->addStretch();
    grid->addWidget(group, kPlace[static_cast<std::size_t>(byte)].first, kPlace[static_cast<std::size_t>(byte)].second);
  }

  auto* close = new QPushButton(QStringLiteral("Закрыть"));
  refresh_ = new QPushButton(QStringLiteral("Обновить"));
  connect(close, &QPushButton::clicked, this, &QDialog::reject);
  OnClick(refresh_, [this] { Refresh(); });
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(refresh_);
  buttons->addWidget(close);

  auto* outer = new QVBoxLayout(this);
  outer->addLayout(grid);
  outer->addLayout(buttons);
}

void StatusBytesScreen::SetModemModelCaptions(bool modemModel) {
  BitBox(5, 0)->setText(modemModel ? QStringLiteral("(1)Блокировка 72 часа, данные не переданы")
                                   : QStringLiteral("(1) Резерв"));
  BitBox(5, 1)->setText(modemModel ? QStringLiteral("(2)Не все чеки переданы в модем, база товаров не обнулена")
                                   : QStringLiteral("(2) Резерв"));
}

void StatusBytesScreen::Fill(const ReplyRecord& reply) {
  for (int byte = 0; byte < 6; ++byte) {
    const int value = reply.statusBytes[static_cast<std::size_t>(byte)];
    for (int bit = 0; bit < 8; ++bit) BitBox(byte, bit)->setChecked(bit == 7 || (value >> bit) & 1);
  }
  receiptState_->setCurrentIndex(reply.statusBytes[2] & 0x0F);
}

void StatusBytesScreen::Activate() { Fill(state().LastReply()); }

void StatusBytesScreen::Refresh() {
  int err = 0;
  state().lastReply = GetDiagnosticInfo(kDefaultPassword, err);
  const ReplyRecord& reply = state().LastReply();
  if (!CheckReply(ui(), reply, QStringLiteral("Проверка состояния регистратора:"))) return;
  state().paymentTypeCount = PaymentTypeCount(reply);
  shell().SetStatusText(ModelStatusLine(reply, false));
  Fill(reply);
}

}  // namespace kovrix
