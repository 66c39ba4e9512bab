#pragma once
// The line speeds the tool offers for the registrator's port, slowest first, as the main window's
// speed list shows them. One list for the window, the command-line client and the port probe.

#include <array>

namespace kovrix {

inline constexpr std::array<int, 11> kBaudRates = {110, 300, 600, 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};

}  // namespace kovrix
