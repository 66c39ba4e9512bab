#include "driver/link.h"

#include <chrono>
#include <cstdio>
#include <thread>

namespace kovrix {
namespace {

void SleepMs(int ms) {
  if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

std::string Hex(unsigned value) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%X", value);
  return buf;
}

}  // namespace

Link::Link(std::unique_ptr<SerialLine> line, SessionLog* log)
    : line_(std::move(line)), log_(log), sleep_(SleepMs) {}

int Link::OpenComPort(const std::string& port, int baud) {
  repeatsDone_ = 0;
  // Ready only once the port is really open: a link that failed to open must not
  // write frames into nothing and then wait out the silence.
  rx_.setReady(false);
  if (!line_->open(port, baud)) return -1;
  rx_.setReady(true);
  if (log_) log_->WriteLog("", "x");
  return 0;
}

bool Link::CloseComPort() {
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

bool Link::ReceiveByte(int& passCounter) {
  std::uint8_t byte = 0;
  switch (line_->readByte(byte, timing_.readTimeoutMs)) {
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
  rx_.Feed(byte);
  return true;
}

int Link::SendFrame(int command, const std::string& data) {
  if (!rx_.ready() || !line_->isOpen() || data.size() > kMaxFrameData) return -1;
  lastData_ = data;
  lastCommand_ = command;
  prevSeqCounter_ = seqCounter_;
  ++seqCounter_;
  if (onSequence_) onSequence_(seqCounter_);
  rx_.BeginExchange();

  const std::uint8_t seq = SeqByte(seqCounter_);
  if (log_) log_->WriteExchange(Hex(seq), Hex(static_cast<unsigned>(command)) + data);

  record_.command = command;
  record_.sentFrame = BuildRequestFrame(seq, static_cast<std::uint8_t>(command), data);
  line_->purge();
  line_->write(record_.sentFrame);

  int pass = 0;
  while (pass < timing_.silencePasses) {
    while (!rx_.frameComplete() && ReceiveByte(pass)) {
    }
    if (rx_.ready()) break;
    ++pass;
  }

  rx_.clearFrameComplete();
  DecodeReply(rx_.Collected(), command, lastData_, record_);
  record_.rawReply = rx_.rawReply();
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

void Link::MarkNotSent(int command, const std::string& data) {
  record_.command = command;
  record_.commandName = GetCommandName(command);
  record_.sentData = data;
  record_.status = ST_NO_REPLY;
  record_.statusBytes.fill(0);
  record_.replyData.clear();
  record_.fields.clear();
  record_.fieldCount = 0;
  record_.sentFrame.clear();
}

const ReplyRecord* Link::ExecuteCommand(int command, const std::string& data) {
  // Nothing can be sent (no open port, or data too long for one frame): answer a record that
  // says so at once, rather than the previous reply or a series of futile repeats.
  if (SendFrame(command, data) != 0) {
    MarkNotSent(command, data);
    return &record_;
  }
  for (int pass = 1; pass <= repeatCount_; ++pass) {
    if (ReplyNeedsRepeat()) {
      sleep_(timing_.repeatWaitMs);
      ++repeatsDone_;
      ResendLast(false);
    } else if ((record_.status & ST_NO_REPLY) && usbLinkActive_) {
      sleep_(timing_.usbRepeatWaitMs);
      ResendLast(false);
    }
  }
  return &record_;
}

int Link::ResendLast(bool keepSequence) {
  if (!rx_.ready()) return -1;
  if (!keepSequence) seqCounter_ = prevSeqCounter_;
  return SendFrame(lastCommand_, lastData_);
}

const ReplyRecord* Link::RepeatCommand(bool keepSequence) {
  if (!rx_.ready() || !line_->isOpen()) return nullptr;
  if (!keepSequence) seqCounter_ = prevSeqCounter_;
  return ExecuteCommand(lastCommand_, lastData_);
}

}  // namespace kovrix
