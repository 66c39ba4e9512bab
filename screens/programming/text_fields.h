#pragma once
// Small text rules the programming screens share: the hexadecimal reading of device fields. The
// guard that keeps typed texts from breaking a command's field structure is in app/screen_helpers.h.

#include <QString>
#include <cstdint>
#include <string>

#include "app/screen_helpers.h"  // SeparatorFree, shared by every screen

namespace kovrix {

/// Answers the hexadecimal number at the start of a field: leading blanks skipped, digits of
/// either case, reading stopping at the first other character (0 when there is no digit); a
/// value beyond 32 bits saturates at FFFFFFFF.
std::uint32_t HexPrefix(const std::string& field);

}  // namespace kovrix
