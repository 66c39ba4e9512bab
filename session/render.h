#pragma once
// Turns a reply record into what the terminal shows: readable lines or one JSON object.
// The record's texts are cp1251; everything rendered here is UTF-8.

#include <cstdint>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "driver/reply.h"

namespace kovrix::session {

/// Answers the JSON text of a value on one line, control characters escaped with upper-case
/// hexadecimal digits; broken UTF-8 is replaced, never thrown on.
std::string DumpJson(const nlohmann::ordered_json& value);

/// Answers the text as a JSON string literal, quotes included (UTF-8 passes through as is).
std::string JsonString(std::string_view utf8);

/// Answers the bytes as upper-case hexadecimal, two digits per byte, no separators.
std::string HexBytes(std::string_view bytes);

/// Answers the names of the status word's set bits (ST_...), separated by spaces.
std::string StatusFlagNames(std::uint32_t status);

/// Answers the JSON object of a reply, keys in their documented order.
nlohmann::ordered_json ReplyJson(const ReplyRecord& record);

/// Answers the one-line JSON object of a reply (see the usage text for its keys).
std::string RenderJson(const ReplyRecord& record);

/// Answers the JSON object of a refused call: the negative code and nothing else.
std::string RenderRefusalJson(int err);

/// Answers the readable lines of a reply: command, error code and message, data, fields
/// numbered from 1, status bytes, status word and its flags.
std::string RenderText(const ReplyRecord& record);

/// Answers what a negative argument-check code of a command API function means.
std::string RefusalText(std::string_view function, int err);

}  // namespace kovrix::session
