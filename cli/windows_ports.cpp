#include "cli/windows_ports.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <set>

#include "port/usb_port.h"

namespace kovrix::cli {
namespace {

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

// Orders COMn by n, then anything else by name.
struct PortOrder {
  bool operator()(const std::string& a, const std::string& b) const {
    const auto number = [](const std::string& name) -> long {
      if (name.size() < 4 || name.compare(0, 3, "COM") != 0 || name.size() > 12) return -1;
      if (!std::all_of(name.begin() + 3, name.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); })) {
        return -1;
      }
      return std::stol(name.substr(3));
    };
    const long na = number(a);
    const long nb = number(b);
    if (na >= 0 && nb >= 0) return na != nb ? na < nb : a < b;
    if ((na >= 0) != (nb >= 0)) return na >= 0;
    return a < b;
  }
};

std::string HexAfter(const std::string& id, const std::string& key) {
  const auto at = id.find(key);
  if (at == std::string::npos || at + key.size() + 4 > id.size()) return {};
  const std::string digits = id.substr(at + key.size(), 4);
  if (!std::all_of(digits.begin(), digits.end(), [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); })) {
    return {};
  }
  std::string lower = digits;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower;
}

}  // namespace

std::string UsbIdsOf(const std::string& hardwareId) {
  const std::string id = Upper(hardwareId);
  const std::string vid = HexAfter(id, "VID_");
  const std::string pid = HexAfter(id, "PID_");
  if (vid.empty() || pid.empty()) return {};
  return vid + ":" + pid;
}

std::vector<std::string> WindowsPortLines(const std::vector<std::string>& serialCommPorts,
                                          const std::vector<WindowsPortDevice>& devices) {
  std::map<std::string, const WindowsPortDevice*, PortOrder> ports;
  for (const std::string& name : serialCommPorts) {
    if (!name.empty()) ports.emplace(Upper(name), nullptr);
  }
  for (const WindowsPortDevice& device : devices) {
    if (device.portName.empty()) continue;
    auto& slot = ports[Upper(device.portName)];
    if (slot == nullptr) slot = &device;
  }
  std::vector<std::string> lines;
  for (const auto& [name, device] : ports) {
    std::string line = name;
    if (device != nullptr) {
      if (!device->friendlyName.empty()) line += "  " + device->friendlyName;
      if (const std::string ids = UsbIdsOf(device->hardwareId); !ids.empty()) line += "  USB " + ids;
      if (device->friendlyName.find(kUsbSearchText) != std::string::npos) line += "  [registrator USB port]";
    }
    lines.push_back(line);
  }
  return lines;
}

std::vector<std::string> WindowsPortNames(const std::vector<std::string>& serialCommPorts,
                                          const std::vector<WindowsPortDevice>& devices) {
  std::set<std::string, PortOrder> names;
  for (const std::string& name : serialCommPorts) {
    if (!name.empty()) names.insert(Upper(name));
  }
  for (const WindowsPortDevice& device : devices) {
    if (!device.portName.empty()) names.insert(Upper(device.portName));
  }
  return {names.begin(), names.end()};
}

}  // namespace kovrix::cli
