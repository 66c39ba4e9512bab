#include "monitor/script/script_text.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "monitor/script/messages.h"

namespace kovrix::script {
namespace {

bool IsBlankOrControl(char c) { return static_cast<unsigned char>(c) <= 0x20; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

std::string Trim(std::string_view text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && IsBlankOrControl(text[begin])) ++begin;
  while (end > begin && IsBlankOrControl(text[end - 1])) --end;
  return std::string(text.substr(begin, end - begin));
}

std::string TrimTrailingControl(std::string_view text) {
  std::size_t end = text.size();
  while (end > 0 && static_cast<unsigned char>(text[end - 1]) < 0x20) --end;
  return std::string(text.substr(0, end));
}

std::string PrepareLine(std::string_view raw) { return Trim(TrimTrailingControl(raw)); }

std::string_view Mid(std::string_view text, std::size_t from, std::size_t count) {
  if (from >= text.size()) return {};
  return text.substr(from, count);
}

bool IsNumber(std::string_view text) {
  for (char c : text)
    if (!IsDigit(c)) return false;
  return true;
}

bool IsQuoted(std::string_view text) { return !text.empty() && text.front() == '"' && text.back() == '"'; }

std::string_view Unquote(std::string_view text) {
  if (text.size() < 2) return {};
  return text.substr(1, text.size() - 2);
}

std::int32_t ToInt(std::string_view text) {
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (i == text.size()) throw NotAnInteger(std::string(text));
  std::int64_t value = 0;
  for (; i < text.size(); ++i) {
    if (!IsDigit(text[i])) throw NotAnInteger(std::string(text));
    value = value * 10 + (text[i] - '0');
    // The limit is checked per digit so that long digit strings cannot overflow the accumulator.
    if (value > std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1) throw NotAnInteger(std::string(text));
  }
  if (negative) value = -value;
  if (value > std::numeric_limits<std::int32_t>::max() || value < std::numeric_limits<std::int32_t>::min())
    throw NotAnInteger(std::string(text));
  return static_cast<std::int32_t>(value);
}

double ToFloat(std::string_view text) {
  // Checked by hand first so that strtod's locale, hexadecimal and "inf"/"nan" forms stay out.
  std::size_t i = 0;
  auto digits = [&] {
    const std::size_t start = i;
    while (i < text.size() && IsDigit(text[i])) ++i;
    return i - start;
  };
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  std::size_t mantissa = digits();
  if (i < text.size() && text[i] == '.') {
    ++i;
    mantissa += digits();
  }
  bool ok = mantissa > 0;
  if (ok && i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    ok = digits() > 0;
  }
  if (!ok || i != text.size()) throw NotAFloat(std::string(text));
  const double value = std::strtod(std::string(text).c_str(), nullptr);
  if (!std::isfinite(value)) throw Failure(Msg::FloatOverflow);
  return value;
}

std::string FloatText(double value) {
  if (value == 0.0) return "0";
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.14e", value);  // d.dddddddddddddde[+-]x: 15 significant digits
  std::string_view s(buf);
  std::string out;
  if (s.front() == '-') {
    out.push_back('-');
    s.remove_prefix(1);
  }
  const std::size_t e = s.find('e');
  std::string digits;
  for (char c : s.substr(0, e))
    if (c != '.') digits.push_back(c);
  const int exponent = std::atoi(std::string(s.substr(e + 1)).c_str());
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();

  // Built by appending: chains of operator+ trip a false -Wrestrict of the compiler at -O2.
  if (exponent >= 15 || exponent < -5) {
    out.push_back(digits[0]);
    if (digits.size() > 1) out.append(".").append(digits, 1, std::string::npos);
    return out.append("E").append(std::to_string(exponent));
  }
  if (exponent < 0) {
    out.append("0.").append(static_cast<std::size_t>(-exponent - 1), '0');
    return out.append(digits);
  }
  const std::size_t intDigits = static_cast<std::size_t>(exponent) + 1;
  if (digits.size() <= intDigits) return out.append(digits).append(intDigits - digits.size(), '0');
  return out.append(digits, 0, intDigits).append(".").append(digits, intDigits, std::string::npos);
}

std::string IntText(std::int64_t value) { return std::to_string(value); }

}  // namespace kovrix::script
