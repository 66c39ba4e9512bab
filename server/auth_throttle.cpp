#include "server/auth_throttle.h"

#include <algorithm>

namespace kovrix::server {

std::chrono::seconds AuthThrottle::Wait(const std::string& address, Clock::time_point now) {
  const std::lock_guard<std::mutex> lock(mutex_);
  const auto it = entries_.find(address);
  if (it == entries_.end() || now >= it->second.lockedUntil) return std::chrono::seconds(0);
  const auto left = it->second.lockedUntil - now;
  auto seconds = std::chrono::duration_cast<std::chrono::seconds>(left);
  if (seconds < left) ++seconds;
  return seconds;
}

void AuthThrottle::Failed(const std::string& address, Clock::time_point now) {
  const std::lock_guard<std::mutex> lock(mutex_);
  auto it = entries_.find(address);
  if (it == entries_.end()) {
    MakeRoom(now);
    it = entries_.emplace(address, Entry{}).first;
  }
  Entry& e = it->second;
  // Counted from the end of a lockout: one that lasts longer than the window must not hand the
  // address its free tries back.
  if (e.failures > 0 && now - e.quietFrom > limits_.window) e.failures = 0;
  ++e.failures;
  e.quietFrom = now;
  if (e.failures >= limits_.freeTries) {
    const int doublings = std::min(e.failures - limits_.freeTries, 20);
    const std::chrono::seconds lockout = std::min<std::chrono::seconds>(limits_.firstLockout * (1L << doublings), limits_.maxLockout);
    e.lockedUntil = now + lockout;
    e.quietFrom = e.lockedUntil;
  }
}

void AuthThrottle::Succeeded(const std::string& address) {
  const std::lock_guard<std::mutex> lock(mutex_);
  entries_.erase(address);
}

// The addresses are bounded: the forgotten ones go first, then the one quiet the longest.
void AuthThrottle::MakeRoom(Clock::time_point now) {
  if (entries_.size() < limits_.maxAddresses) return;
  for (auto it = entries_.begin(); it != entries_.end();) {
    it = now - it->second.quietFrom > limits_.window ? entries_.erase(it) : std::next(it);
  }
  if (entries_.size() < limits_.maxAddresses) return;
  entries_.erase(std::min_element(entries_.begin(), entries_.end(), [](const auto& a, const auto& b) {
    return a.second.quietFrom < b.second.quietFrom;
  }));
}

}  // namespace kovrix::server
