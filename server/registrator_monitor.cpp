#include "server/registrator_monitor.h"

#include <cstdlib>

#include "driver/commands.h"
#include "driver/error_text.h"

namespace kovrix::server {
namespace {

constexpr std::uint32_t kNoValidReply = ST_NO_REPLY | ST_NAK | ST_BAD_CHECKSUM;

bool Accepted(const ReplyRecord* r, int err) {
  std::string text;
  return err == 0 && (r->status & kNoValidReply) == 0 && GetErrorText(*r, text);
}

// Two-digit fields of a text of digits only, as the registrator sends dates and times.
bool Pairs(const std::string& text, std::size_t count, int* out) {
  if (text.size() != 2 * count) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  for (std::size_t i = 0; i < count; ++i) out[i] = (text[2 * i] - '0') * 10 + (text[2 * i + 1] - '0');
  return true;
}

// Days from 1 January 1970 to a date of the proleptic Gregorian calendar.
std::int64_t DaysFromCivil(int y, int m, int d) {
  y -= m <= 2;
  const int era = (y >= 0 ? y : y - 399) / 400;
  const int yoe = y - era * 400;
  const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return static_cast<std::int64_t>(era) * 146097 + doe - 719468;
}

// The registrator's local time as seconds of a calendar without time zones: only differences of
// two such values mean anything.
std::optional<std::int64_t> DeviceSeconds(const std::string& date, const std::string& time) {
  int dmy[3];
  int hm[2];
  if (!Pairs(date, 3, dmy) || !Pairs(time, 2, hm)) return std::nullopt;
  if (dmy[0] < 1 || dmy[0] > 31 || dmy[1] < 1 || dmy[1] > 12 || hm[0] > 23 || hm[1] > 59) return std::nullopt;
  return DaysFromCivil(2000 + dmy[2], dmy[1], dmy[0]) * 86400 + hm[0] * 3600 + hm[1] * 60;
}

std::string WhyNot(const ReplyRecord& r) {
  if (r.linkFault != LinkFault::None) return LinkFaultText(r.linkFault);
  if (r.status & ST_NO_REPLY) return "the registrator does not answer";
  return "the registrator's reply was spoilt (NAK or a wrong checksum)";
}

}  // namespace

std::optional<std::int64_t> SecondsBetween(const std::string& thenDate, const std::string& thenTime,
                                           const std::string& nowDate, const std::string& nowTime) {
  const auto then = DeviceSeconds(thenDate, thenTime);
  const auto now = DeviceSeconds(nowDate, nowTime);
  if (!then || !now) return std::nullopt;
  return *now - *then;
}

DeviceGauges ReadDeviceGauges(const std::string& password) {
  DeviceGauges g;
  int err = 0;
  const ReplyRecord* r = GetDiagnosticInfo(password, err);
  if (err != 0 || (r->status & kNoValidReply)) return g;
  r = GetFreeResources(password, err);
  if (!Accepted(r, err)) return g;
  // Field 8: the daily reports the fiscal memory still has room for; 9 and 10: when the open
  // shift began (empty while none is open).
  char* end = nullptr;
  const std::string& free = r->field(8);
  const long long records = std::strtoll(free.c_str(), &end, 10);
  if (!free.empty() && *end == '\0' && records >= 0) g.fiscalMemoryFree = records;
  const std::string openedDate = r->field(9);
  const std::string openedTime = r->field(10);
  if (openedDate.empty()) return g;
  // The registrator's clock, not the machine's, measures how long the shift has been open: the two
  // may differ in time zone and in accuracy.
  r = GetDateTime(password, err);
  if (!Accepted(r, err)) return g;
  const auto age = SecondsBetween(openedDate, openedTime, r->field(1), r->field(2));
  if (!age) return g;
  const double now = std::chrono::duration<double>(RegistratorMonitor::Clock::now().time_since_epoch()).count();
  g.shiftOpenedAt = now - static_cast<double>(*age);
  return g;
}

void RegistratorMonitor::ExchangeBegins() {
  began_ = std::chrono::steady_clock::now();
  framesAtBegin_ = link_.Counters().frames;
}

// Opening the port is told to the watcher too: only a span in which a frame went out is an exchange.
void RegistratorMonitor::ExchangeEnds() {
  const LinkCounters& counters = link_.Counters();
  if (counters.frames == framesAtBegin_) return;
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began_).count();
  const ReplyRecord& r = link_.Record();
  std::lock_guard lock(mutex_);
  state_.link = counters;
  state_.exchanges.Observe(seconds);
  state_.contacted = true;
  state_.answered = (r.status & kNoValidReply) == 0;
  state_.why = state_.answered ? "" : WhyNot(r);
  if (state_.answered) {
    state_.statusKnown = true;
    state_.status = r.statusBytes;
  }
}

void RegistratorMonitor::CountAnswer(const std::string& path, const Answer& answer) {
  const char* kind = path == "/v1/receipts" ? "fiscal" : path == "/v1/non-fiscal" ? "non-fiscal" : nullptr;
  if (!kind) return;
  std::lock_guard lock(mutex_);
  ++state_.receipts[kind][ReceiptOutcome(answer)];
}

bool RegistratorMonitor::Due(std::chrono::seconds interval) const {
  std::lock_guard lock(mutex_);
  return !triedAt_ || std::chrono::steady_clock::now() - *triedAt_ >= interval;
}

void RegistratorMonitor::ReadingTried() {
  std::lock_guard lock(mutex_);
  triedAt_ = std::chrono::steady_clock::now();
}

void RegistratorMonitor::GaugesRead(const DeviceGauges& gauges) {
  std::lock_guard lock(mutex_);
  // A reading that got no reply keeps what the last good one found: the contact says it failed.
  if (!state_.answered) return;
  state_.gaugesReadAt = Clock::now();
  state_.gauges = gauges;
}

void RegistratorMonitor::PortUnavailable(const std::string& why) {
  std::lock_guard lock(mutex_);
  state_.contacted = true;
  state_.answered = false;
  state_.why = why;
}

RegistratorMonitor::Snapshot RegistratorMonitor::Take() const {
  std::lock_guard lock(mutex_);
  Snapshot s = state_;
  s.requests = requests_.Take();
  return s;
}

}  // namespace kovrix::server
