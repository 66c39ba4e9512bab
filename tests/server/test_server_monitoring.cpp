// Monitoring: the health and readiness checks and the Prometheus exposition of two simulated
// registrators, with receipts of every outcome, faults on the line, status bits and the device's
// own gauges; the reading of those gauges bounded in rate and kept out of receipts.
#include <gtest/gtest.h>

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <map>
#include <optional>
#include <sstream>
#include <thread>

#include "server/metrics.h"
#include "server/options.h"
#include "server/registrator_monitor.h"
#include "sim/model/fiscal_memory.h"
#include "tests/server/outcome_fixture.h"

namespace kovrix::server {
namespace {

using nlohmann::json;

// --- the pieces -------------------------------------------------------------------------------

TEST(MonitoringPieces, AReceiptAnswerIsCountedUnderItsOutcome) {
  struct Case {
    int status;
    const char* body;
    const char* outcome;
  } cases[] = {
      {200, R"({"total":"22.50","error":"0000","outcome":"printed"})", "printed"},
      {200, R"({"total":"22.50","error":"0000","number":"7","outcome":"printed"})", "printed"},  // settled late
      {409, R"({"error":"0502","step":"payment 1","annulled":true})", "annulled"},
      {409, R"({"step":"line 1","closed":true})", "annulled"},
      {409, R"({"step":"sell item 1","annulled":true,"outcome":"annulled"})", "annulled"},
      {409, R"({"step":"payment 1","annulled":false})", "refused"},  // left to the next request to annul
      {409, R"({"error":"0502","step":"program item 1"})", "refused"},
      {409, R"({"annulled":false,"outcome":"not printed"})", "refused"},
      {400, R"({"message":"the command refused its arguments"})", "refused"},
      {503, R"({"message":"the registrator does not answer; nothing was printed, try again"})", "refused"},
      {504, R"({"outcome":"unknown","request":3,"receipt":true})", "unknown"},
      {409, R"({"annulled":false,"outcome":"open","request":3})", "unknown"},
      {409, R"({"annulled":false,"outcome":"finished elsewhere","number":"7"})", "unknown"},
  };
  for (const Case& c : cases) {
    EXPECT_STREQ(ReceiptOutcome(Answer{c.status, nlohmann::ordered_json::parse(c.body)}), c.outcome) << c.body;
  }
}

TEST(MonitoringPieces, TheExpositionHasItsFamiliesLabelsAndCumulativeBuckets) {
  Exposition out;
  out.Family("kovrix_x_total", "counter", "Things");
  out.Sample("kovrix_x_total", {{"registrator", "a\"b\\c\nd"}, {"status", "200"}}, 12345678901.0);
  Histogram h;
  for (double s : {0.004, 0.005, 0.02, 0.3, 11.0}) h.Observe(s);
  out.Family("kovrix_t_seconds", "histogram", "Times");
  h.Write(out, "kovrix_t_seconds", {{"registrator", "a"}});
  const std::string& t = out.text();
  EXPECT_EQ(t.rfind("# HELP kovrix_x_total Things\n# TYPE kovrix_x_total counter\n"
                    "kovrix_x_total{registrator=\"a\\\"b\\\\c\\nd\",status=\"200\"} 12345678901\n"
                    "# HELP kovrix_t_seconds Times\n# TYPE kovrix_t_seconds histogram\n"
                    "kovrix_t_seconds_bucket{registrator=\"a\",le=\"0.005\"} 2\n"
                    "kovrix_t_seconds_bucket{registrator=\"a\",le=\"0.01\"} 2\n"
                    "kovrix_t_seconds_bucket{registrator=\"a\",le=\"0.025\"} 3\n",
                    0),
            0u)
      << t;
  EXPECT_NE(t.find("kovrix_t_seconds_bucket{registrator=\"a\",le=\"0.5\"} 4\n"), std::string::npos) << t;
  EXPECT_NE(t.find("kovrix_t_seconds_bucket{registrator=\"a\",le=\"10\"} 4\n"
                   "kovrix_t_seconds_bucket{registrator=\"a\",le=\"+Inf\"} 5\n"
                   "kovrix_t_seconds_sum{registrator=\"a\"} 11.329\n"
                   "kovrix_t_seconds_count{registrator=\"a\"} 5\n"),
            std::string::npos)
      << t;
}

// The registrator's dates (DDMMYY) and times (HHMM) are its local time: only their difference counts.
TEST(MonitoringPieces, TheShiftAgeIsMeasuredOnTheRegistratorsClock) {
  struct Case {
    const char *thenDate, *thenTime, *nowDate, *nowTime;
    std::optional<std::int64_t> seconds;
  } cases[] = {
      {"010226", "0900", "010226", "0930", 1800},
      {"280226", "2300", "010326", "0100", 2 * 3600},  // over the end of February
      {"311225", "2359", "010126", "0000", 60},        // over the end of a year
      {"280224", "1200", "010324", "1200", 2 * 86400},  // a leap year
      {"010226", "0900", "010226", "0830", -1800},      // a clock set back
      {"", "", "010226", "0900", std::nullopt},
      {"010226", "9:00", "010226", "0900", std::nullopt},
      {"320126", "0900", "010226", "0900", std::nullopt},
      {"010226", "2460", "010226", "0900", std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SecondsBetween(c.thenDate, c.thenTime, c.nowDate, c.nowTime), c.seconds)
        << c.thenDate << " " << c.thenTime << " -> " << c.nowDate << " " << c.nowTime;
  }
}

// The monitoring paths, from this machine, need no token; anything else follows the token rule.
TEST(MonitoringPieces, OnlyTheMonitoringPathsFromLoopbackGoWithoutTheToken) {
  struct Case {
    const char* path;
    const char* client;
    bool waived;
  } cases[] = {
      {"/metrics", "127.0.0.1", true},     {"/healthz", "::1", true},         {"/readyz", "::ffff:127.0.0.1", true},
      {"/metrics", "127.3.2.1", true},     {"/metrics", "10.0.0.5", false},   {"/metrics", "::ffff:10.0.0.5", false},
      {"/v1/device", "127.0.0.1", false},  {"/metrics/x", "127.0.0.1", false}, {"/v1/metrics", "127.0.0.1", false},
  };
  for (const Case& c : cases) EXPECT_EQ(TokenWaived(c.path, c.client), c.waived) << c.path << " from " << c.client;
}

TEST(MonitoringPieces, TheReadingIntervalIsAWholeNumberOfSeconds) {
  struct Case {
    const char* value;
    std::string result;  // the interval read, or the message
  } cases[] = {
      {"1", "1"},
      {"86400", "86400"},
      {"0", "option --device-read-interval: '0' is not a whole number of seconds from 1 to 86400"},
      {"86401", "option --device-read-interval: '86401' is not a whole number of seconds from 1 to 86400"},
      {"5s", "option --device-read-interval: '5s' is not a whole number of seconds from 1 to 86400"},
  };
  for (const Case& c : cases) {
    ServerOptions options;
    std::string error;
    const bool ok = ParseServerOptions({"-p", "ttyUSB0", "--device-read-interval", c.value}, options, error);
    EXPECT_EQ(ok ? std::to_string(options.config.deviceReadInterval.count()) : error, c.result) << c.value;
  }
  ServerOptions defaults;
  EXPECT_EQ(defaults.config.deviceReadInterval, std::chrono::seconds(60));
}

// --- served ------------------------------------------------------------------------------------

class Monitoring : public test::TwoServedSimulators {
 protected:
  void Adjust(ServerConfig& two) override {
    two.registrators[1].device.repeats = 2;
    two.deviceReadInterval = std::chrono::seconds(3600);
  }

