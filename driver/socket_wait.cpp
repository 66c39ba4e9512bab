// Socket waits that let a waiting window repaint: one system wait cut into short slices.

#include <algorithm>
#include <chrono>

#include "driver/socket_io.h"

namespace kovrix::net {
namespace {

Wait Ticking(Wait (*wait)(Socket, int), Socket socket, int timeoutMs, const WaitTick& tick) {
  if (!tick) return wait(socket, timeoutMs);
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    const Wait got = wait(socket, static_cast<int>(std::clamp<long long>(left, 0, kWaitTickMs)));
    if (got != Wait::Timeout || left <= kWaitTickMs) return got;
    tick();
  }
}

}  // namespace

Wait WaitReadableTicking(Socket socket, int timeoutMs, const WaitTick& tick) {
  return Ticking(WaitReadable, socket, timeoutMs, tick);
}

Wait WaitWritableTicking(Socket socket, int timeoutMs, const WaitTick& tick) {
  return Ticking(WaitWritable, socket, timeoutMs, tick);
}

}  // namespace kovrix::net
