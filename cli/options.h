#pragma once
// The options that come before the subcommand.

#include <string>
#include <vector>

#include "session/device_options.h"

namespace kovrix::cli {

/// The device part (port, speed, repeats, log, sequence reset) and the client's own options.
struct Options : session::DeviceOptions {
  bool json = false;
  bool help = false;
  bool printVersion = false;  // --version
  std::string subcommand;         // empty when none was given
  std::vector<std::string> args;  // the subcommand's arguments, unparsed
};

/// Parses the options up to the first non-option argument (the subcommand) or "--"; what follows
/// belongs to the subcommand, so its arguments may start with '-'. False with a one-line message.
bool ParseOptions(const std::vector<std::string>& argv, Options& options, std::string& error);

}  // namespace kovrix::cli
