#pragma once
// The simulated registrator served on a pseudo-terminal: the model, its fault plan, journal and
// tape, with optional pacing at a baud rate. Usable in-process by tests and by the tool.

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "sim/device_link.h"
#include "sim/fault_plan.h"
#include "sim/journal.h"
#include "sim/line_server.h"
#include "sim/model/registrator.h"

namespace kovrix::sim {

class DeviceServer final : public LineServer {
 public:
  explicit DeviceServer(Registrator device = Registrator());
  ~DeviceServer() override;

  /// Fault plan of the line and the device (thread-safe).
  FaultPlan& faults() { return faults_; }
  /// Journal of every request received (thread-safe).
  Journal& journal() { return journal_; }
  /// Answers the printed tape's lines so far.
  std::vector<std::string> tape() const;
  /// Runs f on the device model under the server's lock and answers its result.
  template <class F>
  auto withDevice(F&& f) {
    std::lock_guard lock(mutex_);
    return f(device_);
  }
  /// Makes the line as slow as a real one at the baud rate (10 bits per byte); 0 = unpaced.
  /// While paced, a line speed written to the registrator's parameters is followed.
  void setPace(int baud) { paceBaud_ = baud; }
  int pace() const { return paceBaud_; }
  /// Answers whether the registrator has been moved to a new line speed: from then on it hears
  /// only a host whose line runs at that speed, and bytes sent at another speed are lost, as on a
  /// real line. Until then (a fresh device) it hears a host at any speed.
  bool speedCheck() const { return speedCheck_; }
  /// Answers the bytes of the request frames answered and of their replies so far: the line's
  /// busy time at a baud rate is this times 10 bits over the rate.
  std::uint64_t wireBytes() const { return wireBytes_; }
  /// Sets how long the registrator stays silent while it restarts (after F3h and fiscalisation).
  void setBootTime(std::chrono::milliseconds time) {
    std::lock_guard lock(mutex_);
    link_.SetBootTime(time);
  }

 private:
  void OnReceive(std::string_view bytes, SteadyTime at) override;
  void OnHangUp() override;
  void OnIdle(SteadyTime now) override;
  void Send(const Transmission& t, SteadyTime requestAt);

  mutable std::mutex mutex_;
  Registrator device_;
  FaultPlan faults_;
  Journal journal_;
  DeviceLink link_;
  std::atomic<int> paceBaud_{0};
  std::atomic<bool> speedCheck_{false};
  std::atomic<std::uint64_t> wireBytes_{0};
  SteadyTime frameStart_{};
  SteadyTime lastByte_{};
  SteadyTime lineFree_{};
};

}  // namespace kovrix::sim
