#pragma once
// The answers of the monitoring endpoints, made from what the registrators' monitors know: the
// exposition of GET /metrics and the readiness of GET /readyz.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "server/registrator_monitor.h"
#include "server/service.h"

namespace kovrix::server {

/// One registrator as the monitoring endpoints see it.
struct MonitoredRegistrator {
  std::string id;
  RegistratorMonitor::Snapshot snapshot;
};

/// Answers the exposition: every family with its HELP and TYPE lines, a `registrator` label on
/// each registrator's series; `sharedRequests` are the answers of requests that addressed no
/// registrator (counted without that label).
std::string MetricsText(const std::vector<MonitoredRegistrator>& registrators,
                        const std::map<int, std::uint64_t>& sharedRequests);

/// Answers the readiness: 200 when every registrator answered its last exchange or reading, else
/// 503; the body lists each one, with why it is not ready.
Answer Readiness(const std::vector<MonitoredRegistrator>& registrators);

}  // namespace kovrix::server