  struct Scrape {
    int status = 0;
    std::string type;
    std::string text;
    std::map<std::string, double> samples;  // "name{labels}" as written -> value
    double operator[](const std::string& series) const {
      const auto at = samples.find(series);
      return at == samples.end() ? NAN : at->second;
    }
    bool has(const std::string& series) const { return samples.count(series) != 0; }
  };
  Scrape Metrics(const httplib::Headers& headers = {}) {
    httplib::Client c("127.0.0.1", http->port());
    c.set_read_timeout(30, 0);
    auto res = c.Get("/metrics", headers);
    Scrape s;
    if (!res) return s;
    s.status = res->status;
    s.type = res->get_header_value("Content-Type");
    s.text = res->body;
    std::istringstream lines(res->body);
    std::string line;
    while (std::getline(lines, line)) {
      if (line.empty() || line[0] == '#') continue;
      const auto space = line.rfind(' ');
      s.samples[line.substr(0, space)] = std::stod(line.substr(space + 1));
    }
    return s;
  }
  static std::string Of(const char* registrator, const std::string& series, const std::string& more = "") {
    return series + "{registrator=\"" + registrator + "\"" + (more.empty() ? "" : "," + more) + "}";
  }
  static int CountOf(sim::DeviceServer& s, std::uint8_t command) {
    int n = 0;
    for (const auto& e : s.journal().Entries()) n += e.command == command;
    return n;
  }
};

// Receipts of every outcome the simulator can bring about, each counted under its outcome; what
// the link met is counted per registrator, and the answers by status.
TEST_F(Monitoring, ReceiptsAndTheLinkAreCountedPerRegistrator) {
  ASSERT_EQ(Post("/v1/registrators/a/receipts", kTwoItems).status, 200);
  sim.faults().FailCommandTimes(0x67, sim::err::kPayTypeDisabled, 1);
  ASSERT_EQ(Post("/v1/registrators/a/receipts", kTwoItems).body.value("annulled", false), true);
  sim.faults().FailCommandTimes(0x24, sim::err::kPayTypeDisabled, 1);
  ASSERT_EQ(Post("/v1/registrators/a/receipts", kTwoItems).status, 409);
  sim.faults().Aim(0x65, sim::LineFault::Mute, 1);
  sim.faults().Aim(0x80, sim::LineFault::Drop);
  ASSERT_EQ(Post("/v1/receipts", kTwoItems).body.value("outcome", ""), "unknown");
  sim.faults().Clear();
  // The next request settles the earlier receipt first, then prints its own.
  ASSERT_EQ(Post("/v1/registrators/a/non-fiscal", R"({"lines":["Дякуємо!"]})").status, 200);
  ASSERT_EQ(Post("/v1/registrators/a/receipts", R"({"items":[]})").status, 400);
  // On b, which repeats: a NAK before a receipt that prints all the same.
  simB.faults().Aim(0x63, sim::LineFault::Nak, 1);
  ASSERT_EQ(Post("/v1/registrators/b/receipts", kTwoItems).status, 200);

  const Scrape m = Metrics();
  ASSERT_EQ(m.status, 200);
  EXPECT_EQ(m.type, "text/plain; version=0.0.4; charset=utf-8");
  const auto receipts = [&](const char* r, const char* kind, const char* outcome) {
    return m[Of(r, "kovrix_receipts_total", std::string("kind=\"") + kind + "\",outcome=\"" + outcome + "\"")];
  };
  EXPECT_EQ(receipts("a", "fiscal", "printed"), 1);
  EXPECT_EQ(receipts("a", "fiscal", "annulled"), 1);
  EXPECT_EQ(receipts("a", "fiscal", "refused"), 1);  // the 400 never reached the registrator: not a receipt
  EXPECT_EQ(receipts("a", "fiscal", "unknown"), 1);
  EXPECT_EQ(receipts("a", "non-fiscal", "printed"), 1);
  EXPECT_EQ(receipts("b", "fiscal", "printed"), 1);
  EXPECT_EQ(receipts("b", "fiscal", "unknown"), 0);

  EXPECT_EQ(m[Of("a", "kovrix_requests_total", "status=\"200\"")], 2);
  EXPECT_EQ(m[Of("a", "kovrix_requests_total", "status=\"409\"")], 2);
  EXPECT_EQ(m[Of("a", "kovrix_requests_total", "status=\"504\"")], 1);
  EXPECT_EQ(m[Of("a", "kovrix_requests_total", "status=\"400\"")], 1);
  EXPECT_EQ(m[Of("b", "kovrix_requests_total", "status=\"200\"")], 1);
  EXPECT_FALSE(m.has("kovrix_requests_total{status=\"200\"}")) << "this scrape is counted once it is answered";
  EXPECT_EQ(Metrics()["kovrix_requests_total{status=\"200\"}"], 1);

  // Every frame the simulators received was sent by the registrator's link, and every exchange timed.
  // (this scrape's own reading included).
  const auto frames = [&](const char* r) { return m[Of(r, "kovrix_link_frames_total")]; };
  EXPECT_EQ(frames("a"), static_cast<double>(sim.journal().Size()));
  EXPECT_EQ(frames("b"), static_cast<double>(simB.journal().Size()));
  EXPECT_EQ(m[Of("a", "kovrix_link_timeouts_total")], 1 + 3);  // the muted close, the three reads after it
  EXPECT_EQ(m[Of("b", "kovrix_link_timeouts_total")], 0);
  EXPECT_EQ(m[Of("b", "kovrix_link_repeats_total")], 1);
  EXPECT_EQ(m[Of("b", "kovrix_link_spoilt_replies_total", "reason=\"nak\"")], 1);
  EXPECT_EQ(m[Of("a", "kovrix_link_spoilt_replies_total", "reason=\"nak\"")], 0);
  const double exchanges = m[Of("a", "kovrix_exchange_seconds_count")];
  EXPECT_EQ(m[Of("a", "kovrix_exchange_seconds_bucket", "le=\"+Inf\"")], exchanges);
  EXPECT_EQ(exchanges, frames("a"));  // a does not repeat
  EXPECT_EQ(m[Of("b", "kovrix_exchange_seconds_count")], frames("b") - 1);  // the NAKed frame went twice
  EXPECT_LE(m[Of("a", "kovrix_exchange_seconds_bucket", "le=\"0.005\"")], m[Of("a", "kovrix_exchange_seconds_bucket", "le=\"10\"")]);
  EXPECT_GT(m[Of("a", "kovrix_exchange_seconds_sum")], 0);
}

// The status bits of the registrators' replies and what only a command reports: paper, cover,
// fiscal memory, the open shift and since when, the receipt open.
TEST_F(Monitoring, TheGaugesTellWhatTheRegistratorReports) {
  ASSERT_EQ(Post("/v1/registrators/a/receipts", kTwoItems).status, 200);
  sim.faults().ForceStatusBit(1, 0, true);  // receipt paper running out
  sim.faults().ForceStatusBit(1, 3, true);  // control tape ended
  // The shift opened 25 hours ago by the registrator's clock, whatever the machine's says.
  sim.withDevice([](sim::Registrator& r) {
    r.device().SetNow(r.device().Now() + 3 * 3600);
    return r.state().shift.openedAt = r.device().Now() - 25 * 3600;
  });
  const int freeRecords = sim.withDevice([](sim::Registrator& r) { return sim::FreeFmRecords(r.state().flash); });
  simB.faults().ForceStatusBit(0, 4, true);  // printer fault
  const double now = std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();

  const Scrape m = Metrics();
  ASSERT_EQ(m.status, 200);
  EXPECT_EQ(m[Of("a", "kovrix_connected")], 1);
  EXPECT_EQ(m[Of("a", "kovrix_paper_low", "tape=\"receipt\"")], 1);
  EXPECT_EQ(m[Of("a", "kovrix_paper_low", "tape=\"control\"")], 0);
  EXPECT_EQ(m[Of("a", "kovrix_paper_out", "tape=\"receipt\"")], 0);
  EXPECT_EQ(m[Of("a", "kovrix_paper_out", "tape=\"control\"")], 1);
  EXPECT_EQ(m[Of("a", "kovrix_printer_fault")], 0);
  EXPECT_EQ(m[Of("b", "kovrix_printer_fault")], 1);
  EXPECT_EQ(m[Of("a", "kovrix_cover_open")], 0);
  EXPECT_EQ(m[Of("a", "kovrix_receipt_open")], 0);
  EXPECT_EQ(m[Of("a", "kovrix_shift_open")], 1);
  EXPECT_EQ(m[Of("a", "kovrix_shift_ending")], 1);
  EXPECT_EQ(m[Of("b", "kovrix_shift_open")], 0);
  EXPECT_EQ(m[Of("a", "kovrix_fiscal_memory_free_records")], freeRecords);
  EXPECT_GT(freeRecords, 0);
  EXPECT_EQ(m[Of("a", "kovrix_fiscal_memory_nearly_full")], 0);
  EXPECT_EQ(m[Of("a", "kovrix_fiscal_memory_full")], 0);
  // Minutes on the registrator's clock: within two of them, and of the machine's time.
  EXPECT_NEAR(m[Of("a", "kovrix_shift_opened_timestamp_seconds")], now - 25 * 3600, 150);
  EXPECT_FALSE(m.has(Of("b", "kovrix_shift_opened_timestamp_seconds"))) << "no shift open on b";
  EXPECT_NEAR(m[Of("b", "kovrix_device_read_timestamp_seconds")], now, 60);

  // A receipt opened by hand shows at once, from the reply; the free resources are read again
  // only after their interval.
  const int reads = CountOf(sim, 0xA0);
  sim.faults().Clear();
  sim.withDevice([](sim::Registrator& r) { return r.state().shift.openedAt = r.device().Now(); });
  ASSERT_EQ(Post("/v1/registrators/a/commands", R"({"command":"63","data":"482916;1;1;0;"})").status, 200);
  const Scrape open = Metrics();
  EXPECT_EQ(open[Of("a", "kovrix_receipt_open")], 1);
  EXPECT_EQ(open[Of("a", "kovrix_paper_low", "tape=\"receipt\"")], 0);
  EXPECT_EQ(CountOf(sim, 0xA0), reads);
}

// The reading of the gauges comes only between requests: with a reading due at every scrape and
// scrapes all the time, no receipt has a read among its commands.
TEST_F(Monitoring, TheGaugesAreNeverReadInsideAReceipt) {
  Shut();
  config.deviceReadInterval = std::chrono::seconds(0);
  Serve();
  std::atomic<bool> selling{true};
  std::atomic<int> scrapes{0};
  std::thread scraper([&] {
    while (selling) scrapes += Metrics().status == 200;
  });
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(Post("/v1/registrators/a/receipts", kTwoItems).status, 200) << i;
    // Room for a scrape that begins after this receipt, so that one reads before the next.
    const int seen = scrapes;
    for (int wait = 0; wait < 400 && scrapes < seen + 2; ++wait) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  selling = false;
  scraper.join();
  EXPECT_GE(CountOf(sim, 0xA0), 6) << "the scrapes read between the receipts";
  bool inside = false;
  for (const auto& e : sim.journal().Entries()) {
    if (e.command == 0x63) inside = true;
    if (e.command == 0x65) inside = false;
    EXPECT_FALSE(inside && (e.command == 0x80 || e.command == 0xA0 || e.command == 0x21))
        << "a read inside a receipt: " << sim::Describe(e);
  }
}

// Healthy while the process serves; ready only while every registrator answers, the silent one
// named with why. From this machine none of the three needs the token.
TEST_F(Monitoring, HealthAndReadinessNameTheRegistratorThatIsSilent) {
  Shut();
  config.token = "monitoring-token-0123";
  config.deviceReadInterval = std::chrono::seconds(0);
  Serve();
  const Result health = Get("/healthz");
  EXPECT_EQ(health.status, 200);
  EXPECT_EQ(health.body, json::parse(R"({"status":"ok"})"));
  Result ready = Get("/readyz");
  EXPECT_EQ(ready.status, 200) << ready.body.dump();
  EXPECT_EQ(ready.body, json::parse(R"({"ready":true,"registrators":[{"id":"a","ready":true},{"id":"b","ready":true}]})"));
  EXPECT_EQ(Get("/v1/registrators/a/device").status, 401) << "the other endpoints keep the token";

  simB.faults().SilenceAfter(0x80, 1, 5000);
  const auto start = std::chrono::steady_clock::now();
  ready = Get("/readyz");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2500)) << "a bounded wait";
  EXPECT_EQ(ready.status, 503);
  EXPECT_EQ(ready.body, json::parse(R"({"ready":false,"registrators":[{"id":"a","ready":true},
      {"id":"b","ready":false,"message":"the registrator does not answer"}]})"));
  const Scrape m = Metrics();
  EXPECT_EQ(m[Of("a", "kovrix_connected")], 1);
  EXPECT_EQ(m[Of("b", "kovrix_connected")], 0);

  // A registrator whose port cannot be opened is named with the reason.
  simB.stop();
  ready = Get("/readyz");
  EXPECT_EQ(ready.status, 503);
  EXPECT_NE(ready.body["registrators"][1].value("message", "").find(simB.slavePath()), std::string::npos)
      << ready.body.dump();
}

}  // namespace
}  // namespace kovrix::server
