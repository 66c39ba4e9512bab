#pragma once
// EAN-13 barcode rendering: a 12-digit article number becomes one line of 128 one-pixel
// modules, packed into the 32 hexadecimal characters that the print-barcode command carries.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kovrix {

/// Number of modules (pixels) in the printed barcode line.
inline constexpr std::size_t kEan13Modules = 128;

/// One barcode line: module i is 1 for a bar, 0 for a space.
using Ean13ModuleLine = std::array<std::uint8_t, kEan13Modules>;

/// Answers whether the text is exactly 12 decimal digits.
bool IsEan13Body(std::string_view code);

/// Answers the check digit 0..9 of a 12-digit code; -1 when the text is not 12 decimal digits.
int Ean13CheckDigit(std::string_view code);

/// Answers the module line of a 12-digit code (check digit added); empty when the text is not 12 digits.
std::optional<Ean13ModuleLine> Ean13Modules(std::string_view code);

/// Answers the 32 upper-case hexadecimal characters of a module line, module 4i as the top bit of character i.
std::string PackEan13Modules(const Ean13ModuleLine& modules);

/// Answers the 32-character pixel text of a 12-digit code; empty when the text is not 12 digits.
std::string Ean13PixelText(std::string_view code);

}  // namespace kovrix
