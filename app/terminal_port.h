#pragma once
// The trial open of the bank-terminal port: the port is opened exclusively, set to the chosen rate
// with 8 data bits, no parity and one stop bit, and closed again. The fiscal receipt screen opens
// it for real when it pays by card.

#include <string>

#include "app/connection_state.h"

namespace kovrix {

/// Prepares the terminal settings for a port name and rate and tries the port; a failure of the
/// open or of the line settings is kept as errno in settings.lastError (0 when all went well).
void PrepareTerminalPort(TerminalPortSettings& settings, const std::string& portName, int baud);

}  // namespace kovrix
