// detect [--json]: asks every listed port, and the one given with -p, for a registrator's
// diagnostic information at each speed of the speed list, fastest first.

#include <algorithm>
#include <nlohmann/json.hpp>

#include "cli/cli.h"
#include "cli/detect.h"
#include "session/port_state.h"
#include "session/render.h"

namespace kovrix::cli {
namespace {

// Ports compare by the device they open where it exists, else by name.
std::string PortKey(const std::string& port) {
  std::string device = session::ResolvedDevicePath(port);
  return device.empty() ? port : device;
}

}  // namespace

std::vector<std::string> PortsToProbe(const std::vector<std::string>& listed, const std::string& given) {
  std::vector<std::string> ports;
  std::vector<std::string> keys;
  for (const std::string& port : listed) {
    if (port.empty()) continue;
    std::string key = PortKey(port);
    if (std::find(keys.begin(), keys.end(), key) != keys.end()) continue;
    keys.push_back(std::move(key));
    ports.push_back(port);
  }
  if (!given.empty() && std::find(keys.begin(), keys.end(), PortKey(given)) == keys.end()) ports.push_back(given);
  return ports;
}

std::string DetectedPortLine(const session::DetectedPort& entry) {
  std::string line = entry.port + ": " + entry.state;
  if (entry.state == "found") {
    // Speed 0: a raw converter port, whose line runs at the converter's own speed.
    if (entry.baud > 0) line += " at " + std::to_string(entry.baud) + " baud";
    if (!entry.model.empty()) line += ", model " + entry.model;
    if (!entry.version.empty()) line += ", version " + entry.version;
    if (!entry.serial.empty()) line += ", serial number " + entry.serial;
  }
  if (!entry.message.empty()) line += " (" + entry.message + ")";
  return line;
}

int Detect(Context& context, const std::vector<std::string>& listed, const Prober& probe) {
  bool json = context.options.json;
  for (const std::string& arg : context.options.args) {
    if (arg != "--json") {
      context.err << "kovrix-cli: detect: unknown argument '" << arg << "' (usage: detect [--json])\n";
      return kExitUsage;
    }
    json = true;
  }
  const std::vector<std::string> ports = PortsToProbe(listed, context.options.port);
  const std::vector<session::DetectedPort> found =
      ports.empty() ? std::vector<session::DetectedPort>{} : probe(ports, session::ProbeSpeeds());
  const bool any = std::any_of(found.begin(), found.end(), [](const auto& e) { return e.state == "found"; });
  if (json) {
    nlohmann::ordered_json array = nlohmann::ordered_json::array();
    for (const session::DetectedPort& entry : found) array.push_back(session::DetectedPortJson(entry));
    context.out << session::DumpJson(array) << "\n";
  } else if (ports.empty()) {
    context.out << "no serial ports to probe (none listed; give one with -p PORT)\n";
  } else {
    for (const session::DetectedPort& entry : found) context.out << DetectedPortLine(entry) << "\n";
  }
  return any ? kExitOk : kExitNoReply;
}

int RunDetect(Context& context) {
  return Detect(context, ListedPorts(), [](const std::vector<std::string>& ports, const std::vector<int>& speeds) {
    return session::DetectRegistrators(ports, speeds);
  });
}

}  // namespace kovrix::cli
