#pragma once
// Slows the guessing of the service's bearer token. Failed tries are counted per client address;
// an address that failed freeTries times is locked out for a while that doubles with each further
// failure, up to maxLockout, and while it is locked out no token from it is looked at (else the
// one right guess would still stand out among the refusals). A right token clears its address's
// count; other addresses are never slowed. Thread-safe.

#include <chrono>
#include <cstddef>
#include <map>
#include <mutex>
#include <string>

namespace kovrix::server {

class AuthThrottle {
 public:
  using Clock = std::chrono::steady_clock;
  struct Limits {
    int freeTries = 5;                       // failures answered 401 before the first lockout
    std::chrono::seconds window{60};         // failures this long after the last (or its lockout) are forgotten
    std::chrono::seconds firstLockout{1};
    std::chrono::seconds maxLockout{300};
    std::size_t maxAddresses = 4096;         // addresses remembered at most
  };

  AuthThrottle() : AuthThrottle(Limits{}) {}
  explicit AuthThrottle(Limits limits) : limits_(limits) {}

  /// Answers how long the address must still wait before its token is looked at: zero when it
  /// may try now, otherwise whole seconds, rounded up (for Retry-After).
  std::chrono::seconds Wait(const std::string& address, Clock::time_point now);
  /// Counts a failed try of the address.
  void Failed(const std::string& address, Clock::time_point now);
  /// Forgets the failures of the address (it gave the right token).
  void Succeeded(const std::string& address);

 private:
  struct Entry {
    int failures = 0;
    Clock::time_point quietFrom;    // the last failure, or the end of its lockout
    Clock::time_point lockedUntil;
  };
  void MakeRoom(Clock::time_point now);

  Limits limits_;
  std::mutex mutex_;
  std::map<std::string, Entry> entries_;
};

}  // namespace kovrix::server
