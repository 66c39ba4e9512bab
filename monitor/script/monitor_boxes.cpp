#include "monitor/script/monitor_boxes.h"

#include <cstdio>

namespace kovrix::script {
namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

bool DecodeCommandCode(std::string_view text, int& code) {
  code = 0;
  for (std::size_t i = 0; i < 2; ++i) {
    const int digit = i < text.size() ? HexValue(text[i]) : -1;
    if (digit < 0) return false;
    code += i == 0 ? digit * 16 : digit;
  }
  return true;
}

std::string StatusBoxText(const StatusBytes& bytes) {
  std::string out;
  for (std::uint8_t b : bytes) {
    char buf[4];
    std::snprintf(buf, sizeof buf, "%02X ", b);
    out += buf;
  }
  return out;
}

bool MonitorBoxes::SetCode(std::string text) {
  code_ = std::move(text);
  if (!SendEnabled()) return true;
  return DecodeCommandCode(code_, commandCode_);
}

}  // namespace kovrix::script
