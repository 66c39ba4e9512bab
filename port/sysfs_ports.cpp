#include "port/sysfs_ports.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

namespace kovrix {
namespace {

namespace fs = std::filesystem;

// sysfs attributes are short; anything longer is not an attribute we understand.
constexpr std::size_t kAttributeLimit = 4096;

std::optional<std::string> ReadAttribute(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return std::nullopt;
  std::string text(kAttributeLimit, '\0');
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  if (in.bad()) return std::nullopt;
  text.resize(static_cast<std::size_t>(in.gcount()));
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.pop_back();
  return text;
}

std::optional<std::uint16_t> ReadHexId(const fs::path& file) {
  const auto text = ReadAttribute(file);
  if (!text || text->empty() || text->size() > 4) return std::nullopt;
  std::uint16_t value = 0;
  const auto [end, ec] = std::from_chars(text->data(), text->data() + text->size(), value, 16);
  if (ec != std::errc() || end != text->data() + text->size()) return std::nullopt;
  return value;
}

std::optional<std::string> DevName(const fs::path& ttyDir) {
  const auto uevent = ReadAttribute(ttyDir / "uevent");
  if (!uevent) return std::nullopt;
  const std::string key = "DEVNAME=";
  std::size_t lineStart = 0;
  while (lineStart < uevent->size()) {
    std::size_t lineEnd = uevent->find('\n', lineStart);
    if (lineEnd == std::string::npos) lineEnd = uevent->size();
    if (uevent->compare(lineStart, key.size(), key) == 0) {
      std::string name = uevent->substr(lineStart + key.size(), lineEnd - lineStart - key.size());
      if (name.empty()) return std::nullopt;
      return name;
    }
    lineStart = lineEnd + 1;
  }
  return std::nullopt;
}

// A UART port of the serial core has a "type" attribute; type 0 is a port the driver reserved
// without finding a UART (the many idle ttyS entries of a PC).
bool HasHardware(const fs::path& ttyDir) {
  std::error_code ec;
  if (!fs::exists(ttyDir / "device", ec)) return false;  // virtual terminals, ptmx, console
  const auto type = ReadAttribute(ttyDir / "type");
  return !type || *type != "0";
}

bool IsWithin(const fs::path& path, const fs::path& root) {
  const auto [rootEnd, pathAt] = std::mismatch(root.begin(), root.end(), path.begin(), path.end());
  return rootEnd == root.end();
}

// The USB device is the nearest ancestor of the port's device that carries the vendor and
// product ids (interfaces between them do not).
std::optional<UsbIdentity> UsbDeviceOf(const fs::path& ttyDir, const fs::path& root) {
  std::error_code ec;
  fs::path dir = fs::canonical(ttyDir / "device", ec);
  if (ec) return std::nullopt;
  while (IsWithin(dir, root) && dir != root) {
    const auto vendor = ReadHexId(dir / "idVendor");
    const auto product = ReadHexId(dir / "idProduct");
    if (vendor && product) {
      UsbIdentity usb{*vendor, *product, {}, {}, dir.string()};
      usb.manufacturer = ReadAttribute(dir / "manufacturer").value_or("");
      usb.product = ReadAttribute(dir / "product").value_or("");
      return usb;
    }
    dir = dir.parent_path();
  }
  return std::nullopt;
}

// Splits "ttyUSB12" into "ttyUSB" and 12; a name without trailing digits has no number.
std::pair<std::string, std::optional<unsigned long long>> SplitNumber(const std::string& name) {
  std::size_t digits = name.size();
  while (digits > 0 && std::isdigit(static_cast<unsigned char>(name[digits - 1]))) --digits;
  if (digits == name.size() || name.size() - digits > 18) return {name, std::nullopt};
  return {name.substr(0, digits), std::stoull(name.substr(digits))};
}

}  // namespace

bool PortNameLess(const std::string& a, const std::string& b) {
  // Ordered by (stem, number, name): a total order, numbers compared as numbers.
  const auto [stemA, numberA] = SplitNumber(a);
  const auto [stemB, numberB] = SplitNumber(b);
  if (stemA != stemB) return stemA < stemB;
  if (numberA != numberB) return numberA < numberB;
  return a < b;  // ttyS01 and ttyS1
}

std::optional<std::vector<SysfsPort>> ScanSysfsPorts(const std::string& sysRoot) {
  std::error_code ec;
  const fs::path root = fs::canonical(sysRoot, ec);
  if (ec) return std::nullopt;
  fs::directory_iterator it(root / "class" / "tty", ec);
  if (ec) return std::nullopt;
  std::vector<SysfsPort> ports;
  for (const fs::directory_iterator end; it != end; it.increment(ec)) {
    const fs::path ttyDir = it->path();
    if (!HasHardware(ttyDir)) continue;
    ports.push_back(SysfsPort{ttyDir.filename().string(), DevName(ttyDir), UsbDeviceOf(ttyDir, root)});
  }
  if (ec) return std::nullopt;
  std::sort(ports.begin(), ports.end(),
            [](const SysfsPort& a, const SysfsPort& b) { return PortNameLess(a.ttyName, b.ttyName); });
  return ports;
}

}  // namespace kovrix
