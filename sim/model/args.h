#pragma once
// The fields of a request's data text, with typed readers that refuse a field the way the
// device does: a missing or malformed field gives the field-format error of its number, a
// well-formed value outside its range the field-value error. Field 1 is the password.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "sim/model/values.h"

namespace kovrix::sim {

class Args {
 public:
  /// Splits the data text: "A;B;" gives A and B, "A;;C;" gives A, "" and C, "" gives none.
  explicit Args(std::string_view data);

  int count() const { return static_cast<int>(fields_.size()); }
  bool has(int n) const { return n >= 1 && n <= count(); }
  /// Answers field n; refuses a missing field with its format error.
  const std::string& text(int n) const;
  /// Answers field n, or an empty text when it is missing.
  std::string optional(int n) const;
  /// Answers field n; refuses texts longer than maxLength with the field's value error.
  const std::string& text(int n, std::size_t maxLength) const;
  /// Answers field n as a decimal integer within [lo, hi].
  std::int64_t integer(int n, std::int64_t lo, std::int64_t hi) const;
  /// Answers field n as a fixed-point number with at most `decimals` fraction digits.
  std::int64_t fixed(int n, int decimals) const;
  /// Answers field n as hexadecimal text of exactly `digits` digits.
  std::uint64_t hex(int n, int digits) const;
  /// Answers field n as a DDMMYY date (midnight); refuses with the date-format error.
  DeviceTime date(int n) const;

 private:
  std::vector<std::string> fields_;
};

}  // namespace kovrix::sim
