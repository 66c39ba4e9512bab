#pragma once
// Command line of kovrix-sim and the text forms of its fault switches.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "sim/fault_plan.h"
#include "sim/model/terminal_session.h"

namespace kovrix::sim {

struct SimOptions {
  std::string link;          // symbolic link to the registrator's line
  std::string terminalLink;  // symbolic link to the bank terminal's line
  std::string model;         // empty: factory default or the state file's
  std::string version;        // the protocol version the device reports (--fw-version)
  std::string tape;          // file the printed tape is appended to
  std::string state;         // state file loaded at start and saved at exit
  int tcpPort = -1;          // serve the registrator on 127.0.0.1:tcpPort (0: any); -1: a pseudo-terminal
  int pace = 0;              // baud rate of the simulated line, 0 unpaced
  std::size_t flashSize = 65536;
  std::vector<std::string> faults;
  std::vector<std::string> terminalFaults;
  bool help = false;
  bool printVersion = false;  // --version: print the program's version and exit
};

/// Answers the usage text.
std::string SimUsage();

/// Parses the arguments (without the program name); nothing, with a message, on a bad switch.
std::optional<SimOptions> ParseSimOptions(const std::vector<std::string>& args, std::string& error);

/// Applies one fault switch to the plan: nak:N, drop:N, mute:N, badsum:N, garble:N, cut:N,
/// syn:MS[:N], fail:CC=EEEE (command in hex, error field as sent), status:B.b=0|1; aimed at one
/// command (hex CC, the n-th frame of it or @* every one): nak:CC@n, drop:CC@n, mute:CC@n,
/// badsum:CC@n, garble:CC@n, cut:CC@n, and silent:CC@n:MS (executed, unanswered, then deaf MS ms).
/// Answers false, changing nothing, when the text is not one of these.
bool ApplyFault(const std::string& text, FaultPlan& plan);

/// Answers the terminal fault of noack-start, noack-purchase, silent or decline.
std::optional<TerminalFault> ParseTerminalFault(const std::string& text);

}  // namespace kovrix::sim
