#include "sim/model/terminal_session.h"

#include <algorithm>

namespace kovrix::sim {

namespace {

constexpr char kFS = 0x1C;
constexpr std::size_t kMaxMessage = 1000;

const std::string& Ack() {
  static const std::string ack("\x00\x01\x06", 3);
  return ack;
}

}  // namespace

std::string TerminalSession::Frame(std::string_view body) {
  std::string out;
  out += static_cast<char>((body.size() >> 8) & 0xFF);
  out += static_cast<char>(body.size() & 0xFF);
  out.append(body);
  return out;
}

std::string TerminalSession::Field(std::string_view message, std::string_view number) {
  const std::string key = std::string(number) + "=";
  std::size_t at = 0;
  while ((at = message.find(key, at)) != std::string_view::npos) {
    // A field starts the message, follows a separator, or follows the request's 02h byte.
    if (at == 0 || message[at - 1] == kFS || message[at - 1] == 0x02) {
      const std::size_t from = at + key.size();
      const std::size_t end = message.find(kFS, from);
      return std::string(message.substr(from, end == std::string_view::npos ? end : end - from));
    }
    ++at;
  }
  return {};
}

bool TerminalSession::TakeFault(TerminalFault fault) {
  const auto it = std::find(faults_.begin(), faults_.end(), fault);
  if (it == faults_.end()) return false;
  faults_.erase(it);
  return true;
}

std::string TerminalSession::Receive(std::string_view bytes) {
  buffer_.append(bytes);
  std::string out;
  while (buffer_.size() >= 2) {
    const std::size_t length = (static_cast<std::uint8_t>(buffer_[0]) << 8) | static_cast<std::uint8_t>(buffer_[1]);
    if (length == 0 || length > kMaxMessage) {
      // Not a message the terminal can take: resynchronise byte by byte.
      buffer_.erase(0, 1);
      continue;
    }
    if (buffer_.size() < 2 + length) break;
    const std::string body = buffer_.substr(2, length);
    buffer_.erase(0, 2 + length);
    out += Handle(body);
  }
  return out;
}

std::string TerminalSession::Handle(const std::string& body) {
  if (body.size() == 1 && body[0] == 0x06) {
    ++acks_;
    return {};
  }
  if (body.size() == 1 && body[0] == 0x12) {
    ++starts_;
    if (TakeFault(TerminalFault::NoAckToStart)) return {};
    const std::string card = "00=" + card_.terminalId + kFS + "01=" + card_.cardDigits + kFS + "02=" + card_.holder +
                             kFS + "04=" + card_.scheme;
    return Ack() + Frame(card);
  }
  if (!body.empty() && body[0] == 0x02) {
    Purchase p;
    for (const char* number : {"00", "03", "05", "52", "53", "61"}) {
      const std::string v = Field(body, number);
      if (!v.empty()) p.fields[number] = v;
    }
    if (TakeFault(TerminalFault::NoAckToPurchase)) {
      purchases_.push_back(p);
      return {};
    }
    if (TakeFault(TerminalFault::SilentAfterAck)) {
      purchases_.push_back(p);
      return Ack();
    }
    const std::string& amount = p.fields["05"];
    p.approved = p.fields["00"] == card_.terminalId && !amount.empty() &&
                 std::all_of(amount.begin(), amount.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (TakeFault(TerminalFault::Declined)) p.approved = false;
    std::string response = "00=" + card_.terminalId + kFS + "05=" + amount + kFS;
    if (p.approved) {
      p.transaction = std::to_string(nextTransaction_++);
      response += "39=00" + std::string(1, kFS) + "58=" + p.transaction;
    } else {
      response += "39=05";
    }
    purchases_.push_back(p);
    return Ack() + Frame(response);
  }
  // Anything else is acknowledged and ignored.
  return Ack();
}

}  // namespace kovrix::sim
