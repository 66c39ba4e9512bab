#pragma once
// The serial ports the kernel knows, read from sysfs: the entries of class/tty that have real
// hardware behind them (8250 and other UART ports with a UART present, USB serial adapters,
// CDC ACM devices), each with the USB device it belongs to, if any. The sysfs root is a
// parameter so that tests can point it at a tree of their own.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kovrix {

/// The USB device a port belongs to.
struct UsbIdentity {
  std::uint16_t vendorId = 0;
  std::uint16_t productId = 0;
  std::string manufacturer;  // the device's own strings, empty when it has none
  std::string product;
  std::string devicePath;    // the USB device's sysfs directory (it holds "authorized")
};

struct SysfsPort {
  std::string ttyName;                  // the entry's name under class/tty
  std::optional<std::string> portName;  // DEVNAME of its uevent; none when unreadable
  std::optional<UsbIdentity> usb;       // none for a port that is not on USB
};

/// Answers the ports under sysRoot/class/tty with hardware behind them, ordered by name with
/// numbers compared as numbers (ttyS2 before ttyS10); none when the directory cannot be read.
std::optional<std::vector<SysfsPort>> ScanSysfsPorts(const std::string& sysRoot);

/// Answers whether a comes before b in that order.
bool PortNameLess(const std::string& a, const std::string& b);

}  // namespace kovrix
