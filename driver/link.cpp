#include "driver/link.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>

namespace kovrix {
namespace {

void SleepMs(int ms) {
  if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

std::int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

std::string Hex(unsigned value) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%X", value);
  return buf;
}

}  // namespace

Link::Link(std::unique_ptr<SerialLine> line, SessionLog* log)
    : line_(std::move(line)), log_(log), sleep_(SleepMs) {
  // Opening a converter's port waits for its name and connection: the watcher is told meanwhile.
  line_->setWaitTick([this] { TellWaiting(false); });
}

int Link::OpenComPort(const std::string& port, int baud) {
  repeatsDone_ = 0;
  reconnectPending_ = false;
  // Ready only once the port is really open: a link that failed to open must not
  // write frames into nothing and then wait out the silence.
  rx_.setReady(false);
  const WatchScope watching(*this);
  if (!line_->open(port, baud)) return -1;
  // A frame the cut left unfinished concerns that port only; a reopened line starts clean (a late
  // reply is still told apart by its SEQ).
  if (port != port_) cutSuspected_ = false;
  settleFirst_ = false;
  port_ = port;
  baud_ = baud;
  rx_.setReady(true);
  if (log_) log_->WriteLog("", "x");
  return 0;
}

bool Link::CloseComPort() {
  // The line is not pulled from under a running exchange (a close from something the watcher let run).
  if (watchDepth_ > 0) return false;
  // A lost connection that could not be made again is closed already.
  if (reconnectPending_ && !line_->isOpen()) {
    reconnectPending_ = false;
    if (log_) log_->WriteLog("x", "");
    rx_.setReady(false);
    return true;
  }
  // Only a session that was opened gets its end entry.
  if (!line_->isOpen()) return false;
  // Closing does not wait for the output to drain: a device that stopped reading must not hold
  // the close up.
  line_->discard();
  if (log_) log_->WriteLog("x", "");
  repeatsDone_ = 0;
  rx_.setReady(false);
  return line_->close();
}

Link::WatchScope::WatchScope(Link& link) : link_(link) {
  if (link_.watchDepth_++ == 0 && link_.watcher_) {
    link_.watcher_->ExchangeBegins();
    link_.lastToldMs_ = NowMs();
  }
}

Link::WatchScope::~WatchScope() {
  if (--link_.watchDepth_ == 0 && link_.watcher_) link_.watcher_->ExchangeEnds();
}

void Link::TellWaiting(bool always) {
  if (!watcher_ || watchDepth_ == 0) return;
  const std::int64_t now = NowMs();
  if (!always && now - lastToldMs_ < kWatchSliceMs) return;
  watcher_->ExchangeWaits();
  lastToldMs_ = NowMs();
}

SerialLine::ReadResult Link::ReadWatched(std::uint8_t& byte) {
  if (!watcher_ || watchDepth_ == 0) return line_->readByte(byte, timing_.readTimeoutMs);
  // The read time-out is waited out in slices, so that the window is repainted while the device is
  // silent; the slices together still make one read time-out of silence.
  int left = timing_.readTimeoutMs;
  for (;;) {
    const int slice = std::min(left, kWatchSliceMs);
    const SerialLine::ReadResult result = line_->readByte(byte, slice);
    TellWaiting();
    left -= slice;
    if (result != SerialLine::ReadResult::Timeout || left <= 0) return result;
  }
}

void Link::WaitBeforeRepeat(int ms) {
  if (!watcher_ || watchDepth_ == 0) return sleep_(ms);
  for (int left = ms; left > 0; left -= kWatchSliceMs) {
    sleep_(std::min(left, kWatchSliceMs));
    TellWaiting(true);
  }
}

bool Link::ReceiveByte(int& passCounter) {
  std::uint8_t byte = 0;
  switch (ReadWatched(byte)) {
    case SerialLine::ReadResult::Timeout:
      return false;
    case SerialLine::ReadResult::Error:
      line_->clearError();
      rx_.resetState();
      return false;
    case SerialLine::ReadResult::Byte:
      break;
  }
  passCounter = 0;
  if (byte != kSYN) ++nonSynBytes_;
  rx_.Feed(byte);
  return true;
}

bool Link::ReadyLine() {
  if (line_->lost() || reconnectPending_) {
    cutSuspected_ = true;
    // The converter closed the connection: a new frame goes over a new one.
    line_->close();
    reconnectPending_ = !port_.empty();
    if (port_.empty() || !line_->open(port_, baud_)) return false;
    reconnectPending_ = false;
    settleFirst_ = true;
  }
  if (cutSuspected_) {
    cutSuspected_ = false;
    line_->write(std::string(kCutFillerBytes, '\0'));
    settleFirst_ = true;
  }
  if (settleFirst_) Settle();
  return true;
}

void Link::Settle() {
  settleFirst_ = false;
  const int quietMs = 2 * timing_.readTimeoutMs;
  const int limitMs = std::max(quietMs, timing_.silencePasses * timing_.readTimeoutMs / 5);
  line_->purgeFar(limitMs);
  const std::int64_t deadline = NowMs() + limitMs;
  std::int64_t lastByte = NowMs();
  std::string dropped;
  for (;;) {
    const std::int64_t now = NowMs();
    if (now >= deadline || now - lastByte >= quietMs) break;
    std::uint8_t byte = 0;
    const int slice = static_cast<int>(std::min<std::int64_t>({kWatchSliceMs, deadline - now, quietMs - (now - lastByte)}));
    const SerialLine::ReadResult result = line_->readByte(byte, std::max(1, slice));
    TellWaiting();
    if (result == SerialLine::ReadResult::Error) {
      if (line_->lost()) break;
      line_->clearError();
      continue;
    }
    if (result != SerialLine::ReadResult::Byte) continue;
    lastByte = NowMs();
    if (dropped.size() < ReceiveMachine::kRawCapacity) dropped += static_cast<char>(byte);
  }
  if (dropped.empty()) return;
  ++counters_.strays;
  if (log_) log_->WriteExchange("stray", dropped);
}

bool Link::IsStray(std::uint8_t seq, int command) const {
  if (!rx_.frameComplete() || !rx_.ready() || rx_.nakReceived() || !rx_.checksumMatches()) return false;
  return rx_.receivedSeqByte() != seq || rx_.receivedCommand() != static_cast<std::uint8_t>(command);
}

int Link::SendFrame(int command, const std::string& data) {
  // Nothing starts while an exchange runs (a call from something the watcher let run).
  if (watchDepth_ > 0) return -1;
  return SendFrameNow(command, data);
}

int Link::SendFrameNow(int command, const std::string& data) {
  if (!rx_.ready() || (!line_->isOpen() && !reconnectPending_) || data.size() > kMaxFrameData) return -1;
  const WatchScope watching(*this);
  ++counters_.frames;
  if (!ReadyLine()) return -1;
  lastData_ = data;
  lastCommand_ = command;
  prevSeqCounter_ = seqCounter_;
  ++seqCounter_;
  if (onSequence_) onSequence_(seqCounter_);
  rx_.BeginExchange();
  nonSynBytes_ = 0;

  const std::uint8_t seq = SeqByte(seqCounter_);
  if (log_) log_->WriteExchange(Hex(seq), Hex(static_cast<unsigned>(command)) + data);

  record_.command = command;
  record_.sentFrame = BuildRequestFrame(seq, static_cast<std::uint8_t>(command), data);
  line_->purge();
  // A frame the line did not take (a device that vanished, a converter gone) cannot be answered:
  // the record says nothing was sent, at once, rather than after the silence. A write cut short may
  // have left part of a frame in the device: the next frame goes after a filler that ends it.
  if (!line_->write(record_.sentFrame)) {
    cutSuspected_ = true;
    rx_.setReady(true);
    if (log_) log_->WriteExchange("not sent", record_.sentFrame);
    return -1;
  }

  // The wait ends after the silence, at the reply to this frame, at a NAK, when the connection is
  // gone, or when the line floods; replies to other frames are logged and the wait goes on.
  LinkFault fault = LinkFault::None;
  const std::int64_t started = NowMs();
  const std::int64_t floodAfterMs = static_cast<std::int64_t>(kFloodSilences) * timing_.silencePasses * timing_.readTimeoutMs;
  auto flooded = [&] {
    return nonSynBytes_ > kFloodBytes ||
           (nonSynBytes_ > static_cast<long>(ReceiveMachine::kRawCapacity) && NowMs() - started > floodAfterMs);
  };
  int pass = 0;
  while (pass < timing_.silencePasses) {
    while (!rx_.frameComplete() && ReceiveByte(pass) && !flooded()) {
    }
    if (IsStray(seq, command)) {
      ++counters_.strays;
      if (log_) log_->WriteExchange(Hex(rx_.receivedSeqByte()) + " stray", rx_.rawReply());
      rx_.DropFrame();
      settleFirst_ = true;
      continue;
    }
    if (rx_.ready()) break;
    if (line_->lost()) {
      fault = LinkFault::Closed;
      cutSuspected_ = true;
      break;
    }
    if (flooded()) {
      fault = LinkFault::Flood;
      break;
    }
    ++pass;
  }

  rx_.clearFrameComplete();
  DecodeReply(rx_.Collected(), command, lastData_, record_);
  record_.rawReply = rx_.rawReply();
  record_.linkFault = (record_.status & ST_NO_REPLY) ? fault : LinkFault::None;
  if (record_.status & (ST_NO_REPLY | ST_NAK | ST_BAD_CHECKSUM)) settleFirst_ = true;
  if (record_.status & ST_NO_REPLY) ++counters_.timeouts;
  if (record_.status & ST_NAK) ++counters_.naks;
  if (record_.status & ST_BAD_CHECKSUM) ++counters_.badChecksums;
  rx_.setReady(true);

  if (log_) {
    char tag[40];
    std::snprintf(tag, sizeof tag, "%X SYN=%ld", static_cast<unsigned>(rx_.receivedSeqByte()), rx_.synCount());
    log_->WriteExchange(tag, record_.rawReply);
  }
  return 0;
}

bool Link::ReplyHasFrameShape() const {
  const std::string& raw = record_.rawReply;
  const std::size_t n = raw.size();
  auto at = [&](std::size_t i) { return static_cast<std::uint8_t>(raw[i]); };
  return n >= 10 && at(0) == kSOH && at(1) >= 0x30 && at(2) >= 0x20 && at(2) <= 0x7F && at(3) >= 0x20 &&
         raw[8] == ';' && at(n - 1) == kETX && at(n - 6) == kEndMark;
}

bool Link::ReplyNeedsRepeat() const {
  return !ReplyHasFrameShape() || (record_.status & ST_BAD_CHECKSUM) != 0;
}

void Link::MarkNotSent(ReplyRecord& record, int command, const std::string& data) {
  record.command = command;
  record.commandName = GetCommandName(command);
  record.sentData = data;
  record.status = ST_NO_REPLY;
  record.statusBytes.fill(0);
  record.replyData.clear();
  record.fields.clear();
  record.fieldCount = 0;
  record.sentFrame.clear();
  record.linkFault = LinkFault::None;
}

const ReplyRecord* Link::ExecuteCommand(int command, const std::string& data) {
  // A command asked for while an exchange runs (from something the watcher let run) is not sent,
  // and its record is kept apart, so the running exchange's record stays whole.
  if (watchDepth_ > 0) {
    MarkNotSent(refusedRecord_, command, data);
    return &refusedRecord_;
  }
  const WatchScope watching(*this);
  // Nothing can be sent (no open port, or data too long for one frame): answer a record that
  // says so at once, rather than the previous reply or a series of futile repeats.
  if (SendFrameNow(command, data) != 0) {
    MarkNotSent(record_, command, data);
    if (reconnectPending_) {
      record_.linkFault = LinkFault::NotConnected;
    } else if (line_->isOpen() && line_->lost()) {
      record_.linkFault = LinkFault::Closed;
    }
    return &record_;
  }
  for (int pass = 1; pass <= repeatCount_; ++pass) {
    // Nothing more can be learnt from a line that is gone or flooding: no repeats.
    if (record_.linkFault != LinkFault::None) break;
    if (ReplyNeedsRepeat()) {
      WaitBeforeRepeat(timing_.repeatWaitMs);
      ++repeatsDone_;
      ++counters_.repeats;
      Resend(false);
    } else if ((record_.status & ST_NO_REPLY) && usbLinkActive_) {
      WaitBeforeRepeat(timing_.usbRepeatWaitMs);
      ++counters_.repeats;
      Resend(false);
    }
  }
  return &record_;
}

int Link::ResendLast(bool keepSequence) {
  if (watchDepth_ > 0) return -1;
  return Resend(keepSequence);
}

int Link::Resend(bool keepSequence) {
  if (!rx_.ready()) return -1;
  if (!keepSequence) seqCounter_ = prevSeqCounter_;
  return SendFrameNow(lastCommand_, lastData_);
}

const ReplyRecord* Link::RepeatCommand(bool keepSequence) {
  if (watchDepth_ > 0 || !rx_.ready() || !line_->isOpen()) return nullptr;
  if (!keepSequence) seqCounter_ = prevSeqCounter_;
  return ExecuteCommand(lastCommand_, lastData_);
}

}  // namespace kovrix
