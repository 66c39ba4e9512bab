#pragma once
// detect [--json]: finds registrators on the ports `ports` lists and on the port given with -p.
// The listing is the system's own (cmd_ports.cpp, win32_cmd_ports.cpp); the rest is shared.

#include <functional>
#include <string>
#include <vector>

#include "cli/subcommands.h"
#include "session/detect.h"

namespace kovrix::cli {

/// Answers the names of the ports `ports` lists, in its order, as -p takes them.
std::vector<std::string> ListedPorts();

/// Answers the ports to probe: the listed ones, then the given one (-p) unless it names one of
/// them (the same device under another name or path counts as the same).
std::vector<std::string> PortsToProbe(const std::vector<std::string>& listed, const std::string& given);

/// Answers the readable line of one probed port (without a line end).
std::string DetectedPortLine(const session::DetectedPort& entry);

/// The probe: ports and speeds (fastest first) in, one entry per port out.
using Prober = std::function<std::vector<session::DetectedPort>(const std::vector<std::string>& ports,
                                                                const std::vector<int>& speeds)>;

/// Runs detect over the listed ports (and -p) with the probe: one line per port, or one JSON array
/// with --json. Answers kExitOk when a registrator was found, kExitNoReply when none was,
/// kExitUsage for arguments it does not take.
int Detect(Context& context, const std::vector<std::string>& listed, const Prober& probe);

}  // namespace kovrix::cli
