#pragma once
// The options that come before the subcommand.

#include <string>
#include <vector>

namespace kovrix::cli {

struct Options {
  std::string port;  // name (ttyUSB0) or path (/dev/pts/3)
  int baud = 9600;
  int repeats = 1;      // the link's repeat count
  std::string logFile;  // session log; empty = no log
  bool json = false;
  bool seqReset = false;  // start the sequence at 21h instead of after the previous run's
  bool help = false;
  bool printVersion = false;  // --version
  std::string subcommand;         // empty when none was given
  std::vector<std::string> args;  // the subcommand's arguments, unparsed
};

/// Parses the options up to the first non-option argument (the subcommand) or "--"; what follows
/// belongs to the subcommand, so its arguments may start with '-'. False with a one-line message.
bool ParseOptions(const std::vector<std::string>& argv, Options& options, std::string& error);

/// Takes the defaults of the port, speed, repeat count and session log from an initialisation
/// file as the tool does ("Communication"/"Port" and "Speed", "Fiscal Printer"/"Reply", "LogFile"/
/// "Log" and "LogName"); a missing file or key keeps the built-in default. Call before ParseOptions,
/// so that the command line has the last word.
void LoadProfileDefaults(Options& options, const std::string& iniPath);

/// Parses a whole decimal int (sign allowed); false on anything else or out of range.
bool ParseDecimalInt(const std::string& text, int& value);

}  // namespace kovrix::cli
