#pragma once
// The link layer's transport over a socket to a serial-to-Ethernet converter: "tcp://HOST:PORT"
// carries the bytes as they are (the converter's own line settings apply), "rfc2217://HOST:PORT"
// speaks telnet with the COM-port option and sets the converter's line to the baud rate, 8N1.
// Reads keep the serial line's timing: readByte waits at most its time-out, and a connection the
// converter closed or reset reads as an error at once.

#include <memory>
#include <string>

#include "driver/serial_line.h"

namespace kovrix {

/// How long the network line waits; tests shrink it.
struct NetworkLineTiming {
  int connectMs = 5000;    // resolving and connecting, all addresses together
  int negotiateMs = 2000;  // for the converter to confirm the line speed (RFC 2217)
};
/// Sets the timing of network lines opened from now on (process-wide).
void SetNetworkLineTiming(const NetworkLineTiming& timing);
NetworkLineTiming GetNetworkLineTiming();

/// Answers a line that opens only network port names.
std::unique_ptr<SerialLine> MakeNetworkSerialLine();

/// Answers why the last network open in this thread failed ("connection refused", "timed out",
/// "name not resolved", a malformed name, ...); empty after a successful one.
std::string LastNetworkOpenFailure();

}  // namespace kovrix
