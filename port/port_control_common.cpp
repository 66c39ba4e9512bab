// The parts of TPortControl that are the same on every system: its construction, the rate table
// and how a result and its text are set.

#include "port/port_control.h"

#include <iterator>

namespace kovrix {

unsigned TPortControl::RateOf(speed s) {
  static constexpr unsigned kRates[] = {256000, 128000, 115200, 57600, 56000, 38400, 19200, 11400,
                                        9600,   4800,   2400,   1200,  600,   300,   110};
  const auto index = static_cast<std::size_t>(s);
  return index < std::size(kRates) ? kRates[index] : 9600;
}

TPortControl::TPortControl() : TPortControl(SystemDeviceRegistry()) {}

TPortControl::TPortControl(DeviceRegistry& registry, SessionSystem& system)
    : registry_(&registry), system_(&system) {}

int TPortControl::Succeed() {
  lastError_ = 0;
  descr_.clear();
  return 0;
}

int TPortControl::FailOwn(int code, const char* text) {
  lastError_ = 0;
  descr_ = EnableDescr && text ? text : "";
  return code;
}

int TPortControl::FailSystem(int code, int error) {
  lastError_ = error;
  if (EnableDescr) {
    ErrorString(static_cast<unsigned long>(error));
  } else {
    descr_.clear();
  }
  return code;
}

}  // namespace kovrix
