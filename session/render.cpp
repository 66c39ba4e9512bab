#include "session/render.h"

#include <cctype>
#include <cstdio>

#include "driver/codepage.h"
#include "driver/commands.h"
#include "driver/error_text.h"

namespace kovrix::session {
namespace {

struct Flag {
  std::uint32_t bit;
  const char* name;
};

constexpr Flag kFlags[] = {
    {ST_SERVICE_MODE, "ST_SERVICE_MODE"},
    {ST_DOC_BUFFER_LOW, "ST_DOC_BUFFER_LOW"},
    {ST_DATE_NOT_SET, "ST_DATE_NOT_SET"},
    {ST_PRINTER_FAULT, "ST_PRINTER_FAULT"},
    {ST_RECEIPT_PAPER_LOW, "ST_RECEIPT_PAPER_LOW"},
    {ST_CONTROL_PAPER_LOW, "ST_CONTROL_PAPER_LOW"},
    {ST_RECEIPT_PAPER_OUT, "ST_RECEIPT_PAPER_OUT"},
    {ST_CONTROL_PAPER_OUT, "ST_CONTROL_PAPER_OUT"},
    {ST_COVER_OPEN, "ST_COVER_OPEN"},
    {ST_RECEIPT_STATE, "ST_RECEIPT_STATE"},
    {ST_RECEIPT_CURRENT, "ST_RECEIPT_CURRENT"},
    {ST_RESERVED_2_5, "ST_RESERVED_2_5"},
    {ST_MANUAL_FEED, "ST_MANUAL_FEED"},
    {ST_FM_LESS_30, "ST_FM_LESS_30"},
    {ST_CLOCK_ADJUST, "ST_CLOCK_ADJUST"},
    {ST_SERIAL_SET, "ST_SERIAL_SET"},
    {ST_ID_DEV_SET, "ST_ID_DEV_SET"},
    {ST_RESERVED_5_0, "ST_RESERVED_5_0"},
    {ST_BATTERY_LOW, "ST_BATTERY_LOW"},
    {ST_FM_FULL, "ST_FM_FULL"},
    {ST_RESERVED_5_1, "ST_RESERVED_5_1"},
    {ST_ALERT, "ST_ALERT"},
    {ST_SHIFT_OPEN, "ST_SHIFT_OPEN"},
    {ST_BAD_CHECKSUM, "ST_BAD_CHECKSUM"},
    {ST_NAK, "ST_NAK"},
    {ST_NO_REPLY, "ST_NO_REPLY"},
    {ST_RESTART_NEEDED, "ST_RESTART_NEEDED"},
    {ST_PERSONALISED, "ST_PERSONALISED"},
};

std::string Utf8(const std::string& cp1251) { return Cp1251ToUtf8(cp1251); }

std::string Format(const char* format, unsigned value) {
  char buf[32];
  std::snprintf(buf, sizeof buf, format, value);
  return buf;
}

}  // namespace

std::string DumpJson(const nlohmann::ordered_json& value) {
  // Broken UTF-8 is replaced rather than thrown on: the output must never fail.
  const std::string text = value.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
  // The library writes control characters as \u001f; upper-case hexadecimal digits are this
  // program's established output.
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    out += text[i];
    if (text[i] != '\\' || i + 1 >= text.size()) continue;
    out += text[++i];
    if (text[i] != 'u') continue;
    for (int k = 0; k < 4 && i + 1 < text.size(); ++k) {
      out += static_cast<char>(std::toupper(static_cast<unsigned char>(text[++i])));
    }
  }
  return out;
}

std::string JsonString(std::string_view utf8) { return DumpJson(nlohmann::ordered_json(std::string(utf8))); }

std::string HexBytes(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() * 2);
  for (char c : bytes) out += Format("%02X", static_cast<unsigned char>(c));
  return out;
}

