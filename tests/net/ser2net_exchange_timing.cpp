// Prints the time of one 21h exchange with the simulated registrator, unpaced, over its
// pseudo-terminal directly and over raw TCP through ser2net serving that pseudo-terminal (with
// ser2net's default gathering wait and without it), in alternating rounds within one run. The
// difference is what the converter path adds per exchange.
// A measurement, not a test.


#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "driver/link.h"
#include "driver/network_serial_line.h"
#include "sim/cpu_time.h"
#include "sim/device_server.h"
#include "support/ser2net_bridge.h"

using namespace kovrix;
using Clock = std::chrono::steady_clock;
using sim::CpuSeconds;

namespace {

struct Total {
  int exchanges = 0;
  int failures = 0;
  double seconds = 0;
  double cpuSeconds = 0;  // this process: the host and the simulator's thread
};

// n exchanges of 21h on a newly opened line; false when the line does not open.
bool Round(std::unique_ptr<SerialLine> line, const std::string& port, int n, Total& total) {
  Link link(std::move(line));
  link.SetRepeatCount(0);
  if (link.OpenComPort(port, 115200) != 0) return false;
  for (int i = 0; i < 50; ++i) link.ExecuteCommand(0x21, "482916;");  // warm-up
  const double cpu0 = CpuSeconds();
  const auto t0 = Clock::now();
  for (int i = 0; i < n; ++i) {
    const ReplyRecord* r = link.ExecuteCommand(0x21, "482916;");
    ++total.exchanges;
    if (r->status & (ST_NO_REPLY | ST_NAK | ST_BAD_CHECKSUM) || r->errorText != "0000") ++total.failures;
  }
  total.seconds += std::chrono::duration<double>(Clock::now() - t0).count();
  total.cpuSeconds += CpuSeconds() - cpu0;
  link.CloseComPort();
  return true;
}

void Print(const char* name, const Total& t) {
  std::printf("%-32s %6d exchanges: %7.1f us per exchange, %6.1f us CPU of this process, %d failed\n", name,
              t.exchanges, t.seconds / t.exchanges * 1e6, t.cpuSeconds / t.exchanges * 1e6, t.failures);
}

}  // namespace

int main(int argc, char** argv) {
  const int perRound = argc > 1 ? std::atoi(argv[1]) : 2000;
  constexpr int kRounds = 3;
  if (perRound <= 0 || test::Ser2netBridge::Program().empty()) {
    std::fprintf(stderr, "usage: ser2net_exchange_timing [EXCHANGES PER ROUND] (needs ser2net installed)\n");
    return 2;
  }
  sim::DeviceServer server;
  if (!server.start()) return 1;
  Total pty, tcp, tcpNoDelay;
  for (int round = 0; round < kRounds; ++round) {
    if (!Round(MakePosixSerialLine(), server.slavePath(), perRound, pty)) return 1;
    for (const bool charDelay : {true, false}) {
      test::Ser2netBridge bridge;
      if (!bridge.Start(server.slavePath(), test::Ser2netBridge::Mode::Raw, 115200, charDelay)) {
        std::fprintf(stderr, "ser2net: %s\n", bridge.why().c_str());
        return 1;
      }
      if (!Round(MakeNetworkSerialLine(), bridge.PortName(), perRound, charDelay ? tcp : tcpNoDelay)) {
        std::fprintf(stderr, "cannot open %s: %s\n", bridge.PortName().c_str(), LastNetworkOpenFailure().c_str());
        return 1;
      }
    }
  }
  Print("pseudo-terminal directly:", pty);
  Print("ser2net, raw TCP:", tcp);
  Print("ser2net, raw TCP, no chardelay:", tcpNoDelay);
  const double direct = pty.seconds / pty.exchanges;
  std::printf("added by the converter path: %.1f us per exchange (%.1f us without ser2net's gathering wait)\n",
              (tcp.seconds / tcp.exchanges - direct) * 1e6, (tcpNoDelay.seconds / tcpNoDelay.exchanges - direct) * 1e6);
  server.stop();
  return pty.failures + tcp.failures + tcpNoDelay.failures == 0 ? 0 : 1;
}
