#pragma once
// The trial open of the bank-terminal port: the port is opened exclusively, set to the chosen rate
// with 8 data bits, no parity and one stop bit, and closed again. The fiscal receipt screen opens
// it for real when it pays by card.

#include <string>

#include "app/connection_state.h"
#include "driver/serial_line.h"

namespace kovrix {

/// Prepares the terminal settings for a port name and rate and tries the port; a failure of the
/// open or of the line settings is kept as errno in settings.lastError (0 when all went well).
void PrepareTerminalPort(TerminalPortSettings& settings, const std::string& portName, int baud);

/// Sets the terminal's settings for a port name and rate (path, time-outs, 8N1), lastError 0.
inline void SetTerminalSettings(TerminalPortSettings& settings, const std::string& portName, int baud) {
  settings.path = PortPath(portName);
  settings.readIntervalTimeout = 0;
  settings.readTotalTimeoutMultiplier = 0;
  settings.readTotalTimeoutConstant = 5000;
  settings.writeTotalTimeoutMultiplier = 0;
  settings.writeTotalTimeoutConstant = 0;
  settings.baudRate = baud;
  settings.dataBits = 8;
  settings.parity = 0;
  settings.stopBits = 1;
  settings.lastError = 0;
}

}  // namespace kovrix
