#include <gtest/gtest.h>

#include <string>

#include "driver/codepage.h"
#include "driver/error_text.h"

namespace kovrix {
namespace {

struct Case {
  const char* errorField;
  std::uint32_t status;
  bool ok;
  const char* message;  // UTF-8
};

// One row per group (a known detail and, where the group has a table, a detail past it), the
// codes without a message, the no-reply override and malformed error fields.
const Case kCases[] = {
    {"0000", 0, true, ""},
    {"0000", ST_NAK, true, ""},  // NAK and checksum bits are not examined
    {"0503", ST_BAD_CHECKSUM, false, "Неправильный формат поля номер 5!"},
    {"0000", ST_NO_REPLY, false, "Таймаут устройства! Ошибка!"},
    {"0B0B", ST_NO_REPLY, false, "Таймаут устройства! Ошибка!"},
    {"0001", 0, false, "Ошибка оборудования!\n Неопределенная ошибка оборудования!"},
    {"0901", 0, false, "Ошибка оборудования!\n MMC: отказ оборудования!"},
    {"0A01", 0, false, "Ошибка оборудования!\n Неизвестная ошибка!"},
    {"0002", 0, false, "Нет команды с таким кодом!"},
    {"0302", 0, false, "Переполнение буфера приемника/передатчика!"},
    {"0402", 0, false, "Неизвестная ошибка!"},
    {"0503", 0, false, "Неправильный формат поля номер 5!"},
    {"FF03", 0, false, "Неправильный формат поля номер 255!"},
    {"1004", 0, false, "Значение поля номер 16 выходит за допустимый диапазон!"},
    {"0005", 0, false, "Ошибка фискальной памяти!\n Нет свободного места для записи в ФП!"},
    {"0305", 0, false, "Ошибка фискальной памяти!\n Дата текущей записи более ранняя \n   чем дата предыдущей записи!"},
    {"0C05", 0, false, "Ошибка фискальной памяти!\n ДОшибка в формате даты!"},
    {"0E05", 0, false, "Ошибка фискальной памяти!\n Устанавливаемое время меньше текущего!"},
    {"0F05", 0, false, "Ошибка фискальной памяти!\n Неизвестная ошибка!"},
    {"0006", 0, false, "Неверный пароль доступа!"},
    {"0106", 0, false, "Неверный пароль доступа!"},
    {"0007", 0, false,
     "Команда не может быть выполнена в данном состоянии регистратора!\nНеверный режим регистратора (перемычка)!"},
    {"0307", 0, false,
     "Команда не может быть выполнена в данном состоянии регистратора!\nРегистратор находится в автономном режиме!"},
    {"0407", 0, false, "Команда не может быть выполнена в данном состоянии регистратора!\nНеизвестная ошибка!"},
    {"2208", 0, false, "При выполнении операции \n  обнаружено арифметическое переполнение!"},
    {"0009", 0, false, "Не обнулено!Не очищено!"},
    {"0409", 0, false, "Не обнулено!Ошибка данных"},
    {"0509", 0, false, "Не обнулено!Неизвестная ошибка!"},
    {"010A", 0, false, "Ошибка работы с базой товаров!\n Длинна записи больше максимума (>255)!"},
    {"060A", 0, false, "Ошибка работы с базой товаров!\n Неизвестная ошибка!"},
    {"000B", 0, false, "Ошибка работы с продажами!\n Неверное состояние документа!"},
    {"110B", 0, false, "Ошибка работы с продажами!\n Аннуляция: удаляемая последовательность заблокирована!"},
    {"120B", 0, false, "Ошибка работы с продажами!\n Неизвестная ошибка!"},
    {"04F0", 0, false, "Ошибка форматированной строки!\n Форматированная строка: позиции в строке!"},
    {"05F0", 0, false, "Ошибка форматированной строки!\n Неизвестная ошибка!"},
    // No message: group 00 with a detail, the buffer/security/card groups, unknown groups.
    {"0100", 0, false, ""},
    {"00C0", 0, false, ""},
    {"02D0", 0, false, ""},
    {"04D1", 0, false, ""},
    {"000C", 0, false, ""},
    {"00FF", 0, false, ""},
    // Malformed error fields count as unknown codes; none reads past the text.
    {"", 0, false, ""},
    {"000", 0, false, ""},
    {"00000", 0, false, ""},
    {"0a03", 0, false, ""},
    {"00G1", 0, false, ""},
    {"00;0", 0, false, ""},
    {"\xC0\xC1\xC2\xC3", 0, false, ""},
};

TEST(GetErrorText, EveryGroupAndEdgeCase) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(testing::Message() << "error field '" << c.errorField << "' status " << c.status);
    ReplyRecord record;
    record.errorText = c.errorField;
    record.status = c.status;
    std::string text = "stale";
    EXPECT_EQ(GetErrorText(record, text), c.ok);
    EXPECT_EQ(Cp1251ToUtf8(text), c.message);
  }
}

}  // namespace
}  // namespace kovrix
