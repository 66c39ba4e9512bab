// Fuzz target: the telnet layer of an RFC 2217 converter, fed whatever a converter (or anything
// on its port) may send. Properties: the same bytes give the same data, answers and noted settings
// however the network cuts them into reads; no more data comes out than went in, and answers stay
// in proportion to the input (no loop of answers); data escaped for sending reads back unchanged.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "driver/telnet.h"
#include "fuzz/fuzz_check.h"

namespace {

using kovrix::telnet::Session;

struct Outcome {
  std::string data;
  std::string replies;
  std::uint32_t baud = 0;
  int purges = 0;
  bool refused = false;
};

// Feeds the bytes in reads of the given size (0: all at once).
Outcome FeedInReads(std::string_view bytes, std::size_t readSize) {
  Session session;
  Outcome out;
  if (readSize == 0) readSize = bytes.size() + 1;
  for (std::size_t at = 0; at < bytes.size(); at += readSize) session.Feed(bytes.substr(at, readSize), out.data, out.replies);
  out.baud = session.baudAck();
  out.purges = session.purgeAcks();
  out.refused = session.comPortRefused();
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::size_t readSize = 1 + data[0] % 7;
  const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);

  const Outcome whole = FeedInReads(bytes, 0);
  const Outcome pieces = FeedInReads(bytes, readSize);
  FUZZ_CHECK(whole.data == pieces.data);
  FUZZ_CHECK(whole.replies == pieces.replies);
  FUZZ_CHECK(whole.baud == pieces.baud && whole.purges == pieces.purges && whole.refused == pieces.refused);
  FUZZ_CHECK(whole.data.size() <= bytes.size());
  FUZZ_CHECK(whole.replies.size() <= bytes.size());

  const Outcome echoed = FeedInReads(kovrix::telnet::Escape(bytes), readSize);
  FUZZ_CHECK(echoed.data == bytes);
  FUZZ_CHECK(echoed.replies.empty());
  return 0;
}
