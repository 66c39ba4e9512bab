#pragma once
// Vendor and product names of USB devices, and the friendly name built from them:
// "vendor product (port)", each name taken from the first source that has it: udev's hardware
// database, the usb.ids file of the hwdata package, the device's own strings.

#include <cstdint>
#include <istream>
#include <string>
#include <vector>

#include "port/sysfs_ports.h"

namespace kovrix {

/// Names of a vendor and a product; an empty name is one the source does not know.
struct UsbNames {
  std::string vendor;
  std::string product;
};

/// Answers the names usb.ids text gives for the ids; empty names for ids it lacks.
UsbNames LookUpUsbIds(std::istream& ids, std::uint16_t vendorId, std::uint16_t productId);

/// Answers the names from the first of the files that opens; empty names when none opens.
UsbNames LookUpUsbIdsFiles(const std::vector<std::string>& paths, std::uint16_t vendorId,
                           std::uint16_t productId);

/// Answers ID_VENDOR_FROM_DATABASE and ID_MODEL_FROM_DATABASE of udev's hardware database;
/// empty names when the database lacks the ids or is not installed.
UsbNames LookUpHwdb(std::uint16_t vendorId, std::uint16_t productId);

/// Answers "vendor product (port)": each name from hwdb, else usbIds, else the device's own
/// strings, else the id as four hexadecimal digits.
std::string UsbFriendlyName(const UsbIdentity& usb, const std::string& port, const UsbNames& hwdb,
                            const UsbNames& usbIds);

}  // namespace kovrix
