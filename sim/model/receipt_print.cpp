#include "sim/model/receipt_print.h"

#include <array>

#include "sim/model/values.h"

namespace kovrix::sim {

namespace {

// A header line as the printer lays it out. A line sent with leading blanks was laid out by the
// host and prints as sent; any other line is centred. A double-width line takes two columns a
// character, shown on the tape as the characters spread one blank apart.
void PrintHeaderLine(Device& d, const HeaderLine& line) {
  if (line.text.empty()) return;
  std::string shown;
  if (line.width == 0) {
    shown = line.text;
  } else {
    for (char c : line.text) {
      if (!shown.empty()) shown += ' ';
      shown += c;
    }
  }
  if (line.text[0] == ' ') {
    d.Print(shown);
  } else {
    d.PrintCentered(shown);
  }
}

}  // namespace

void PrintDocumentHeader(Device& d, const std::string& title) {
  const DeviceState& s = d.s;
  if ((s.params.documentFlags & 0x0400) && s.logoWidth > 0) {
    std::string mark = Cp("[ЛОГОТИП ");
    mark.append(std::to_string(s.logoWidth)).append("x").append(std::to_string(s.logoHeight)).append("]");
    d.PrintCentered(mark);
  }
  for (std::size_t i = 0; i < 10; ++i) PrintHeaderLine(d, s.header[i]);
  if (!s.taxNumber.empty()) d.PrintCentered(Cp("ПН ") + s.taxNumber);
  if (!s.taxId.empty()) d.PrintCentered(Cp("ІД ") + s.taxId);
  d.PrintCentered(title);
}

void PrintDocumentFooter(Device& d, const std::string& numberLine, bool receipt) {
  const DeviceState& s = d.s;
  if (receipt && !(s.params.documentFlags & 0x0100)) {
    for (std::size_t i = 10; i < 14; ++i) PrintHeaderLine(d, s.header[i]);
  }
  d.PrintColumns(numberLine, PrintedDateTime(d.Now()));
  d.PrintColumns(Cp("ЗН ") + s.serial, s.fiscalNumber.empty() ? std::string() : Cp("ФН ") + s.fiscalNumber);
  d.PrintCentered(s.fiscalised ? Cp("ФІСКАЛЬНИЙ ЧЕК") : Cp("НЕФІСКАЛЬНИЙ РЕЖИМ"));
}

namespace {

// Left-hand odd-parity patterns; even parity and the right-hand set derive from them.
constexpr std::array<int, 10> kSetA = {0x0D, 0x19, 0x13, 0x3D, 0x23, 0x31, 0x2F, 0x3B, 0x37, 0x0B};
constexpr std::array<const char*, 10> kParity = {"AAAAAA", "AABABB", "AABBAB", "AABBBA", "ABAABB",
                                                 "ABBAAB", "ABBBAA", "ABABAB", "ABABBA", "ABBABA"};

int Reverse7(int v) {
  int r = 0;
  for (int i = 0; i < 7; ++i) r |= ((v >> i) & 1) << (6 - i);
  return r;
}

}  // namespace

std::string DecodeEan13(std::string_view hexModules) {
  if (hexModules.size() != 32) return {};
  std::array<int, 128> m{};
  for (std::size_t i = 0; i < 32; ++i) {
    const auto v = ParseHex(hexModules.substr(i, 1));
    if (!v) return {};
    for (int b = 0; b < 4; ++b) m[i * 4 + static_cast<std::size_t>(b)] = static_cast<int>((*v >> (3 - b)) & 1);
  }
  auto code = [&](std::size_t at) {
    int v = 0;
    for (std::size_t i = 0; i < 7; ++i) v = v * 2 + m[at + i];
    return v;
  };
  std::string digits;
  std::string parity;
  for (std::size_t k = 0; k < 6; ++k) {
    const int v = code(12 + 7 * k);
    int found = -1;
    for (int digit = 0; digit < 10; ++digit) {
      if (kSetA[static_cast<std::size_t>(digit)] == v) {
        found = digit;
        parity += 'A';
      } else if (Reverse7(kSetA[static_cast<std::size_t>(digit)] ^ 0x7F) == v) {
        found = digit;
        parity += 'B';
      }
      if (found >= 0) break;
    }
    if (found < 0) return {};
    digits += static_cast<char>('0' + found);
  }
  for (std::size_t k = 0; k < 6; ++k) {
    const int v = code(59 + 7 * k);
    int found = -1;
    for (int digit = 0; digit < 10 && found < 0; ++digit) {
      if ((kSetA[static_cast<std::size_t>(digit)] ^ 0x7F) == v) found = digit;
    }
    if (found < 0) return {};
    digits += static_cast<char>('0' + found);
  }
  for (int first = 0; first < 10; ++first) {
    if (parity == kParity[static_cast<std::size_t>(first)]) return static_cast<char>('0' + first) + digits;
  }
  return {};
}

std::int64_t PercentOf(std::int64_t value, std::int64_t percent) {
  const std::int64_t product = value * percent;
  return product >= 0 ? (product + 5000) / 10000 : -((-product + 5000) / 10000);
}

}  // namespace kovrix::sim
