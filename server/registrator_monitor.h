#pragma once
// What the service knows of one registrator for monitoring. Every exchange on its link is seen as
// it ends (the monitor is the link's exchange watcher): its time, the link's counters, whether the
// registrator answered and the status bytes of its reply. What only a command reports (the free
// fiscal memory records, when the shift opened) is read by ReadDeviceGauges, at a bounded rate and
// only while the registrator is idle (Registrator::Refresh). Answers and receipt outcomes are
// counted by the HTTP side.

#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>

#include "driver/frame.h"
#include "driver/link.h"
#include "server/metrics.h"
#include "server/service.h"

namespace kovrix::server {

/// What one reading of the device's gauges found (fields left empty were not reported).
struct DeviceGauges {
  std::optional<std::int64_t> fiscalMemoryFree;  // free fiscal memory records (daily reports)
  std::optional<double> shiftOpenedAt;           // Unix time the open shift began
};

/// Reads the gauges over the bound link, the port open: the diagnostic information first (its
/// reply's status bytes reach the monitor like any other), then the free resources and, while a
/// shift is open, the registrator's clock. Stops at the first command left without a valid reply.
DeviceGauges ReadDeviceGauges(const std::string& password);

/// Answers the seconds from the registrator's date and time texts `then` (DDMMYY, HHMM) to `now`
/// (same forms); nothing when a text is not of that form.
std::optional<std::int64_t> SecondsBetween(const std::string& thenDate, const std::string& thenTime,
                                           const std::string& nowDate, const std::string& nowTime);

class RegistratorMonitor : public ExchangeWatcher {
 public:
  using Clock = std::chrono::system_clock;

  /// Everything known at one moment, for the exposition and the readiness answer.
  struct Snapshot {
    bool contacted = false;        // an exchange or a reading was tried
    bool answered = false;         // the last one got a valid reply
    std::string why;               // why not, when it did not
    bool statusKnown = false;      // a valid reply's status bytes were seen
    StatusBytes status{};
    std::optional<Clock::time_point> gaugesReadAt;
    DeviceGauges gauges;
    LinkCounters link;
    Histogram exchanges;
    std::map<std::string, std::map<std::string, std::uint64_t>> receipts;  // kind -> outcome -> count
    std::map<int, std::uint64_t> requests;                                  // HTTP status -> count
  };

  /// The monitor of the registrator whose link this is; it reads the link only on the thread that
  /// runs the exchange.
  explicit RegistratorMonitor(const Link& link) : link_(link) {}

  void ExchangeBegins() override;
  void ExchangeWaits() override {}
  void ExchangeEnds() override;

  /// Counts a request's answer by its status.
  void CountRequest(int status) { requests_.Add(status); }
  /// Counts the answer of a receipt request (POST /v1/receipts or /v1/non-fiscal; others are not
  /// receipts) under its outcome.
  void CountAnswer(const std::string& path, const Answer& answer);

  /// Answers whether a reading of the gauges is due: none was tried yet, or the last one was
  /// tried at least `interval` ago.
  bool Due(std::chrono::seconds interval) const;
  /// Notes that a reading was tried now (the rate bound counts tries, not successes).
  void ReadingTried();
  /// Notes the gauges a reading found.
  void GaugesRead(const DeviceGauges& gauges);
  /// Notes that the port could not be opened for a reading, and why.
  void PortUnavailable(const std::string& why);

  Snapshot Take() const;

 private:
  const Link& link_;
  // Set and read on the exchanging thread only.
  std::chrono::steady_clock::time_point began_;
  std::uint64_t framesAtBegin_ = 0;

  mutable std::mutex mutex_;
  Snapshot state_;
  std::optional<std::chrono::steady_clock::time_point> triedAt_;
  StatusCounts requests_;
};

}  // namespace kovrix::server
