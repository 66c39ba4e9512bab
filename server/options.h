#pragma once
// The command line of kovrix-server.

#include <string>
#include <vector>

#include "server/http_service.h"

namespace kovrix::server {

// Exit statuses.
inline constexpr int kExitOk = 0;
inline constexpr int kExitCannotServe = 1;  // the address cannot be bound
inline constexpr int kExitUsage = 3;        // usage error, or an unsafe configuration refused

struct ServerOptions {
  ServerConfig config;
  std::string tokenFile;
  bool help = false;
  bool version = false;
};

/// Parses the arguments (without the program name) over defaults already in options; false with
/// a one-line message. A non-loopback address without a token file is refused, and a token file
/// is read here (its first line, blanks trimmed; an empty token is refused, and so is a file that
/// the group or others may read or write: the message names the file and the chmod that fixes it).
bool ParseServerOptions(const std::vector<std::string>& args, ServerOptions& options, std::string& error);

/// Splits HOST:PORT ("[::1]:8720" for IPv6); false when it is not of that form.
bool SplitListen(const std::string& text, std::string& host, int& port);

/// Answers the usage text.
std::string ServerUsage();

}  // namespace kovrix::server
