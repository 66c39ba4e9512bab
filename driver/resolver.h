#pragma once
// Host names of converters resolved within a deadline: the system resolver runs on a thread of
// its own, so that a resolver that never answers costs the caller its deadline and no more. A
// name asked again shortly after answers the same addresses at once (a detection run opens a
// port at many speeds), and every address is written in one numeric form, so that the aliases
// of one converter ("localhost", "127.1", "0x7f000001", "::ffff:127.0.0.1") name one line.

#include <functional>
#include <string>
#include <vector>

namespace kovrix::net {

/// One address of a resolved name.
struct Address {
  int family = 0;         // the system's address family
  std::string sockaddr;   // the system's socket address for the port, as bytes
  std::string text;       // numeric, an IPv4-mapped IPv6 address written as IPv4, IPv6 without brackets
};

struct Resolution {
  std::vector<Address> addresses;  // in the order to try them; empty on failure
  std::string failure;             // why nothing was found ("name not resolved (...)"), empty on success
};

/// How long an answer is reused for the same host and port.
inline constexpr int kResolutionReuseMs = 30000;

/// Called now and then while a caller waits for the network (a name, a connection), at least
/// every kWaitTickMs, so that a window can repaint meanwhile; empty: nobody is told.
using WaitTick = std::function<void()>;
inline constexpr int kWaitTickMs = 25;

/// Resolves host for the port within timeoutMs; never blocks longer. A failure names the cause:
/// "name not resolved (...)" from the resolver, or "name not resolved: no answer from the
/// resolver within N ms". Addresses are deduplicated by their numeric text.
Resolution Resolve(const std::string& host, int port, int timeoutMs, const WaitTick& tick = {});

/// Forgets every kept answer (a user who fixed the name wants it asked again).
void ForgetResolutions();

/// Replaces the system resolver (tests of a resolver that hangs or fails); empty restores it.
/// The function answers like Resolve without a deadline.
void SetResolverForTests(std::function<Resolution(const std::string& host, int port)> resolver);

/// Answers the lock key of an address: "tcp://ADDRESS:PORT" (IPv6 in brackets).
std::string AddressKey(const std::string& text, int port);

}  // namespace kovrix::net
