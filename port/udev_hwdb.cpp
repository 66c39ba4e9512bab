// The hardware database lookup through libudev. Asking the database directly (rather than
// reading the properties udevd stored for the device) gives the same names whether or not a
// udev daemon runs, as long as the compiled database is installed.

#include <libudev.h>

#include <cstdio>
#include <cstring>
#include <memory>

#include "port/usb_names.h"

namespace kovrix {
namespace {

struct UdevDeleter {
  void operator()(udev* u) const { udev_unref(u); }
  void operator()(udev_hwdb* h) const { udev_hwdb_unref(h); }
};

}  // namespace

UsbNames LookUpHwdb(std::uint16_t vendorId, std::uint16_t productId) {
  UsbNames names;
  std::unique_ptr<udev, UdevDeleter> context(udev_new());
  if (!context) return names;
  std::unique_ptr<udev_hwdb, UdevDeleter> hwdb(udev_hwdb_new(context.get()));
  if (!hwdb) return names;
  // The modalias pattern udev's own hwdb builtin uses for USB devices.
  char modalias[32];
  std::snprintf(modalias, sizeof modalias, "usb:v%04Xp%04X*", static_cast<unsigned>(vendorId),
                static_cast<unsigned>(productId));
  udev_list_entry* entry = nullptr;
  udev_list_entry_foreach(entry, udev_hwdb_get_properties_list_entry(hwdb.get(), modalias, 0)) {
    const char* key = udev_list_entry_get_name(entry);
    const char* value = udev_list_entry_get_value(entry);
    if (!key || !value) continue;
    if (std::strcmp(key, "ID_VENDOR_FROM_DATABASE") == 0) names.vendor = value;
    if (std::strcmp(key, "ID_MODEL_FROM_DATABASE") == 0) names.product = value;
  }
  return names;
}

}  // namespace kovrix
