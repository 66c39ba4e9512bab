#include "port/port_io.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdint>
#include <optional>

namespace kovrix {
namespace {

using Clock = std::chrono::steady_clock;
using Ms = std::chrono::milliseconds;

// Time-outs run to 2^32 x count ms; far beyond any wait that matters, and beyond what a
// clock's time point can hold, so they are capped (about 34 years).
constexpr std::uint64_t kLongestWaitMs = std::uint64_t{1} << 40;

std::optional<Clock::time_point> Deadline(std::uint32_t multiplier, std::uint32_t constant, std::size_t count) {
  if (multiplier == 0 && constant == 0) return std::nullopt;
  std::uint64_t ms = kLongestWaitMs;
  if (multiplier == 0 || count <= (kLongestWaitMs - constant) / multiplier) {
    ms = std::min<std::uint64_t>(std::uint64_t{multiplier} * count + constant, kLongestWaitMs);
  }
  return Clock::now() + Ms(ms);
}

// Milliseconds until the time point, rounded up so that a poll never wakes just before it.
int MsUntil(Clock::time_point when) {
  const auto left = std::chrono::ceil<Ms>(when - Clock::now()).count();
  return static_cast<int>(std::clamp<long long>(left, 0, INT_MAX));
}

// Waits for the descriptor to become ready; answers 1 when ready, 0 on time-out, -1 on error.
// revents receives what poll reported.
int WaitFor(int fd, short events, int timeoutMs, short* revents = nullptr) {
  for (;;) {
    pollfd p{fd, events, 0};
    const int n = ::poll(&p, 1, timeoutMs);
    if (revents) *revents = p.revents;
    if (n >= 0) return n;
    if (errno != EINTR) return -1;
  }
}

}  // namespace

IoResult TimedRead(int fd, char* buffer, std::size_t count, const T1CommTimeouts& t) {
  IoResult r;
  if (count == 0) return r;
  const bool intervalOff = t.ReadIntervalTimeout == kMaxTimeout;
  const bool immediate = intervalOff && t.ReadTotalTimeoutMultiplier == 0 && t.ReadTotalTimeoutConstant == 0;
  const bool firstByte = intervalOff && t.ReadTotalTimeoutMultiplier == kMaxTimeout &&
                         t.ReadTotalTimeoutConstant > 0 && t.ReadTotalTimeoutConstant < kMaxTimeout;
  const auto deadline = firstByte ? Deadline(0, t.ReadTotalTimeoutConstant, count)
                                  : Deadline(t.ReadTotalTimeoutMultiplier, t.ReadTotalTimeoutConstant, count);
  const bool useInterval = !intervalOff && t.ReadIntervalTimeout > 0;
  Clock::time_point lastByte{};
  while (r.done < count) {
    int wait = immediate ? 0 : -1;
    if (deadline) wait = MsUntil(*deadline);
    if (useInterval && r.done > 0) {
      const int gap = MsUntil(lastByte + Ms(t.ReadIntervalTimeout));
      wait = wait < 0 ? gap : std::min(wait, gap);
    }
    short revents = 0;
    const int ready = WaitFor(fd, POLLIN, wait, &revents);
    if (ready < 0) {
      r.error = errno;
      return r;
    }
    if (ready == 0) break;
    const ssize_t got = ::read(fd, buffer + r.done, count - r.done);
    if (got < 0) {
      if (errno == EAGAIN || errno == EINTR) continue;
      r.error = errno;
      return r;
    }
    if (got == 0) {
      // A terminal whose line has hung up (a USB adapter pulled, the far side of a
      // pseudo-terminal closed) reads as end of file; that is a failed read, not a quiet line.
      if (revents & (POLLHUP | POLLERR)) r.error = EIO;
      return r;
    }
    r.done += static_cast<std::size_t>(got);
    lastByte = Clock::now();
    if (immediate || firstByte) break;
  }
  return r;
}

IoResult TimedWrite(int fd, const char* buffer, std::size_t count, const T1CommTimeouts& t) {
  IoResult r;
  const auto deadline = Deadline(t.WriteTotalTimeoutMultiplier, t.WriteTotalTimeoutConstant, count);
  while (r.done < count) {
    const ssize_t n = ::write(fd, buffer + r.done, count - r.done);
    if (n > 0) {
      r.done += static_cast<std::size_t>(n);
      continue;
    }
    if (n == 0) break;  // the device takes nothing more
    if (errno == EINTR) continue;
    if (errno != EAGAIN) {
      r.error = errno;
      return r;
    }
    const int ready = WaitFor(fd, POLLOUT, deadline ? MsUntil(*deadline) : -1);
    if (ready < 0) {
      r.error = errno;
      return r;
    }
    if (ready == 0) break;
  }
  return r;
}

}  // namespace kovrix
