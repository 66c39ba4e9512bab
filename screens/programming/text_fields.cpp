#include "screens/programming/text_fields.h"

namespace kovrix {

std::uint32_t HexPrefix(const std::string& field) {
  std::size_t i = 0;
  while (i < field.size() && field[i] == ' ') ++i;
  std::uint64_t value = 0;
  for (; i < field.size(); ++i) {
    const char c = field[i];
    int digit = -1;
    if (c >= '0' && c <= '9') digit = c - '0';
    if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    if (digit < 0) break;
    value = value * 16 + static_cast<std::uint64_t>(digit);
    if (value > 0xFFFFFFFFu) return 0xFFFFFFFFu;
  }
  return static_cast<std::uint32_t>(value);
}

}  // namespace kovrix
