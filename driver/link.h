#pragma once
// The frame link layer: one serial link to the registrator, the receive state machine,
// the exchange with its silence wait, and command execution with repeat passes.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "driver/receiver.h"
#include "driver/reply.h"
#include "driver/serial_line.h"
#include "driver/session_log.h"

namespace kovrix {

/// Link timing; tests shrink it through Link::SetTiming.
struct LinkTiming {
  int silencePasses = 50;     // empty reads in a row that end the wait
  int readTimeoutMs = 100;    // one read's time-out
  int repeatWaitMs = 2000;    // before repeating a NAKed or garbled exchange
  int usbRepeatWaitMs = 3000; // before repeating a reply-less exchange over the USB port
};

class Link {
 public:
  explicit Link(std::unique_ptr<SerialLine> line, SessionLog* log = nullptr);

  /// Opens the port; answers 0 or -1 when it cannot be opened.
  int OpenComPort(const std::string& port, int baud);
  /// Discards both queues (what is still unsent is dropped), logs the session end and closes;
  /// answers whether closing succeeded.
  bool CloseComPort();
  /// One exchange; answers -1 without sending when no port is open or an exchange is running.
  int SendFrame(int command, const std::string& data);
  /// One exchange and its repeat passes; answers the reply record.
  const ReplyRecord* ExecuteCommand(int command, const std::string& data);
  /// Sends the last command again; keepSequence false reuses the last SEQ. -1 when not ready.
  int ResendLast(bool keepSequence);
  /// Executes the last command again; null when not ready.
  const ReplyRecord* RepeatCommand(bool keepSequence);

  /// Answers the sequence counter (the SEQ of the last frame sent derives from it).
  std::uint8_t SequenceCounter() const { return seqCounter_; }
  /// Continues the sequence from a counter (a run that follows another on the same port).
  void SetSequenceCounter(std::uint8_t counter) { seqCounter_ = prevSeqCounter_ = counter; }
  /// Called with the sequence counter each time a frame is about to go out, so that the counter
  /// can be kept beyond this process (empty: nobody keeps it).
  void SetSequenceObserver(std::function<void(std::uint8_t)> observer) { onSequence_ = std::move(observer); }

  void SetRepeatCount(int count) { repeatCount_ = count; }
  /// Answers the number of 2-second repeats since the port was opened.
  int GetRepeatCount() const { return repeatsDone_; }
  void SetUsbLinkActive(bool active) { usbLinkActive_ = active; }
  bool UsbLinkActive() const { return usbLinkActive_; }
  bool IsOpen() const { return line_ && line_->isOpen(); }

  void SetTiming(const LinkTiming& timing) { timing_ = timing; }
  const LinkTiming& Timing() const { return timing_; }
  /// Replaces the sleep used for the repeat waits (tests record the waits instead of sleeping).
  void SetSleeper(std::function<void(int ms)> sleeper) { sleep_ = std::move(sleeper); }

  const ReplyRecord& Record() const { return record_; }
  SerialLine& Line() { return *line_; }

 private:
  bool ReceiveByte(int& passCounter);
  bool ReplyHasFrameShape() const;
  /// Answers whether the last exchange must be repeated with the same SEQ: a reply that is not
  /// a well-formed frame, or one whose checksum is wrong. The device answers such a repeat from
  /// its memory, so the command never runs twice.
  bool ReplyNeedsRepeat() const;
  void MarkNotSent(int command, const std::string& data);

  std::unique_ptr<SerialLine> line_;
  SessionLog* log_;
  LinkTiming timing_;
  std::function<void(int)> sleep_;
  std::function<void(std::uint8_t)> onSequence_;
  ReceiveMachine rx_;
  ReplyRecord record_;

  std::uint8_t seqCounter_ = 0;
  std::uint8_t prevSeqCounter_ = 0;
  bool ready_ = false;
  int lastCommand_ = 0;
  std::string lastData_;
  int repeatCount_ = 4;
  int repeatsDone_ = 0;
  bool usbLinkActive_ = false;
};

}  // namespace kovrix
