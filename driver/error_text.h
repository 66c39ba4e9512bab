#pragma once
// The fixed Russian messages of the registrator's error codes.

#include <string>

#include "driver/reply.h"

namespace kovrix {

/// Answers true when the reply reports no error (text empty); otherwise false with the code's
/// message in text (cp1251), "Таймаут устройства! Ошибка!" when there was no reply. An error field
/// that is not exactly four characters 0-9/A-F is an unknown code: false with an empty text.
bool GetErrorText(ReplyRecord record, std::string& text);

/// Answers what a link fault means, in English for the command line and the service (empty for
/// None): "connection closed by the converter", ...
std::string LinkFaultText(LinkFault fault);

/// Answers the same in Russian (UTF-8), for the window: "конвертер закрыл соединение", ... It tells
/// what became of the connection only; whether anything was sent the caller says after it.
std::string LinkFaultRussianText(LinkFault fault);

}  // namespace kovrix
