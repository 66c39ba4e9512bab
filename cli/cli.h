#pragma once
// The command-line client: options, then one subcommand with its arguments.

#include <ostream>
#include <string>
#include <vector>

namespace kovrix::cli {

// Exit statuses.
inline constexpr int kExitOk = 0;           // the device answered without an error
inline constexpr int kExitDeviceError = 1;  // the device answered an error code
inline constexpr int kExitNoReply = 2;      // no valid reply (silence, NAK or a bad checksum)
inline constexpr int kExitUsage = 3;        // usage, port or argument error

/// Runs the command line (arguments without the program name), printing to out and err;
/// answers the exit status.
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

/// Answers the usage text.
std::string UsageText();

}  // namespace kovrix::cli
