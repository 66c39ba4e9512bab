#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <cfgmgr32.h>
#include <setupapi.h>

#include <vector>

#include "port/win32_registry.h"

namespace kovrix {
namespace {

using OpenDevNodeKeyFn = CONFIGRET(WINAPI*)(DEVINST, REGSAM, ULONG, REGDISPOSITION, PHKEY, ULONG);

// The device information set of one class's present devices, released when it goes.
class DeviceSet {
 public:
  explicit DeviceSet(const std::string& className) {
    const std::wstring name = WideFromUtf8(className);
    DWORD count = 0;
    SetupDiClassGuidsFromNameW(name.c_str(), nullptr, 0, &count);
    if (count == 0) return;
    std::vector<GUID> guids(count);
    if (!SetupDiClassGuidsFromNameW(name.c_str(), guids.data(), count, &count)) return;
    // Each class of that name gives a set; the last one taken is the one used.
    for (DWORD i = 0; i < count && i < guids.size(); ++i) {
      HDEVINFO set = SetupDiGetClassDevsW(&guids[i], nullptr, nullptr, DIGCF_PRESENT);
      if (set == INVALID_HANDLE_VALUE) continue;
      if (set_ != INVALID_HANDLE_VALUE) SetupDiDestroyDeviceInfoList(set_);
      set_ = set;
    }
  }
  ~DeviceSet() {
    if (set_ != INVALID_HANDLE_VALUE) SetupDiDestroyDeviceInfoList(set_);
  }
  DeviceSet(const DeviceSet&) = delete;
  DeviceSet& operator=(const DeviceSet&) = delete;

  bool valid() const { return set_ != INVALID_HANDLE_VALUE; }
  HDEVINFO handle() const { return set_; }

 private:
  HDEVINFO set_ = INVALID_HANDLE_VALUE;
};

std::optional<std::string> FriendlyName(HDEVINFO set, SP_DEVINFO_DATA& data) {
  wchar_t buffer[512] = {};
  DWORD type = 0;
  if (!SetupDiGetDeviceRegistryPropertyW(set, &data, SPDRP_FRIENDLYNAME, &type, reinterpret_cast<BYTE*>(buffer),
                                         sizeof buffer - sizeof(wchar_t), nullptr) ||
      type != REG_SZ) {
    return std::nullopt;
  }
  return Utf8FromWide(buffer);
}

std::string InstanceId(HDEVINFO set, SP_DEVINFO_DATA& data) {
  wchar_t buffer[MAX_DEVICE_ID_LEN + 1] = {};
  if (!SetupDiGetDeviceInstanceIdW(set, &data, buffer, MAX_DEVICE_ID_LEN, nullptr)) return {};
  return Utf8FromWide(buffer);
}

std::optional<std::string> PortName(OpenDevNodeKeyFn open, DEVINST node) {
  if (open == nullptr) return std::nullopt;
  HKEY key = nullptr;
  if (open(node, KEY_READ, 0, RegDisposition_OpenExisting, &key, CM_REGISTRY_HARDWARE) != CR_SUCCESS) {
    return std::nullopt;
  }
  wchar_t buffer[256] = {};
  DWORD size = sizeof buffer - sizeof(wchar_t);
  DWORD type = 0;
  const LONG read = RegQueryValueExW(key, L"PortName", nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
  RegCloseKey(key);
  if (read != ERROR_SUCCESS || type != REG_SZ) return std::nullopt;
  return Utf8FromWide(buffer);
}

}  // namespace

std::string Utf8FromWide(const wchar_t* text) {
  if (text == nullptr || *text == 0) return {};
  const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 1) return {};
  std::string out(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), size, nullptr, nullptr);
  out.resize(static_cast<std::size_t>(size) - 1);
  return out;
}

std::wstring WideFromUtf8(const std::string& text) {
  if (text.empty()) return {};
  const int size = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
  if (size <= 1) return {};
  std::wstring out(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, out.data(), size);
  out.resize(static_cast<std::size_t>(size) - 1);
  return out;
}

