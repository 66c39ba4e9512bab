#include "screens/sales/card_terminal.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <utility>

#include "driver/serial_line.h"

namespace kovrix {

namespace {

constexpr char kFS = 0x1C;
constexpr char kStart = 0x12;
constexpr char kRequest = 0x02;
constexpr char kAckByte = 0x06;

const std::string& Ack() {
  static const std::string ack("\x00\x01\x06", 3);
  return ack;
}

long long NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

std::string TerminalFrame(std::string_view body) {
  std::string out;
  out += static_cast<char>((body.size() >> 8) & 0xFF);
  out += static_cast<char>(body.size() & 0xFF);
  out.append(body);
  return out;
}

namespace {

// Where the value of field NN lies in a message: its start and its length.
std::optional<std::pair<std::size_t, std::size_t>> FieldSpan(std::string_view message, std::string_view number) {
  const std::string key = std::string(number) + "=";
  std::size_t at = 0;
  while ((at = message.find(key, at)) != std::string_view::npos) {
    // "100=" is not field 00: a field number starts where no digit precedes it.
    if (at == 0 || message[at - 1] < '0' || message[at - 1] > '9') {
      const std::size_t from = at + key.size();
      const std::size_t end = message.find(kFS, from);
      return std::make_pair(from, (end == std::string_view::npos ? message.size() : end) - from);
    }
    ++at;
  }
  return std::nullopt;
}

bool AllDigits(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

std::optional<std::string> TerminalField(std::string_view message, std::string_view number) {
  const auto span = FieldSpan(message, number);
  if (!span) return std::nullopt;
  return std::string(message.substr(span->first, span->second));
}

std::optional<std::string> TerminalAmount(std::string_view amountText) {
  const std::size_t point = amountText.find('.');
  const std::string_view whole = amountText.substr(0, point);
  const std::string_view fraction = point == std::string_view::npos ? std::string_view{} : amountText.substr(point + 1);
  // A third decimal would be rounded away for the terminal but recorded whole by the card payment.
  if (!AllDigits(whole) || !AllDigits(fraction) || fraction.size() > 2 || whole.size() + fraction.size() == 0) {
    return std::nullopt;
  }
  std::string digits = std::string(whole) + std::string(fraction) + std::string(2 - fraction.size(), '0');
  const std::size_t first = digits.find_first_not_of('0');
  if (first == std::string::npos) return std::nullopt;
  digits.erase(0, first);
  if (digits.size() > 10) return std::nullopt;
  return digits;
}

std::string TerminalLogText(std::string_view message) {
  std::string masked(message);
  if (const auto span = FieldSpan(message, "01")) {
    const std::size_t shown = std::min<std::size_t>(4, span->second);
    masked.replace(span->first, span->second - shown, span->second - shown, '*');
  }
  std::string out;
  for (const char c : masked) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == kFS) {
      out += " | ";
    } else if (byte < 0x20) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "<%02X>", byte);
      out += hex;
    } else {
      out += c;
    }
  }
  return out;
}

std::string PurchaseRequest(std::string_view terminalId, std::string_view amountDigits) {
  std::string out(1, kRequest);
  out += "00=";
  out += terminalId;
  out += kFS;
  out += "03=S";
  out += kFS;
  out += "05=";
  out += amountDigits;
  out += kFS;
  out += "52=980";
  out += kFS;
  out += "53=UAH";
  out += kFS;
  out += "61=1";
  return out;
}

std::string MaskedCardLine(std::string_view cardDigits) {
  std::string digits(cardDigits);
  digits.insert(std::min<std::size_t>(4, digits.size()), 1, ' ');
  return "**** **** " + digits;
}

TerminalExchange::TerminalExchange(SerialLine& line, TerminalTiming timing, std::function<bool()> keepWaiting)
    : line_(line), timing_(timing), keepWaiting_(std::move(keepWaiting)) {}

bool TerminalExchange::Send(std::string_view bytes) { return line_.write(bytes); }

