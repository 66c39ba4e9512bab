#pragma once
// The telnet side of a converter's RFC 2217 port, without I/O: data bytes escaped for sending,
// received bytes split into data and telnet commands, option negotiation answered, and the
// converter's answers to the COM-port settings noted. Every byte is taken one at a time and a
// subnegotiation is kept only up to a fixed length, so any input is safe.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kovrix::telnet {

inline constexpr std::uint8_t kIAC = 255;
inline constexpr std::uint8_t kDONT = 254;
inline constexpr std::uint8_t kDO = 253;
inline constexpr std::uint8_t kWONT = 252;
inline constexpr std::uint8_t kWILL = 251;
inline constexpr std::uint8_t kSB = 250;
inline constexpr std::uint8_t kSE = 240;

inline constexpr std::uint8_t kBinary = 0;
inline constexpr std::uint8_t kSuppressGoAhead = 3;
inline constexpr std::uint8_t kComPort = 44;

// COM-port commands from client to converter; the converter answers each with code + 100.
inline constexpr std::uint8_t kSetBaudRate = 1;
inline constexpr std::uint8_t kSetDataSize = 2;
inline constexpr std::uint8_t kSetParity = 3;
inline constexpr std::uint8_t kSetStopSize = 4;
inline constexpr std::uint8_t kPurgeData = 12;
inline constexpr std::uint8_t kServerReply = 100;

inline constexpr std::uint8_t kParityNone = 1;
inline constexpr std::uint8_t kOneStopBit = 1;
inline constexpr std::uint8_t kPurgeBoth = 3;

/// The longest subnegotiation kept; longer ones are read to their end and ignored.
inline constexpr std::size_t kMaxSubnegotiation = 64;

/// Answers the bytes with every IAC doubled, as telnet sends data.
std::string Escape(std::string_view data);

/// Answers one COM-port subnegotiation: IAC SB COM-PORT code value IAC SE (the value escaped).
std::string ComPortCommand(std::uint8_t code, std::string_view value);
/// Answers SET-BAUDRATE with the rate as four bytes, most significant first.
std::string SetBaudRate(std::uint32_t baud);

class Session {
 public:
  /// Answers what the client says on connecting: it will do binary, suppress go-ahead and the
  /// COM-port option, and asks the converter for binary and suppress go-ahead.
  std::string Greeting();

  /// Takes received bytes; appends the data among them to data, and the answers the converter's
  /// requests need to replies.
  void Feed(std::string_view bytes, std::string& data, std::string& replies);

  /// Answers whether the converter refused the COM-port option.
  bool comPortRefused() const { return comPortRefused_; }
  /// Answers the line speed the converter last reported after SET-BAUDRATE (0: none yet).
  std::uint32_t baudAck() const { return baudAck_; }
  /// Answers how many PURGE-DATA answers the converter has sent.
  int purgeAcks() const { return purgeAcks_; }

 private:
  enum class State { Data, Iac, Verb, Sub, SubIac };
  void Negotiate(std::uint8_t verb, std::uint8_t option, std::string& replies);
  void SubnegotiationDone();

  State state_ = State::Data;
  std::uint8_t verb_ = 0;
  std::uint8_t sub_[kMaxSubnegotiation] = {};
  std::size_t subLength_ = 0;
  bool subOverflow_ = false;
  // Per option: enabled on our side (we WILL) / on the converter's side (it WILLs), and whether
  // we asked for it and wait for the answer.
  bool local_[256] = {};
  bool remote_[256] = {};
  bool localAsked_[256] = {};
  bool remoteAsked_[256] = {};
  bool comPortRefused_ = false;
  std::uint32_t baudAck_ = 0;
  int purgeAcks_ = 0;
};

}  // namespace kovrix::telnet
