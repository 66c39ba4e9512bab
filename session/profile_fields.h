#pragma once
// The names and limits of the profile's fields that the check, the reading and the writing share:
// the switches of the registrator's masks, the tax types, the contrast steps, and the conversions
// between the registrator's wire texts and the profile's values.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kovrix::session::profile {

/// One named switch of a bit mask.
struct Switch {
  const char* name;
  int bit;
};

/// The document options of the registrator parameters (bits 2 and 4..7 are never set).
inline constexpr std::array<Switch, 11> kDocumentSwitches{{
    {"quantityWithPrice", 0x0001}, {"keepSalesBase", 0x0002}, {"salesOnDisplay", 0x0008},
    {"noAdvertising", 0x0100}, {"cutterOff", 0x0200}, {"printLogo", 0x0400}, {"feedWithBlankLines", 0x0800},
    {"noFeedToCutLine", 0x1000}, {"alwaysPrintQuantity", 0x2000}, {"printItemCount", 0x4000},
    {"printArticleCode", 0x8000},
}};

/// The extended print options (bits 2 and 7 are never set).
inline constexpr std::array<Switch, 6> kPrintSwitches{{
    {"noControlTapeUnfiscalised", 0x01}, {"shortControlTape", 0x02}, {"resumeAfterPrinterFault", 0x08},
    {"smallFontReceipt", 0x10}, {"smallFontControlTape", 0x20}, {"paper57mm", 0x40},
}};

/// A payment type's permissions.
inline constexpr std::array<Switch, 3> kPaymentSwitches{{{"sale", 0x01}, {"refund", 0x02}, {"changeInCash", 0x80}}};

/// The service reminder's events.
inline constexpr std::array<Switch, 5> kReminderSwitches{{
    {"oncePerPowerOn", 0x01}, {"display", 0x02}, {"printer", 0x04}, {"waitForKey", 0x08}, {"sound", 0x10},
}};

/// Tax types by code 0..7.
inline constexpr std::array<const char*, 8> kTaxTypes{
    "forbidden", "included", "added", "exempt", "included2", "added2", "included2Plus", "added2Plus"};

/// Print contrast steps by value 0..4.
inline constexpr std::array<const char*, 5> kContrasts{"default", "light", "normal", "dark", "extraDark"};

/// The tax letters А..Д (UTF-8), by tax number.
inline constexpr std::array<const char*, 5> kTaxLetters{"А", "Б", "В", "Г", "Д"};

inline constexpr int kTaxCount = 5;
inline constexpr int kHeaderLines = 10;
inline constexpr int kAdvertisingLines = 4;  // device lines 10..13
inline constexpr int kOperatorCount = 16;    // operators 1..16
inline constexpr int kMaxPaymentTypes = 10;
inline constexpr int kReminderLines = 10;

// Text limits, in characters.
inline constexpr int kLineChars = 42;  // the widest paper of the family; double width takes half
inline constexpr int kTaxNameChars = 19;
inline constexpr int kNameChars = 20;  // operators, payment types

/// Answers the index of a name in a list, or -1.
template <std::size_t N>
int IndexOf(const std::array<const char*, N>& names, std::string_view name) {
  for (std::size_t i = 0; i < N; ++i) {
    if (name == names[i]) return static_cast<int>(i);
  }
  return -1;
}

/// Answers the four octets of a dotted IPv4 address (four parts of 0..255), or nothing.
std::optional<std::uint32_t> ParseDotted(std::string_view dotted);
/// Answers the dotted form of an address.
std::string Dotted(std::uint32_t address);
/// Answers whether a text is dd.mm.yy of a real date.
bool ValidShortDate(std::string_view text);
/// Answers the value of a hexadecimal text (leading spaces skipped, stopping at the first other
/// character), as the screens read masks.
int HexPrefix(std::string_view text);

}  // namespace kovrix::session::profile
