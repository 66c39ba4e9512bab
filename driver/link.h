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

/// Told by the link while it talks to the device, so that a window can keep repainting and keep the
/// user's input out of the exchange. The calls nest: one Begins/Ends pair spans an exchange with all
/// its repeat passes, and Waits comes at least every kWatchSliceMs while the link waits.
class ExchangeWatcher {
 public:
  virtual ~ExchangeWatcher() = default;
  virtual void ExchangeBegins() = 0;
  virtual void ExchangeWaits() = 0;
  virtual void ExchangeEnds() = 0;
};

/// The longest time the link waits without telling its watcher (a read slice is cut into such parts).
inline constexpr int kWatchSliceMs = 25;

/// An exchange ends as a flood (LinkFault::Flood) when this many non-SYN bytes arrived without
/// the reply to its frame...
inline constexpr long kFloodBytes = 4096;
/// ...or when more non-SYN bytes than one reply can hold arrived and the exchange has lasted
/// this many silence bounds (a stream of SYN bytes alone keeps the wait alive, as the device
/// sends it while it works).
inline constexpr int kFloodSilences = 2;
/// Zero bytes sent before the first frame after a lost connection: more than the longest
/// request frame, so that a frame the cut left unfinished in the device ends as garbage and does
/// not swallow the next one. No frame byte is zero.
inline constexpr std::size_t kCutFillerBytes = 230;

/// What the link met since it was made, counted for monitoring; the counts only grow.
struct LinkCounters {
  std::uint64_t frames = 0;        // frames sent or tried, repeats included
  std::uint64_t timeouts = 0;      // frames whose wait ended without a reply
  std::uint64_t naks = 0;          // frames answered with NAK
  std::uint64_t badChecksums = 0;  // replies whose checksum was wrong
  std::uint64_t repeats = 0;       // frames sent again by the repeat passes
  std::uint64_t strays = 0;        // replies to other frames, and late bytes dropped before a frame
};

class Link {
 public:
  explicit Link(std::unique_ptr<SerialLine> line, SessionLog* log = nullptr);

  /// Opens the port; answers 0 or -1 when it cannot be opened. A network line that the converter
  /// closes is opened again at the next frame, with the same name and speed.
  int OpenComPort(const std::string& port, int baud);
  /// Discards both queues (what is still unsent is dropped), logs the session end and closes;
  /// answers whether closing succeeded.
  bool CloseComPort();
  /// One exchange; answers -1 without sending when no port is open or an exchange is running
  /// (also one started from something the watcher let run during another).
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
  bool IsOpen() const { return line_ && (line_->isOpen() || reconnectPending_); }

  void SetTiming(const LinkTiming& timing) { timing_ = timing; }
  const LinkTiming& Timing() const { return timing_; }
  /// Replaces the sleep used for the repeat waits (tests record the waits instead of sleeping).
  void SetSleeper(std::function<void(int ms)> sleeper) { sleep_ = std::move(sleeper); }

  /// Sets who is told about exchanges (null: nobody); the link does not own it.
  void SetExchangeWatcher(ExchangeWatcher* watcher) { watcher_ = watcher; }

  const ReplyRecord& Record() const { return record_; }
  /// Answers what the link met so far (read it on the thread that runs the exchanges).
  const LinkCounters& Counters() const { return counters_; }
  SerialLine& Line() { return *line_; }

 private:
  /// Marks the span of one outer call as an exchange and tells the watcher its begin and end
  /// (nested calls tell nothing more).
  class WatchScope {
   public:
    explicit WatchScope(Link& link);
    ~WatchScope();
    WatchScope(const WatchScope&) = delete;
    WatchScope& operator=(const WatchScope&) = delete;

   private:
    Link& link_;
  };
  int SendFrameNow(int command, const std::string& data);
  /// Before a new frame: connects a lost network line again (false when it cannot be), and
  /// after a fault lets the line fall quiet first.
  bool ReadyLine();
  /// Drops what the line brings until it has been quiet for two read time-outs, within a
  /// bound, so that a late reply to an earlier frame cannot be read as the next frame's.
  void Settle();
  /// Answers whether the complete frame received answers another frame than the one in flight
  /// (its SEQ or command differ); a frame with a bad checksum is not judged.
  bool IsStray(std::uint8_t seq, int command) const;
  int Resend(bool keepSequence);
  bool ReceiveByte(int& passCounter);
  /// Reads one byte within the read time-out, telling the watcher at least every kWatchSliceMs.
  SerialLine::ReadResult ReadWatched(std::uint8_t& byte);
  /// Tells the watcher that the link is waiting, if kWatchSliceMs passed since it was last told.
  void TellWaiting(bool always = false);
  /// The repeat wait, in slices so that the watcher is told while it lasts.
  void WaitBeforeRepeat(int ms);
  bool ReplyHasFrameShape() const;
  /// Answers whether the last exchange must be repeated with the same SEQ: a reply that is not
  /// a well-formed frame, or one whose checksum is wrong. The device answers such a repeat from
  /// its memory, so the command never runs twice.
  bool ReplyNeedsRepeat() const;
  static void MarkNotSent(ReplyRecord& record, int command, const std::string& data);

  std::unique_ptr<SerialLine> line_;
  SessionLog* log_;
  LinkTiming timing_;
  std::function<void(int)> sleep_;
  std::function<void(std::uint8_t)> onSequence_;
  ExchangeWatcher* watcher_ = nullptr;
  int watchDepth_ = 0;
  std::int64_t lastToldMs_ = 0;
  ReceiveMachine rx_;
  ReplyRecord record_;
  ReplyRecord refusedRecord_;  // answered to a command asked for while an exchange runs
  LinkCounters counters_;

  std::uint8_t seqCounter_ = 0;
  std::uint8_t prevSeqCounter_ = 0;
  bool ready_ = false;
  int lastCommand_ = 0;
  std::string lastData_;
  int repeatCount_ = 4;
  int repeatsDone_ = 0;
  bool usbLinkActive_ = false;
  long nonSynBytes_ = 0;     // in the current exchange
  bool settleFirst_ = false; // the last exchange ended in a fault: let the line fall quiet first
  bool cutSuspected_ = false;  // the connection was lost during an exchange
  bool reconnectPending_ = false;  // a lost connection could not be made again yet
  std::string port_;         // as opened, for connecting a lost network line again
  int baud_ = 0;
};

}  // namespace kovrix
