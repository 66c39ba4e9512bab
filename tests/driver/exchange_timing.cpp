// Prints the host time of one exchange over the scripted line: framing, the receive machine,
// decoding and the record, with the session log off. A measurement, not a test.

#include <chrono>
#include <cstdio>

#include "driver/frame.h"
#include "driver/link.h"
#include "support/scripted_line.h"

int main() {
  using namespace kovrix;
  test::ScriptedLine::Shared shared;
  Link link(std::make_unique<test::ScriptedLine>(shared));
  link.SetRepeatCount(1);
  link.SetTiming({50, 0, 0, 0});
  if (link.OpenComPort("bench", 9600) != 0) return 1;

  constexpr int kExchanges = 200000;
  const StatusBytes status{0, 0, 0, 0, 0x11, 0x10};
  std::uint8_t counter = 0;
  double total = 0;
  for (int i = 0; i < kExchanges; ++i) {
    ++counter;
    // The reply is scripted before the exchange starts and is not part of the time measured.
    shared.replies.push_back(BuildReplyFrame(SeqByte(counter), 0x21, "0000", "101226;0930;", status));
    const auto start = std::chrono::steady_clock::now();
    const ReplyRecord* r = link.ExecuteCommand(0x21, "482916;");
    total += std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count();
    if (r->fieldCount != 2) return 1;
    shared.written.clear();
  }
  std::printf("host time of one exchange (21h, 12 data bytes in the reply): %.2f us over %d exchanges\n",
              total / kExchanges, kExchanges);
  return 0;
}
