#include "driver/ean13.h"

namespace kovrix {
namespace {

// Seven-module patterns of the digits 0..9, most significant bit = leftmost module.
// Set A is the standard's left odd-parity set; set B (left, even parity) is set C mirrored;
// set C (right) is set A with bars and spaces swapped.
constexpr std::array<std::uint8_t, 10> kSetA = {0x0D, 0x19, 0x13, 0x3D, 0x23, 0x31, 0x2F, 0x3B, 0x37, 0x0B};
constexpr std::array<std::uint8_t, 10> kSetB = {0x27, 0x33, 0x1B, 0x21, 0x1D, 0x39, 0x05, 0x11, 0x09, 0x17};
constexpr std::array<std::uint8_t, 10> kSetC = {0x72, 0x66, 0x6C, 0x42, 0x5C, 0x4E, 0x50, 0x44, 0x48, 0x74};

// Parity of digits 2..7 chosen by the first digit: 'A' odd (set A), 'B' even (set B).
constexpr std::array<const char*, 10> kParity = {"AAAAAA", "AABABB", "AABBAB", "AABBBA", "ABAABB",
                                                 "ABBAAB", "ABBBAA", "ABABAB", "ABABBA", "ABBABA"};

constexpr std::size_t kLeftDigitsAt = 12;
constexpr std::size_t kRightDigitsAt = 59;
constexpr std::size_t kDigitWidth = 7;

void Put(Ean13ModuleLine& line, std::size_t at, std::uint8_t pattern, std::size_t width) {
  for (std::size_t i = 0; i < width; ++i) line[at + i] = (pattern >> (width - 1 - i)) & 1u;
}

}  // namespace

bool IsEan13Body(std::string_view code) {
  if (code.size() != 12) return false;
  for (char c : code)
    if (c < '0' || c > '9') return false;
  return true;
}

int Ean13CheckDigit(std::string_view code) {
  if (!IsEan13Body(code)) return -1;
  int sum = 0;
  // Positions counted from 1 at the left: even positions weigh 3, odd ones 1.
  for (std::size_t i = 0; i < code.size(); ++i) sum += (code[i] - '0') * (i % 2 == 1 ? 3 : 1);
  return (10 - sum % 10) % 10;
}

std::optional<Ean13ModuleLine> Ean13Modules(std::string_view code) {
  const int check = Ean13CheckDigit(code);
  if (check < 0) return std::nullopt;
  std::array<int, 13> digits{};
  for (std::size_t i = 0; i < 12; ++i) digits[i] = code[i] - '0';
  digits[12] = check;

  Ean13ModuleLine line{};     // quiet zones are spaces
  Put(line, 9, 0b101, 3);     // start guard
  Put(line, 54, 0b01010, 5);  // centre guard
  Put(line, 101, 0b101, 3);   // end guard

  // The first digit is not drawn: it only selects the parity of the left half.
  const char* parity = kParity[static_cast<std::size_t>(digits[0])];
  for (std::size_t k = 0; k < 6; ++k) {
    const auto d = static_cast<std::size_t>(digits[1 + k]);
    Put(line, kLeftDigitsAt + k * kDigitWidth, parity[k] == 'A' ? kSetA[d] : kSetB[d], kDigitWidth);
  }
  for (std::size_t k = 0; k < 6; ++k) {
    const auto d = static_cast<std::size_t>(digits[7 + k]);
    Put(line, kRightDigitsAt + k * kDigitWidth, kSetC[d], kDigitWidth);
  }
  return line;
}

std::string PackEan13Modules(const Ean13ModuleLine& modules) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(kEan13Modules / 4);
  for (std::size_t i = 0; i < kEan13Modules; i += 4) {
    const unsigned nibble = (modules[i] << 3) | (modules[i + 1] << 2) | (modules[i + 2] << 1) | modules[i + 3];
    text += kHex[nibble & 0x0F];
  }
  return text;
}

std::string Ean13PixelText(std::string_view code) {
  const auto modules = Ean13Modules(code);
  return modules ? PackEan13Modules(*modules) : std::string();
}

}  // namespace kovrix
