#include "port/memory_registry.h"

namespace kovrix {

MemoryDeviceRegistry& MemoryDeviceRegistry::Add(const std::string& portName,
                                                const std::string& friendlyName,
                                                const std::string& id) {
  devices.push_back(PortDevice{portName, friendlyName, id});
  return *this;
}

std::optional<std::vector<PortDevice>> MemoryDeviceRegistry::PresentDevices(
    const std::string& className) {
  ++listings;
  if (classMissing || !IsPortsClass(className)) return std::nullopt;
  return devices;
}

StateChange MemoryDeviceRegistry::ChangeState(const PortDevice& device, bool enable) {
  changes.push_back((enable ? "enable " : "disable ") + device.id);
  return enable ? enableOutcome : disableOutcome;
}

}  // namespace kovrix
