#pragma once
// The system's device registry on Windows: the device-setup interface lists the present devices
// of a setup class by its name ("Ports" for the serial ports), with each device's friendly name;
// the port name is the "PortName" value of the device's hardware key, opened through the
// configuration manager's CM_Open_DevNode_Key, which is taken from cfgmgr32 at run time (the
// library is released with the registry). A device restarts by a property change to disabled,
// then to enabled, in global scope.

#include "port/device_registry.h"

namespace kovrix {

class Win32DeviceRegistry final : public DeviceRegistry {
 public:
  Win32DeviceRegistry();
  ~Win32DeviceRegistry() override;
  Win32DeviceRegistry(const Win32DeviceRegistry&) = delete;
  Win32DeviceRegistry& operator=(const Win32DeviceRegistry&) = delete;

  /// Answers the present devices of the class (the last class of that name the system knows),
  /// in the system's order; none when the class is unknown. A device's id is its instance id.
  /// A port name that cannot be read (no configuration manager, no key, no value) is none.
  std::optional<std::vector<PortDevice>> PresentDevices(const std::string& className) override;
  /// NotPrepared when the class-install parameters cannot be set (or the device is gone),
  /// NotApplied when the installer refuses the change.
  StateChange ChangeState(const PortDevice& device, bool enable) override;

  /// Opens the hardware key of the device with this instance id, for reading (and writing when
  /// asked); answers the key (an HKEY the caller closes) or null.
  void* OpenHardwareKey(const std::string& instanceId, bool write) const;

 private:
  void* cfgmgr32_ = nullptr;     // the library's module handle
  void* openDevNodeKey_ = nullptr;  // its CM_Open_DevNode_Key
};

/// Answers the UTF-8 text of a UTF-16 text from the system (an empty text for none).
std::string Utf8FromWide(const wchar_t* text);
/// Answers the UTF-16 text of a UTF-8 text.
std::wstring WideFromUtf8(const std::string& text);

}  // namespace kovrix
