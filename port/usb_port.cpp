#include "port/usb_port.h"

#include <climits>

namespace kovrix {
namespace {

int LookUp(DeviceRegistry& registry, int index, const std::string& searchText, const std::string& className,
           PortDevice& device) {
  const auto devices = registry.PresentDevices(className);
  if (!devices || index < 0 || static_cast<std::size_t>(index) >= devices->size()) return -2;
  device = (*devices)[static_cast<std::size_t>(index)];
  // A name that does not fit the buffer with its terminating zero cannot be read.
  if (!device.friendlyName || device.friendlyName->size() >= kFriendlyNameBufferSize) return -1;
  return device.friendlyName->find(searchText) == std::string::npos ? -1 : 0;
}

std::string TextInParentheses(const std::string& name) {
  const std::size_t open = name.find('(');
  const std::size_t close = name.find(')');
  if (open == std::string::npos || close == std::string::npos || close < open) return {};
  return name.substr(open + 1, close - open - 1);
}

void Report(UsbHost& host, StateChange outcome, const char* notPrepared, const char* notApplied) {
  if (outcome == StateChange::NotPrepared) host.ShowMessage(notPrepared);
  if (outcome == StateChange::NotApplied) host.ShowMessage(notApplied);
}

}  // namespace

int GetUSBPort(DeviceRegistry& registry, int index, std::string& portName, const std::string& searchText,
               const std::string& className) {
  PortDevice device;
  const int result = LookUp(registry, index, searchText, className, device);
  if (result == 0) portName = TextInParentheses(*device.friendlyName);
  return result;
}

int RestoreUSBPort(DeviceRegistry& registry, UsbHost& host, int index, std::string& portName,
                   const std::string& searchText, const std::string& className) {
  PortDevice device;
  const int result = LookUp(registry, index, searchText, className, device);
  if (result != 0) return result;
  portName = TextInParentheses(*device.friendlyName);
  // The port goes away with the device, so the link lets go of it first.
  host.CloseLink();
  Report(host, registry.ChangeState(device, false), kUsbDisableNotPrepared, kUsbDisableNotApplied);
  Report(host, registry.ChangeState(device, true), kUsbEnableNotPrepared, kUsbEnableNotApplied);
  host.ShowLinkClosed();
  return 0;
}

std::string ScanUsbPort(DeviceRegistry& registry, UsbHost& host) {
  std::string portName;
  // Every step either finds the port or moves to the next index, and an index past the last
  // device answers -2, so the loop ends; the bound only keeps the step number in range.
  for (int step = 1; step < INT_MAX; ++step) {
    host.SetCaption(kUsbScanCaption + std::to_string(step));
    host.LetEventsRun(kUsbScanStepMs);
    const int result = GetUSBPort(registry, step - 1, portName, kUsbSearchText, kPortsClassName);
    if (result == 0) return portName;
    if (result == -2) break;
  }
  return {};
}

std::string RecoverUsbPort(DeviceRegistry& registry, UsbHost& host) {
  host.EnableRecovery(false);
  std::string portName;
  for (int index = 0; index < INT_MAX; ++index) {
    const int result = RestoreUSBPort(registry, host, index, portName, kUsbSearchText, kPortsClassName);
    if (result == 0) break;
    if (result == -2) {
      portName.clear();
      break;
    }
  }
  host.EnableRecovery(true);
  return portName;
}

}  // namespace kovrix
