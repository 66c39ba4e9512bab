#pragma once
// What one port keeps between runs of the command-line client: the link's sequence counter, so
// that a run never starts with the SEQ the previous run ended with (a registrator answers a frame
// equal to the previous one from its memory, without executing it), and the lock that gives one
// run at a time the port. One small file per port under $XDG_STATE_HOME/kovrix (or
// ~/.local/state/kovrix), named after the port's resolved device path (or, for a converter on the
// network, after its host and port).

#include <cstdint>
#include <string>

namespace kovrix::session {

/// Answers the directory of the state files: $XDG_STATE_HOME/kovrix, else $HOME/.local/state/kovrix;
/// empty when neither variable is set.
std::string StateDirectory();

/// Answers the device path a port name or path resolves to (links followed), or an empty text
/// when no such device file exists; for a network port "tcp://ADDRESS:PORT" of the first address
/// its host resolves to (empty when the name is malformed or does not resolve).
std::string ResolvedDevicePath(const std::string& port);

/// Answers the state file's name for a resolved device path ("/" and "%" escaped).
std::string StateFileName(const std::string& devicePath);

class PortState {
 public:
  enum class Lock {
    Held,        // the lock is ours and counter() holds the kept counter (0 for a first run)
    Busy,        // another run held the lock for the whole wait
    Unavailable  // no device file, or the state file cannot be made: the run goes on without it
  };

  PortState() = default;
  ~PortState();
  PortState(const PortState&) = delete;
  PortState& operator=(const PortState&) = delete;

  /// Takes the exclusive lock of the port's state file, waiting up to waitMs, and reads the
  /// counter; a missing or unreadable counter reads as 0 (a first run).
  Lock Acquire(const std::string& port, int waitMs);
  /// Answers the counter read by Acquire.
  std::uint8_t counter() const { return counter_; }
  /// Writes the counter (only while the lock is held); a failed write is ignored, the next run
  /// then continues from an older counter.
  void Store(std::uint8_t counter);
  /// Releases the lock (closing the file).
  void Release();
  /// Answers why the lock is unavailable, for a warning.
  const std::string& why() const { return why_; }

 private:
  int fd_ = -1;
  std::uint8_t counter_ = 0;
  std::string why_;
};

}  // namespace kovrix::session
