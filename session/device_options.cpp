#include "session/device_options.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "ini/private_profile.h"
#include "driver/serial_line.h"

namespace kovrix::session {

void LoadProfileDefaults(DeviceOptions& options, const std::string& iniPath) {
  options.port = GetPrivateProfileString("Communication", "Port", options.port, kMaxPortPath + 1, iniPath);
  const int speed = ProfileTextToInt(GetPrivateProfileString("Communication", "Speed", "", 10, iniPath));
  if (speed > 0) options.baud = speed;
  options.repeats = GetPrivateProfileInt("Fiscal Printer", "Reply", options.repeats, iniPath);
  if (options.repeats < 0) options.repeats = 0;
  if (GetPrivateProfileInt("LogFile", "Log", 0, iniPath) != 0) {
    options.logFile = GetPrivateProfileString("LogFile", "LogName", "Kovrix.log", 300, iniPath);
  }
}

bool ParseDecimalInt(const std::string& text, int& value) {
  if (text.empty() || text.find_first_not_of("+-0123456789") != std::string::npos) return false;
  errno = 0;
  char* end = nullptr;
  const long parsed = std::strtol(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || parsed < INT_MIN || parsed > INT_MAX) return false;
  value = static_cast<int>(parsed);
  return true;
}

}  // namespace kovrix::session
