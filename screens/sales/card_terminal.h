#pragma once
// The bank payment terminal's line as the card payment drives it. Every message in both
// directions is a two-byte length, high byte first, and that many bytes; each side acknowledges
// the other's messages with 00h 01h 06h. A message is text fields "NN=value" separated by 1Ch.
// The start message 12h gets the card data (fields 00, 01, 02, 04); the purchase request gets the
// authorisation with the transaction identifier in field 58.

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace kovrix {

class SerialLine;

/// Most bytes of one terminal message the host takes.
inline constexpr std::size_t kTerminalMaxMessage = 1000;
/// The line rate of the terminal, whatever rate the main window tried the port at.
inline constexpr int kTerminalBaud = 115200;

/// Answers a message with its two-byte length in front (the body must not exceed 65535 bytes).
std::string TerminalFrame(std::string_view body);

/// Answers the value of field NN of a message: from the first "NN=" that does not follow a digit
/// up to the next 1Ch or the end of the message; nothing when the message has no such field.
std::optional<std::string> TerminalField(std::string_view message, std::string_view number);

/// Answers the typed amount in the terminal's form, whole hundredths as digits ("12.50" and "12.5"
/// give "1250"), taken from the text itself so that the terminal charges exactly the number the
/// card payment records; nothing for a text that is not digits with at most two decimals after
/// one ".", that is not above zero, or that is too large.
std::optional<std::string> TerminalAmount(std::string_view amountText);

/// Answers a terminal message as the session log keeps it: the card number of field 01 masked down
/// to its last four digits, the field separators shown as " | ".
std::string TerminalLogText(std::string_view message);

/// Answers the purchase request body for the terminal identifier (field 00 of the card data) and
/// the amount digits: 02h, then the fields 00, 03=S, 05, 52=980, 53=UAH, 61=1.
std::string PurchaseRequest(std::string_view terminalId, std::string_view amountDigits);

/// Answers the printed card number line: "**** **** " and the card digits with a blank inserted
/// before their fifth character (appended when they are shorter).
std::string MaskedCardLine(std::string_view cardDigits);

/// What the terminal told about one approved payment.
struct CardPaymentData {
  std::string terminalId;   // field 00 of the card data
  std::string cardDigits;   // field 01
  std::string holder;       // field 02
  std::string scheme;       // field 04
  std::string transaction;  // field 58 of the authorisation
};

/// Waits of the exchange: each acknowledgement at most ackWaitMs, the whole payment at most
/// totalMs (the customer's time to pay included); the line is polled every pollMs.
struct TerminalTiming {
  int ackWaitMs = 20000;
  int totalMs = 120000;
  int pollMs = 50;
};

/// Runs one card payment over an open terminal line. keepWaiting is asked between polls of the
/// line (to let the user interface run) and ends the exchange when it answers false.
class TerminalExchange {
 public:
  TerminalExchange(SerialLine& line, TerminalTiming timing, std::function<bool()> keepWaiting);

  /// Answers the card data with the transaction identifier, or nothing when the terminal did not
  /// acknowledge, stayed silent past a bound, sent a message too long or without field 00 or 58,
  /// or the wait was cancelled; failure then says which (for the log, not for the operator).
  std::optional<CardPaymentData> Pay(const std::string& amountDigits, std::string& failure);

  /// Answers whether the last Pay failed after the terminal had acknowledged the purchase request
  /// and before its answer arrived: the card may have been charged although nothing is recorded.
  bool MayHaveCharged() const { return mayHaveCharged_; }

  /// Receives every message of the exchange (tag "TERM>" sent, "TERM<" received; the text as
  /// TerminalLogText gives it) and the failure that ends one (tag "TERM!").
  void SetLog(std::function<void(const std::string& tag, const std::string& text)> log) { log_ = std::move(log); }

 private:
  std::optional<CardPaymentData> Exchange(const std::string& amountDigits, std::string& failure);
  bool Send(std::string_view bytes);
  bool SendMessage(std::string_view body);
  void Log(const std::string& tag, const std::string& text) const;
  bool ReadBytes(std::size_t count, int waitMs, std::string& out, std::string& failure);
  bool ReadAck(std::string& failure);
  bool ReadMessage(std::string& message, std::string& failure);

  SerialLine& line_;
  TerminalTiming timing_;
  std::function<bool()> keepWaiting_;
  long long deadlineMs_ = 0;
  bool mayHaveCharged_ = false;
  std::function<void(const std::string&, const std::string&)> log_;
};

}  // namespace kovrix