bool TerminalExchange::SendMessage(std::string_view body) {
  Log("TERM>", TerminalLogText(body));
  return Send(TerminalFrame(body));
}

void TerminalExchange::Log(const std::string& tag, const std::string& text) const {
  if (log_ && !text.empty()) log_(tag, text);
}

bool TerminalExchange::ReadBytes(std::size_t count, int waitMs, std::string& out, std::string& failure) {
  out.clear();
  const long long deadline = std::min(deadlineMs_, NowMs() + waitMs);
  while (out.size() < count) {
    std::uint8_t byte = 0;
    switch (line_.readByte(byte, timing_.pollMs)) {
      case SerialLine::ReadResult::Byte:
        out += static_cast<char>(byte);
        continue;
      case SerialLine::ReadResult::Error:
        failure = "terminal line read failed";
        return false;
      case SerialLine::ReadResult::Timeout:
        break;
    }
    if (!keepWaiting_()) {
      failure = "cancelled";
      return false;
    }
    if (NowMs() >= deadline) {
      failure = "terminal silent";
      return false;
    }
  }
  return true;
}

bool TerminalExchange::ReadAck(std::string& failure) {
  std::string ack;
  if (!ReadBytes(3, timing_.ackWaitMs, ack, failure)) return false;
  if (ack[2] != kAckByte) {
    failure = "no acknowledgement";
    return false;
  }
  return true;
}

bool TerminalExchange::ReadMessage(std::string& message, std::string& failure) {
  std::string length;
  // The customer may take a while: only the bound of the whole payment applies here.
  if (!ReadBytes(2, timing_.totalMs, length, failure)) return false;
  const std::size_t size = (static_cast<std::uint8_t>(length[0]) << 8) | static_cast<std::uint8_t>(length[1]);
  if (size == 0 || size > kTerminalMaxMessage) {
    failure = "message length " + std::to_string(size) + " out of range";
    return false;
  }
  if (!ReadBytes(size, timing_.totalMs, message, failure)) return false;
  Log("TERM<", TerminalLogText(message));
  if (!Send(Ack())) {
    failure = "terminal line write failed";
    return false;
  }
  return true;
}

std::optional<CardPaymentData> TerminalExchange::Pay(const std::string& amountDigits, std::string& failure) {
  mayHaveCharged_ = false;
  std::optional<CardPaymentData> data = Exchange(amountDigits, failure);
  if (!data) Log("TERM!", failure + (mayHaveCharged_ ? ", the card may have been charged" : ""));
  return data;
}

std::optional<CardPaymentData> TerminalExchange::Exchange(const std::string& amountDigits, std::string& failure) {
  deadlineMs_ = NowMs() + timing_.totalMs;
  if (!SendMessage(std::string(1, kStart))) {
    failure = "terminal line write failed";
    return std::nullopt;
  }
  std::string card;
  if (!ReadAck(failure) || !ReadMessage(card, failure)) return std::nullopt;
  CardPaymentData data;
  const auto terminalId = TerminalField(card, "00");
  if (!terminalId) {
    failure = "card data without field 00";
    return std::nullopt;
  }
  data.terminalId = *terminalId;
  data.cardDigits = TerminalField(card, "01").value_or("");
  data.holder = TerminalField(card, "02").value_or("");
  data.scheme = TerminalField(card, "04").value_or("");

  if (!SendMessage(PurchaseRequest(data.terminalId, amountDigits))) {
    failure = "terminal line write failed";
    return std::nullopt;
  }
  if (!ReadAck(failure)) return std::nullopt;
  // From here on the terminal holds the purchase: until its answer arrives, the card may be charged.
  mayHaveCharged_ = true;
  std::string response;
  if (!ReadMessage(response, failure)) return std::nullopt;
  mayHaveCharged_ = false;
  const auto transaction = TerminalField(response, "58");
  // Without the terminal's transaction identifier the payment cannot be recorded.
  if (!transaction || transaction->empty()) {
    failure = "authorisation without field 58";
    return std::nullopt;
  }
  data.transaction = *transaction;
  return data;
}

}  // namespace kovrix
