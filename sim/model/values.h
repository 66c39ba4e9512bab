#pragma once
// Plain value conversions of the simulated registrator: money and quantities in fixed point,
// the device's naive calendar clock, hexadecimal text.

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

namespace kovrix::sim {

/// Answers the fixed-point value of a decimal text with at most `decimals` fraction digits
/// ("-12.5" with 2 gives -1250); nothing for an empty text, other characters or too many digits.
std::optional<std::int64_t> ParseFixed(std::string_view text, int decimals);

/// Answers the decimal text of a fixed-point value ("-12.50" for -1250 with 2 decimals).
std::string FormatFixed(std::int64_t value, int decimals);

/// Answers a money amount in hundredths as text with two decimals.
inline std::string Money(std::int64_t cents) { return FormatFixed(cents, 2); }

/// Answers a decimal integer of the whole text (optional leading '-'); nothing otherwise.
std::optional<std::int64_t> ParseInteger(std::string_view text);

/// Answers the value of a hexadecimal text of 1..16 digits (either case); nothing otherwise.
std::optional<std::uint64_t> ParseHex(std::string_view text);

/// Answers the upper-case hexadecimal text of the bytes, two digits each.
std::string HexBytes(std::string_view bytes);

/// Answers the bytes of a hexadecimal text of even length (either case); nothing otherwise.
std::optional<std::string> UnhexBytes(std::string_view hex);

/// Device clock values are naive seconds (calendar time read as UTC, no time zone).
using DeviceTime = std::int64_t;

/// Answers the device time of DDMMYY and HHMM texts (years 2000..2099); nothing when either is
/// malformed or not a real date or time. An empty time text means midnight.
std::optional<DeviceTime> ParseDeviceDate(std::string_view ddmmyy, std::string_view hhmm = {});

/// Answers whether a text is a valid HHMM time.
bool ValidTime(std::string_view hhmm);

/// Answers the calendar fields of a device time.
std::tm Calendar(DeviceTime t);

/// Answers DDMMYY of a device time.
std::string DateText(DeviceTime t);
/// Answers HHMM of a device time.
std::string TimeText(DeviceTime t);
/// Answers "dd.mm.yy hh:mm" of a device time, for printed lines.
std::string PrintedDateTime(DeviceTime t);

/// Answers the device time of the machine's local wall clock now.
DeviceTime LocalWallClock();

}  // namespace kovrix::sim
