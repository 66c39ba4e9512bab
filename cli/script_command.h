#pragma once
// script FILE [--quiet]: runs a script file headless through the script engine of the monitor.

#include "cli/subcommands.h"

namespace kovrix::cli {

/// Exit status of a script stopped by SIGINT (128 + the signal's number, as shells report it).
inline constexpr int kExitInterrupted = 130;

/// Runs the script subcommand: trace lines on out and messages on err, in UTF-8. Answers 0 when
/// the run reached the end of the file, 1 when it ended with a message, 2 with a time-out
/// message, 3 for usage, a port or a file that cannot be opened, kExitInterrupted after SIGINT.
int RunScript(Context& context);

}  // namespace kovrix::cli
