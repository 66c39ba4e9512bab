#include "screens/programming/comm_params.h"

#include <QDir>
#include <QFile>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>
#include <array>
#include <cstdio>

#include "app/input.h"
#include "app/screen_helpers.h"
#include "app/text_codec.h"
#include "screens/programming/text_fields.h"
#include "screens/screen_kit.h"

namespace kovrix {
namespace {

constexpr int kReadNetwork = 0xFA;
constexpr int kWriteNetwork = 0xFB;
constexpr int kFileLines = 8;

const QString kTimeout = QStringLiteral("Ошибка выполнения команды. Таймаут");
const QString kBadAddress = QStringLiteral("Некорректный IP-адрес. Ошибка!");
const QString kSuccess = QStringLiteral("Успешно!");
const QString kStateHeading = QStringLiteral("Проверка состояния регистратора:");
// The labels of the seven setting boxes, in the order of the reply and of the file.
const QString kLabels[] = {
    QStringLiteral("Статический IP адрес:"),
    QStringLiteral("Маска подсети:"),
    QStringLiteral("Адрес шлюза:"),
    QStringLiteral("Адрес назначения:"),
    QStringLiteral("Порт назначения:"),
    QStringLiteral("Периодичность связи (мин.):"),
    QStringLiteral("Период повтора при неудачной попытке связи (сек.):"),
};

// Only the digits the device writes: upper-case hexadecimal.
int DeviceHexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

QLineEdit* Box(int maxLength, const QString& hint) {
  auto* box = new QLineEdit;
  box->setMaxLength(maxLength);
  box->setToolTip(hint);
  // Wide enough for the longest address, 255.255.255.255.
  box->setMinimumWidth(box->fontMetrics().horizontalAdvance(QStringLiteral("255.255.255.255")) + 24);
  return box;
}

}  // namespace

std::optional<std::string> EncodeAddress(const QString& dotted) {
  const QStringList parts = dotted.split(u'.');
  if (parts.size() > 4) return std::nullopt;
  std::string out;
  for (const QString& part : parts) {
    if (part.isEmpty()) return std::nullopt;
    const int octet = ToInt(part);
    if (octet < 0 || octet > 255) return std::nullopt;
    char hex[3];
    std::snprintf(hex, sizeof hex, "%02X", static_cast<unsigned>(octet));
    out += hex;
  }
  return out;
}

std::optional<QString> DecodeAddress(const std::string& field) {
  if (field.size() != 8) return std::nullopt;
  QStringList octets;
  for (std::size_t i = 0; i < 8; i += 2) {
    const int high = DeviceHexDigit(field[i]);
    const int low = DeviceHexDigit(field[i + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    octets << QString::number(high * 16 + low);
  }
  return octets.join(u'.');
}

std::string EncodeLowFirst(int value) {
  char hex[8];
  std::snprintf(hex, sizeof hex, "%02X%02X", static_cast<unsigned>(value & 0xFF), static_cast<unsigned>((value >> 8) & 0xFF));
  return hex;
}

std::optional<int> DecodeLowFirst(const std::string& field) {
  if (field.size() != 4) return std::nullopt;
  std::array<int, 4> d{};
  for (std::size_t i = 0; i < 4; ++i) {
    d[i] = DeviceHexDigit(field[i]);
    if (d[i] < 0) return std::nullopt;
  }
  return d[0] * 16 + d[1] + d[2] * 4096 + d[3] * 256;
}

SettingsFileStatus ReadNetworkSettingsFile(const QString& path, QStringList& lines) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return SettingsFileStatus::Unreadable;
  QStringList read;
  while (read.size() < kFileLines && !file.atEnd()) {
    QByteArray line = file.readLine(1 << 16);
    if (file.error() != QFileDevice::NoError) return SettingsFileStatus::Unreadable;
    while (line.endsWith('\n') || line.endsWith('\r')) line.chop(1);
    // Blanks around a value are no part of it; a line is never cut, so a value too long for its box
    // is refused whole rather than loaded short.
    read << FromCp1251(std::string_view(line.constData(), static_cast<std::size_t>(line.size()))).trimmed();
  }
  if (read.size() < kFileLines) return SettingsFileStatus::TooShort;
  lines = read;
  return SettingsFileStatus::Ok;
}

CommunicationParameters::CommunicationParameters(ScreenContext& context, QWidget* parent)
    : Screen(context, QStringLiteral("TForm49"), QStringLiteral("Параметры связи"), parent) {
  const QString addressHint = QStringLiteral("Формат - адрес IP");
  dhcp_ = new QCheckBox(QStringLiteral("DHCP включен"));
  address_ = Box(15, addressHint);
  mask_ = Box(15, addressHint);
  gateway_ = Box(15, addressHint);
  server_ = Box(15, addressHint);
  port_ = Box(5, QStringLiteral("Формат - число"));
  period_ = Box(5, QStringLiteral("В минутах, не более 1440"));
  retry_ = Box(5, QStringLiteral("В секундах, не более 3600"));
  password_ = NewPasswordBox();
  read_ = NewButton(QStringLiteral("Прочитать настройки сети"));
  write_ = NewButton(QStringLiteral("Установить настройки сети"));
  load_ = NewButton(QStringLiteral("Загрузить из файла"));
  exit_ = NewButton(QStringLiteral("Выход"));

  auto* form = new QFormLayout;
  form->addRow(dhcp_);
  QLineEdit* const boxes[] = {address_, mask_, gateway_, server_, port_, period_, retry_};
  for (int i = 0; i < 7; ++i) form->addRow(kLabels[i], boxes[i]);
  form->addRow(QStringLiteral("Пароль:"), password_);
  LayOutBoxesAndButtons(this, form, {read_, write_, load_, exit_});

  OnClick(read_, [this] { ReadSettings(); });
  OnClick(write_, [this] { WriteSettings(); });
  OnClick(load_, [this] { LoadSettings(); });
  connect(exit_, &QPushButton::clicked, this, &QDialog::accept);
}

void CommunicationParameters::Activate() {
  if (activated_) return;
  activated_ = true;
  dhcp_->setChecked(false);
  for (QLineEdit* box : {address_, mask_, gateway_, server_, port_}) box->clear();
}

void CommunicationParameters::ReadSettings() {
  if (!SeparatorFree(ui(), QStringLiteral("Пароль:"), password_->text())) return;
  const ReplyRecord* sent = ExecuteFitting(ui(), kReadNetwork, ToCp1251(password_->text()) + ';');
  if (!sent) return;
  state().lastReply = sent;
  const ReplyRecord& reply = *sent;
  if (reply.status & ST_NO_REPLY) {
    ui().ShowMessage(kTimeout);
    return;
  }
  // A refusal carries no settings: its fields must not be decoded as if it did.
  if (!CheckReply(ui(), reply, kStateHeading)) return;
  dhcp_->setChecked(reply.field(1) != "0");
  const auto bad = [this] {
    ui().ShowMessage(QStringLiteral("Информация переданная регистратором неверна. Чтение данных остановлено."));
  };
  QStringList values;
  for (int i = 0; i < 4; ++i) {
    const auto address = DecodeAddress(reply.field(2 + i));
    if (!address) return bad();
    values << *address;
  }
  for (int i = 0; i < 3; ++i) {
    const auto number = DecodeLowFirst(reply.field(6 + i));
    if (!number) return bad();
    values << QString::number(*number);
  }
  if (!ShowOutsideValues(ui(), {{address_, kLabels[0], values[0]},
                                {mask_, kLabels[1], values[1]},
                                {gateway_, kLabels[2], values[2]},
                                {server_, kLabels[3], values[3]},
                                {port_, kLabels[4], values[4]},
                                {period_, kLabels[5], values[5]},
                                {retry_, kLabels[6], values[6]}})) {
    return;
  }
  ui().ShowMessage(kSuccess);
}

void CommunicationParameters::WriteSettings() {
  if (!SeparatorFree(ui(), QStringLiteral("Пароль:"), password_->text())) return;
  std::string data = ToCp1251(password_->text()) + ';';
  data += dhcp_->isChecked() ? "1;" : "0;";
  for (QLineEdit* box : {address_, mask_, gateway_, server_}) {
    const auto address = EncodeAddress(box->text());
    if (!address) {
      ui().ShowMessage(kBadAddress);
      return;
    }
    data += *address + ';';
  }
  const std::pair<QLineEdit*, QString> numbers[] = {
      {port_, QStringLiteral("Некорректный номер порта. Ошибка!")},
      {period_, QStringLiteral("Некорректная величина параметра Периодичность связи. Ошибка!")},
      {retry_, QStringLiteral("Некорректная величина параметра Повторной попытки. Ошибка!")},
  };
  for (const auto& [box, message] : numbers) {
    const int value = ToInt(box->text());
    // The field carries 16 bits; a negative value would be sent as a large one.
    if (value < 0 || value >= 65536) {
      ui().ShowMessage(message);
      return;
    }
    data += EncodeLowFirst(value) + ';';
  }
  const ReplyRecord* sent = ExecuteFitting(ui(), kWriteNetwork, data);
  if (!sent) return;
  state().lastReply = sent;
  if (sent->status & ST_NO_REPLY) {
    ui().ShowMessage(kTimeout);
    return;
  }
  if (CheckReply(ui(), *sent, kStateHeading)) ui().ShowMessage(kSuccess);
}

void CommunicationParameters::LoadSettings() {
  const QString path = ui().OpenFileName(QStringLiteral("Чтение параметров связи из файла"), QDir::currentPath(),
                                         QStringLiteral("Text files (*.txt *.TXT);;All files (*)"), QStringLiteral("TXT"));
  if (path.isEmpty()) {
    ui().ShowMessage(QStringLiteral("Файл не выбран. Ошибка."));
    return;
  }
  QStringList lines;
  switch (ReadNetworkSettingsFile(path, lines)) {
    case SettingsFileStatus::Unreadable:
      ui().ShowMessage(QStringLiteral("Невозможно прочитать файл %1. Ошибка.").arg(QDir::toNativeSeparators(path)));
      return;
    case SettingsFileStatus::TooShort:
      ui().ShowMessage(QStringLiteral("В файле %1 меньше восьми строк. Настройки не загружены.")
                           .arg(QDir::toNativeSeparators(path)));
      return;
    case SettingsFileStatus::Ok:
      break;
  }
  // A value too long for its box loads nothing at all: the file's settings go in together or not.
  const auto line = [&](int i) { return QStringLiteral("строка %1 файла, %2").arg(i + 2).arg(kLabels[i]); };
  if (!ShowOutsideValues(ui(), {{address_, line(0), lines[1]},
                                {mask_, line(1), lines[2]},
                                {gateway_, line(2), lines[3]},
                                {server_, line(3), lines[4]},
                                {port_, line(4), lines[5]},
                                {period_, line(5), lines[6]},
                                {retry_, line(6), lines[7]}})) {
    return;
  }
  dhcp_->setChecked(!lines[0].startsWith(u'0'));
}

}  // namespace kovrix
