// Fuzz target: the link layer end to end on a scripted line. The input chooses the command,
// its data, the repeat count and the USB rule, and gives the bytes the "device" answers to each
// frame written; two commands run in a row so that bytes left over from the first one meet the
// second. Properties: the record stays within its bounds, a link outcome bit stands alone,
// and every repeat is the very frame first sent (same SEQ), so the device can answer it from
// its repeat memory instead of running the command again.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "driver/error_text.h"
#include "driver/link.h"
#include "fuzz/fuzz_check.h"
#include "support/scripted_line.h"

namespace {

using namespace kovrix;

constexpr std::uint32_t kLinkBits = ST_NO_REPLY | ST_NAK | ST_BAD_CHECKSUM;

class Input {
 public:
  Input(const std::uint8_t* data, std::size_t size) : p_(data), end_(data + size) {}
  std::uint8_t Byte() { return p_ < end_ ? *p_++ : 0; }
  std::string Bytes(std::size_t n) {
    n = std::min(n, static_cast<std::size_t>(end_ - p_));
    std::string s(reinterpret_cast<const char*>(p_), n);
    p_ += n;
    return s;
  }
  bool Empty() const { return p_ >= end_; }

 private:
  const std::uint8_t* p_;
  const std::uint8_t* end_;
};

void CheckRecord(const ReplyRecord& r) {
  FUZZ_CHECK(r.fieldCount == static_cast<int>(r.fields.size()));
  FUZZ_CHECK(r.fieldCount <= kMaxReplyFields);
  FUZZ_CHECK(r.errorText.size() <= ReceiveMachine::kErrorFieldCapacity);
  FUZZ_CHECK(r.rawReply.size() <= ReceiveMachine::kRawCapacity);
  const std::uint32_t link = r.status & kLinkBits;
  FUZZ_CHECK(link == 0 || (link == ST_NO_REPLY || link == ST_NAK || link == ST_BAD_CHECKSUM));
  FUZZ_CHECK(link == 0 || (r.status & ~kLinkBits) == 0);
  std::string text;
  GetErrorText(r, text);
}

// Runs one command; answers after checking the record and the frames it wrote.
void RunCommand(Link& link, test::ScriptedLine::Shared& line, int command, const std::string& data, int repeats) {
  const std::size_t before = line.written.size();
  const ReplyRecord* r = link.ExecuteCommand(command, data);
  FUZZ_CHECK(r == &link.Record());
  CheckRecord(*r);
  const std::size_t frames = line.written.size() - before;
  FUZZ_CHECK(frames <= static_cast<std::size_t>(repeats) + 1);
  for (std::size_t i = before + 1; i < line.written.size(); ++i) FUZZ_CHECK(line.written[i] == line.written[before]);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Input in(data, size);
  const int command = in.Byte();
  const std::uint8_t mode = in.Byte();
  const int repeats = mode & 3;
  const std::string sent = in.Bytes(in.Byte());

  test::ScriptedLine::Shared shared;
  // Each reply: a length byte, then that many bytes; length 0 is a silent exchange.
  while (!in.Empty()) shared.replies.push_back(in.Bytes(in.Byte()));

  Link link(std::make_unique<test::ScriptedLine>(shared));
  link.SetTiming({/*silencePasses*/ 2, /*readTimeoutMs*/ 0, /*repeatWaitMs*/ 0, /*usbRepeatWaitMs*/ 0});
  link.SetSleeper([](int) {});
  link.SetRepeatCount(repeats);
  link.SetUsbLinkActive(mode & 4);
  FUZZ_CHECK(link.OpenComPort("ttyS0", 115200) == 0);

  RunCommand(link, shared, command, sent, repeats);
  RunCommand(link, shared, 0x21, "482916;", repeats);
  link.CloseComPort();
  return 0;
}
