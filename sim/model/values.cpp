#include "sim/model/values.h"

#include <chrono>
#include <cstdio>

namespace kovrix::sim {

namespace {

// Seconds since 1970 of a calendar time read as UTC (what timegm does, on every system).
DeviceTime UtcSeconds(const std::tm& t) {
  using namespace std::chrono;
  const sys_days day = year{t.tm_year + 1900} / month{static_cast<unsigned>(t.tm_mon + 1)} /
                       static_cast<unsigned>(t.tm_mday);
  return static_cast<DeviceTime>(day.time_since_epoch().count()) * 86400 + t.tm_hour * 3600 + t.tm_min * 60 +
         t.tm_sec;
}

}  // namespace

std::optional<std::int64_t> ParseFixed(std::string_view text, int decimals) {
  bool negative = false;
  if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  std::int64_t whole = 0;
  std::int64_t fraction = 0;
  int fractionDigits = 0;
  int wholeDigits = 0;
  bool point = false;
  for (char c : text) {
    if (c == '.' && !point) {
      point = true;
      continue;
    }
    if (c < '0' || c > '9') return std::nullopt;
    if (point) {
      if (++fractionDigits > decimals) return std::nullopt;
      fraction = fraction * 10 + (c - '0');
    } else {
      // Fourteen digits before the point keep every product of the model inside 64 bits.
      if (++wholeDigits > 14) return std::nullopt;
      whole = whole * 10 + (c - '0');
    }
  }
  if (wholeDigits == 0 && fractionDigits == 0) return std::nullopt;
  std::int64_t scale = 1;
  for (int i = 0; i < decimals; ++i) scale *= 10;
  for (int i = fractionDigits; i < decimals; ++i) fraction *= 10;
  const std::int64_t value = whole * scale + fraction;
  return negative ? -value : value;
}

std::string FormatFixed(std::int64_t value, int decimals) {
  std::int64_t scale = 1;
  for (int i = 0; i < decimals; ++i) scale *= 10;
  const bool negative = value < 0;
  const std::uint64_t magnitude = negative ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
  char buf[48];
  if (decimals == 0) {
    std::snprintf(buf, sizeof buf, "%s%llu", negative ? "-" : "", static_cast<unsigned long long>(magnitude));
  } else {
    std::snprintf(buf, sizeof buf, "%s%llu.%0*llu", negative ? "-" : "",
                  static_cast<unsigned long long>(magnitude / static_cast<std::uint64_t>(scale)), decimals,
                  static_cast<unsigned long long>(magnitude % static_cast<std::uint64_t>(scale)));
  }
  return buf;
}

std::optional<std::int64_t> ParseInteger(std::string_view text) {
  bool negative = false;
  if (!text.empty() && text[0] == '-') {
    negative = true;
    text.remove_prefix(1);
  }
  if (text.empty() || text.size() > 18) return std::nullopt;
  std::int64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return negative ? -value : value;
}

namespace {
int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}
}  // namespace

std::optional<std::uint64_t> ParseHex(std::string_view text) {
  if (text.empty() || text.size() > 16) return std::nullopt;
  std::uint64_t value = 0;
  for (char c : text) {
    const int d = HexDigit(c);
    if (d < 0) return std::nullopt;
    value = value * 16 + static_cast<std::uint64_t>(d);
  }
  return value;
}

std::string HexBytes(std::string_view bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(bytes.size() * 2);
  for (char c : bytes) {
    const auto b = static_cast<std::uint8_t>(c);
    out += kDigits[b >> 4];
    out += kDigits[b & 0x0F];
  }
  return out;
}

std::optional<std::string> UnhexBytes(std::string_view hex) {
  if (hex.size() % 2 != 0) return std::nullopt;
  std::string out;
  out.reserve(hex.size() / 2);
  for (std::size_t i = 0; i < hex.size(); i += 2) {
    const int hi = HexDigit(hex[i]);
    const int lo = HexDigit(hex[i + 1]);
    if (hi < 0 || lo < 0) return std::nullopt;
    out += static_cast<char>(hi * 16 + lo);
  }
  return out;
}

namespace {
std::optional<int> TwoDigits(std::string_view text, std::size_t at) {
  const char a = text[at];
  const char b = text[at + 1];
  if (a < '0' || a > '9' || b < '0' || b > '9') return std::nullopt;
  return (a - '0') * 10 + (b - '0');
}

bool IsLeap(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeap(year) ? 29 : kDays[month - 1];
}
}  // namespace

bool ValidTime(std::string_view hhmm) {
  if (hhmm.size() != 4) return false;
  const auto h = TwoDigits(hhmm, 0);
  const auto m = TwoDigits(hhmm, 2);
  return h && m && *h < 24 && *m < 60;
}

std::optional<DeviceTime> ParseDeviceDate(std::string_view ddmmyy, std::string_view hhmm) {
  if (ddmmyy.size() != 6) return std::nullopt;
  const auto d = TwoDigits(ddmmyy, 0);
  const auto m = TwoDigits(ddmmyy, 2);
  const auto y = TwoDigits(ddmmyy, 4);
  if (!d || !m || !y || *m < 1 || *m > 12) return std::nullopt;
  const int year = 2000 + *y;
  if (*d < 1 || *d > DaysInMonth(year, *m)) return std::nullopt;
  int hour = 0;
  int minute = 0;
  if (!hhmm.empty()) {
    if (!ValidTime(hhmm)) return std::nullopt;
    hour = *TwoDigits(hhmm, 0);
    minute = *TwoDigits(hhmm, 2);
  }
  std::tm t{};
  t.tm_year = year - 1900;
  t.tm_mon = *m - 1;
  t.tm_mday = *d;
  t.tm_hour = hour;
  t.tm_min = minute;
  return UtcSeconds(t);
}

std::tm Calendar(DeviceTime t) {
  const std::time_t tt = static_cast<std::time_t>(t);
  std::tm out{};
  gmtime_r(&tt, &out);
  return out;
}

std::string DateText(DeviceTime t) {
  const std::tm c = Calendar(t);
  char buf[64];
  std::snprintf(buf, sizeof buf, "%02d%02d%02d", c.tm_mday, c.tm_mon + 1, c.tm_year % 100);
  return buf;
}

std::string TimeText(DeviceTime t) {
  const std::tm c = Calendar(t);
  char buf[64];
  std::snprintf(buf, sizeof buf, "%02d%02d", c.tm_hour, c.tm_min);
  return buf;
}

std::string PrintedDateTime(DeviceTime t) {
  const std::tm c = Calendar(t);
  char buf[64];
  std::snprintf(buf, sizeof buf, "%02d.%02d.%02d %02d:%02d", c.tm_mday, c.tm_mon + 1, c.tm_year % 100, c.tm_hour,
                c.tm_min);
  return buf;
}

DeviceTime LocalWallClock() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return UtcSeconds(local);
}

}  // namespace kovrix::sim
