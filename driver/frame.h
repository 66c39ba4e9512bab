#pragma once
// The registrator's frame format, shared by the host link and the simulated device.
//
// Request:  SOH LEN SEQ CMD DATA 05 BCC[4] ETX        LEN = 0x20 + n + 4
// Reply:    SOH LEN SEQ CMD ERR ';' DATA 04 ST[6] 05 BCC[4] ETX   LEN = 0x30 + n
// BCC is the sum of the bytes from LEN through the 05, low 16 bits, as four characters 0x30 + nibble.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace kovrix {

inline constexpr std::uint8_t kSOH = 0x01;
inline constexpr std::uint8_t kETX = 0x03;
inline constexpr std::uint8_t kStatusSeparator = 0x04;
inline constexpr std::uint8_t kEndMark = 0x05;
inline constexpr std::uint8_t kNAK = 0x15;
inline constexpr std::uint8_t kSYN = 0x16;

/// Longest data text a request frame can carry: LEN = 0x20 + n + 4 must fit in one byte.
inline constexpr std::size_t kMaxFrameData = 219;
/// Longest reply data a reply frame can carry: LEN = 0x30 + n.
inline constexpr std::size_t kMaxReplyData = 0xFF - 0x30;

using StatusBytes = std::array<std::uint8_t, 6>;

/// Answers the SEQ byte for a sequence counter value: (counter mod 95) + 0x20.
std::uint8_t SeqByte(std::uint8_t counter);

/// Answers the sum of the bytes, as the frame checksum adds them.
std::uint32_t ByteSum(std::string_view bytes);

/// Answers the four checksum characters of a 16-bit sum, most significant nibble first.
std::string EncodeBcc(std::uint32_t sum);

/// Answers the request frame for a SEQ byte, command and data (data must not exceed kMaxFrameData).
std::string BuildRequestFrame(std::uint8_t seq, std::uint8_t command, std::string_view data);

/// Answers a reply frame; errorField is written before the ';' (normally four hexadecimal digits),
/// status bytes go out with their top bit set, data beyond kMaxReplyData is cut.
std::string BuildReplyFrame(std::uint8_t seq, std::uint8_t command, std::string_view errorField,
                            std::string_view data, const StatusBytes& status);

}  // namespace kovrix
