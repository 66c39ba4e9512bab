#pragma once
// Names of registrators reached over the network through a serial-to-Ethernet converter:
// "tcp://HOST:PORT" (the converter's raw socket) and "rfc2217://HOST:PORT" (telnet with the
// COM-port option, so that the line speed travels to the converter).

#include <optional>
#include <string>
#include <string_view>

namespace kovrix {

struct NetworkPort {
  enum class Kind { RawTcp, Rfc2217 };
  Kind kind = Kind::RawTcp;
  std::string host;  // as given, lower case; an IPv6 address without its brackets
  int port = 0;      // 1..65535
};

/// Answers whether the name asks for a network port (starts with "tcp://" or "rfc2217://", in
/// any case); such a name is never a device file.
bool IsNetworkPortName(std::string_view name);

/// Parses a network port name; on failure answers nothing and, when error is given, says why.
/// Strict: a host of letters, digits, '.', '-' and '_' (or an IPv6 address in brackets), a port
/// of decimal digits 1..65535 without leading zeros, nothing before or after.
std::optional<NetworkPort> ParseNetworkPort(std::string_view name, std::string* error = nullptr);

/// Answers "HOST:PORT" of the port (an IPv6 address in brackets), for messages.
std::string HostPortText(const NetworkPort& port);

/// Answers the name the port is known by for its lock and its kept frame sequence:
/// "tcp://HOST:PORT" for both kinds, as both reach the same serial line of the converter.
std::string CanonicalNetworkName(const NetworkPort& port);

}  // namespace kovrix
