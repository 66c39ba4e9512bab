// kovrix-bench: the link's speed against the simulated registrator over a pseudo-terminal.
// Unpaced: exchanges per second and host time per exchange (command 21h). Paced at 115200
// baud: measured time over pure wire time for 1000 exchanges of 21h and for 200 reads of 50
// bytes of flash memory (F1h).


#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "driver/frame.h"
#include "driver/link.h"
#include "sim/cpu_time.h"
#include "sim/device_server.h"

using namespace kovrix;
using Clock = std::chrono::steady_clock;
using sim::CpuSeconds;

namespace {

struct Run {
  int exchanges = 0;
  int failures = 0;
  double seconds = 0;
  double cpuSeconds = 0;
  std::size_t lineBytes = 0;  // request and reply bytes that crossed the line
};

// Runs n exchanges; the data of exchange i comes from makeData(i).
template <class MakeData>
Run Exchanges(Link& link, int command, int n, MakeData makeData) {
  Run r;
  const double cpu0 = CpuSeconds();
  const auto t0 = Clock::now();
  for (int i = 0; i < n; ++i) {
    const ReplyRecord* rec = link.ExecuteCommand(command, makeData(i));
    ++r.exchanges;
    if (rec == nullptr || rec->status & (ST_NO_REPLY | ST_NAK | ST_BAD_CHECKSUM) || rec->errorText != "0000") {
      ++r.failures;
      continue;
    }
    r.lineBytes += rec->sentFrame.size() + rec->rawReply.size();
  }
  r.seconds = std::chrono::duration<double>(Clock::now() - t0).count();
  r.cpuSeconds = CpuSeconds() - cpu0;
  return r;
}

double WireSeconds(const Run& r, int baud) { return static_cast<double>(r.lineBytes) * 10.0 / baud; }

}  // namespace

int main(int argc, char** argv) {
  int unpacedCount = 20000;
  if (argc > 2 || (argc == 2 && (unpacedCount = std::atoi(argv[1])) <= 0)) {
    std::fprintf(stderr,
                 "usage: kovrix-bench [N]\n"
                 "  N unpaced exchanges of 21h (default 20000), then paced at 115200 baud 1000 x 21h and\n"
                 "  200 x F1h of 50 bytes, each against the simulated registrator on a pseudo-terminal\n");
    return 2;
  }
  sim::DeviceServer server;
  if (!server.start()) {
    std::fprintf(stderr, "kovrix-bench: cannot open a pseudo-terminal\n");
    return 1;
  }
  Link link(MakeSystemSerialLine());
  if (link.OpenComPort(server.slavePath(), 115200) != 0) {
    std::fprintf(stderr, "kovrix-bench: cannot open %s\n", server.slavePath().c_str());
    return 1;
  }
  const auto dateTime = [](int) { return std::string("482916;"); };
  const auto flashRead = [](int i) { return "482916;" + std::to_string(i * 50) + ";"; };

  Exchanges(link, 0x21, 200, dateTime);  // warm-up
  const Run fast = Exchanges(link, 0x21, unpacedCount, dateTime);
  std::printf("unpaced 21h: %d exchanges in %.3f s: %.0f exchanges/s, %.1f us per exchange, %.1f us CPU "
              "(host and simulator) per exchange, %d failed\n",
              fast.exchanges, fast.seconds, fast.exchanges / fast.seconds, fast.seconds / fast.exchanges * 1e6,
              fast.cpuSeconds / fast.exchanges * 1e6, fast.failures);

  constexpr int kBaud = 115200;
  server.setPace(kBaud);
  Exchanges(link, 0x21, 20, dateTime);  // warm-up at pace
  const Run paced = Exchanges(link, 0x21, 1000, dateTime);
  const Run flash = Exchanges(link, 0xF1, 200, flashRead);
  for (const auto& [name, r] : {std::pair<const char*, const Run&>{"1000 x 21h", paced}, {"200 x F1h (50 bytes)", flash}}) {
    const double wire = WireSeconds(r, kBaud);
    std::printf("paced %d baud, %s: measured %.3f s, wire %.3f s, ratio %.4f, %.1f us over the wire time per "
                "exchange, %d failed\n",
                kBaud, name, r.seconds, wire, r.seconds / wire, (r.seconds - wire) / r.exchanges * 1e6, r.failures);
  }
  link.CloseComPort();
  server.stop();
  return fast.failures + paced.failures + flash.failures == 0 ? 0 : 1;
}
