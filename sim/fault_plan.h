#pragma once
// Faults the simulated registrator injects on demand, set from tests and from the command
// line. Line faults apply to the next good frames, one step per frame, in the order queued;
// aimed faults apply to the frames of one command (the n-th new one, or every one); command
// failures and status bits stay until cleared. Thread-safe.

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
  int deafMs = 0;         // the device then hears nothing for this long (a brief outage)
};

class FaultPlan {
 public:
  /// Queues a line fault for each of the next n good frames.
  void Queue(LineFault kind, int n = 1);
  /// Queues a SYN stream of ms milliseconds before each of the next n replies.
  void SynBeforeReply(int ms, int n = 1, int intervalMs = 20);
  /// Spoils the reply to the nth new frame of the command (1 = the first from now; a repeat of a
  /// frame does not count), or to every frame of it, repeats included, when nth is 0.
  void Aim(std::uint8_t command, LineFault kind, int nth = 0);
  /// Executes the nth new frame of the command (0 = every), sends no reply, and hears nothing
  /// more for ms milliseconds: the device is briefly silent at that step.
  void SilenceAfter(std::uint8_t command, int nth, int ms);
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
  /// Takes the aimed step for a good frame of the command (repeat: the same frame as the last
  /// one), if any; every aimed fault counts the frame whether or not it fires.
  std::optional<FaultStep> TakeAimed(std::uint8_t command, bool repeat);
  /// Answers the forced error code of a command, if any; a counted failure is used up by asking.
  std::optional<ErrorCode> CommandFailure(std::uint8_t command);
  StatusMasks Masks() const;

 private:
  mutable std::mutex mutex_;
  std::deque<FaultStep> steps_;
  struct AimedFault {
    std::uint8_t command = 0;
    FaultStep step;
    int nth = 0;   // 0 = every frame
    int seen = 0;  // new frames of the command seen so far
  };
  std::deque<AimedFault> aimed_;
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
