#pragma once
// The registrator's side of the line without the I/O: received bytes in, what to send back
// out. It parses request frames, NAKs bad checksums, answers an exact repeat of the previous
// frame (same SEQ, command and data) with the previous reply without executing it again,
// applies the fault plan and writes the journal. Not thread-safe: the owner serialises calls.

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sim/fault_plan.h"
#include "sim/journal.h"
#include "sim/model/registrator.h"
#include "sim/request_parser.h"

namespace kovrix::sim {

/// One answer to send: an optional SYN stream first, then the bytes.
struct Transmission {
  int synMs = 0;
  int synIntervalMs = 20;
  std::string bytes;
  std::size_t requestBytes = 0;  // size of the request frame it answers (for pacing)
};

class DeviceLink {
 public:
  DeviceLink(Registrator& device, FaultPlan& faults, Journal& journal);

  /// Feeds received bytes; answers the transmissions for the frames they completed.
  std::vector<Transmission> Receive(std::string_view bytes);
  /// The host closed the line: forget a half-received frame and leave the USB storage mode.
  void HostGone();
  bool HasPartial() const { return parser_.HasPartial(); }
  /// How long the registrator stays off the line after a command that restarts it.
  void SetBootTime(std::chrono::milliseconds time) { bootTime_ = time; }
  std::chrono::milliseconds BootTime() const { return bootTime_; }
  void ResetPartial() { parser_.Reset(); }

 private:
  std::optional<Transmission> Answer(const RequestFrame& frame);
  std::string Execute(const RequestFrame& frame, JournalEntry& entry);

  Registrator& device_;
  FaultPlan& faults_;
  Journal& journal_;
  RequestParser parser_;
  bool havePrevious_ = false;
  RequestFrame previous_;
  std::string previousReply_;
  std::string previousError_;
  std::chrono::milliseconds bootTime_{2000};
  std::chrono::steady_clock::time_point bootedAt_{};  // frames before it find the device restarting
  std::chrono::steady_clock::time_point deafUntil_{};  // frames before it find the device briefly out
};

}  // namespace kovrix::sim
