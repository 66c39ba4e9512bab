#include "sim/device_server.h"

#include "driver/frame.h"

namespace kovrix::sim {

namespace {

constexpr auto kStalePartial = std::chrono::milliseconds(500);

std::chrono::nanoseconds WireTime(std::size_t bytes, int baud) {
  return std::chrono::nanoseconds(static_cast<std::int64_t>(bytes) * 10 * 1000000000LL / baud);
}

}  // namespace

DeviceServer::DeviceServer(Registrator device) : device_(std::move(device)), link_(device_, faults_, journal_) {}

DeviceServer::~DeviceServer() { stop(); }

std::vector<std::string> DeviceServer::tape() const {
  std::lock_guard lock(mutex_);
  return device_.tape().Lines();
}

void DeviceServer::OnReceive(std::string_view bytes, SteadyTime at) {
  std::vector<Transmission> out;
  int newSpeed = 0;
  {
    std::lock_guard lock(mutex_);
    // At a speed other than its own the registrator hears only noise: nothing it can frame.
    // A network line (HostBaud -1) has no speed to differ.
    const int hostBaud = HostBaud();
    if (speedCheck_ && hostBaud >= 0 && hostBaud != device_.state().params.speed) {
      link_.ResetPartial();
      return;
    }
    // The wire time of a request runs from its first byte.
    if (!link_.HasPartial()) frameStart_ = at;
    lastByte_ = at;
    const int speedBefore = device_.state().params.speed;
    out = link_.Receive(bytes);
    const int speed = device_.state().params.speed;
    if (speed != speedBefore) newSpeed = speed;
    // Whatever comes after the reply must come at the new speed.
    if (newSpeed > 0) speedCheck_ = true;
  }
  for (const Transmission& t : out) Send(t, frameStart_);
  // The registrator answers at the old speed, then moves to the new one.
  if (newSpeed > 0 && paceBaud_ > 0) paceBaud_ = newSpeed;
}

void DeviceServer::OnHangUp() {
  std::lock_guard lock(mutex_);
  link_.HostGone();
}

void DeviceServer::OnIdle(SteadyTime now) {
  std::lock_guard lock(mutex_);
  // A frame the host never finished must not swallow the start of the next one.
  if (link_.HasPartial() && now - lastByte_ > kStalePartial) link_.ResetPartial();
}

void DeviceServer::Send(const Transmission& t, SteadyTime requestAt) {
  using namespace std::chrono;
  if (t.synMs > 0) {
    const auto end = steady_clock::now() + milliseconds(t.synMs);
    const std::string syn(1, static_cast<char>(kSYN));
    while (steady_clock::now() < end) {
      if (!Write(syn)) break;
      if (!SleepUntil(std::min(end, steady_clock::now() + milliseconds(t.synIntervalMs)))) return;
    }
    requestAt = steady_clock::now();
  }
  wireBytes_ += t.requestBytes + t.bytes.size();
  const int baud = paceBaud_;
  if (baud > 0) {
    // The reply is complete on the host's side one request wire time plus one reply wire time
    // after the request started, and the line carries one frame at a time.
    const SteadyTime start = std::max(requestAt, lineFree_);
    const SteadyTime done = start + WireTime(t.requestBytes + t.bytes.size(), baud);
    lineFree_ = done;
    if (!SleepUntil(done)) return;
  }
  Write(t.bytes);
}

}  // namespace kovrix::sim
