#pragma once
// A command line of a script: code, password, separator and data in fixed columns, sent
// through the monitor's boxes.

#include <string_view>

#include "monitor/script/script_host.h"

namespace kovrix::script {

enum class CommandOutcome { Done, Stopped };

/// Sends a command line: characters 1-2 go to the code box, 3-8 to the password box, 10 on to
/// the data box; character 9 separates password and data in the data text. Answers Stopped when
/// the stop flag was set by the time the command succeeded. Throws ScriptFailure for a line
/// shorter than nine characters, a reply-less command or a reply with an error code.
CommandOutcome ExecuteCommandLine(ScriptHost& host, std::string_view line);

}  // namespace kovrix::script