std::string StatusFlagNames(std::uint32_t status) {
  std::string names;
  for (const Flag& f : kFlags) {
    if (!(status & f.bit)) continue;
    if (!names.empty()) names += ' ';
    names += f.name;
  }
  return names;
}

nlohmann::ordered_json ReplyJson(const ReplyRecord& record) {
  std::string message;
  const bool ok = GetErrorText(record, message);
  nlohmann::ordered_json json;
  json["command"] = Format("%02X", static_cast<unsigned>(record.command) & 0xFFu);
  json["error"] = Utf8(record.errorText);
  json["ok"] = ok;
  json["message"] = Utf8(message);
  json["data"] = Utf8(record.replyData);
  json["fields"] = nlohmann::ordered_json::array();
  for (int i = 1; i <= record.fieldCount; ++i) json["fields"].push_back(Utf8(record.field(i)));
  json["statusBytes"] = nlohmann::ordered_json::array();
  for (std::uint8_t b : record.statusBytes) json["statusBytes"].push_back(b & 0x7F);
  json["status"] = record.status;
  json["noReply"] = (record.status & ST_NO_REPLY) != 0;
  // Why there was no reply, when more is known than silence.
  if (record.linkFault != LinkFault::None) json["linkFault"] = LinkFaultText(record.linkFault);
  json["nak"] = (record.status & ST_NAK) != 0;
  json["badChecksum"] = (record.status & ST_BAD_CHECKSUM) != 0;
  json["sentFrame"] = HexBytes(record.sentFrame);
  json["rawReply"] = HexBytes(record.rawReply);
  return json;
}

std::string RenderJson(const ReplyRecord& record) { return DumpJson(ReplyJson(record)); }

std::string RenderRefusalJson(int err) { return DumpJson(nlohmann::ordered_json{{"err", err}}); }

std::string RenderText(const ReplyRecord& record) {
  std::string message;
  const bool ok = GetErrorText(record, message);
  std::string text = "command: " + Format("%02X", static_cast<unsigned>(record.command) & 0xFFu) + " (" +
                     Utf8(record.commandName) + ")\n";
  const std::string verdict = ok ? "OK" : message.empty() ? "(no message for this code)" : Utf8(message);
  text += "error: " + Utf8(record.errorText) + " " + verdict + "\n";
  if (record.linkFault != LinkFault::None) text += "link: " + LinkFaultText(record.linkFault) + "\n";
  text += "data: " + Utf8(record.replyData) + "\n";
  for (int i = 1; i <= record.fieldCount; ++i) {
    text.append("field ").append(std::to_string(i)).append(": ").append(Utf8(record.field(i))).append("\n");
  }
  text += "status bytes:";
  for (std::uint8_t b : record.statusBytes) text += " " + Format("%02X", b & 0x7Fu);
  text += "\nstatus: " + Format("0x%08X", record.status);
  const std::string flags = StatusFlagNames(record.status);
  if (!flags.empty()) text += " " + flags;
  return text + "\n";
}

std::string RefusalText(std::string_view function, int err) {
  switch (err) {
    case ERR_EAN13_LENGTH:
      return "the code is not 12 characters long";
    case ERR_EAN13_NOT_DIGITS:
      return "the code is not all digits";
    case ERR_LOGO_LINE:
      return "logo line number below 0";
    case ERR_LOGO_DATA:
      return "logo line data not 48 characters";
    case ERR_HEADER_LINE:
    case ERR_HEADER_LINE_READ:
      return "line number outside 0..20";
    case ERR_QUANTITY:  // the same code as ERR_PAYMENT_TYPE
      return function == "Payment" ? "payment type outside 0..9" : "quantity not above 0";
    case ERR_PRICE:
      return "price below 0";
    case ERR_AMOUNT:
      return "amount not a finite number";
    case ERR_SOURCE_TYPE:
      return "source type not 0, 1, 2, 3 or 5";
    case ERR_DATA_TOO_LONG:
      return "data text longer than 219 bytes";
    default:
      return "argument error";
  }
}

}  // namespace kovrix::session
