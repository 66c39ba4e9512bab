#pragma once
// Small text rules the programming screens share: the hexadecimal reading of device fields and
// the guard that keeps typed texts from breaking a command's field structure.

#include <QString>
#include <cstdint>
#include <string>

namespace kovrix {

class UiServices;

/// Answers the hexadecimal number at the start of a field: leading blanks skipped, digits of
/// either case, reading stopping at the first other character (0 when there is no digit); a
/// value beyond 32 bits saturates at FFFFFFFF.
std::uint32_t HexPrefix(const std::string& field);

/// Answers true when the text holds no ";" (the field separator of every command); otherwise shows
/// which box holds it and answers false, so that nothing is sent.
bool SeparatorFree(UiServices& ui, const QString& label, const QString& text);

}  // namespace kovrix
