#include "driver/reply.h"

#include <array>
#include <utility>

#include "driver/codepage.h"

namespace kovrix {
namespace {

struct NamedCommand {
  int code;
  const char* name;
};

constexpr NamedCommand kNames[] = {
    {0x20, "Команда 20h: Установка даты и времени"},
    {0x21, "Команда 21h: Чтение даты и времени"},
    {0x22, "Команда 22h: Программирование заголовка и окончания документа"},
    {0x23, "Команда 23h: Чтение заголовка и окончания документа"},
    {0x24, "Команда 24h: Добавление товара"},
    {0x25, "Команда 25h: Поиск индекса товара"},
    {0x26, "Команда 26h: Чтение параметров товара по индексу"},
    {0x27, "Команда 27h: Программирование параметров регистратора"},
    {0x28, "Команда 28h: Получение параметров регистратора"},
    {0x29, "Команда 29h: Установка логотипа пользователя"},
    {0x2B, "Команда 2Bh: Установить пароли Режимов"},
    {0x2C, "Команда 2Ch: Сбросить пароль Оператора"},
    {0x2D, "Команда 2Dh: Установка параметров оплаты"},
    {0x2E, "Команда 2Eh: Чтение параметров оплаты"},
    {0x2F, "Команда 2Fh: Установка параметров оператора"},
    {0x30, "Команда 30h: Чтение параметров оператора"},
    {0x40, "Команда 40h: Фискализация"},
    {0x41, "Команда 41h: Программирование заводского номера"},
    {0x42, "Команда 42h: Чтение заводского номера"},
    {0x43, "Команда 43h: Программирование фискального номера"},
    {0x44, "Команда 44h: Чтение фискального номера"},
    {0x45, "Команда 45h: Программирование налогового/идентификационного номера"},
    {0x46, "Команда 46h: Чтение налогового/идентификационного номера"},
    {0x47, "Команда 47h: Установка налоговых ставок"},
    {0x48, "Команда 48h: Чтение налоговых ставок"},
    {0x60, "Команда 60h: Открытие нефискального чека"},
    {0x61, "Команда 61h: Печать текста"},
    {0x62, "Команда 62h: Закрытие нефискального чека"},
    {0x63, "Команда 63h: Открытие фискального чека"},
    {0x64, "Команда 64h: Продажа запрограммированного товара"},
    {0x65, "Команда 65h: Закрытие  фискального чека"},
    {0x66, "Команда 66h: Копия чека"},
    {0x67, "Команда 67h: Оплата"},
    {0x68, "Команда 68h: Скидка/наценка на товар процентная"},
    {0x69, "Команда 69h: Скидка/наценка на товар абсолютная"},
    {0x6A, "Команда 6Ah: Дополнительный налог"},
    {0x6B, "Команда 6Bh: Аннулирования"},
    {0x6C, "Команда 6Ch: Скидка/наценка на сумму процентная"},
    {0x6D, "Команда 6Dh: Напечатать итог"},
    {0x6E, "Команда 6Eh: Внесение/выдача сумм"},
    {0x6F, "Команда 6Fh: Печать штрих кода"},
    {0x80, "Команда 80h: Диагностическая информация"},
    {0x81, "Команда 81h: Вывод информации на дисплей"},
    {0x82, "Команда 82h: Звук"},
    {0x83, "Команда 83h: Открытие денежного ящика"},
    {0xA0, "Команда A0h: Информация о свободных ресурсах и статусе"},
    {0xA1, "Команда A1h: Печать отчетов"},
    {0xA2, "Команда A2h: Поиск отчета по дате"},
    {0xA3, "Команда A3h: Печать периодического отчета"},
};

// The table of names for 0x20..0xA3, converted to cp1251 once.
const std::array<std::string, 0xA4 - 0x20>& NameTable() {
  static const auto table = [] {
    std::array<std::string, 0xA4 - 0x20> t;
    for (const auto& n : kNames) t[n.code - 0x20] = Utf8ToCp1251(n.name);
    return t;
  }();
  return table;
}

// Word bit <- status byte and bit.
struct StatusBit {
  int wordBit;
  int byte;
  int bit;
};

constexpr StatusBit kStatusMap[] = {
    {0, 0, 0},  {1, 0, 1},  {2, 0, 2},  {3, 0, 4},  {4, 1, 0},  {5, 1, 1},  {6, 1, 2},
    {7, 1, 3},  {8, 1, 4},  {9, 2, 0},  {10, 2, 3}, {11, 2, 5}, {12, 1, 5}, {13, 4, 2},
    {14, 5, 5}, {16, 4, 0}, {17, 4, 4}, {18, 5, 0}, {19, 5, 2}, {20, 4, 3}, {21, 5, 1},
    {22, 5, 3}, {23, 5, 4}, {27, 0, 5}, {28, 4, 5},
};

}  // namespace

const std::string& ReplyRecord::field(int n) const {
  static const std::string kEmpty;
  if (n < 1 || n > static_cast<int>(fields.size())) return kEmpty;
  return fields[static_cast<std::size_t>(n - 1)];
}

std::string GetCommandName(int code) {
  if (code >= 0x20 && code <= 0xA3) {
    const std::string& name = NameTable()[static_cast<std::size_t>(code - 0x20)];
    if (!name.empty()) return name;
  }
  static const std::string kInvalid = Utf8ToCp1251("Неверная команда");
  return kInvalid;
}

std::uint32_t MapStatusBytes(const StatusBytes& bytes) {
  std::uint32_t word = 0;
  for (const auto& m : kStatusMap) {
    if (bytes[static_cast<std::size_t>(m.byte)] & (1u << m.bit)) word |= 1u << m.wordBit;
  }
  return word;
}

void FixUpReplyData(int command, std::string& data) {
  if (data.size() <= 1) return;
  switch (command) {
    case 0x32:
    case 0x35:
      data.insert(1, 1, ',');
      break;
    case 0x3E:
      // Only a ninth character that exists is replaced; writing past the end would
      // join the text to whatever followed it.
      if (data.size() >= 9) data[8] = ',';
      break;
    case 0x5A:
      for (std::size_t i = 0; i < data.size() && i < 20; ++i) {
        if (data[i] == ' ') data[i] = ',';
      }
      break;
    default:
      break;
  }
}

std::vector<std::string> SplitReplyFields(const std::string& input) {
  std::vector<std::string> fields;
  if (input.empty()) return fields;
  std::string data = input;
  if (data.back() == ';') data.pop_back();

  std::size_t start = 0;
  std::size_t end = data.size();
  for (std::size_t i = 0; i + 1 < end; ++i) {
    if (data[i] != ';') continue;
    // The twentieth field keeps the rest of the data, separators included, so nothing is lost.
    if (fields.size() + 1 >= static_cast<std::size_t>(kMaxReplyFields)) break;
    fields.push_back(data.substr(start, i - start));
    start = i + 1;
    if (end > start && data[end - 1] == ';') --end;
  }
  fields.push_back(data.substr(start, end - start));
  return fields;
}

void DecodeReply(const ReceivedFrame& rx, int commandSent, const std::string& sentData, ReplyRecord& record) {
  const bool checksumMismatch = rx.endedProperly && rx.receivedBcc != rx.runningSum;

  for (std::size_t i = 0; i < rx.statusBytes.size(); ++i) record.statusBytes[i] = rx.statusBytes[i] & 0x7F;

  if (!rx.endedProperly) {
    record.status = ST_NO_REPLY;
  } else if (rx.nakReceived) {
    record.status = ST_NAK;
  } else if (checksumMismatch) {
    record.status = ST_BAD_CHECKSUM;
  } else {
    record.status = MapStatusBytes(rx.statusBytes);
  }

  std::string data = rx.data.substr(0, 255);
  record.replyData = data;
  FixUpReplyData(commandSent, data);

  record.errorText = rx.errorField;
  record.command = commandSent;
  record.commandName = GetCommandName(commandSent);
  record.sentData = sentData;
  record.fields = SplitReplyFields(data);
  record.fieldCount = static_cast<int>(record.fields.size());
}

}  // namespace kovrix
