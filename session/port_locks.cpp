#include "session/port_locks.h"

#include <algorithm>
#include <chrono>

#include "driver/network_port.h"
#include "driver/network_serial_line.h"
#include "driver/resolver.h"

namespace kovrix::session {

std::vector<std::string> PortLockKeys(const std::string& port, std::string* why) {
  if (!IsNetworkPortName(port)) {
    std::string device = ResolvedDevicePath(port);
    if (device.empty()) {
      if (why) *why = "no device file for " + port;
      return {};
    }
    return {device};
  }
  std::string error;
  const std::optional<NetworkPort> network = ParseNetworkPort(port, &error);
  if (!network) {
    if (why) *why = error;
    return {};
  }
  const net::Resolution resolved = net::Resolve(network->host, network->port, GetNetworkLineTiming().connectMs);
  if (!resolved.failure.empty()) {
    if (why) *why = resolved.failure;
    return {};
  }
  std::vector<std::string> keys;
  for (const net::Address& a : resolved.addresses) keys.push_back(net::AddressKey(a.text, network->port));
  std::sort(keys.begin(), keys.end());
  keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
  return keys;
}

bool SameLine(const std::string& a, const std::string& b) {
  const std::vector<std::string> left = PortLockKeys(a);
  const std::vector<std::string> right = PortLockKeys(b);
  for (const std::string& key : left) {
    if (std::find(right.begin(), right.end(), key) != right.end()) return true;
  }
  return false;
}

PortState::Lock PortLocks::Acquire(const std::string& port, int waitMs) {
  Release();
  why_.clear();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
  const std::vector<std::string> keys = PortLockKeys(port, &why_);
  if (keys.empty()) return PortState::Lock::Unavailable;
  PortState::Lock result = PortState::Lock::Held;
  for (const std::string& key : keys) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    auto state = std::make_unique<PortState>();
    const PortState::Lock lock = state->Acquire(key, std::max(0, static_cast<int>(left.count())));
    if (lock == PortState::Lock::Busy) {
      Release();
      return PortState::Lock::Busy;
    }
    if (lock == PortState::Lock::Unavailable) {
      if (why_.empty()) why_ = state->why();
      result = PortState::Lock::Unavailable;
      continue;
    }
    locks_.emplace_back(key, std::move(state));
  }
  return result;
}

void PortLocks::KeepOnly(const std::string& key) {
  const bool known = std::any_of(locks_.begin(), locks_.end(), [&](const auto& l) { return l.first == key; });
  if (!known) return;
  locks_.erase(std::remove_if(locks_.begin(), locks_.end(), [&](const auto& l) { return l.first != key; }),
               locks_.end());
}

std::uint8_t PortLocks::counter() const { return locks_.empty() ? 0 : locks_.front().second->counter(); }

void PortLocks::Store(std::uint8_t counter) {
  for (auto& lock : locks_) lock.second->Store(counter);
}

}  // namespace kovrix::session
