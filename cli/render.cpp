#include "cli/render.h"

#include <cstdio>

#include "driver/codepage.h"
#include "driver/error_text.h"

namespace kovrix::cli {
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

std::string JsonString(std::string_view utf8) {
  std::string out = "\"";
  for (char c : utf8) {
    const auto byte = static_cast<unsigned char>(c);
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\b':
        out += "\\b";
        break;
      case '\f':
        out += "\\f";
        break;
      default:
        if (byte < 0x20)
          out += Format("\\u%04X", byte);
        else
          out += c;
    }
  }
  return out + "\"";
}

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

std::string RenderJson(const ReplyRecord& record) {
  std::string message;
  const bool ok = GetErrorText(record, message);
  std::string json = "{";
  json += "\"command\":" + JsonString(Format("%02X", static_cast<unsigned>(record.command) & 0xFFu));
  json += ",\"error\":" + JsonString(Utf8(record.errorText));
  json += std::string(",\"ok\":") + (ok ? "true" : "false");
  json += ",\"message\":" + JsonString(Utf8(message));
  json += ",\"data\":" + JsonString(Utf8(record.replyData));
  json += ",\"fields\":[";
  for (int i = 1; i <= record.fieldCount; ++i) {
    if (i > 1) json += ',';
    json.append(JsonString(Utf8(record.field(i))));
  }
  json += "],\"statusBytes\":[";
  for (std::size_t i = 0; i < record.statusBytes.size(); ++i) {
    if (i > 0) json += ',';
    json.append(std::to_string(record.statusBytes[i] & 0x7F));
  }
  json += "],\"status\":" + std::to_string(record.status);
  json += std::string(",\"noReply\":") + ((record.status & ST_NO_REPLY) ? "true" : "false");
  json += std::string(",\"nak\":") + ((record.status & ST_NAK) ? "true" : "false");
  json += std::string(",\"badChecksum\":") + ((record.status & ST_BAD_CHECKSUM) ? "true" : "false");
  json += ",\"sentFrame\":" + JsonString(HexBytes(record.sentFrame));
  json += ",\"rawReply\":" + JsonString(HexBytes(record.rawReply));
  return json + "}";
}

std::string RenderRefusalJson(int err) { return "{\"err\":" + std::to_string(err) + "}"; }

std::string RenderText(const ReplyRecord& record) {
  std::string message;
  const bool ok = GetErrorText(record, message);
  std::string text = "command: " + Format("%02X", static_cast<unsigned>(record.command) & 0xFFu) + " (" +
                     Utf8(record.commandName) + ")\n";
  const std::string verdict = ok ? "OK" : message.empty() ? "(no message for this code)" : Utf8(message);
  text += "error: " + Utf8(record.errorText) + " " + verdict + "\n";
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

}  // namespace kovrix::cli
