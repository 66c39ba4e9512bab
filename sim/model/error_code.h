#pragma once
// Device error codes as the simulated registrator answers them: a group and a detail,
// written on the wire as four hexadecimal digits, detail digits first, group digits last.

#include <cstdint>
#include <string>

namespace kovrix::sim {

struct ErrorCode {
  std::uint8_t group = 0;
  std::uint8_t detail = 0;

  bool ok() const { return group == 0 && detail == 0; }
  /// Answers the error field of a reply: "%02X%02X" of detail, then group ("0000" on success).
  std::string WireText() const;
  bool operator==(const ErrorCode&) const = default;
};

/// A refusal raised by a command handler or an argument parser; the device answers its code.
struct Refusal {
  ErrorCode code;
};

namespace err {
inline constexpr ErrorCode kOk{0x00, 0x00};
inline constexpr ErrorCode kPrinter{0x01, 0x01};
inline constexpr ErrorCode kUnknownCommand{0x02, 0x00};
inline constexpr ErrorCode kNotSupported{0x02, 0x01};
inline constexpr ErrorCode kNoData{0x02, 0x02};
inline constexpr ErrorCode kFmNoSpace{0x05, 0x00};
inline constexpr ErrorCode kNoSerial{0x05, 0x02};
inline constexpr ErrorCode kDateEarlier{0x05, 0x03};
inline constexpr ErrorCode kDayChange{0x05, 0x04};
inline constexpr ErrorCode kFmCorrupt{0x05, 0x05};
inline constexpr ErrorCode kShiftOver24h{0x05, 0x09};
inline constexpr ErrorCode kDateFormat{0x05, 0x0C};
inline constexpr ErrorCode kTimeFormat{0x05, 0x0D};
inline constexpr ErrorCode kTimeBackwards{0x05, 0x0E};
inline constexpr ErrorCode kPassword{0x06, 0x00};
inline constexpr ErrorCode kWrongMode{0x07, 0x00};
inline constexpr ErrorCode kShiftState{0x07, 0x01};
inline constexpr ErrorCode kOverflow{0x08, 0x00};
inline constexpr ErrorCode kNotCleared{0x09, 0x00};
inline constexpr ErrorCode kNoSource{0x09, 0x01};
inline constexpr ErrorCode kOutOfArea{0x09, 0x02};
inline constexpr ErrorCode kLowBuffer{0x09, 0x03};
inline constexpr ErrorCode kArticleNoSpace{0x0A, 0x00};
inline constexpr ErrorCode kArticleNotFound{0x0A, 0x02};
inline constexpr ErrorCode kArticleIndex{0x0A, 0x03};
inline constexpr ErrorCode kArticleDuplicate{0x0A, 0x04};
inline constexpr ErrorCode kTaxDisabled{0x0A, 0x05};
inline constexpr ErrorCode kDocState{0x0B, 0x00};
inline constexpr ErrorCode kCancelStart{0x0B, 0x03};
inline constexpr ErrorCode kCancelNotFound{0x0B, 0x04};
inline constexpr ErrorCode kCancelIncomplete{0x0B, 0x05};
inline constexpr ErrorCode kNothingToCancel{0x0B, 0x06};
inline constexpr ErrorCode kCopyUnavailable{0x0B, 0x07};
inline constexpr ErrorCode kCashLow{0x0B, 0x08};
inline constexpr ErrorCode kPayTypeDisabled{0x0B, 0x09};
inline constexpr ErrorCode kChangeDisabled{0x0B, 0x0A};
inline constexpr ErrorCode kDiscountRange{0x0B, 0x0B};
inline constexpr ErrorCode kTotalOverflow{0x0B, 0x0C};
inline constexpr ErrorCode kPaymentOverflow{0x0B, 0x0D};
inline constexpr ErrorCode kQuantity{0x0B, 0x0F};
inline constexpr ErrorCode kPrice{0x0B, 0x10};
inline constexpr ErrorCode kCancelLocked{0x0B, 0x11};

/// Field n (counted from 1, the password being field 1) is not in the expected format.
inline ErrorCode FieldFormat(int n) { return {0x03, static_cast<std::uint8_t>(n)}; }
/// Field n holds a value out of the allowed range.
inline ErrorCode FieldValue(int n) { return {0x04, static_cast<std::uint8_t>(n)}; }
}  // namespace err

}  // namespace kovrix::sim
