#include "driver/telnet.h"

namespace kovrix::telnet {
namespace {

bool WeOffer(std::uint8_t option) { return option == kBinary || option == kSuppressGoAhead || option == kComPort; }
bool WeAccept(std::uint8_t option) { return option == kBinary || option == kSuppressGoAhead; }

void Command(std::string& out, std::uint8_t verb, std::uint8_t option) {
  out += static_cast<char>(kIAC);
  out += static_cast<char>(verb);
  out += static_cast<char>(option);
}

}  // namespace

std::string Escape(std::string_view data) {
  std::string out;
  out.reserve(data.size() + 8);
  for (const char c : data) {
    out += c;
    if (static_cast<std::uint8_t>(c) == kIAC) out += c;
  }
  return out;
}

std::string ComPortCommand(std::uint8_t code, std::string_view value) {
  std::string out{static_cast<char>(kIAC), static_cast<char>(kSB), static_cast<char>(kComPort), static_cast<char>(code)};
  out += Escape(value);
  out += static_cast<char>(kIAC);
  out += static_cast<char>(kSE);
  return out;
}

std::string SetBaudRate(std::uint32_t baud) {
  const char value[4] = {static_cast<char>(baud >> 24), static_cast<char>(baud >> 16), static_cast<char>(baud >> 8),
                         static_cast<char>(baud)};
  return ComPortCommand(kSetBaudRate, std::string_view(value, 4));
}

std::string Session::Greeting() {
  std::string out;
  for (const std::uint8_t option : {kBinary, kSuppressGoAhead, kComPort}) {
    Command(out, kWILL, option);
    localAsked_[option] = true;
  }
  for (const std::uint8_t option : {kBinary, kSuppressGoAhead}) {
    Command(out, kDO, option);
    remoteAsked_[option] = true;
  }
  return out;
}

// Answers follow RFC 1143's rule against loops: a request that confirms the present state, or
// answers our own request, gets no answer.
void Session::Negotiate(std::uint8_t verb, std::uint8_t option, std::string& replies) {
  switch (verb) {
    case kDO:
      if (localAsked_[option]) {
        localAsked_[option] = false;
        local_[option] = true;
      } else if (!local_[option]) {
        if (WeOffer(option)) {
          local_[option] = true;
          Command(replies, kWILL, option);
        } else {
          Command(replies, kWONT, option);
        }
      }
      break;
    case kDONT:
      if (option == kComPort) comPortRefused_ = true;
      if (localAsked_[option]) {
        localAsked_[option] = false;
      } else if (local_[option]) {
        Command(replies, kWONT, option);
      }
      local_[option] = false;
      break;
    case kWILL:
      if (remoteAsked_[option]) {
        remoteAsked_[option] = false;
        remote_[option] = true;
      } else if (!remote_[option]) {
        if (WeAccept(option)) {
          remote_[option] = true;
          Command(replies, kDO, option);
        } else {
          Command(replies, kDONT, option);
        }
      }
      break;
    case kWONT:
      if (remoteAsked_[option]) {
        remoteAsked_[option] = false;
      } else if (remote_[option]) {
        Command(replies, kDONT, option);
      }
      remote_[option] = false;
      break;
    default:
      break;
  }
}

void Session::SubnegotiationDone() {
  if (subOverflow_ || subLength_ < 2 || sub_[0] != kComPort) return;
  const std::uint8_t code = sub_[1];
  if (code == kServerReply + kSetBaudRate && subLength_ == 6) {
    baudAck_ = static_cast<std::uint32_t>(sub_[2]) << 24 | static_cast<std::uint32_t>(sub_[3]) << 16 |
               static_cast<std::uint32_t>(sub_[4]) << 8 | sub_[5];
  } else if (code == kServerReply + kPurgeData) {
    ++purgeAcks_;
  }
}

void Session::Feed(std::string_view bytes, std::string& data, std::string& replies) {
  for (const char c : bytes) {
    const auto b = static_cast<std::uint8_t>(c);
    switch (state_) {
      case State::Data:
        if (b == kIAC) {
          state_ = State::Iac;
        } else {
          data += c;
        }
        break;
      case State::Iac:
        if (b == kIAC) {
          data += c;  // a doubled IAC is one data byte 255
          state_ = State::Data;
        } else if (b == kWILL || b == kWONT || b == kDO || b == kDONT) {
          verb_ = b;
          state_ = State::Verb;
        } else if (b == kSB) {
          subLength_ = 0;
          subOverflow_ = false;
          state_ = State::Sub;
        } else {
          state_ = State::Data;  // NOP, GA, a stray SE and the like carry nothing for us
        }
        break;
      case State::Verb:
        Negotiate(verb_, b, replies);
        state_ = State::Data;
        break;
      case State::Sub:
        if (b == kIAC) {
          state_ = State::SubIac;
        } else if (subLength_ < kMaxSubnegotiation) {
          sub_[subLength_++] = b;
        } else {
          subOverflow_ = true;
        }
        break;
      case State::SubIac:
        if (b == kIAC) {
          if (subLength_ < kMaxSubnegotiation) {
            sub_[subLength_++] = b;
          } else {
            subOverflow_ = true;
          }
          state_ = State::Sub;
        } else if (b == kSE) {
          SubnegotiationDone();
          state_ = State::Data;
        } else {
          // A subnegotiation cut short by another command: drop it, take the command.
          state_ = State::Iac;
          std::string_view rest(&c, 1);
          Feed(rest, data, replies);
        }
        break;
    }
  }
}

}  // namespace kovrix::telnet
