#pragma once
// One registrator served by the service: its device options, its own link and session log (bound
// to the thread that serves one of its requests), the turn that lets its requests and the list's
// and detection's reads reach it one at a time, its service (port lock, frame sequence, receipt journal) and its Idempotency-Key answers.
// Requests to different registrators run at the same time; requests to one take turns.

#include <chrono>
#include <memory>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <set>
#include <string>

#include <nlohmann/json.hpp>

#include "driver/driver.h"
#include "driver/link.h"
#include "driver/session_log.h"
#include "server/idempotency.h"
#include "server/registrator_monitor.h"
#include "server/service.h"
#include "session/device_options.h"

namespace kovrix::server {

/// Serves the requests one at a time in the order they arrive.
class TurnQueue {
 public:
  class Turn {
   public:
    /// Waits for the turn as long as it takes.
    explicit Turn(TurnQueue& q);
    /// Waits for the turn at most `wait` (0: takes it only when nobody holds or awaits it); when
    /// it does not come in time, the place in the queue is given up and held() answers false.
    Turn(TurnQueue& q, std::chrono::milliseconds wait);
    ~Turn();
    Turn(const Turn&) = delete;
    Turn& operator=(const Turn&) = delete;
    bool held() const { return held_; }

   private:
    TurnQueue& q_;
    bool held_ = false;
  };

 private:
  /// Passes the turn on, over the places given up (under the lock).
  void Advance();

  std::mutex mutex_;
  std::condition_variable cv_;
  std::uint64_t next_ = 0;
  std::uint64_t serving_ = 0;
  std::set<std::uint64_t> givenUp_;
};

/// A registrator as the configuration names it.
struct RegistratorConfig {
  std::string id;
  session::DeviceOptions device;
};

class Registrator {
 public:
  /// The diagnostic read of the registrator list waits for silence at most this long.
  static constexpr int kStateSilenceMs = 1000;

  /// answersDirectory holds its Idempotency-Key answers (empty: keys refused); timing is its link's.
  Registrator(RegistratorConfig config, std::string answersDirectory, const LinkTiming& timing);
  Registrator(const Registrator&) = delete;
  Registrator& operator=(const Registrator&) = delete;

  const std::string& id() const { return config_.id; }
  const session::DeviceOptions& device() const { return config_.device; }
  Service& service() { return service_; }
  const Service& service() const { return service_; }
  IdempotencyStore& answers() { return answers_; }
  RegistratorMonitor& monitor() { return monitor_; }

  /// The registrator's turn, with its link and log bound to the calling thread while it is held.
  class Turn {
   public:
    explicit Turn(Registrator& r) : turn_(r.queue_) { binding_.emplace(*r.link_, r.log_); }
    /// Gives up after `wait` (see TurnQueue::Turn); nothing is bound then.
    Turn(Registrator& r, std::chrono::milliseconds wait) : turn_(r.queue_, wait) {
      if (turn_.held()) binding_.emplace(*r.link_, r.log_);
    }
    bool held() const { return turn_.held(); }

   private:
    TurnQueue::Turn turn_;
    std::optional<LinkBinding> binding_;
  };

  /// Answers the registrator's entry of the list: id, port, speed, and from a diagnostic read in its
  /// turn (waited for at most `wait`, the silence bounded by kStateSilenceMs, no repeats) whether it
  /// is connected, its model, version and serial number and whether a receipt is open; "busy" when
  /// its turn did not come in time.
  nlohmann::ordered_json State(std::chrono::milliseconds wait);

  /// Answers the registrator's entry of the detection: its port probed at each speed of the speed
  /// list, fastest first, in its turn and only when nobody holds or awaits that turn and no
  /// request of it waits (inUse); "busy" (not probed) otherwise.
  nlohmann::ordered_json Detect(bool inUse);

  /// Reads the device's gauges (ReadDeviceGauges) when a reading is due (at most once per
  /// `interval`), in its turn and only when nobody holds or awaits that turn, no request of it
  /// waits (inUse) and no receipt or command of the service waits to be settled: a reading never
  /// comes between the commands of a receipt. The silence is bounded by kStateSilenceMs.
  void Refresh(std::chrono::seconds interval, bool inUse);

 private:
  RegistratorConfig config_;
  SessionLog log_;
  std::unique_ptr<Link> link_;
  RegistratorMonitor monitor_;
  TurnQueue queue_;
  Service service_;
  IdempotencyStore answers_;
};

/// Answers whether an id is acceptable: 1 to 32 of A-Z, a-z, 0-9, "_" and "-" (it names a
/// directory), and not "detect" (a path of its own under /v1/registrators).
bool ValidRegistratorId(const std::string& id);

}  // namespace kovrix::server
