#include "port/usb_names.h"

#include <charconv>
#include <cstdio>
#include <fstream>

namespace kovrix {
namespace {

// A usb.ids entry: four hexadecimal digits, white space, the name.
bool ParseEntry(const std::string& line, std::size_t at, std::uint16_t& id, std::string& name) {
  if (line.size() < at + 5) return false;
  const char* first = line.data() + at;
  const auto [end, ec] = std::from_chars(first, first + 4, id, 16);
  if (ec != std::errc() || end != first + 4) return false;
  const std::size_t nameAt = line.find_first_not_of(" \t", at + 4);
  if (nameAt == at + 4 || nameAt == std::string::npos) return false;
  name = line.substr(nameAt);
  return true;
}

std::string Pick(const std::string& a, const std::string& b, const std::string& c, std::uint16_t id) {
  if (!a.empty()) return a;
  if (!b.empty()) return b;
  if (!c.empty()) return c;
  char hex[8];
  std::snprintf(hex, sizeof hex, "%04x", static_cast<unsigned>(id));
  return hex;
}

}  // namespace

UsbNames LookUpUsbIds(std::istream& ids, std::uint16_t vendorId, std::uint16_t productId) {
  UsbNames names;
  bool inVendor = false;
  std::string line;
  while (std::getline(ids, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    std::uint16_t id = 0;
    std::string name;
    if (line[0] != '\t') {
      if (inVendor) break;  // the vendor's block has ended
      if (ParseEntry(line, 0, id, name) && id == vendorId) {
        names.vendor = name;
        inVendor = true;
      }
    } else if (inVendor && line.size() > 1 && line[1] != '\t' && ParseEntry(line, 1, id, name) &&
               id == productId) {
      names.product = name;
      break;
    }
  }
  return names;
}

UsbNames LookUpUsbIdsFiles(const std::vector<std::string>& paths, std::uint16_t vendorId,
                           std::uint16_t productId) {
  for (const std::string& path : paths) {
    std::ifstream in(path);
    if (in) return LookUpUsbIds(in, vendorId, productId);
  }
  return {};
}

std::string UsbFriendlyName(const UsbIdentity& usb, const std::string& port, const UsbNames& hwdb,
                            const UsbNames& usbIds) {
  return Pick(hwdb.vendor, usbIds.vendor, usb.manufacturer, usb.vendorId) + " " +
         Pick(hwdb.product, usbIds.product, usb.product, usb.productId) + " (" + port + ")";
}

}  // namespace kovrix
