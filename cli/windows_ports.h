#pragma once
// The lines of `kovrix-cli ports` on Windows, made from what the system tells: the port names of
// the registry's SERIALCOMM key and, where SetupAPI knows the device, its friendly name and USB
// ids. Kept apart from the system calls so that the merging is tested on its own.

#include <string>
#include <vector>

namespace kovrix::cli {

struct WindowsPortDevice {
  std::string portName;      // "COM3"
  std::string friendlyName;  // "USB Serial Device (COM3)", UTF-8; may be empty
  std::string hardwareId;    // "USB\\VID_0483&PID_5740&REV_0200"; may be empty
};

/// Answers "VVVV:PPPP" from a USB hardware id, empty when it holds no VID_ and PID_.
std::string UsbIdsOf(const std::string& hardwareId);

/// Answers one line per port (name, friendly name, USB ids, the registrator mark), every port of
/// either source once, in the order of their numbers (COM2 before COM10); names compare without case.
std::vector<std::string> WindowsPortLines(const std::vector<std::string>& serialCommPorts,
                                          const std::vector<WindowsPortDevice>& devices);

/// Answers the port names of either source once, in the order of WindowsPortLines.
std::vector<std::string> WindowsPortNames(const std::vector<std::string>& serialCommPorts,
                                          const std::vector<WindowsPortDevice>& devices);

}  // namespace kovrix::cli
