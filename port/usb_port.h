#pragma once
// Discovery of the registrator's USB virtual COM port by its friendly name, and its recovery
// by restarting the USB device. The functions work on a device registry and reach the program
// through UsbHost, so that the main window, the command line and tests can each plug in.
// Texts are UTF-8.

#include <cstddef>
#include <string>

#include "port/device_registry.h"

namespace kovrix {

/// Friendly-name text of the registrator's USB virtual COM port.
inline constexpr char kUsbSearchText[] = "STMicroelectronics Virtual COM Port";
/// The friendly name is read into a buffer of this many bytes, its terminating zero included.
inline constexpr std::size_t kFriendlyNameBufferSize = 200;
/// Wait of one discovery step.
inline constexpr int kUsbScanStepMs = 100;
/// Caption of a discovery step, followed by the step number.
inline constexpr char kUsbScanCaption[] = "Тестирование USB устройств: Шаг ";

// The four failures of a restart.
inline constexpr char kUsbDisableNotPrepared[] = "Устройство не удалено (SetupDiSetClassInstallParams)!";
inline constexpr char kUsbDisableNotApplied[] = "Устройство не удалено (SetupDiCallInstaller)!";
inline constexpr char kUsbEnableNotPrepared[] = "Устройство не восстановлено (SetupDiSetClassInstallParams)!";
inline constexpr char kUsbEnableNotApplied[] = "Устройство не восстановлено (SetupDiCallInstaller)!";

/// What discovery and recovery need from the program. Every operation does nothing by default,
/// which suits a caller without a window (the command line).
class UsbHost {
 public:
  virtual ~UsbHost() = default;
  /// Shows a message box with the text.
  virtual void ShowMessage(const std::string& text) { (void)text; }
  /// Sets the main window's caption.
  virtual void SetCaption(const std::string& caption) { (void)caption; }
  /// Waits ms milliseconds while the window repaints and pending events run.
  virtual void LetEventsRun(int ms) { (void)ms; }
  /// Closes the registrator link (the session log receives its end entry).
  virtual void CloseLink() {}
  /// Shows the link closed: connection indicator red, connect button "Подключить".
  virtual void ShowLinkClosed() {}
  /// Enables or disables the recovery button.
  virtual void EnableRecovery(bool enabled) { (void)enabled; }
};

/// Looks at device `index` of class className: 0 when its friendly name holds searchText
/// (case-sensitive; portName = the text between the first "(" and the first ")", empty when
/// they are missing or out of order), -1 when it does not or cannot be read, -2 when the class
/// is unknown or has no device at that index. portName changes only on 0.
int GetUSBPort(DeviceRegistry& registry, int index, std::string& portName, const std::string& searchText,
               const std::string& className);

/// The same lookup; on a match it closes the link, disables and enables the device (each
/// failing half shows its message, and the sequence goes on), shows the link closed and
/// answers 0. -1 and -2 as GetUSBPort, with nothing else done.
int RestoreUSBPort(DeviceRegistry& registry, UsbHost& host, int index, std::string& portName,
                   const std::string& searchText, const std::string& className);

/// The start-up scan: step n sets the caption kUsbScanCaption + n, lets events run for
/// kUsbScanStepMs and looks at device n - 1. Answers the port name of the first registrator
/// port, empty when there is none.
std::string ScanUsbPort(DeviceRegistry& registry, UsbHost& host);

/// The recovery button: disables it, restarts the first registrator port found and enables it
/// again. Answers that port's name, empty when there is none (then nothing is shown).
std::string RecoverUsbPort(DeviceRegistry& registry, UsbHost& host);

}  // namespace kovrix
