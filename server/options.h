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

/// The shortest bearer token taken: a short one is guessed soon, however slow the tries are.
inline constexpr std::size_t kMinTokenLength = 16;

struct ServerOptions {
  ServerConfig config;
  std::string tokenFile;
  bool help = false;
  bool version = false;
};

/// Parses the arguments (without the program name) over defaults already in options; false with
/// a one-line message. A non-loopback address without a token file is refused, and a token file
/// is read here (its first line, blanks trimmed; a token shorter than kMinTokenLength is refused,
/// and so is a file that the group or others may read or write: the message names the file and
/// the chmod that fixes it). The speed must be one of the line speeds (kBaudRates), the repeat
/// count 0..kMaxRepeats.
bool ParseServerOptions(const std::vector<std::string>& args, ServerOptions& options, std::string& error);

/// Creates the session log files that do not exist yet (of the -p form's registrator or of each
/// one configured) for their owner alone (0600), whatever the umask: the log holds every frame
/// sent, passwords included. An existing file is left as it is; false with a message naming the
/// file when one cannot be created.
bool CreatePrivateLogs(const ServerConfig& config, std::string& error);

/// Splits HOST:PORT ("[::1]:8720" for IPv6); false when it is not of that form.
bool SplitListen(const std::string& text, std::string& host, int& port);

/// Answers the usage text.
std::string ServerUsage();

}  // namespace kovrix::server
