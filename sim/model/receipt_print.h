#pragma once
// Printed layout shared by receipts and reports: the document header and footer, and the
// barcode line.

#include <string>
#include <string_view>

#include "sim/model/device.h"

namespace kovrix::sim {

/// Largest receipt total and payment sum, in hundredths.
inline constexpr std::int64_t kMaxTotal = 9999999999;

/// Prints the logo mark (when enabled), the header lines and a centred title.
void PrintDocumentHeader(Device& d, const std::string& title);

/// Prints the advertising lines (receipts only, unless switched off), the document number and
/// time, the serial and fiscal numbers and the fiscal mark.
void PrintDocumentFooter(Device& d, const std::string& numberLine, bool receipt);

/// Answers the 13 digits of an EAN-13 pixel line given as 32 hexadecimal characters, or an
/// empty text when the modules do not form a valid code.
std::string DecodeEan13(std::string_view hexModules);

/// Answers value x percent (both in hundredths), rounded half away from zero, in hundredths.
std::int64_t PercentOf(std::int64_t value, std::int64_t percent);

}  // namespace kovrix::sim
