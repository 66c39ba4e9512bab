#pragma once
// What the subcommands that talk to the registrator share: opening the link as the options say,
// and reporting a reply or a refusal with the exit status that goes with it.

#include <string>
#include <string_view>

#include "cli/port_state.h"
#include "cli/subcommands.h"
#include "driver/reply.h"

namespace kovrix::cli {

/// How long a run waits for another run on the same port to finish.
inline constexpr int kPortWaitMs = 5000;

/// The open link for one run: takes the port's lock, sets the log file, opens the port, sets the
/// repeat count and continues the port's frame sequence from the previous run (keeping it after
/// every frame); closes the port and releases the lock when it goes out of scope.
class DeviceSession {
 public:
  explicit DeviceSession(const Options& options);
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
  PortState portState_;
};

/// Prints a one-line message on the error stream and answers kExitUsage.
int Fail(Context& context, const std::string& message);

/// Opens the device and prints why when it cannot; answers whether it is open.
bool OpenOrReport(DeviceSession& session, Context& context);

/// Prints the reply (readable or JSON) and answers its exit status: kExitNoReply for no valid
/// reply (silence, NAK, bad checksum), kExitDeviceError for an error code, else kExitOk.
int ReportReply(const ReplyRecord& record, Context& context);

/// Reports arguments refused by a command function (its negative code) and answers kExitUsage.
int ReportRefusal(std::string_view function, int err, Context& context);

/// Answers what a negative argument-check code of a command API function means.
std::string RefusalText(std::string_view function, int err);

}  // namespace kovrix::cli
