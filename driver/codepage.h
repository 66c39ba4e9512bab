#pragma once
// Conversion between UTF-8 and the Windows Cyrillic code page (cp1251).
// The driver, the simulator and the command-line programs work on cp1251 bytes;
// these two functions are the boundary for programs that talk to a UTF-8 terminal.

#include <string>
#include <string_view>

namespace kovrix {

/// Answers the cp1251 bytes of a UTF-8 text; characters cp1251 lacks (and broken UTF-8) become '?'.
std::string Utf8ToCp1251(std::string_view utf8);

/// Answers the UTF-8 text of cp1251 bytes; the one unassigned byte 0x98 becomes U+FFFD.
std::string Cp1251ToUtf8(std::string_view cp1251);

}  // namespace kovrix
