#pragma once
// The system's device registry: the class "Ports" is the serial ports of sysfs (sysfs_ports.h),
// friendly names follow the rule of usb_names.h, and a USB device restarts by clearing and
// setting its "authorized" attribute (the kernel unbinds its drivers, then binds them again).

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "port/device_registry.h"
#include "port/usb_names.h"

namespace kovrix {

/// Where the registry reads; tests point these at files of their own.
struct RegistrySources {
  std::string sysRoot = "/sys";
  std::vector<std::string> usbIdsFiles = {"/usr/share/hwdata/usb.ids", "/usr/share/misc/usb.ids"};
  std::function<UsbNames(std::uint16_t, std::uint16_t)> hwdb = LookUpHwdb;
};

class LinuxDeviceRegistry final : public DeviceRegistry {
 public:
  explicit LinuxDeviceRegistry(RegistrySources sources = {});

  /// Answers the serial ports with hardware behind them for the class "Ports"; none for any
  /// other class and when sysfs cannot be read. A device's id is its USB device's directory,
  /// empty for a port that is not on USB.
  std::optional<std::vector<PortDevice>> PresentDevices(const std::string& className) override;
  /// Writes 0 (disable) or 1 (enable) to the USB device's "authorized" attribute: NotPrepared
  /// when the attribute cannot be opened for writing (no USB device, no permission),
  /// NotApplied when the kernel refuses the value.
  StateChange ChangeState(const PortDevice& device, bool enable) override;

 private:
  std::string FriendlyName(const SysfsPort& port) const;

  RegistrySources sources_;
};

/// Friendly name of a port that is not on USB: "Serial port (ttyS0)".
std::string PlainPortFriendlyName(const std::string& port);

}  // namespace kovrix
