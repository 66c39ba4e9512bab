#pragma once
// The pieces of the Prometheus text exposition (format 0.0.4) that GET /metrics answers: families
// with their HELP and TYPE lines, samples with escaped labels, a histogram of fixed buckets, counts
// of answers by HTTP status, and the outcome a receipt answer is counted under.

#include <array>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "server/service.h"

namespace kovrix::server {

/// The Content-Type of the exposition.
inline constexpr const char* kExpositionType = "text/plain; version=0.0.4; charset=utf-8";

using Labels = std::vector<std::pair<std::string, std::string>>;

/// The exposition text, written family by family: every sample of a family follows its HELP and
/// TYPE lines, as the format asks.
class Exposition {
 public:
  /// Starts a family; type is "counter", "gauge" or "histogram".
  void Family(const std::string& name, const char* type, const std::string& help);
  /// One sample; name is the family's, or the family's with a suffix (_bucket, _sum, _count).
  void Sample(const std::string& name, const Labels& labels, double value);
  const std::string& text() const { return text_; }

 private:
  std::string text_;
};

/// The upper bounds of the exchange-time histogram, in seconds: a short frame at 115200 baud
/// answers in a few milliseconds, a report or a silent registrator takes seconds.
inline constexpr std::array<double, 12> kExchangeBuckets = {0.005, 0.01, 0.025, 0.05, 0.1, 0.25,
                                                            0.5,   1.0,  2.5,   5.0,  7.5, 10.0};

struct Histogram {
  std::array<std::uint64_t, kExchangeBuckets.size()> counts{};  // per bucket, not cumulative
  std::uint64_t count = 0;
  double sum = 0;

  void Observe(double seconds);
  /// Writes the _bucket (cumulative, +Inf last), _sum and _count samples of one label set.
  void Write(Exposition& out, const std::string& name, const Labels& labels) const;
};

/// Answers counted by HTTP status (thread-safe).
class StatusCounts {
 public:
  void Add(int status);
  std::map<int, std::uint64_t> Take() const;

 private:
  mutable std::mutex mutex_;
  std::map<int, std::uint64_t> counts_;
};

/// Answers the outcome a receipt request's answer is counted under: "printed" (200), "annulled"
/// (opened, then annulled or closed by the service), "unknown" (the registrator fell silent, or
/// the receipt is left open or was finished elsewhere), else "refused" (nothing was printed).
const char* ReceiptOutcome(const Answer& answer);

}  // namespace kovrix::server
