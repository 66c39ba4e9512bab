#include "screens/programming/registrator_params.h"

#include <QFile>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "app/input.h"
#include "ini/private_profile.h"
#include "app/screen_helpers.h"
#include "app/text_codec.h"
#include "driver/commands.h"
#include "driver/driver.h"
#include "screens/programming/text_fields.h"
#include "screens/screen_kit.h"

namespace kovrix {
namespace {

const QStringList kSpeeds = {"110",   "300",   "600",   "1200",  "2400",   "4800",
                             "9600",  "19200", "38400", "57600", "115200", "Не изменять"};
constexpr int kLineSpeeds = 11;  // the entries before "Не изменять"
const QStringList kContrasts = {"По умолчанию (2)", "Светлая", "Нормальнаяl", "Темная", " Экстра-Темная"};
const QString kHeading = QStringLiteral("Печать дневных отчетов:");
const QString kOpenPulseLabel = QStringLiteral("Импульс открытия денежного ящика (Hex) :");
const QString kClosePulseLabel = QStringLiteral("Импульс закрытия денежного ящика (Hex) :");
const QString kCharactersLabel = QStringLiteral("Количество символов в одной линии наименования товара:");
const QString kSuccess = QStringLiteral("Успешно!");

constexpr int kSmallFontReceipt = 0x10;
constexpr int kSmallFontControl = 0x20;
constexpr int kPaper57 = 0x40;

// A group of option boxes with its two buttons that untick or tick them all.
QGroupBox* OptionGroup(const QString& title, const std::vector<OptionBit>& bits, std::vector<QCheckBox*>& boxes,
                       QPushButton*& clear, QPushButton*& set) {
  auto* group = new QGroupBox(title);
  auto* column = new QVBoxLayout(group);
  for (const OptionBit& bit : bits) {
    boxes.push_back(new QCheckBox(QString::fromUtf8(bit.caption)));
    column->addWidget(boxes.back());
  }
  column->addStretch();
  clear = NewButton(QStringLiteral("Очистить все"));
  set = NewButton(QStringLiteral("Установить все"));
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(clear);
  buttons->addWidget(set);
  column->addLayout(buttons);
  return group;
}

int FlagsOf(const std::vector<OptionBit>& bits, const std::vector<QCheckBox*>& boxes) {
  int flags = 0;
  for (std::size_t i = 0; i < bits.size(); ++i) {
    if (boxes[i]->isChecked()) flags |= bits[i].value;
  }
  return flags;
}

void SetFlags(const std::vector<OptionBit>& bits, const std::vector<QCheckBox*>& boxes, std::uint32_t flags) {
  for (std::size_t i = 0; i < bits.size(); ++i) boxes[i]->setChecked(flags & static_cast<std::uint32_t>(bits[i].value));
}

QCheckBox* BoxOf(const std::vector<OptionBit>& bits, const std::vector<QCheckBox*>& boxes, int value) {
  for (std::size_t i = 0; i < bits.size(); ++i) {
    if (bits[i].value == value) return boxes[i];
  }
  return nullptr;
}

QLineEdit* TwoCharacterBox() {
  auto* box = new QLineEdit;
  box->setMaxLength(2);
  box->setMaximumWidth(60);
  return box;
}

}  // namespace

const std::vector<OptionBit>& DocumentOptionBits() {
  static const std::vector<OptionBit> bits = {
      {0x0001, "Печатать количество-цену вместе"},
      {0x0002, "Не обнулять базы продаж/товаров"},
      {0x0008, "Отображать опер. продажи на дисплее"},
      {0x0100, "Не печатать рекламу в конце чека"},
      {0x0200, "Выключить обрезчик"},
      {0x0400, "Печатать логотип пользователя"},
      {0x0800, "Прогон бумаги под обрезку пустыми строками"},
      {0x1000, "Не осуществлять прогон бумаги под линию отреза "},
      {0x2000, "Всегда печатать количество товара"},
      {0x4000, "Печатать количество позиций в чеке"},
      {0x8000, "Печатать код товара"},
  };
  return bits;
}

const std::vector<OptionBit>& PrintOptionBits() {
  static const std::vector<OptionBit> bits = {
      {0x01, "Не печатать контрольную ленту для нефискализированного регистратора"},
      {0x02, "Печатать сокращенную контр. ленту "},
      {0x08, "Продолжить печать после восстановления принтера "},
      {kSmallFontReceipt, "Мелкий шрифт в чековой ленте"},
      {kSmallFontControl, "Мелкий шрифт в контрольной ленте"},
      {kPaper57, "Использовать бумагу шириной 57 мм"},
  };
  return bits;
}

int HexBoxValue(const QString& text) {
  if (text.isEmpty()) return 0;
  int value = 0;
  for (QChar c : text) {
    const int digit = c.isDigit() && c.unicode() < 128 ? c.unicode() - u'0'
                      : c >= u'A' && c <= u'F'         ? c.unicode() - u'A' + 10
                      : c >= u'a' && c <= u'f'         ? c.unicode() - u'a' + 10
                                                       : -1;
    // The box holds two characters; a longer text set in code must not overflow either.
    if (digit < 0 || value > 0xFFFF) throw InputError{QStringLiteral("'%1' is not a valid integer value").arg(text)};
    value = value * 16 + digit;
  }
  return value;
}

RegistratorParameters::RegistratorParameters(ScreenContext& context, QWidget* parent)
    : Screen(context, QStringLiteral("TForm26"), QStringLiteral("Параметры регистратора"), parent) {
  speed_ = new QComboBox;
  speed_->addItems(kSpeeds);
  contrast_ = new QComboBox;
  contrast_->addItems(kContrasts);
  QGroupBox* documentGroup = OptionGroup(QStringLiteral("Параметры документа"), DocumentOptionBits(), documentBoxes_,
                                         documentClear_, documentSet_);
  QGroupBox* printGroup = OptionGroup(QStringLiteral("Расширенные параметры печати"), PrintOptionBits(), printBoxes_,
                                      printClear_, printSet_);
  openPulse_ = TwoCharacterBox();
  closePulse_ = TwoCharacterBox();
  characters_ = TwoCharacterBox();
  password_ = NewPasswordBox();
  errorCode_ = NewErrorCodeBox();
  read_ = NewButton(QStringLiteral("Прочитать"));
  write_ = NewButton(QStringLiteral("Записать"));
  status_ = NewButton(QStringLiteral("Состояние регистратора"));
  close_ = NewButton(QStringLiteral("Закрыть"));

  auto* lists = new QFormLayout;
  lists->addRow(QStringLiteral("Скорость обмена:"), speed_);
  lists->addRow(QStringLiteral("Контрастность печати:"), contrast_);
  auto* boxes = new QFormLayout;
  boxes->addRow(kOpenPulseLabel, openPulse_);
  boxes->addRow(kClosePulseLabel, closePulse_);
  boxes->addRow(kCharactersLabel, characters_);
  auto* access = new QFormLayout;
  access->addRow(QStringLiteral("Пароль:"), password_);
  access->addRow(QStringLiteral("Код ошибки:"), errorCode_);

  auto* right = new QVBoxLayout;
  right->addLayout(lists);
  right->addWidget(printGroup);
  right->addLayout(boxes);
  auto* groups = new QHBoxLayout;
  groups->addWidget(documentGroup);
  groups->addLayout(right);
  auto* buttons = new QHBoxLayout;
  buttons->addLayout(access);
  buttons->addStretch();
  buttons->addWidget(read_);
  buttons->addWidget(write_);
  buttons->addWidget(status_);
  buttons->addWidget(close_);
  auto* outer = new QVBoxLayout(this);
  outer->addLayout(groups);
  outer->addLayout(buttons);

  auto all = [](std::vector<QCheckBox*>& list, bool on) {
    for (QCheckBox* box : list) box->setChecked(on);
  };
  connect(documentClear_, &QPushButton::clicked, this, [this, all] { all(documentBoxes_, false); });
  connect(documentSet_, &QPushButton::clicked, this, [this, all] { all(documentBoxes_, true); });
  connect(printClear_, &QPushButton::clicked, this, [this, all] { all(printBoxes_, false); });
  connect(printSet_, &QPushButton::clicked, this, [this, all] { all(printBoxes_, true); });
  OnClick(read_, [this] { ReadParameters(); });
  OnClick(write_, [this] { WriteParameters(); });
  OnClick(status_, [this] { shell().OpenStatusBytes(); });
  connect(close_, &QPushButton::clicked, this, &QDialog::accept);
}

QCheckBox* RegistratorParameters::DocumentBox(int value) const { return BoxOf(DocumentOptionBits(), documentBoxes_, value); }
QCheckBox* RegistratorParameters::PrintBox(int value) const { return BoxOf(PrintOptionBits(), printBoxes_, value); }

void RegistratorParameters::Activate() {
  contrast_->setCurrentIndex(0);
  status_->setEnabled(false);
  errorCode_->clear();
  // The model's boxes as the main window worked them out at connect; a hidden box keeps its
  // state, is still set by a reading and still sends its bit.
  RegistratorParamsSetting& model = state().registratorParams;
  PrintBox(kSmallFontReceipt)->setVisible(model.smallFontReceiptShown);
  PrintBox(kSmallFontControl)->setVisible(model.smallFontControlShown);
  PrintBox(kPaper57)->setVisible(model.paper57Shown);
  // The speed of the latest connect is selected once; later openings keep the user's choice.
  if (model.speedIndex >= 0 && model.speedIndex < kLineSpeeds) speed_->setCurrentIndex(model.speedIndex);
  model.speedIndex = -1;
}

void RegistratorParameters::ShowReplyCode() {
  errorCode_->setText(ErrorCodeText(state().LastReply()));
  status_->setEnabled(true);
}

void RegistratorParameters::ReadParameters() {
  if (!SeparatorFree(ui(), QStringLiteral("Пароль:"), password_->text())) return;
  int err = 0;
  state().lastReply = GetRegistratorParams(ToCp1251(password_->text()), err);
  if (!CheckSent(ui(), err)) return;
  ShowReplyCode();
  const ReplyRecord& reply = state().LastReply();
  if (!CheckReply(ui(), reply, kHeading)) return;
  const int speedIndex = speed_->findText(FromCp1251(reply.field(1)), Qt::MatchExactly | Qt::MatchCaseSensitive);
  if (speedIndex >= 0 && speedIndex < kLineSpeeds) speed_->setCurrentIndex(speedIndex);
  // A contrast the list does not have leaves no entry selected rather than a wrong one.
  contrast_->setCurrentIndex(ToInt(FromCp1251(reply.field(2))));
  SetFlags(DocumentOptionBits(), documentBoxes_, HexPrefix(reply.field(3)));
  SetFlags(PrintOptionBits(), printBoxes_, HexPrefix(reply.field(4)));
  if (!ShowOutsideValues(ui(), {{openPulse_, kOpenPulseLabel, FromCp1251(reply.field(5))},
                                {closePulse_, kClosePulseLabel, FromCp1251(reply.field(6))},
                                {characters_, kCharactersLabel, FromCp1251(reply.field(7))}})) {
    return;
  }
  ui().ShowMessage(kSuccess);
}

void RegistratorParameters::WriteParameters() {
  const int documentFlags = FlagsOf(DocumentOptionBits(), documentBoxes_);
  const int printFlags = FlagsOf(PrintOptionBits(), printBoxes_);
  const bool keepSpeed = speed_->currentIndex() == kLineSpeeds;
  const int speed = keepSpeed ? 0 : ToInt(speed_->currentText());
  const int characters = ToInt(characters_->text());
  const int openPulse = HexBoxValue(openPulse_->text());
  const int closePulse = HexBoxValue(closePulse_->text());
  if (!SeparatorFree(ui(), QStringLiteral("Пароль:"), password_->text())) return;
  int err = 0;
  state().lastReply = SetRegistratorParams(ToCp1251(password_->text()), speed, contrast_->currentIndex(), documentFlags,
                                           printFlags, openPulse, closePulse, characters, err);
  if (!CheckSent(ui(), err)) return;
  ShowReplyCode();
  if (!CheckReply(ui(), state().LastReply(), kHeading)) return;
  // "Не изменять" leaves the registrator at its speed: the link stays as it is.
  if (keepSpeed) {
    ui().ShowMessage(kSuccess);
    return;
  }
  FollowSpeed(speed);
}

void RegistratorParameters::FollowSpeed(int speed) {
  shell().SelectSpeed(QString::number(speed));
  const QString speedText = shell().SpeedText();
  const bool stored = WritePrivateProfileString("Communication", "Speed", speedText.toStdString(), state().iniPath);
  CloseComPort();
  ui().ShowMessage(kSuccess);
  if (!stored) ui().ShowMessage(QStringLiteral("Ошибка записи скорости в файл fpinit.ini!"));
  if (OpenComPort(QFile::encodeName(shell().PortText()).toStdString(), speedText.toInt()) == -1) {
    ui().ShowMessage(QStringLiteral("Невозможно подключить порт"));
    // The main window must not look connected over a closed port; the user reconnects there.
    shell().ShowDisconnected();
  }
}

}  // namespace kovrix
