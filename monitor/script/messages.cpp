#include "monitor/script/messages.h"

#include <array>
#include <string_view>

#include "driver/codepage.h"

namespace kovrix::script {
namespace {

// Written here in UTF-8 and converted once; the order follows the Msg enumeration.
constexpr std::array<std::string_view, 38> kUtf8Texts = {
    "Конец файла!",
    "Ошибка - неверное расположение описания данных.",
    "Ошибка - ошибка в описаниях. DeclareBeg уже был ранее.",
    "Ошибка - ошибка в описаниях. Оператор New расположен вне секции описаний.",
    "Ошибка - ошибка в описаниях. Ошибочное расположение DeclareEnd.",
    "Ошибка - ошибка в описаниях. Секция определений неверна.",
    "Ошибка - ошибка в описаниях.",
    "Ошибка - ошибка в If-Then. Оператор New расположен вне секции описаний.",
    "Ошибка - ошибка в операторе Set.",
    "Ошибка - присвоение несуществующей переменной.",
    "Некорректная операция в операторе If - ошибка!",
    "Некорректная операция в операторе While - ошибка!",
    "Ошибка переменной!",
    "Ошибка первого параметра!",
    "Ошибка второго параметра!",
    "Ошибка операции!",
    "Ошибка результата операции!",
    "Ошибка выполнения команды. Таймаут",
    "Ошибка выполнения команды",
    "Неверный код команды!",
    "Комментарий:: ",
    "Ошибка - в описаниях больше 100 переменных.",
    "Ошибка - в скрипте больше 100 операторов If.",
    "Ошибка - в скрипте больше 100 операторов While.",
    "Ошибка - вложенность операторов If больше 100.",
    "Ошибка - вложенность операторов While больше 100.",
    "Ошибка - в операторе RunCommand больше 20 параметров.",
    "Ошибка - оператор Then без открытого If.",
    "Ошибка - оператор Else без открытого If.",
    "Ошибка - оператор EndIf без открытого If.",
    "Ошибка - оператор EndWhile без открытого While.",
    "Ошибка - результат операции длиннее 65536 символов.",
    "Ошибка - данные команды длиннее 219 символов.",
    "Файл скрипта не выбран!",
    "Не удается открыть файл скрипта: ",
    "Division by zero",
    "Range check error",
    "Floating point overflow",
};

static_assert(kUtf8Texts.size() == static_cast<std::size_t>(Msg::FloatOverflow) + 1);

}  // namespace

const std::string& Text(Msg msg) {
  static const auto texts = [] {
    std::array<std::string, kUtf8Texts.size()> out;
    for (std::size_t i = 0; i < out.size(); ++i) out[i] = Utf8ToCp1251(kUtf8Texts[i]);
    return out;
  }();
  return texts[static_cast<std::size_t>(msg)];
}

ScriptFailure Failure(Msg msg, bool withLine) {
  return ScriptFailure{Text(msg), withLine, msg == Msg::Timeout};
}

ScriptFailure NotAnInteger(const std::string& text) {
  return ScriptFailure{"'" + text + "' is not a valid integer value", false, false};
}

ScriptFailure NotAFloat(const std::string& text) {
  return ScriptFailure{"'" + text + "' is not a valid floating point value", false, false};
}

}  // namespace kovrix::script
