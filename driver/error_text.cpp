#include "driver/error_text.h"

#include <map>
#include <vector>

#include "driver/codepage.h"

namespace kovrix {
namespace {

// How a group's message is put together from its heading and the detail byte.
enum class Compose {
  HeadingAndDetail,  // heading followed by the detail's text (the group's "unknown" text past its table)
  Fixed,             // the heading alone, whatever the detail
  FieldNumber,       // heading, the detail in decimal, tail
};

struct Group {
  Compose how;
  std::string heading;
  std::string tail;
  std::vector<std::string> details;
};

struct GroupSource {
  int group;
  Compose how;
  const char* heading;
  const char* tail;
  std::vector<const char*> details;
};

// The messages as written in the source (UTF-8); converted to cp1251 once, on first use.
std::vector<GroupSource> Sources() {
  return {
    {0x01, Compose::HeadingAndDetail, "Ошибка оборудования!\n ", "", {
      "Неопределенная ошибка оборудования!",
      "Ошибка принтера!",
      "Ошибка RAM!",
      "Ошибка контрольной суммы памяти программы!",
      "Ошибка Flash памяти!",
      "Ошибка дисплея!",
      "Ошибка часов, необходимо скорректировать время!",
      "Ошибка, возникшая в связи с понижением напряжения питания!",
      "SIM: отказ оборудования!",
      "MMC: отказ оборудования!",
    }},
    {0x02, Compose::HeadingAndDetail, "", "", {
      "Нет команды с таким кодом!",
      "Данная функция не поддерживается!",
      "В сообщении нет данных",
      "Переполнение буфера приемника/передатчика!",
    }},
    {0x03, Compose::FieldNumber, "Неправильный формат поля номер ", "!", {}},
    {0x04, Compose::FieldNumber, "Значение поля номер ", " выходит за допустимый диапазон!", {}},
    {0x05, Compose::HeadingAndDetail, "Ошибка фискальной памяти!\n ", "", {
      "Нет свободного места для записи в ФП!",
      "Ошибка записи в фискальную память!",
      "Заводской номер не установлен!",
      "Дата текущей записи более ранняя \n   чем дата предыдущей записи!",
      "Запрещен выход за пределы суток!",
      "Данные в фискальной памяти неверны!",
      "Фискальная память исчерпана!",
      "Данная команда выполняется только в фискальном режиме!",
      "Дата и время не были установлены \nс момента последнего аварийного обнуления ОЗУ!",
      "С начала смены прошло более 24х часов!",
      "Необходимо скорректировать время!",
      "Ошибка в формате таблицы!",
      "ДОшибка в формате даты!",
      "Ошибка в формате времени!",
      "Устанавливаемое время меньше текущего!",
    }},
    {0x06, Compose::Fixed, "Неверный пароль доступа!", "", {}},
    {0x07, Compose::HeadingAndDetail, "Команда не может быть выполнена в данном состоянии регистратора!\n", "", {
      "Неверный режим регистратора (перемычка)!",
      "Команда невыполнима в данном состоянии смены!",
      "Необходимо выгрузить контрольную ленту (бумажную/подписанную)!",
      "Регистратор находится в автономном режиме!",
    }},
    {0x08, Compose::Fixed, "При выполнении операции \n  обнаружено арифметическое переполнение!", "", {}},
    {0x09, Compose::HeadingAndDetail, "Не обнулено!", "", {
      "Не очищено!",
      "Чтение-запись по неинициализированному указателю!",
      "Адрес-параметр за пределами зоны!",
      "Выделен недостаточный буфер!",
      "Ошибка данных",
    }},
    {0x0A, Compose::HeadingAndDetail, "Ошибка работы с базой товаров!\n ", "", {
      "Нет свободного места для выполнения команды!",
      "Длинна записи больше максимума (>255)!",
      "Артикул с данным кодом не найден!",
      "Индекс за пределами базы!",
      "Артикул с данным кодом существует!",
      "Налог запрещен!",
    }},
    {0x0B, Compose::HeadingAndDetail, "Ошибка работы с продажами!\n ", "", {
      "Неверное состояние документа!",
      "Недостаточно свободного места для выполнения команды!",
      "Неизвестный тип продажи!",
      "Аннуляция: не может начинаться с данной операции!",
      "Аннуляция: данная операция в чеке не найдена!",
      "Аннуляция: последовательность неполная!",
      "Аннулировать нечего!",
      "Копия чека недоступна!",
      "В кассе недостаточно наличных денег для выполнения операции!",
      "Указанный тип оплаты запрещен для данного чека!",
      "Сдача запрещена с данного типа оплаты!",
      "Значение скидки вышло за допустимый диапазон!",
      "Переполнение итога по чеку!",
      "Переполнение по оплатам в чеке!",
      "Переполнение буфера!",
      "Продажа: ошибка в количестве!",
      "Продажа: ошибка в цене!",
      "Аннуляция: удаляемая последовательность заблокирована!",
    }},
    {0xF0, Compose::HeadingAndDetail, "Ошибка форматированной строки!\n ", "", {
      "Форматированная строка: параметры!",
      "Форматированная строка: тип данных!",
      "Форматированная строка: выбор шрифта!",
      "Форматированная строка: выравнивание!",
      "Форматированная строка: позиции в строке!",
    }},
  };
}

// Groups absent from the table (00 with a non-zero detail, C0, D0, D1 and all others) have no
// message: the caller gets false and an empty text.
const std::map<int, Group>& Groups() {
  static const std::map<int, Group> groups = [] {
    std::map<int, Group> built;
    for (const GroupSource& s : Sources()) {
      Group g{s.how, Utf8ToCp1251(s.heading), Utf8ToCp1251(s.tail), {}};
      for (const char* d : s.details) g.details.push_back(Utf8ToCp1251(d));
      built.emplace(s.group, std::move(g));
    }
    return built;
  }();
  return groups;
}

const std::string& UnknownDetailText() {
  static const std::string text = Utf8ToCp1251("Неизвестная ошибка!");
  return text;
}

const std::string& TimeoutText() {
  static const std::string text = Utf8ToCp1251("Таймаут устройства! Ошибка!");
  return text;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads the error field's four digits: detail first, group last. The registrator sends exactly
// four upper-case hexadecimal digits; anything else cannot be trusted and counts as unknown.
bool ParseErrorField(const std::string& field, int& group, int& detail) {
  if (field.size() != 4) return false;
  int digits[4];
  for (int i = 0; i < 4; ++i) {
    digits[i] = HexDigit(field[i]);
    if (digits[i] < 0) return false;
  }
  detail = digits[0] * 16 + digits[1];
  group = digits[2] * 16 + digits[3];
  return true;
}

std::string MessageOf(const Group& g, int detail) {
  switch (g.how) {
    case Compose::Fixed:
      return g.heading;
    case Compose::FieldNumber:
      return g.heading + std::to_string(detail) + g.tail;
    case Compose::HeadingAndDetail:
      break;
  }
  const std::size_t index = static_cast<std::size_t>(detail);
  return g.heading + (index < g.details.size() ? g.details[index] : UnknownDetailText());
}

}  // namespace

bool GetErrorText(ReplyRecord record, std::string& text) {
  text.clear();
  if (record.status & ST_NO_REPLY) {
    text = TimeoutText();
    return false;
  }
  int group = 0;
  int detail = 0;
  if (!ParseErrorField(record.errorText, group, detail)) return false;
  if (group == 0 && detail == 0) return true;
  const auto it = Groups().find(group);
  if (it != Groups().end()) text = MessageOf(it->second, detail);
  return false;
}

std::string LinkFaultText(LinkFault fault) {
  switch (fault) {
    case LinkFault::None: break;
    case LinkFault::Flood: return "the line kept sending bytes that were not the reply (is another device on this port?)";
    case LinkFault::Closed: return "connection closed by the converter";
    case LinkFault::NotConnected: return "connection to the converter lost and not made again; nothing was sent";
  }
  return {};
}

std::string LinkFaultRussianText(LinkFault fault) {
  switch (fault) {
    case LinkFault::None: break;
    case LinkFault::Flood:
      return "порт передаёт байты, которые не являются ответом регистратора (к порту подключено другое устройство?)";
    case LinkFault::Closed: return "конвертер закрыл соединение";
    case LinkFault::NotConnected: return "соединение с конвертером потеряно и не восстановлено";
  }
  return {};
}

}  // namespace kovrix
