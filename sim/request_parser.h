#pragma once
// The device side of the framing: collects request frames from the received bytes.
// A frame is SOH LEN SEQ CMD DATA 05 BCC[4] ETX; LEN gives its length, so any byte may occur
// in the data. Bytes before an SOH are noise; a frame whose length does not end in 05 and ETX
// is dropped from its SOH on, and the search resumes at the next SOH.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kovrix::sim {

struct RequestFrame {
  std::uint8_t seq = 0;
  std::uint8_t command = 0;
  std::string data;
  bool checksumOk = true;
  std::size_t size = 0;  // bytes of the frame on the wire
};

class RequestParser {
 public:
  /// Feeds received bytes; appends every complete frame (good checksum or not) to out.
  void Feed(std::string_view bytes, std::vector<RequestFrame>& out);
  /// Answers whether bytes of an unfinished frame are waiting.
  bool HasPartial() const { return !buffer_.empty(); }
  /// Forgets the bytes of an unfinished frame.
  void Reset() { buffer_.clear(); }

 private:
  std::string buffer_;
};

}  // namespace kovrix::sim
