#pragma once
// The bank payment terminal's side of its line, without I/O. Every message in both directions
// is a two-byte length (high byte first) and that many bytes; each is acknowledged with the
// one-byte message 06h. The host's start message 12h is answered with the card data (fields
// 00, 01, 02 and 04); its purchase request (02h, then "NN=value" fields separated by 1Ch) with
// the authorisation (field 58, the transaction identifier).

#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace kovrix::sim {

enum class TerminalFault {
  NoAckToStart,     // the next start message gets no answer at all
  NoAckToPurchase,  // the next purchase request gets no answer at all
  SilentAfterAck,   // the next purchase request is acknowledged, then nothing follows
  Declined,         // the next purchase request is declined: the response carries no field 58
};

struct Purchase {
  std::map<std::string, std::string> fields;  // "00", "03", "05", "52", "53", "61", ...
  bool approved = false;
  std::string transaction;
};

struct TerminalCard {
  std::string terminalId = "T0012345";
  std::string cardDigits = "41112222";  // the last eight digits of the card
  std::string holder = "TARAS SHEVCHENKO";
  std::string scheme = "VISA";
};

class TerminalSession {
 public:
  explicit TerminalSession(TerminalCard card = {}) : card_(std::move(card)) {}

  /// Feeds bytes from the host; answers the bytes to send back.
  std::string Receive(std::string_view bytes);
  void QueueFault(TerminalFault fault) { faults_.push_back(fault); }
  /// Forgets a half-received message (the host closed the line).
  void Reset() { buffer_.clear(); }

  const std::vector<Purchase>& purchases() const { return purchases_; }
  int acknowledgements() const { return acks_; }
  int startMessages() const { return starts_; }

  /// Answers the field NN of a message: from "NN=" up to the next 1Ch or the end.
  static std::string Field(std::string_view message, std::string_view number);
  /// Answers a message with its two-byte length in front.
  static std::string Frame(std::string_view body);

 private:
  std::string Handle(const std::string& body);
  bool TakeFault(TerminalFault fault);

  TerminalCard card_;
  std::string buffer_;
  std::deque<TerminalFault> faults_;
  std::vector<Purchase> purchases_;
  int acks_ = 0;
  int starts_ = 0;
  std::uint64_t nextTransaction_ = 604211000001ULL;
};

}  // namespace kovrix::sim
