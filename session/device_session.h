#pragma once
// The open link for one run of a program that talks to the registrator (the command-line client,
// the service): the port's lock, the session log, the port opened as the options say and the
// frame sequence kept across runs.

#include <string>

#include "session/device_options.h"
#include "session/port_locks.h"

namespace kovrix::session {

/// How long a run waits for another run on the same port to finish.
inline constexpr int kPortWaitMs = 5000;

/// The open link for one run: takes the port's lock, sets the log file, opens the port, sets the
/// repeat count and continues the port's frame sequence from the previous run (keeping it after
/// every frame); closes the port and releases the lock when it goes out of scope.
class DeviceSession {
 public:
  explicit DeviceSession(const DeviceOptions& options);
  ~DeviceSession();
  DeviceSession(const DeviceSession&) = delete;
  DeviceSession& operator=(const DeviceSession&) = delete;

  /// Answers whether the port is open; otherwise error() tells why.
  bool open() const { return open_; }
  const std::string& error() const { return error_; }
  /// Answers why the sequence could not be kept for this run (empty when it is kept).
  const std::string& warning() const { return warning_; }

 private:
  bool open_ = false;
  std::string error_;
  std::string warning_;
  PortLocks portLocks_;
};

}  // namespace kovrix::session
