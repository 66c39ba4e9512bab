#include "server/options.h"

#include <filesystem>
#include <fstream>

#include "server/registrators_config.h"
#include "platform/files.h"

namespace kovrix::server {
namespace {

std::string Trimmed(const std::string& s) {
  const auto from = s.find_first_not_of(" \t\r\n");
  if (from == std::string::npos) return {};
  return s.substr(from, s.find_last_not_of(" \t\r\n") - from + 1);
}

}  // namespace

std::string ServerUsage() {
  return "usage: kovrix-server [-p PORT] [-b BAUD] [--repeats N] [--log FILE] [--listen HOST:PORT] "
         "[--token-file FILE] [--allow-origin ORIGIN]...\n"
         "                     [--device-read-interval SECONDS]\n"
         "       kovrix-server (--registrator ID=PORT[@BAUD]... | --config FILE) [-b BAUD] [--repeats N] ...\n"
         "       kovrix-server --version | --help\n"
         "  serves the registrator on PORT as a local HTTP/JSON service (default 127.0.0.1:8720);\n"
         "  several registrators are named with --registrator (repeated) or listed in a --config file, one\n"
         "  [registrator] section each (id, port, speed, repeats, log); each is served at /v1/registrators/ID/,\n"
         "  the first one also at /v1/. The -p form serves one registrator with the id 1.\n"
         "  options not given take their defaults from ./fpinit.ini; an address other than a loopback\n"
         "  one needs --token-file (a file only its owner may read), and then every request needs\n"
         "  'Authorization: Bearer TOKEN'. Requests from web pages (with an Origin header) are refused\n"
         "  unless --allow-origin names their origin (http://host:port); it may be repeated.\n"
         "  The API is described at GET /v1/openapi.json. GET /healthz, /readyz and /metrics (Prometheus) serve\n"
         "  monitoring, without the token from this machine; --device-read-interval SECONDS (default 60) bounds\n"
         "  how often they read each registrator's free fiscal memory and shift.\n";
}

bool CreatePrivateLogs(const ServerConfig& config, std::string& error) {
  std::vector<std::string> logs;
  if (config.registrators.empty()) logs.push_back(config.device.logFile);
  for (const RegistratorConfig& r : config.registrators) logs.push_back(r.device.logFile);
  for (const std::string& log : logs) {
    std::error_code failed;
    if (log.empty() || std::filesystem::symlink_status(log, failed).type() != std::filesystem::file_type::not_found)
      continue;
    // Created here, before the session log first appends to it with the umask's mode.
    platform::RecordFile file;
    if (!file.Open(log)) {
      error = "cannot create the session log " + log;
      return false;
    }
    platform::MakePrivateFile(log);
  }
  return true;
}

bool SplitListen(const std::string& text, std::string& host, int& port) {
  const auto colon = text.rfind(':');
  if (colon == std::string::npos || colon == 0) return false;
  host = text.substr(0, colon);
  if (host.find(':') != std::string::npos && !(host.front() == '[' && host.back() == ']')) return false;
  return session::ParseDecimalInt(text.substr(colon + 1), port) && port >= 0 && port <= 65535;
}

bool ParseServerOptions(const std::vector<std::string>& args, ServerOptions& options, std::string& error) {
  session::DeviceOptions& device = options.config.device;
  bool portGiven = false;
  bool logGiven = false;
  std::string configFile;
  std::vector<std::string> registratorArgs;
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string name = args[i];
    std::string value;
    bool attached = false;
    if (name.rfind("--", 0) == 0 && name.find('=') != std::string::npos) {
      value = name.substr(name.find('=') + 1);
      name = name.substr(0, name.find('='));
      attached = true;
    }
    if (name == "-h" || name == "--help") {
      options.help = true;
      continue;
    }
    if (name == "--version") {
      options.version = true;
      continue;
    }
    const bool known = name == "-p" || name == "--port" || name == "-b" || name == "--baud" || name == "--repeats" ||
                       name == "--log" || name == "--listen" || name == "--token-file" || name == "--allow-origin" ||
                       name == "--registrator" || name == "--config" || name == "--device-read-interval";
    if (!known) {
      error = "unknown argument " + args[i];
      return false;
    }
    if (!attached) {
      if (i + 1 >= args.size()) {
        error = "option " + name + " needs a value";
        return false;
      }
      value = args[++i];
    }
    if (name == "-p" || name == "--port") {
      if (value.empty()) {
        error = "option --port needs a port name";
        return false;
      }
      if (const std::string problem = PortProblem(value); !problem.empty()) {
        error = "option --port: " + problem;
        return false;
      }
      device.port = value;
      portGiven = true;
    } else if (name == "--registrator") {
      registratorArgs.push_back(value);
    } else if (name == "--config") {
      if (!configFile.empty()) {
        error = "option --config is given twice";
        return false;
      }
      configFile = value;
    } else if (name == "-b" || name == "--baud") {
      if (!session::ParseDecimalInt(value, device.baud) || !IsLineSpeed(device.baud)) {
        error = "option --baud: '" + value + "' is not a line speed (" + LineSpeedsText() + ")";
        return false;
      }
    } else if (name == "--repeats") {
      if (!session::ParseDecimalInt(value, device.repeats) || device.repeats < 0 || device.repeats > kMaxRepeats) {
        error = "option --repeats: '" + value + "' is not a whole number from 0 to " + std::to_string(kMaxRepeats);
        return false;
      }
    } else if (name == "--log") {
      device.logFile = value;
      logGiven = true;
    } else if (name == "--listen") {
      if (!SplitListen(value, options.config.host, options.config.port)) {
        error = "option --listen: '" + value + "' is not HOST:PORT";
        return false;
      }
    } else if (name == "--device-read-interval") {
      int seconds = 0;
      if (!session::ParseDecimalInt(value, seconds) || seconds < 1 || seconds > 86400) {
        error = "option --device-read-interval: '" + value + "' is not a whole number of seconds from 1 to 86400";
        return false;
      }
      options.config.deviceReadInterval = std::chrono::seconds(seconds);
    } else if (name == "--allow-origin") {
      // An origin is a scheme and a host with an optional port, as a browser sends it.
      if (value.find("://") == std::string::npos || value.back() == '/' || value.find_first_of(" \t") != std::string::npos) {
        error = "option --allow-origin: '" + value + "' is not an origin such as http://pos.local:8080";
        return false;
      }
      options.config.allowedOrigins.push_back(value);
    } else {
      options.tokenFile = value;
    }
  }
  if (options.help || options.version) return true;
  if (!configFile.empty() || !registratorArgs.empty()) {
    if (portGiven) {
      error = "-p names the one registrator of a service; with --registrator or --config name every one there";
      return false;
    }
    if (logGiven) {
      error = "--log names the log of the -p form's registrator; give each registrator its log in a --config file";
      return false;
    }
    // The speed and repeat count given here (or by fpinit.ini) are every registrator's defaults.
    session::DeviceOptions defaults = device;
    defaults.port.clear();
    defaults.logFile.clear();
    std::vector<RegistratorConfig>& list = options.config.registrators;
    list.clear();
    if (!configFile.empty() && !LoadRegistratorsFile(configFile, defaults, list, error)) return false;
    for (const std::string& arg : registratorArgs) {
      RegistratorConfig r;
      if (!ParseRegistratorArgument(arg, defaults, r, error)) return false;
      list.push_back(std::move(r));
    }
    if (!CheckRegistrators(list, error)) return false;
  }
  if (!options.tokenFile.empty()) {
    // As ssh does for keys: a secret that others can read is no secret.
    if (platform::ExposedToOthers(options.tokenFile)) {
      error = "the token file " + options.tokenFile + " may be read or written by others than its owner; " +
              "make it private with: chmod 600 " + options.tokenFile;
      return false;
    }
    std::ifstream in(options.tokenFile);
    std::string line;
    if (!in || !std::getline(in, line)) {
      error = "cannot read the token file " + options.tokenFile;
      return false;
    }
    options.config.token = Trimmed(line);
    if (options.config.token.empty()) {
      error = "the token file " + options.tokenFile + " holds no token";
      return false;
    }
    if (options.config.token.size() < kMinTokenLength) {
      error = "the token in " + options.tokenFile + " has " + std::to_string(options.config.token.size()) +
              " characters; the token must be at least " + std::to_string(kMinTokenLength) + " characters";
      return false;
    }
  }
  if (!IsLoopback(options.config.host) && options.config.token.empty()) {
    error = "listening on " + options.config.host + " needs --token-file: refusing to serve the registrator "
            "to the network without a token";
    return false;
  }
  return true;
}

}  // namespace kovrix::server
