#pragma once
// Saving and loading the simulated registrator's state as a text file of "key=value" lines
// (cp1251 values, bytes below 20h, '%' and 7Fh written as %XX), so that a fiscalised simulated
// device stays fiscalised between runs. Keys missing from a file keep their current values.

#include <optional>
#include <string>

#include "sim/model/device_state.h"

namespace kovrix::sim {

/// Answers the text of a state.
std::string SaveStateText(const DeviceState& state);

/// Loads a state text over `state`; false (state unchanged) when the text is not a state file.
bool LoadStateText(const std::string& text, DeviceState& state);

/// Writes the state to a file (through a temporary file and a rename); false on failure.
bool SaveStateFile(const std::string& path, const DeviceState& state);

/// Loads a state file over `state`; false when it cannot be read or is not a state file.
bool LoadStateFile(const std::string& path, DeviceState& state);

}  // namespace kovrix::sim
