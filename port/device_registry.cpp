#include "port/device_registry.h"

#include <algorithm>
#include <cctype>

#include "port/linux_registry.h"

namespace kovrix {

DeviceRegistry& SystemDeviceRegistry() {
  static LinuxDeviceRegistry registry;
  return registry;
}

bool EqualsIgnoringCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

bool IsPortsClass(const std::string& className) { return EqualsIgnoringCase(className, kPortsClassName); }

}  // namespace kovrix
