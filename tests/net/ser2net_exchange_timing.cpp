// Prints the time of one 21h exchange with the simulated registrator over its pseudo-terminal
// directly and through ser2net serving that pseudo-terminal, raw TCP (with ser2net's default
// gathering wait and without it) and telnet with the RFC 2217 COM-port option, in alternating
// rounds within one run: first unpaced (what the host and the converter path add per exchange),
// then paced as a real line at 115200 baud (how each path compares with the wire).
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

namespace {

struct Paths {
  Total pty, raw, rawNoDelay, rfc2217, rfc2217NoDelay;
};

// Alternating rounds over every path; false when one cannot be opened.
bool Measure(sim::DeviceServer& server, int perRound, Paths& p) {
  using Mode = test::Ser2netBridge::Mode;
  constexpr int kRounds = 3;
  for (int round = 0; round < kRounds; ++round) {
    if (!Round(MakeSystemSerialLine(), server.slavePath(), perRound, p.pty)) return false;
    const struct {
      Mode mode;
      bool charDelay;
      Total* total;
    } converters[] = {{Mode::Raw, true, &p.raw},
                      {Mode::Raw, false, &p.rawNoDelay},
                      {Mode::Rfc2217, true, &p.rfc2217},
                      {Mode::Rfc2217, false, &p.rfc2217NoDelay}};
    for (const auto& c : converters) {
      test::Ser2netBridge bridge;
      if (!bridge.Start(server.slavePath(), c.mode, 115200, c.charDelay)) {
        std::fprintf(stderr, "ser2net: %s\n", bridge.why().c_str());
        return false;
      }
      if (!Round(MakeNetworkSerialLine(), bridge.PortName(), perRound, *c.total)) {
        std::fprintf(stderr, "cannot open %s: %s\n", bridge.PortName().c_str(), LastNetworkOpenFailure().c_str());
        return false;
      }
    }
  }
  return true;
}

double PerExchange(const Total& t) { return t.seconds / t.exchanges; }

int Report(const char* heading, const Paths& p) {
  std::printf("%s\n", heading);
  Print("pseudo-terminal directly:", p.pty);
  Print("ser2net, raw TCP:", p.raw);
  Print("ser2net, raw TCP, no chardelay:", p.rawNoDelay);
  Print("ser2net, RFC 2217:", p.rfc2217);
  Print("ser2net, RFC 2217, no chardelay:", p.rfc2217NoDelay);
  const double direct = PerExchange(p.pty);
  std::printf("added by the converter path: raw %.1f us, RFC 2217 %.1f us; without ser2net's gathering wait: raw "
              "%.1f us, RFC 2217 %.1f us\n",
              (PerExchange(p.raw) - direct) * 1e6, (PerExchange(p.rfc2217) - direct) * 1e6,
              (PerExchange(p.rawNoDelay) - direct) * 1e6, (PerExchange(p.rfc2217NoDelay) - direct) * 1e6);
  std::printf("against the pseudo-terminal: raw %.3fx, RFC 2217 %.3fx; without the gathering wait: raw %.3fx, "
              "RFC 2217 %.3fx\n\n",
              PerExchange(p.raw) / direct, PerExchange(p.rfc2217) / direct, PerExchange(p.rawNoDelay) / direct,
              PerExchange(p.rfc2217NoDelay) / direct);
  return p.pty.failures + p.raw.failures + p.rawNoDelay.failures + p.rfc2217.failures + p.rfc2217NoDelay.failures;
}

}  // namespace

int main(int argc, char** argv) {
  const int perRound = argc > 1 ? std::atoi(argv[1]) : 2000;
  const int pacedPerRound = argc > 2 ? std::atoi(argv[2]) : 300;
  if (perRound <= 0 || pacedPerRound <= 0 || test::Ser2netBridge::Program().empty()) {
    std::fprintf(stderr,
                 "usage: ser2net_exchange_timing [UNPACED EXCHANGES PER ROUND] [PACED EXCHANGES PER ROUND] "
                 "(needs ser2net installed)\n");
    return 2;
  }
  sim::DeviceServer server;
  if (!server.start()) return 1;
  Paths unpaced, paced;
  if (!Measure(server, perRound, unpaced)) return 1;
  server.setPace(115200);
  if (!Measure(server, pacedPerRound, paced)) return 1;
  int failures = Report("unpaced (the host and the converter path):", unpaced);
  failures += Report("paced as a line at 115200 baud:", paced);
  server.stop();
  return failures == 0 ? 0 : 1;
}
