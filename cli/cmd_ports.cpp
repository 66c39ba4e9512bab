// kovrix-cli ports: the serial ports of the system, as the tool's port list shows them, with the
// registrator's USB virtual COM port marked.

#include <string>

#include "cli/cli.h"
#include "cli/detect.h"
#include "cli/subcommands.h"
#include "port/device_registry.h"
#include "port/usb_port.h"

namespace kovrix::cli {

std::vector<std::string> ListedPorts() {
  std::vector<std::string> names;
  const auto devices = SystemDeviceRegistry().PresentDevices(kPortsClassName);
  if (!devices) return names;
  for (const PortDevice& d : *devices)
    if (d.portName && !d.portName->empty()) names.push_back(*d.portName);
  return names;
}

/// Lists the serial ports (one per line: name, friendly name, and the USB registrator mark).
int RunPorts(Context& context) {
  if (!context.options.args.empty()) {
    context.err << "kovrix-cli: ports takes no arguments\n";
    return kExitUsage;
  }
  DeviceRegistry& registry = SystemDeviceRegistry();
  UsbHost quiet;
  const std::string usbPort = ScanUsbPort(registry, quiet);
  const auto devices = registry.PresentDevices(kPortsClassName);
  if (!devices || devices->empty()) {
    context.out << "no serial ports found (pseudo-terminals are typed by hand: --port /dev/pts/N)\n";
    return kExitOk;
  }
  for (const PortDevice& d : *devices) {
    if (!d.portName || d.portName->empty()) continue;
    std::string line = *d.portName;
    if (d.friendlyName) line += "  " + *d.friendlyName;
    if (*d.portName == usbPort) line += "  [registrator USB port]";
    context.out << line << "\n";
  }
  return kExitOk;
}

}  // namespace kovrix::cli
