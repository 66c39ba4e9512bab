// kovrix-cli ports on Windows: the ports of the registry's SERIALCOMM key, with the friendly name
// and USB ids SetupAPI gives for present devices of the Ports class, and the registrator's USB
// virtual COM port marked.

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <devguid.h>
#include <setupapi.h>

#include <algorithm>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "cli/detect.h"
#include "cli/subcommands.h"
#include "cli/windows_ports.h"

namespace kovrix::cli {
namespace {

std::string Narrow(const wchar_t* text, std::size_t length) {
  if (length == 0) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
  if (n <= 0) return {};
  std::string utf8(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), utf8.data(), n, nullptr, nullptr);
  return utf8;
}

// A registry or device text: up to its first zero, whatever the stored size says.
std::string TextOf(const std::vector<wchar_t>& buffer, DWORD bytes) {
  const std::size_t chars = std::min<std::size_t>(buffer.size(), bytes / sizeof(wchar_t));
  std::size_t length = 0;
  while (length < chars && buffer[length] != L'\0') ++length;
  return Narrow(buffer.data(), length);
}

std::vector<std::string> SerialCommPorts() {
  std::vector<std::string> ports;
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return ports;
  }
  for (DWORD index = 0;; ++index) {
    wchar_t name[256];
    DWORD nameLength = 256;
    std::vector<wchar_t> data(256);
    DWORD dataBytes = static_cast<DWORD>(data.size() * sizeof(wchar_t));
    DWORD type = 0;
    const LONG status = RegEnumValueW(key, index, name, &nameLength, nullptr, &type,
                                      reinterpret_cast<BYTE*>(data.data()), &dataBytes);
    if (status == ERROR_NO_MORE_ITEMS) break;
    if (status != ERROR_SUCCESS || type != REG_SZ) continue;
    ports.push_back(TextOf(data, dataBytes));
  }
  RegCloseKey(key);
  return ports;
}

std::string DeviceProperty(HDEVINFO set, SP_DEVINFO_DATA& device, DWORD property) {
  std::vector<wchar_t> buffer(512);
  DWORD type = 0;
  DWORD needed = 0;
  if (!SetupDiGetDeviceRegistryPropertyW(set, &device, property, &type, reinterpret_cast<BYTE*>(buffer.data()),
                                         static_cast<DWORD>(buffer.size() * sizeof(wchar_t)), &needed)) {
    return {};
  }
  // A multi-text (hardware ids) gives its first entry.
  return TextOf(buffer, std::min<DWORD>(needed, static_cast<DWORD>(buffer.size() * sizeof(wchar_t))));
}

std::string DevicePortName(HDEVINFO set, SP_DEVINFO_DATA& device) {
  HKEY key = SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
  if (key == INVALID_HANDLE_VALUE) return {};
  std::vector<wchar_t> data(64);
  DWORD bytes = static_cast<DWORD>(data.size() * sizeof(wchar_t));
  DWORD type = 0;
  std::string name;
  if (RegQueryValueExW(key, L"PortName", nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &bytes) ==
          ERROR_SUCCESS &&
      type == REG_SZ) {
    name = TextOf(data, bytes);
  }
  RegCloseKey(key);
  return name;
}

std::vector<WindowsPortDevice> PresentPortDevices() {
  std::vector<WindowsPortDevice> devices;
  HDEVINFO set = SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
  if (set == INVALID_HANDLE_VALUE) return devices;
  for (DWORD index = 0;; ++index) {
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    if (!SetupDiEnumDeviceInfo(set, index, &device)) break;
    WindowsPortDevice d;
    d.portName = DevicePortName(set, device);
    if (d.portName.empty()) continue;
    d.friendlyName = DeviceProperty(set, device, SPDRP_FRIENDLYNAME);
    d.hardwareId = DeviceProperty(set, device, SPDRP_HARDWAREID);
    devices.push_back(d);
  }
  SetupDiDestroyDeviceInfoList(set);
  return devices;
}

}  // namespace

std::vector<std::string> ListedPorts() { return WindowsPortNames(SerialCommPorts(), PresentPortDevices()); }

/// Lists the serial ports (one per line: name, friendly name, USB ids, the registrator mark).
int RunPorts(Context& context) {
  if (!context.options.args.empty()) {
    context.err << "kovrix-cli: ports takes no arguments\n";
    return kExitUsage;
  }
  const std::vector<std::string> lines = WindowsPortLines(SerialCommPorts(), PresentPortDevices());
  if (lines.empty()) {
    context.out << "no serial ports found\n";
    return kExitOk;
  }
  for (const std::string& line : lines) context.out << line << "\n";
  return kExitOk;
}

}  // namespace kovrix::cli
