#include "server/registrators_config.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string_view>

#include "driver/line_speeds.h"
#include "driver/network_port.h"
#include "driver/serial_line.h"
#include "session/port_locks.h"
#include "session/port_state.h"

namespace kovrix::server {
namespace {

std::string Trimmed(const std::string& s) {
  const auto from = s.find_first_not_of(" \t\r");
  if (from == std::string::npos) return {};
  return s.substr(from, s.find_last_not_of(" \t\r") - from + 1);
}

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

const char* const kIdRule = "an id is 1 to 32 of A-Z, a-z, 0-9, '_' and '-' (and not 'detect')";

bool CheckPort(const std::string& port, std::string& error) {
  error = PortProblem(port);
  return error.empty();
}

// What makes two ports the same: the device file a name resolves to, else the name (a network
// port's host in any case).
std::string PortIdentity(const std::string& port) {
  const std::string device = session::ResolvedDevicePath(port);
  if (!device.empty()) return device;
  return port.find("://") != std::string::npos ? Lower(port) : port;
}

// What a registrator would repeat of one already listed.
enum class Repeated { Nothing, Id, Port, Log, TooMany };

Repeated Duplicate(const std::vector<RegistratorConfig>& list, const RegistratorConfig& r, std::string& message) {
  for (const RegistratorConfig& other : list) {
    if (other.id == r.id) {
      message = "the id '" + r.id + "' is given twice";
      return Repeated::Id;
    }
    // A converter's aliases (names, address forms) reach one line: compared by address.
    if (PortIdentity(other.device.port) == PortIdentity(r.device.port) ||
        (IsNetworkPortName(r.device.port) && IsNetworkPortName(other.device.port) &&
         session::SameLine(other.device.port, r.device.port))) {
      message = "the port " + r.device.port + " is given to both '" + other.id + "' and '" + r.id + "'";
      return Repeated::Port;
    }
    // Two logs appending to one file at the same time would mix their entries.
    if (!r.device.logFile.empty() && other.device.logFile == r.device.logFile) {
      message = "the log file " + r.device.logFile + " is given to both '" + other.id + "' and '" + r.id + "'";
      return Repeated::Log;
    }
  }
  if (list.size() >= kMaxRegistrators) {
    message = "more than " + std::to_string(kMaxRegistrators) + " registrators";
    return Repeated::TooMany;
  }
  return Repeated::Nothing;
}

// One [registrator] section as it is read, with the line of each key for the messages.
struct Section {
  int line = 0;
  std::optional<std::string> id, port, speed, repeats, log;
  int idLine = 0, portLine = 0, logLine = 0;
};

bool HasControlCharacter(const std::string& s) {
  return std::any_of(s.begin(), s.end(), [](char c) { return (c >= 0 && c < 0x20 && c != '\t') || c == 0x7F; });
}

}  // namespace

bool IsLineSpeed(int baud) { return std::find(kBaudRates.begin(), kBaudRates.end(), baud) != kBaudRates.end(); }

std::string LineSpeedsText() {
  std::string text;
  for (const int speed : kBaudRates) text += (text.empty() ? "" : ", ") + std::to_string(speed);
  return text;
}

std::string PortProblem(const std::string& port) {
  if (port.empty()) return "the port is empty";
  if (port.size() > kMaxPortPath) return "the port is longer than " + std::to_string(kMaxPortPath) + " characters";
  if (HasControlCharacter(port)) return "the port holds a control character";
  std::string why;
  if (IsNetworkPortName(port) && !ParseNetworkPort(port, &why)) return "the port " + port + " is not a network port: " + why;
  return {};
}

bool ParseRegistratorArgument(const std::string& text, const session::DeviceOptions& defaults, RegistratorConfig& out,
                          std::string& error) {
  const auto equals = text.find('=');
  if (equals == std::string::npos) {
    error = "option --registrator: '" + text + "' is not ID=PORT[@BAUD]";
    return false;
  }
  RegistratorConfig r{text.substr(0, equals), defaults};
  r.device.logFile.clear();
  r.device.port = text.substr(equals + 1);
  if (!ValidRegistratorId(r.id)) {
    error = "option --registrator: '" + r.id + "' is not an id: " + kIdRule;
    return false;
  }
  // A speed follows the last "@" when it is all digits; any other "@" belongs to the port.
  const auto at = r.device.port.rfind('@');
  if (at != std::string::npos && at + 1 < r.device.port.size() &&
      r.device.port.find_first_not_of("0123456789", at + 1) == std::string::npos) {
    const std::string baud = r.device.port.substr(at + 1);
    if (!session::ParseDecimalInt(baud, r.device.baud) || !IsLineSpeed(r.device.baud)) {
      error = "option --registrator " + r.id + ": '" + baud + "' is not a line speed (" + LineSpeedsText() + ")";
      return false;
    }
    r.device.port.resize(at);
  }
  std::string why;
  if (!CheckPort(r.device.port, why)) {
    error = "option --registrator " + r.id + ": " + why;
    return false;
  }
  out = std::move(r);
  return true;
}

bool ParseRegistratorsText(const std::string& text, const std::string& name, const session::DeviceOptions& defaults,
                           std::vector<RegistratorConfig>& out, std::string& error) {
  std::vector<RegistratorConfig> read;
  std::optional<Section> section;
  const auto fail = [&](int line, const std::string& what) {
    error = name + ":" + std::to_string(line) + ": " + what;
    return false;
  };
  // A section is complete at the next one or at the end of the text.
  const auto close = [&]() {
    if (!section) return true;
    const Section sec = *section;
    section.reset();
    if (!sec.id) return fail(sec.line, "the section has no id");
    if (!sec.port) return fail(sec.line, "the section of '" + *sec.id + "' has no port");
    RegistratorConfig r{*sec.id, defaults};
    r.device.port = *sec.port;
    r.device.logFile = sec.log.value_or("");
    if (sec.speed) session::ParseDecimalInt(*sec.speed, r.device.baud);
    if (sec.repeats) session::ParseDecimalInt(*sec.repeats, r.device.repeats);
    std::vector<RegistratorConfig> all = out;
    all.insert(all.end(), read.begin(), read.end());
    std::string dup;
    switch (Duplicate(all, r, dup)) {
      case Repeated::Nothing:
        break;
      case Repeated::Id:
        return fail(sec.idLine, dup);
      case Repeated::Port:
        return fail(sec.portLine, dup);
      case Repeated::Log:
        return fail(sec.logLine, dup);
      case Repeated::TooMany:
        return fail(sec.line, dup);
    }
    read.push_back(std::move(r));
    return true;
  };

  // An editor on Windows may start the file with the UTF-8 byte order mark.
  const std::string_view bom = "\xEF\xBB\xBF";
  std::istringstream in(text.rfind(bom, 0) == 0 ? text.substr(bom.size()) : text);
  std::string raw;
  int number = 0;
  while (std::getline(in, raw)) {
    ++number;
    const std::string line = Trimmed(raw);
    if (line.empty() || line[0] == '#' || line[0] == ';') continue;
    if (line[0] == '[') {
      if (line.back() != ']') return fail(number, "a section header must end with ']'");
      if (Lower(Trimmed(line.substr(1, line.size() - 2))) != "registrator") {
        return fail(number, "unknown section " + line + "; each registrator is a [registrator] section");
      }
      if (!close()) return false;
      section = Section{};
      section->line = number;
      continue;
    }
    const auto equals = line.find('=');
    if (equals == std::string::npos) return fail(number, "expected KEY = VALUE or [registrator]");
    if (!section) return fail(number, "a key before the first [registrator] section");
    const std::string key = Lower(Trimmed(line.substr(0, equals)));
    const std::string value = Trimmed(line.substr(equals + 1));
    std::optional<std::string>* slot = key == "id"        ? &section->id
                                       : key == "port"    ? &section->port
                                       : key == "speed"   ? &section->speed
                                       : key == "repeats" ? &section->repeats
                                       : key == "log"     ? &section->log
                                                          : nullptr;
    if (!slot) return fail(number, "unknown key '" + key + "'; the keys are id, port, speed, repeats and log");
    if (*slot) return fail(number, "the key '" + key + "' is given twice in one section");
    int n = 0;
    std::string why;
    if (HasControlCharacter(value)) return fail(number, "the value of '" + key + "' holds a control character");
    if (key == "id" && !ValidRegistratorId(value)) return fail(number, "'" + value + "' is not an id: " + kIdRule);
    if (key == "port" && !CheckPort(value, why)) return fail(number, why);
    if (key == "speed" && (!session::ParseDecimalInt(value, n) || !IsLineSpeed(n))) {
      return fail(number, "speed '" + value + "' is not a line speed (" + LineSpeedsText() + ")");
    }
    if (key == "repeats" && (!session::ParseDecimalInt(value, n) || n < 0 || n > kMaxRepeats)) {
      return fail(number, "repeats '" + value + "' is not a whole number from 0 to " + std::to_string(kMaxRepeats));
    }
    if (key == "id") section->idLine = number;
    if (key == "port") section->portLine = number;
    if (key == "log") section->logLine = number;
    *slot = value;
  }
  if (!close()) return false;
  if (read.empty()) return fail(std::max(number, 1), "no [registrator] section");
  out.insert(out.end(), read.begin(), read.end());
  return true;
}

bool LoadRegistratorsFile(const std::string& path, const session::DeviceOptions& defaults,
                          std::vector<RegistratorConfig>& out, std::string& error) {
  // Opening a FIFO would wait for a writer, and a device or /dev/stdin could feed it forever:
  // only a plain file (a link to one too) is read.
  std::error_code failed;
  const auto status = std::filesystem::status(path, failed);
  if (!failed && std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
    error = path + ": not a plain file (a directory, FIFO or device); the configuration must be a file";
    return false;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = "cannot read the configuration file " + path;
    return false;
  }
  std::string text;
  char chunk[4096];
  while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
    text.append(chunk, static_cast<std::size_t>(in.gcount()));
    if (text.size() > kMaxConfigBytes) {
      error = path + ": larger than " + std::to_string(kMaxConfigBytes / 1024) + " KiB; not a configuration file";
      return false;
    }
  }
  if (in.bad()) {
    error = "cannot read the configuration file " + path;
    return false;
  }
  return ParseRegistratorsText(text, path, defaults, out, error);
}

bool CheckRegistrators(const std::vector<RegistratorConfig>& list, std::string& error) {
  std::vector<RegistratorConfig> seen;
  for (const RegistratorConfig& r : list) {
    if (Duplicate(seen, r, error) != Repeated::Nothing) return false;
    seen.push_back(r);
  }
  return true;
}

}  // namespace kovrix::server
