#include "sim/model/commands.h"

#include <cstdio>

#include "sim/model/error_code.h"

namespace kovrix::sim {

std::string Join(std::initializer_list<std::string> fields) {
  std::string out;
  for (const std::string& f : fields) {
    out += f;
    out += ';';
  }
  return out;
}

std::string Cat(std::initializer_list<std::string_view> parts) {
  std::string out;
  for (std::string_view p : parts) out.append(p);
  return out;
}

std::string Num(std::int64_t value) { return std::to_string(value); }

std::string Hex2(int value) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "%02X", value & 0xFF);
  return buf;
}

std::string Hex4(int value) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "%04X", value & 0xFFFF);
  return buf;
}

std::string PasswordField(const Args& args, int n) {
  const std::string& p = args.text(n);
  if (p.empty()) throw Refusal{err::FieldFormat(n)};
  for (char c : p) {
    if (c < '0' || c > '9') throw Refusal{err::FieldFormat(n)};
  }
  if (p.size() > 6) throw Refusal{err::FieldValue(n)};
  return p;
}

}  // namespace kovrix::sim
