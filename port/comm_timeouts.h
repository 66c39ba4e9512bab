#pragma once
// The five time-outs of a serial port, in milliseconds, with the meaning serial ports give
// them: a read ends when the total time (multiplier x bytes asked + constant) has passed, or
// when the interval between two bytes exceeds the interval time-out; zeros switch a limit off.
// Two special cases: interval kMaxTimeout with both totals 0 returns at once with what has
// arrived; interval and multiplier kMaxTimeout with a constant between 0 and kMaxTimeout
// waits at most the constant for the first byte and returns as soon as there is one.

#include <cstdint>

namespace kovrix {

inline constexpr std::uint32_t kMaxTimeout = 0xFFFFFFFFu;

struct T1CommTimeouts {
  std::uint32_t ReadIntervalTimeout = 0;
  std::uint32_t ReadTotalTimeoutMultiplier = 0;
  std::uint32_t ReadTotalTimeoutConstant = 1000;
  std::uint32_t WriteTotalTimeoutMultiplier = 0;
  std::uint32_t WriteTotalTimeoutConstant = 0;

  bool operator==(const T1CommTimeouts&) const = default;
};

}  // namespace kovrix