Win32DeviceRegistry::Win32DeviceRegistry() {
  HMODULE library = LoadLibraryW(L"cfgmgr32.dll");
  cfgmgr32_ = library;
  if (library != nullptr) {
    openDevNodeKey_ = reinterpret_cast<void*>(GetProcAddress(library, "CM_Open_DevNode_Key"));
  }
}

Win32DeviceRegistry::~Win32DeviceRegistry() {
  if (cfgmgr32_ != nullptr) FreeLibrary(static_cast<HMODULE>(cfgmgr32_));
}

std::optional<std::vector<PortDevice>> Win32DeviceRegistry::PresentDevices(const std::string& className) {
  DeviceSet set(className);
  if (!set.valid()) return std::nullopt;
  const auto open = reinterpret_cast<OpenDevNodeKeyFn>(openDevNodeKey_);
  std::vector<PortDevice> devices;
  for (DWORD index = 0;; ++index) {
    SP_DEVINFO_DATA data{};
    data.cbSize = sizeof data;
    if (!SetupDiEnumDeviceInfo(set.handle(), index, &data)) break;  // ERROR_NO_MORE_ITEMS
    PortDevice device;
    device.friendlyName = FriendlyName(set.handle(), data);
    device.portName = PortName(open, data.DevInst);
    device.id = InstanceId(set.handle(), data);
    devices.push_back(std::move(device));
  }
  return devices;
}

void* Win32DeviceRegistry::OpenHardwareKey(const std::string& instanceId, bool write) const {
  const auto open = reinterpret_cast<OpenDevNodeKeyFn>(openDevNodeKey_);
  std::wstring id = WideFromUtf8(instanceId);
  if (open == nullptr || id.empty()) return nullptr;
  DeviceSet set(kPortsClassName);
  if (!set.valid()) return nullptr;
  SP_DEVINFO_DATA data{};
  data.cbSize = sizeof data;
  if (!SetupDiOpenDeviceInfoW(set.handle(), id.c_str(), nullptr, 0, &data)) return nullptr;
  HKEY key = nullptr;
  if (open(data.DevInst, write ? KEY_READ | KEY_WRITE : KEY_READ, 0, RegDisposition_OpenExisting, &key,
           CM_REGISTRY_HARDWARE) != CR_SUCCESS) {
    return nullptr;
  }
  return key;
}

StateChange Win32DeviceRegistry::ChangeState(const PortDevice& device, bool enable) {
  DeviceSet set(kPortsClassName);
  if (!set.valid()) return StateChange::NotPrepared;
  SP_DEVINFO_DATA data{};
  data.cbSize = sizeof data;
  const std::wstring id = WideFromUtf8(device.id);
  if (id.empty() || !SetupDiOpenDeviceInfoW(set.handle(), id.c_str(), nullptr, 0, &data)) {
    return StateChange::NotPrepared;
  }
  SP_PROPCHANGE_PARAMS params{};
  params.ClassInstallHeader.cbSize = sizeof(SP_CLASSINSTALL_HEADER);
  params.ClassInstallHeader.InstallFunction = DIF_PROPERTYCHANGE;
  params.StateChange = enable ? DICS_ENABLE : DICS_DISABLE;
  params.Scope = DICS_FLAG_GLOBAL;
  params.HwProfile = 0;
  if (!SetupDiSetClassInstallParamsW(set.handle(), &data, &params.ClassInstallHeader, sizeof params)) {
    return StateChange::NotPrepared;
  }
  if (!SetupDiCallClassInstaller(DIF_PROPERTYCHANGE, set.handle(), &data)) return StateChange::NotApplied;
  return StateChange::Done;
}

DeviceRegistry& SystemDeviceRegistry() {
  static Win32DeviceRegistry registry;
  return registry;
}

}  // namespace kovrix
