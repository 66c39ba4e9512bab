#include "sim/model/args.h"

#include "sim/model/error_code.h"

namespace kovrix::sim {

Args::Args(std::string_view data) {
  if (data.empty()) return;
  if (data.back() == ';') data.remove_suffix(1);
  std::size_t start = 0;
  while (true) {
    const std::size_t semi = data.find(';', start);
    if (semi == std::string_view::npos) {
      fields_.emplace_back(data.substr(start));
      break;
    }
    fields_.emplace_back(data.substr(start, semi - start));
    start = semi + 1;
  }
}

const std::string& Args::text(int n) const {
  if (!has(n)) throw Refusal{err::FieldFormat(n)};
  return fields_[static_cast<std::size_t>(n - 1)];
}

std::string Args::optional(int n) const { return has(n) ? fields_[static_cast<std::size_t>(n - 1)] : std::string(); }

const std::string& Args::text(int n, std::size_t maxLength) const {
  const std::string& t = text(n);
  if (t.size() > maxLength) throw Refusal{err::FieldValue(n)};
  return t;
}

std::int64_t Args::integer(int n, std::int64_t lo, std::int64_t hi) const {
  const auto v = ParseInteger(text(n));
  if (!v) throw Refusal{err::FieldFormat(n)};
  if (*v < lo || *v > hi) throw Refusal{err::FieldValue(n)};
  return *v;
}

std::int64_t Args::fixed(int n, int decimals) const {
  const auto v = ParseFixed(text(n), decimals);
  if (!v) throw Refusal{err::FieldFormat(n)};
  return *v;
}

std::uint64_t Args::hex(int n, int digits) const {
  const std::string& t = text(n);
  const auto v = ParseHex(t);
  if (!v || t.size() != static_cast<std::size_t>(digits)) throw Refusal{err::FieldFormat(n)};
  return *v;
}

DeviceTime Args::date(int n) const {
  const auto d = ParseDeviceDate(text(n));
  if (!d) throw Refusal{err::kDateFormat};
  return *d;
}

}  // namespace kovrix::sim
