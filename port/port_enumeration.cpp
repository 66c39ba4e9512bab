// The port listing of TPortControl. Its state is shared by every instance, so only one
// listing runs at a time.

#include <cstddef>
#include <optional>
#include <vector>

#include "port/port_control.h"

namespace kovrix {
namespace {

struct Listing {
  bool active = false;
  std::size_t index = 0;
  std::optional<std::vector<PortDevice>> devices;
};

Listing& SharedListing() {
  static Listing listing;
  return listing;
}

}  // namespace

int TPortControl::BeginEnumeratePorts() {
  Listing& listing = SharedListing();
  if (listing.active) return FailOwn(-27, nullptr);
  listing.index = 0;
  listing.devices = registry_->PresentDevices(kPortsClassName);
  if (!listing.devices) return FailOwn(-27, nullptr);
  listing.active = true;
  return Succeed();
}

std::string TPortControl::EnumeratePorts() {
  Listing& listing = SharedListing();
  for (;;) {
    if (!listing.devices || listing.index >= listing.devices->size()) {
      listing.devices.reset();
      return "";
    }
    const PortDevice& device = (*listing.devices)[listing.index];
    if (!device.portName) return "0";
    ++listing.index;
    // Only serial ports are answered; other devices of the class are passed over.
    if (IsListedPortName(*device.portName)) return *device.portName;
  }
}

int TPortControl::EndEnumeratePorts() {
  Listing& listing = SharedListing();
  listing.active = false;
  listing.index = 0;
  listing.devices.reset();
  return Succeed();
}

std::optional<PortDevice> TPortControl::GetDeviceKey(const std::string& portName) {
  if (SharedListing().active) return std::nullopt;
  const auto devices = registry_->PresentDevices(kPortsClassName);
  if (!devices) return std::nullopt;
  for (const PortDevice& device : *devices) {
    if (!device.portName) return std::nullopt;
    if (EqualsIgnoringCase(*device.portName, portName)) return device;
  }
  return std::nullopt;
}

}  // namespace kovrix
