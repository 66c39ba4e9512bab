#include "driver/network_port.h"

#include <cctype>

namespace kovrix {
namespace {

constexpr std::string_view kRawScheme = "tcp://";
constexpr std::string_view kTelnetScheme = "rfc2217://";
// The longest host name DNS carries.
constexpr std::size_t kMaxHost = 253;

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
  }
  return true;
}

bool IsHostChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '_';
}

// An IPv6 address as written between brackets: hex digits, ':' and '.', optionally a zone
// ("%eth0"). The resolver checks the rest.
bool IsIpv6Text(std::string_view text) {
  const std::size_t zone = text.find('%');
  const std::string_view address = text.substr(0, zone);
  if (address.find(':') == std::string_view::npos) return false;
  for (const char c : address) {
    if (!std::isxdigit(static_cast<unsigned char>(c)) && c != ':' && c != '.') return false;
  }
  if (zone == std::string_view::npos) return true;
  const std::string_view name = text.substr(zone + 1);
  if (name.empty()) return false;
  for (const char c : name) {
    if (!IsHostChar(c)) return false;
  }
  return true;
}

std::optional<NetworkPort> Refuse(std::string* error, std::string why) {
  if (error) *error = std::move(why);
  return std::nullopt;
}

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

}  // namespace

bool IsNetworkPortName(std::string_view name) {
  return StartsWithNoCase(name, kRawScheme) || StartsWithNoCase(name, kTelnetScheme);
}

std::optional<NetworkPort> ParseNetworkPort(std::string_view name, std::string* error) {
  NetworkPort port;
  std::string_view rest;
  if (StartsWithNoCase(name, kRawScheme)) {
    rest = name.substr(kRawScheme.size());
  } else if (StartsWithNoCase(name, kTelnetScheme)) {
    port.kind = NetworkPort::Kind::Rfc2217;
    rest = name.substr(kTelnetScheme.size());
  } else {
    return Refuse(error, "not a network port (tcp://HOST:PORT or rfc2217://HOST:PORT)");
  }
  std::string_view host;
  std::string_view after;
  if (!rest.empty() && rest.front() == '[') {
    const std::size_t close = rest.find(']');
    if (close == std::string_view::npos) return Refuse(error, "no closing bracket after the IPv6 address");
    host = rest.substr(1, close - 1);
    if (host.empty()) return Refuse(error, "no host given");
    if (!IsIpv6Text(host)) return Refuse(error, "not an IPv6 address in brackets");
    after = rest.substr(close + 1);
  } else {
    const std::size_t colon = rest.rfind(':');
    host = rest.substr(0, colon == std::string_view::npos ? rest.size() : colon);
    if (host.empty()) return Refuse(error, "no host given");
    for (const char c : host) {
      if (c == ':') return Refuse(error, "an IPv6 address must stand in brackets");
      if (!IsHostChar(c)) return Refuse(error, "the host holds a character that no host name has");
    }
    after = colon == std::string_view::npos ? std::string_view() : rest.substr(colon);
  }
  if (host.size() > kMaxHost) return Refuse(error, "the host name is too long");
  if (after.empty() || after.front() != ':') return Refuse(error, "no port number given (HOST:PORT)");
  const std::string_view digits = after.substr(1);
  if (digits.empty() || digits.size() > 5) return Refuse(error, "the port number is not 1..65535");
  int value = 0;
  for (const char c : digits) {
    if (c < '0' || c > '9') return Refuse(error, "the port number is not 1..65535");
    value = value * 10 + (c - '0');
  }
  if (digits.front() == '0' || value < 1 || value > 65535) return Refuse(error, "the port number is not 1..65535");
  port.host = Lower(host);
  port.port = value;
  return port;
}

std::string HostPortText(const NetworkPort& port) {
  const bool v6 = port.host.find(':') != std::string::npos;
  return (v6 ? "[" + port.host + "]" : port.host) + ":" + std::to_string(port.port);
}

std::string CanonicalNetworkName(const NetworkPort& port) { return std::string(kRawScheme) + HostPortText(port); }

}  // namespace kovrix
