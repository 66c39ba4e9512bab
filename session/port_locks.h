#pragma once
// The locks one run holds on its port. A device file has one. A converter on the network is
// known by the address and port it is reached at, whatever name reached it ("localhost",
// "127.1", "[::ffff:127.0.0.1]" are one line): every address the name resolves to is locked
// before connecting (a converter may drop its present user when a second connection comes in,
// so the lock must come first), and once connected only the connected address's lock, and its
// kept frame sequence, stay.

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "session/port_state.h"

namespace kovrix::session {

/// Answers the lock keys of a port: its resolved device path, or for a network port
/// "tcp://ADDRESS:PORT" of each address its host resolves to (sorted, within the network line's
/// connect bound); empty when there is no such device or the name does not resolve (why tells).
std::vector<std::string> PortLockKeys(const std::string& port, std::string* why = nullptr);

/// Answers the two ports that reach the same line (a device file or a converter's address), or
/// an empty text.
bool SameLine(const std::string& a, const std::string& b);

class PortLocks {
 public:
  /// Takes every lock of the port in one order (so that two runs never wait on each other),
  /// waiting up to waitMs in all: Held when all are held, Busy when one stayed busy (none is then
  /// kept), Unavailable when one cannot be made (the run goes on with those held; why tells).
  PortState::Lock Acquire(const std::string& port, int waitMs);
  /// Keeps only the lock whose key is given (the address the line connected to); does nothing
  /// when no lock has that key.
  void KeepOnly(const std::string& key);
  /// Answers the counter of the first lock kept (0 when none is).
  std::uint8_t counter() const;
  /// Writes the counter to every lock kept.
  void Store(std::uint8_t counter);
  void Release() { locks_.clear(); }
  const std::string& why() const { return why_; }

 private:
  std::vector<std::pair<std::string, std::unique_ptr<PortState>>> locks_;
  std::string why_;
};

}  // namespace kovrix::session
