#include "server/english_errors.h"

#include <map>
#include <vector>

#include "driver/codepage.h"
#include "driver/error_text.h"
#include "driver/reply.h"

namespace kovrix::server {
namespace {

// A group's heading, and the texts of its details by number; a heading ending in "field" is
// followed by the detail as a field number.
struct Group {
  const char* heading;
  std::vector<const char*> details;
};

const std::map<int, Group>& Groups() {
  static const std::map<int, Group> groups = {
      {0x01, {"hardware error", {"unspecified hardware error", "printer error", "RAM error",
                                 "program memory checksum error", "flash memory error", "display error",
                                 "clock error: the time must be corrected", "supply voltage dropped",
                                 "SIM: hardware failure", "MMC: hardware failure"}}},
      {0x02, {"", {"no command with this code", "this function is not supported", "the message carries no data",
                   "receive/transmit buffer overflow"}}},
      {0x03, {"wrong format of field", {}}},
      {0x04, {"value out of range in field", {}}},
      {0x05, {"fiscal memory error", {"no room left in fiscal memory", "fiscal memory write error",
                                      "the serial number is not set",
                                      "the date of this record is earlier than the previous record's",
                                      "crossing the end of the day is not allowed", "fiscal memory data are wrong",
                                      "fiscal memory is full", "this command runs in fiscal mode only",
                                      "date and time were not set since the last emergency RAM reset",
                                      "more than 24 hours have passed since the shift opened",
                                      "the time must be corrected", "wrong table format", "wrong date format",
                                      "wrong time format", "the time being set is earlier than the current time"}}},
      {0x06, {"wrong access password", {}}},
      {0x07, {"the command cannot run in the registrator's present state",
              {"wrong registrator mode (jumper)", "the command cannot run in this state of the shift",
               "the control tape (paper or signed) must be unloaded", "the registrator is in standalone mode"}}},
      {0x08, {"arithmetic overflow in the operation", {}}},
      {0x09, {"not cleared", {"not cleared", "read or write through an uninitialised pointer",
                              "address parameter outside its zone", "the buffer given is too small", "data error"}}},
      {0x0A, {"article base error", {"no room left for the command", "record longer than the maximum (255)",
                                     "no article with this code", "index outside the base",
                                     "an article with this code exists", "the tax is not allowed"}}},
      {0x0B, {"sales error", {"wrong state of the document", "not enough room left for the command",
                              "unknown kind of sale", "void: cannot start with this operation",
                              "void: the operation is not in the receipt", "void: the sequence is incomplete",
                              "nothing to void", "a copy of the receipt is not available",
                              "not enough cash in the drawer for the operation",
                              "this payment type is not allowed for this receipt",
                              "change is not allowed from this payment type", "discount value out of range",
                              "receipt total overflow", "receipt payments overflow", "buffer overflow",
                              "sale: wrong quantity", "sale: wrong price", "void: the sequence to remove is locked"}}},
      {0xF0, {"formatted line error", {"formatted line: parameters", "formatted line: data type",
                                       "formatted line: font choice", "formatted line: alignment",
                                       "formatted line: positions in the line"}}},
  };
  return groups;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string DeviceText(const std::string& code, std::uint32_t status) {
  ReplyRecord record;
  record.errorText = Utf8ToCp1251(code);
  record.status = status;
  std::string text;
  GetErrorText(record, text);
  return Cp1251ToUtf8(text);
}

}  // namespace

std::string EnglishErrorText(const std::string& code) {
  const std::string unknown = "error code " + code;
  if (code.size() != 4) return unknown;
  int digits[4];
  for (int i = 0; i < 4; ++i) {
    if ((digits[i] = HexDigit(code[static_cast<std::size_t>(i)])) < 0) return unknown;
  }
  const int detail = digits[0] * 16 + digits[1];
  const int group = digits[2] * 16 + digits[3];
  if (group == 0 && detail == 0) return {};
  const auto it = Groups().find(group);
  if (it == Groups().end()) return unknown;
  const Group& g = it->second;
  const std::string heading = g.heading;
  if (group == 0x03 || group == 0x04) return heading + " " + std::to_string(detail);
  if (g.details.empty()) return heading;
  const std::size_t index = static_cast<std::size_t>(detail);
  const std::string what = index < g.details.size() ? g.details[index] : "unknown error " + code;
  return heading.empty() ? what : heading + ": " + what;
}

const char* EnglishTimeoutText() { return "the registrator did not answer in time"; }

void EnglishDeviceMessage(nlohmann::ordered_json& body) {
  if (!body.is_object() || !body.contains("message") || !body["message"].is_string()) return;
  const std::string message = body["message"].get<std::string>();
  if (message.empty()) return;
  std::string english;
  if (message == DeviceText("", ST_NO_REPLY)) {
    english = EnglishTimeoutText();
  } else if (body.contains("error") && body["error"].is_string()) {
    const std::string code = body["error"].get<std::string>();
    if (message != DeviceText(code, 0)) return;
    english = EnglishErrorText(code);
  } else {
    return;
  }
  body["message"] = english;
  body["deviceMessage"] = message;
}

}  // namespace kovrix::server
