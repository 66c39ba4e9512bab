#pragma once
// The device registry: the present devices of a device class (the serial ports form the class
// "Ports"), each with its port name and friendly name, and the state change that restarts one
// device. The system's registry reads sysfs and udev's hardware database (linux_registry.h);
// MemoryDeviceRegistry (memory_registry.h) is the in-memory double.

#include <optional>
#include <string>
#include <vector>

namespace kovrix {

/// Class name of the serial ports.
inline constexpr char kPortsClassName[] = "Ports";

/// One present device of a class.
struct PortDevice {
  std::optional<std::string> portName;      // device node name such as "ttyUSB0"; none when unreadable
  std::optional<std::string> friendlyName;  // "vendor product (port)"; none when unreadable
  std::string id;                           // the registry's handle of the device for a state change
};

/// Outcome of a state change: done, or the half that failed (preparing it, applying it).
enum class StateChange { Done, NotPrepared, NotApplied };

class DeviceRegistry {
 public:
  virtual ~DeviceRegistry() = default;
  /// Answers the present devices of a class in the registry's order; none when the class is
  /// unknown or cannot be listed (an empty list is a class without devices).
  virtual std::optional<std::vector<PortDevice>> PresentDevices(const std::string& className) = 0;
  /// Disables (enable false) or enables the device; answers which half of the change failed.
  virtual StateChange ChangeState(const PortDevice& device, bool enable) = 0;
};

/// Answers the process's registry over the running system.
DeviceRegistry& SystemDeviceRegistry();

/// Answers whether a class name names the serial ports; class names ignore letter case.
bool IsPortsClass(const std::string& className);

/// Answers whether two texts are equal when ASCII letter case is ignored.
bool EqualsIgnoringCase(const std::string& a, const std::string& b);

}  // namespace kovrix
