#pragma once
// The registrator's error codes in English, for the HTTP API: the device's own texts are Russian
// (driver/error_text.h) and an API client written in any language should not have to read them.
// Answers keep the device's text beside the English one, in "deviceMessage".

#include <string>

#include <nlohmann/json.hpp>

namespace kovrix::server {

/// Answers the English text of an error field ("020A": detail first, group last); empty for
/// "0000", and "error code XXXX" for a code the table does not know or one that is not four
/// hexadecimal digits.
std::string EnglishErrorText(const std::string& code);

/// Answers the English text of a time-out: the registrator sent no reply.
const char* EnglishTimeoutText();

/// Rewrites an answer whose "message" is the registrator's own (Russian) text for its "error"
/// code or for a time-out: "message" becomes the English text and the device's text moves to
/// "deviceMessage". Any other answer is left as it is.
void EnglishDeviceMessage(nlohmann::ordered_json& body);

}  // namespace kovrix::server
