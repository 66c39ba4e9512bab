// The trial open of the bank-terminal port on Windows: through the driver's own line, which opens
// a COM port exclusively at 8N1 (or connects to a network port, where the simulated terminal
// serves), and closes it again.

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include "app/terminal_port.h"
#include "driver/serial_line.h"

namespace kovrix {

void PrepareTerminalPort(TerminalPortSettings& settings, const std::string& portName, int baud) {
  SetTerminalSettings(settings, portName, baud);

  std::unique_ptr<SerialLine> line = MakeSerialLine();
  SetLastError(0);
  if (!line->open(settings.path, baud)) {
    const DWORD error = GetLastError();
    settings.lastError = error != 0 ? static_cast<int>(error) : ERROR_OPEN_FAILED;
    return;
  }
  line->close();
}

}  // namespace kovrix
