#pragma once
// The fixed Russian messages of the registrator's error codes.

#include <string>

#include "driver/reply.h"

namespace kovrix {

/// Answers true when the reply reports no error (text empty); otherwise false with the code's
/// message in text (cp1251), "Таймаут устройства! Ошибка!" when there was no reply. An error field
/// that is not exactly four characters 0-9/A-F is an unknown code: false with an empty text.
bool GetErrorText(ReplyRecord record, std::string& text);

}  // namespace kovrix
