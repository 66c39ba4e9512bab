#pragma once
// The receive state machine of the host link: takes one byte at a time, does no I/O.

#include <cstddef>
#include <cstdint>
#include <string>

#include "driver/frame.h"
#include "driver/reply.h"

namespace kovrix {

class ReceiveMachine {
 public:
  /// Most non-SYN bytes kept of one exchange; later bytes still run through the machine.
  static constexpr std::size_t kRawCapacity = 305;
  /// Most characters kept of the error field; later ones still count in the checksum.
  static constexpr std::size_t kErrorFieldCapacity = 19;

  /// Prepares for a new exchange: clears what the decoder reads (not the error field), the SYN
  /// count and the link flags, and starts the raw copy over (its old bytes stay until overwritten).
  void BeginExchange();

  /// Forgets a frame that was not the one waited for (a stray reply), so that the wait goes on
  /// for the right one: its data, status bytes and raw copy go; the SYN count stays.
  void DropFrame();

  /// Answers whether the last frame's checksum matched, as the decoder judges it.
  bool checksumMatches() const { return receivedBcc_ == runningSum_; }
  bool nakReceived() const { return nakReceived_; }

  /// Processes one received byte (step R3 and R4 of the receive procedure).
  void Feed(std::uint8_t byte);

  /// What the decoder needs, with the caller's judgement of whether the wait ended properly.
  ReceivedFrame Collected() const;

  bool ready() const { return ready_; }
  void setReady(bool r) { ready_ = r; }
  bool frameComplete() const { return frameComplete_; }
  void clearFrameComplete() { frameComplete_ = false; }
  /// Restarts the machine at state 0 (after a failed read).
  void resetState() { state_ = 0; }
  int state() const { return state_; }
  long synCount() const { return synCount_; }
  std::uint8_t receivedSeqByte() const { return rxSeqByte_; }
  std::uint8_t receivedCommand() const { return rxCommand_; }
  /// The raw reply as the record shows it: bytes up to the first NUL.
  std::string rawReply() const;

 private:
  void Handle(std::uint8_t byte);

  int state_ = 0;
  bool ready_ = false;
  bool frameComplete_ = false;
  bool nakReceived_ = false;
  std::uint32_t runningSum_ = 0;
  std::uint32_t receivedBcc_ = 0;
  std::size_t dataLength_ = 0;
  std::size_t collectIndex_ = 0;
  std::string errorField_;
  std::string data_;
  StatusBytes status_{};
  long synCount_ = 0;
  std::uint8_t rxSeqByte_ = 0;
  std::uint8_t rxCommand_ = 0;
  char raw_[kRawCapacity + 1] = {};
  std::size_t rawIndex_ = 0;
};

}  // namespace kovrix
