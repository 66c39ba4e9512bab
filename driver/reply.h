#pragma once
// The reply record that every registrator command answers, the status word, and the
// reply decoder that fills the record at the end of an exchange.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "driver/frame.h"

namespace kovrix {

// Link outcomes; when one of them is set no other bit of the status word is.
inline constexpr std::uint32_t ST_NO_REPLY = 1u << 26;
inline constexpr std::uint32_t ST_NAK = 1u << 25;
inline constexpr std::uint32_t ST_BAD_CHECKSUM = 1u << 24;

// Device status bits, condensed from the six status bytes.
inline constexpr std::uint32_t ST_SERVICE_MODE = 1u << 0;        // 0.0
inline constexpr std::uint32_t ST_DOC_BUFFER_LOW = 1u << 1;      // 0.1
inline constexpr std::uint32_t ST_DATE_NOT_SET = 1u << 2;        // 0.2
inline constexpr std::uint32_t ST_PRINTER_FAULT = 1u << 3;       // 0.4
inline constexpr std::uint32_t ST_RECEIPT_PAPER_LOW = 1u << 4;   // 1.0
inline constexpr std::uint32_t ST_CONTROL_PAPER_LOW = 1u << 5;   // 1.1
inline constexpr std::uint32_t ST_RECEIPT_PAPER_OUT = 1u << 6;   // 1.2
inline constexpr std::uint32_t ST_CONTROL_PAPER_OUT = 1u << 7;   // 1.3
inline constexpr std::uint32_t ST_COVER_OPEN = 1u << 8;          // 1.4
inline constexpr std::uint32_t ST_RECEIPT_STATE = 1u << 9;       // 2.0
inline constexpr std::uint32_t ST_RECEIPT_CURRENT = 1u << 10;    // 2.3
inline constexpr std::uint32_t ST_RESERVED_2_5 = 1u << 11;       // 2.5
inline constexpr std::uint32_t ST_MANUAL_FEED = 1u << 12;        // 1.5
inline constexpr std::uint32_t ST_FM_LESS_30 = 1u << 13;         // 4.2
inline constexpr std::uint32_t ST_CLOCK_ADJUST = 1u << 14;       // 5.5
inline constexpr std::uint32_t ST_SERIAL_SET = 1u << 16;         // 4.0
inline constexpr std::uint32_t ST_ID_DEV_SET = 1u << 17;         // 4.4
inline constexpr std::uint32_t ST_RESERVED_5_0 = 1u << 18;       // 5.0
inline constexpr std::uint32_t ST_BATTERY_LOW = 1u << 19;        // 5.2
inline constexpr std::uint32_t ST_FM_FULL = 1u << 20;            // 4.3
inline constexpr std::uint32_t ST_RESERVED_5_1 = 1u << 21;       // 5.1
inline constexpr std::uint32_t ST_ALERT = 1u << 22;              // 5.3
inline constexpr std::uint32_t ST_SHIFT_OPEN = 1u << 23;         // 5.4
inline constexpr std::uint32_t ST_RESTART_NEEDED = 1u << 27;     // 0.5
inline constexpr std::uint32_t ST_PERSONALISED = 1u << 28;       // 4.5

/// Why an exchange without a reply ended, beyond plain silence (the record then has ST_NO_REPLY).
enum class LinkFault {
  None,          // a reply, or silence
  Flood,         // the line kept sending bytes without the reply to the frame
  Closed,        // the converter closed the connection during the exchange
  NotConnected,  // the converter's connection was lost and could not be made again: nothing was sent
};

/// Most reply fields a record keeps; a reply with more keeps the first ones (replyData holds all).
inline constexpr int kMaxReplyFields = 20;

/// The record every command answers. Texts are cp1251 bytes, as on the wire.
struct ReplyRecord {
  int fieldCount = 0;
  int command = 0;
  std::uint32_t status = 0;
  std::string commandName;
  std::string sentData;
  std::string replyData;
  std::string errorText;  // the reply's error field (at most 19 characters), "0000" on success
  std::vector<std::string> fields;  // fieldCount entries, reply field 1 first
  StatusBytes statusBytes{};        // top bit cleared
  std::string sentFrame;
  std::string rawReply;
  LinkFault linkFault = LinkFault::None;

  /// Answers reply field n counted from 1; empty text beyond the field count.
  const std::string& field(int n) const;
};

/// Answers the command's name (cp1251), or "Неверная команда" for a code without one.
std::string GetCommandName(int code);

/// Answers the status word for the six status bytes (link outcome bits not included).
std::uint32_t MapStatusBytes(const StatusBytes& bytes);

/// Applies the per-command fix-up to reply data (0x32, 0x35, 0x3E, 0x5A), in place.
void FixUpReplyData(int command, std::string& data);

/// Splits reply data into fields: "A;B;" gives A and B, "A;;C;" gives A, "" and C.
std::vector<std::string> SplitReplyFields(const std::string& data);

/// What the receive machine collected in one exchange, as the decoder reads it.
struct ReceivedFrame {
  bool endedProperly = false;  // the link's ready flag at the end of the wait
  bool nakReceived = false;
  std::uint32_t runningSum = 0;
  std::uint32_t receivedBcc = 0;
  std::string errorField;
  std::string data;
  StatusBytes statusBytes{};
};

/// Fills the record from one exchange: status word, fix-ups, fields and names.
/// rx.errorField is whatever the receive machine last collected, so after an exchange without
/// reply the record still shows the previous reply's error field.
void DecodeReply(const ReceivedFrame& rx, int commandSent, const std::string& sentData, ReplyRecord& record);

}  // namespace kovrix
