// Resolution on a thread of its own with a deadline, answers kept for a short while.

#include "driver/resolver.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#endif

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "driver/socket_io.h"

namespace kovrix::net {
namespace {

using Clock = std::chrono::steady_clock;

// One resolution under way or done; waiters and the resolving thread share it.
struct Pending {
  std::mutex mutex;
  std::condition_variable done;
  bool finished = false;
  Resolution result;
};

struct Kept {
  Clock::time_point at;
  Resolution result;
};

struct Registry {
  std::mutex mutex;
  std::map<std::string, Kept> kept;
  std::map<std::string, std::shared_ptr<Pending>> underWay;
  std::function<Resolution(const std::string&, int)> replacement;
};

Registry& TheRegistry() {
  static Registry* registry = new Registry;  // outlives threads still resolving at exit
  return *registry;
}

std::string NumericText(const sockaddr* address) {
  char text[64] = {};
  if (address->sa_family == AF_INET) {
    const auto* v4 = reinterpret_cast<const sockaddr_in*>(address);
    inet_ntop(AF_INET, &v4->sin_addr, text, sizeof text);
  } else if (address->sa_family == AF_INET6) {
    const auto* v6 = reinterpret_cast<const sockaddr_in6*>(address);
    inet_ntop(AF_INET6, &v6->sin6_addr, text, sizeof text);
  }
  return text;
}

// An IPv4 address written as IPv6 ("::ffff:a.b.c.d") is the IPv4 address: one form for both.
Address Normalised(const sockaddr* address, std::size_t length) {
  Address out;
  if (address->sa_family == AF_INET6) {
    const auto* v6 = reinterpret_cast<const sockaddr_in6*>(address);
    const auto* b = v6->sin6_addr.s6_addr;
    static const unsigned char kMapped[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF};
    if (std::memcmp(b, kMapped, sizeof kMapped) == 0) {
      sockaddr_in v4{};
      v4.sin_family = AF_INET;
      v4.sin_port = v6->sin6_port;
      std::memcpy(&v4.sin_addr, b + 12, 4);
      out.family = AF_INET;
      out.sockaddr.assign(reinterpret_cast<const char*>(&v4), sizeof v4);
      out.text = NumericText(reinterpret_cast<const sockaddr*>(&v4));
      return out;
    }
  }
  out.family = address->sa_family;
  out.sockaddr.assign(reinterpret_cast<const char*>(address), length);
  out.text = NumericText(address);
  return out;
}

Resolution SystemResolve(const std::string& host, int port, bool numericOnly) {
  Resolution r;
  if (!Startup()) {
    r.failure = "the network is not available";
    return r;
  }
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_NUMERICSERV | (numericOnly ? AI_NUMERICHOST : 0);
  addrinfo* found = nullptr;
  const std::string service = std::to_string(port);
  const int status = getaddrinfo(host.c_str(), service.c_str(), &hints, &found);
  if (status != 0 || found == nullptr) {
    if (found) freeaddrinfo(found);
    r.failure = std::string("name not resolved (") + gai_strerror(status) + ")";
    return r;
  }
  for (const addrinfo* ai = found; ai != nullptr; ai = ai->ai_next) {
    if (ai->ai_addr == nullptr || (ai->ai_family != AF_INET && ai->ai_family != AF_INET6)) continue;
    Address a = Normalised(ai->ai_addr, static_cast<std::size_t>(ai->ai_addrlen));
    bool seen = false;
    for (const Address& b : r.addresses) seen = seen || b.text == a.text;
    if (!seen && !a.text.empty()) r.addresses.push_back(std::move(a));
  }
  freeaddrinfo(found);
  if (r.addresses.empty()) r.failure = "name not resolved (no address of a known kind)";
  return r;
}

Resolution ResolveNow(const std::string& host, int port) {
  std::function<Resolution(const std::string&, int)> replacement;
  {
    std::lock_guard lock(TheRegistry().mutex);
    replacement = TheRegistry().replacement;
  }
  return replacement ? replacement(host, port) : SystemResolve(host, port, false);
}

}  // namespace

Resolution Resolve(const std::string& host, int port, int timeoutMs, const WaitTick& tick) {
  // A numeric address needs no resolver, and no thread.
  if (Resolution numeric = SystemResolve(host, port, true); numeric.failure.empty()) return numeric;
  const std::string key = host + "\n" + std::to_string(port);
  Registry& registry = TheRegistry();
  std::shared_ptr<Pending> pending;
  {
    std::lock_guard lock(registry.mutex);
    const auto kept = registry.kept.find(key);
    if (kept != registry.kept.end() && Clock::now() - kept->second.at < std::chrono::milliseconds(kResolutionReuseMs)) {
      return kept->second.result;
    }
    auto& slot = registry.underWay[key];
    if (!slot) {
      slot = std::make_shared<Pending>();
      pending = slot;
      // The thread may outlive the caller's wait: it keeps what it needs by value.
      std::thread([pending, host, port, key] {
        Resolution result = ResolveNow(host, port);
        {
          std::lock_guard lock(TheRegistry().mutex);
          TheRegistry().kept[key] = Kept{Clock::now(), result};
          TheRegistry().underWay.erase(key);
        }
        std::lock_guard lock(pending->mutex);
        pending->result = std::move(result);
        pending->finished = true;
        pending->done.notify_all();
      }).detach();
    } else {
      pending = slot;
    }
  }
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
  for (;;) {
    std::unique_lock lock(pending->mutex);
    const Clock::time_point until = tick ? std::min(deadline, Clock::now() + std::chrono::milliseconds(kWaitTickMs))
                                         : deadline;
    if (pending->done.wait_until(lock, until, [&] { return pending->finished; })) return pending->result;
    if (Clock::now() >= deadline) break;
    lock.unlock();
    tick();
  }
  Resolution late;
  late.failure = "name not resolved: no answer from the resolver within " + std::to_string(timeoutMs) + " ms";
  // The same name asked again soon does not wait the deadline once more: the answer, when it
  // comes, is kept; until then the failure is.
  std::lock_guard keep(registry.mutex);
  if (registry.kept.find(key) == registry.kept.end() || registry.underWay.count(key) != 0) {
    registry.kept[key] = Kept{Clock::now(), late};
  }
  return late;
}

void ForgetResolutions() {
  std::lock_guard lock(TheRegistry().mutex);
  TheRegistry().kept.clear();
}

void SetResolverForTests(std::function<Resolution(const std::string& host, int port)> resolver) {
  std::lock_guard lock(TheRegistry().mutex);
  TheRegistry().replacement = std::move(resolver);
  TheRegistry().kept.clear();
}

std::string AddressKey(const std::string& text, int port) {
  const bool v6 = text.find(':') != std::string::npos;
  return "tcp://" + (v6 ? "[" + text + "]" : text) + ":" + std::to_string(port);
}

}  // namespace kovrix::net
