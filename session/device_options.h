#pragma once
// How a program reaches its registrator: the port, speed, repeat count and session log, with the
// defaults an initialisation file gives. Shared by the command-line client and the service.

#include <string>

namespace kovrix::session {

struct DeviceOptions {
  std::string port;  // name (ttyUSB0), path (/dev/pts/3) or network port (tcp://host:port)
  int baud = 9600;
  int repeats = 1;        // the link's repeat count
  std::string logFile;    // session log; empty = no log
  bool seqReset = false;  // start the sequence at 21h instead of after the previous run's
};

/// Takes the defaults of the port, speed, repeat count and session log from an initialisation
/// file as the tool does ("Communication"/"Port" and "Speed", "Fiscal Printer"/"Reply", "LogFile"/
/// "Log" and "LogName"); a missing file or key keeps the built-in default. Call before the command
/// line is parsed, so that the command line has the last word.
void LoadProfileDefaults(DeviceOptions& options, const std::string& iniPath);

/// Parses a whole decimal int (sign allowed); false on anything else or out of range.
bool ParseDecimalInt(const std::string& text, int& value);

}  // namespace kovrix::session
