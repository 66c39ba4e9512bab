#include "sim/model/error_code.h"

#include <cstdio>

namespace kovrix::sim {

std::string ErrorCode::WireText() const {
  char buf[8];
  std::snprintf(buf, sizeof buf, "%02X%02X", detail, group);
  return buf;
}

}  // namespace kovrix::sim
