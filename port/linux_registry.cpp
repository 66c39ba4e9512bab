#include "port/linux_registry.h"

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <system_error>

namespace kovrix {
namespace {

// Only attributes of devices under the registry's own sysfs root may be written: a device
// record handed in from elsewhere must not turn into a write to an arbitrary file.
bool UnderRoot(const std::string& path, const std::string& sysRoot) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path root = fs::canonical(sysRoot, ec);
  if (ec || path.empty()) return false;
  const fs::path target = fs::weakly_canonical(path, ec);
  if (ec) return false;
  const std::string rootText = root.string() + "/";
  return target.string().compare(0, rootText.size(), rootText) == 0;
}

}  // namespace

LinuxDeviceRegistry::LinuxDeviceRegistry(RegistrySources sources) : sources_(std::move(sources)) {}

std::string PlainPortFriendlyName(const std::string& port) { return "Serial port (" + port + ")"; }

std::string LinuxDeviceRegistry::FriendlyName(const SysfsPort& port) const {
  const std::string label = port.portName.value_or(port.ttyName);
  if (!port.usb) return PlainPortFriendlyName(label);
  const UsbIdentity& usb = *port.usb;
  const UsbNames hwdb = sources_.hwdb ? sources_.hwdb(usb.vendorId, usb.productId) : UsbNames{};
  UsbNames ids;
  // The file is read only for a name the hardware database lacks.
  if (hwdb.vendor.empty() || hwdb.product.empty()) {
    ids = LookUpUsbIdsFiles(sources_.usbIdsFiles, usb.vendorId, usb.productId);
  }
  return UsbFriendlyName(usb, label, hwdb, ids);
}

std::optional<std::vector<PortDevice>> LinuxDeviceRegistry::PresentDevices(const std::string& className) {
  if (!IsPortsClass(className)) return std::nullopt;
  const auto ports = ScanSysfsPorts(sources_.sysRoot);
  if (!ports) return std::nullopt;
  std::vector<PortDevice> devices;
  devices.reserve(ports->size());
  for (const SysfsPort& port : *ports) {
    devices.push_back(PortDevice{port.portName, FriendlyName(port), port.usb ? port.usb->devicePath : ""});
  }
  return devices;
}

StateChange LinuxDeviceRegistry::ChangeState(const PortDevice& device, bool enable) {
  if (!UnderRoot(device.id, sources_.sysRoot)) return StateChange::NotPrepared;
  const std::string attribute = device.id + "/authorized";
  const int fd = ::open(attribute.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) return StateChange::NotPrepared;
  // The kernel unbinds (0) or binds (1) the device's drivers inside this write, so the change
  // is complete when it returns.
  const char value = enable ? '1' : '0';
  const bool written = ::write(fd, &value, 1) == 1;
  const bool closed = ::close(fd) == 0;
  return written && closed ? StateChange::Done : StateChange::NotApplied;
}

DeviceRegistry& SystemDeviceRegistry() {
  static LinuxDeviceRegistry registry;
  return registry;
}

}  // namespace kovrix
