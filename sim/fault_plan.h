#pragma once
// Faults the simulated registrator injects on demand, set from tests and from the command
// line. Line faults apply to the next good frames, one step per frame, in the order queued;
// command failures and status bits stay until cleared. Thread-safe.

#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <string>

#include "sim/model/device.h"
#include "sim/model/error_code.h"

namespace kovrix::sim {

enum class LineFault {
  Nak,          // answer NAK, do not execute
  Drop,         // ignore the frame: no execution, no answer
  Mute,         // execute, send no reply
  BadChecksum,  // execute, reply with a wrong checksum
  Garble,       // execute, reply with its error-field separator damaged
  Cut,          // execute, send only the first half of the reply
  Syn,          // execute, stream SYN for a while, then reply
};

struct FaultStep {
  LineFault kind = LineFault::Nak;
  int synMs = 0;          // Syn: how long to stream
  int synIntervalMs = 20; // Syn: time between two SYN bytes
};

class FaultPlan {
 public:
  /// Queues a line fault for each of the next n good frames.
  void Queue(LineFault kind, int n = 1);
  /// Queues a SYN stream of ms milliseconds before each of the next n replies.
  void SynBeforeReply(int ms, int n = 1, int intervalMs = 20);
  /// Answers the command with the error code (without executing it) until cleared.
  void FailCommand(std::uint8_t command, ErrorCode code);
  /// Answers the next n requests of the command with the error code, then executes it again.
  void FailCommandTimes(std::uint8_t command, ErrorCode code, int n);
  /// Executes the next request of the command but answers it with this data text (fields joined
  /// by ";") instead of its own: a reply the device's firmware got wrong.
  void ReplaceReplyData(std::uint8_t command, std::string data);
  /// Forces a status bit on or off (byte 0..5, bit 0..6) until cleared.
  void ForceStatusBit(int byte, int bit, bool on);
  /// Drops every queued and standing fault.
  void Clear();

  /// Takes the step for the next good frame, if any.
  std::optional<FaultStep> TakeNext();
  /// Answers the replacement data text of the command's reply, if any; it is used up by asking.
  std::optional<std::string> ReplacedData(std::uint8_t command);
  /// Answers the forced error code of a command, if any; a counted failure is used up by asking.
  std::optional<ErrorCode> CommandFailure(std::uint8_t command);
  StatusMasks Masks() const;

 private:
  mutable std::mutex mutex_;
  std::deque<FaultStep> steps_;
  std::map<std::uint8_t, ErrorCode> failures_;
  struct CountedFailure {
    ErrorCode code;
    int left = 0;
  };
  std::map<std::uint8_t, CountedFailure> countedFailures_;
  std::map<std::uint8_t, std::deque<std::string>> replacedData_;
  StatusMasks masks_;
};

}  // namespace kovrix::sim
