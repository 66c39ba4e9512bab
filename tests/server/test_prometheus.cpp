// kovrix-server under a real monitoring system: Debian's promtool checks the exposition, and
// Prometheus, started on a loopback port with a configuration written for the run, scrapes the
// built program serving two simulated registrators; the series are read back through its HTTP
// API. Each test skips with a message when the tool is not installed.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <httplib.h>
#include <nlohmann/json.hpp>

#include "sim/device_server.h"
#include "support/free_port.h"
#include "tests/server/served_service.h"

namespace kovrix::server {
namespace {

using nlohmann::json;
namespace fs = std::filesystem;

constexpr const char* kMissing = "is not installed (Debian package prometheus): monitoring test skipped";

std::string Program(const char* name) {
  for (const std::string dir : {"/usr/bin/", "/usr/local/bin/"}) {
    if (::access((dir + name).c_str(), X_OK) == 0) return dir + name;
  }
  return {};
}

std::string Encoded(const std::string& text) {
  std::string out;
  for (unsigned char c : text) {
    if (std::isalnum(c) || c == '_' || c == '-' || c == '.') {
      out += static_cast<char>(c);
    } else {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%%%02X", c);
      out += hex;
    }
  }
  return out;
}

// A program started for the test, its output in a file; ended by its pid (SIGTERM, then SIGKILL).
class Child {
 public:
  Child() = default;
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;
  ~Child() { Stop(); }

  /// Starts the program; with firstLine, answers the first line it prints (waited for up to 10 s).
  std::string Start(std::vector<std::string> args, const std::string& log, bool firstLine = false) {
    int out[2] = {-1, -1};
    if (firstLine && ::pipe(out) != 0) return {};
    pid_ = ::fork();
    if (pid_ == 0) {
      const int fd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      ::dup2(fd, STDERR_FILENO);
      ::dup2(firstLine ? out[1] : fd, STDOUT_FILENO);
      std::vector<char*> argv;
      for (std::string& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
    if (!firstLine) return {};
    ::close(out[1]);
    std::string line;
    pollfd p{out[0], POLLIN, 0};
    char c = 0;
    while (::poll(&p, 1, 10000) > 0 && ::read(out[0], &c, 1) == 1 && c != '\n') line += c;
    ::close(out[0]);
    return line;
  }
  void Stop() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    for (int i = 0; i < 500; ++i) {
      if (::waitpid(pid_, nullptr, WNOHANG) == pid_) {
        pid_ = -1;
        return;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }

 private:
  pid_t pid_ = -1;
};

// Runs a command with text on its standard input; answers its exit status and what it printed.
int RunWithInput(const std::string& command, const std::string& input, std::string& output, const std::string& dir) {
  const std::string in = dir + "/input", out = dir + "/output";
  std::ofstream(in, std::ios::binary) << input;
  const int status = std::system((command + " < " + in + " > " + out + " 2>&1").c_str());
  std::ifstream text(out);
  output.assign(std::istreambuf_iterator<char>(text), std::istreambuf_iterator<char>());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class MonitoredPrograms : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/kovrix-prometheus-XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    work = tmpl;
    ::setenv("XDG_STATE_HOME", (work / "state").c_str(), 1);
    ASSERT_TRUE(simA.start());
    ASSERT_TRUE(simB.start());
  }
  void TearDown() override {
    prometheus.Stop();
    server.Stop();
    simA.stop();
    simB.stop();
    ::unsetenv("XDG_STATE_HOME");
    if (!work.empty()) fs::remove_all(work);
  }

  /// Starts kovrix-server on a free loopback port, serving registrators a and b.
  void StartServer() {
    const std::string line = server.Start({KOVRIX_SERVER_PROGRAM, "--registrator", "a=" + simA.slavePath(),
                                           "--registrator", "b=" + simB.slavePath(), "-b", "115200", "--repeats", "0",
                                           "--listen", "127.0.0.1:0", "--device-read-interval", "1"},
                                          (work / "server.log").string(), true);
    ASSERT_EQ(line.rfind("listening on http://127.0.0.1:", 0), 0u) << line;
    servicePort = std::stoi(line.substr(line.rfind(':') + 1));
  }
  int Post(const std::string& path, const std::string& body) {
    httplib::Client c("127.0.0.1", servicePort);
    c.set_read_timeout(30, 0);
    auto res = c.Post(path.c_str(), body, "application/json");
    return res ? res->status : 0;
  }
  /// Sells on a: two receipts printed and one annulled; on b one printed, its paper running out.
  void Sell() {
    ASSERT_EQ(Post("/v1/registrators/a/receipts", kTwoItems), 200);
    ASSERT_EQ(Post("/v1/registrators/a/receipts", kTwoItems), 200);
    simA.faults().FailCommandTimes(0x67, sim::err::kPayTypeDisabled, 1);
    ASSERT_EQ(Post("/v1/registrators/a/receipts", kTwoItems), 409);
    simB.faults().ForceStatusBit(1, 0, true);
    ASSERT_EQ(Post("/v1/registrators/b/receipts", kTwoItems), 200);
  }

  fs::path work;
  sim::DeviceServer simA, simB;
  Child server, prometheus;
  int servicePort = 0;
};

TEST_F(MonitoredPrograms, PromtoolFindsNothingWrongInTheExposition) {
  const std::string promtool = Program("promtool");
  if (promtool.empty()) GTEST_SKIP() << "promtool " << kMissing;
  StartServer();
  Sell();
  httplib::Client c("127.0.0.1", servicePort);
  auto res = c.Get("/metrics");
  ASSERT_TRUE(res);
  ASSERT_EQ(res->status, 200);
  std::string said;
  EXPECT_EQ(RunWithInput(promtool + " check metrics", res->body, said, work.string()), 0) << said;
  EXPECT_EQ(said, "") << "promtool's lint found something";
}

TEST_F(MonitoredPrograms, PrometheusScrapesTheSeriesAndLoadsTheAlertRules) {
  const std::string binary = Program("prometheus");
  if (binary.empty()) GTEST_SKIP() << "prometheus " << kMissing;
  StartServer();
  Sell();
  const int port = test::FreePort();
  ASSERT_GT(port, 0);
  std::ofstream(work / "prometheus.yml")
      << "global:\n  scrape_interval: 1s\n  evaluation_interval: 1s\n"
      << "rule_files:\n  - " << KOVRIX_ALERT_RULES << "\n"
      << "scrape_configs:\n  - job_name: kovrix\n    static_configs:\n"
      << "      - targets: ['127.0.0.1:" << servicePort << "']\n";
  prometheus.Start({binary, "--config.file=" + (work / "prometheus.yml").string(),
                    "--storage.tsdb.path=" + (work / "data").string(), "--web.listen-address=127.0.0.1:" + std::to_string(port),
                    "--log.level=warn"},
                   (work / "prometheus.log").string());
  httplib::Client api("127.0.0.1", port);
  api.set_read_timeout(5, 0);
  // One value of a query (NaN when it has none), asked until it is `want` or 30 s pass.
  auto value = [&](const std::string& query, double want) {
    double got = NAN;
    for (int i = 0; i < 300; ++i) {
      auto res = api.Get(("/api/v1/query?query=" + Encoded(query)).c_str());
      if (res && res->status == 200) {
        const json body = json::parse(res->body, nullptr, false);
        const json& result = body["data"]["result"];
        if (result.is_array() && result.size() == 1) got = std::stod(result[0]["value"][1].get<std::string>());
        if (got == want) return got;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return got;
  };
  std::ifstream log(work / "prometheus.log");
  const std::string said((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
  ASSERT_EQ(value("up{job=\"kovrix\"}", 1), 1) << said;
  EXPECT_EQ(value("kovrix_receipts_total{registrator=\"a\",kind=\"fiscal\",outcome=\"printed\"}", 2), 2);
  EXPECT_EQ(value("kovrix_receipts_total{registrator=\"a\",kind=\"fiscal\",outcome=\"annulled\"}", 1), 1);
  EXPECT_EQ(value("kovrix_receipts_total{registrator=\"b\",kind=\"fiscal\",outcome=\"printed\"}", 1), 1);
  EXPECT_EQ(value("sum(kovrix_requests_total{registrator=\"a\"})", 3), 3);
  EXPECT_EQ(value("kovrix_paper_low{registrator=\"b\",tape=\"receipt\"}", 1), 1);
  EXPECT_EQ(value("kovrix_paper_low{registrator=\"a\",tape=\"receipt\"}", 0), 0);
  EXPECT_EQ(value("min(kovrix_connected)", 1), 1);
  EXPECT_EQ(value("count(kovrix_shift_open == 1)", 2), 2);
  EXPECT_EQ(value("count(time() - kovrix_shift_opened_timestamp_seconds < 300)", 2), 2);
  EXPECT_EQ(value("count(kovrix_fiscal_memory_free_records > 0)", 2), 2);
  EXPECT_EQ(value("sum(kovrix_exchange_seconds_count) - sum(kovrix_link_frames_total)", 0), 0) << "none repeats";
  // The paper of b keeps the paper alert pending (it waits 10 minutes before it fires).
  EXPECT_EQ(value("count(ALERTS{alertname=\"KovrixPaperLow\",registrator=\"b\",alertstate=\"pending\"})", 1), 1);
  auto rules = api.Get("/api/v1/rules");
  ASSERT_TRUE(rules);
  const json groups = json::parse(rules->body)["data"]["groups"];
  ASSERT_EQ(groups.size(), 1u) << rules->body;
  for (const json& rule : groups[0]["rules"]) EXPECT_EQ(rule["health"], "ok") << rule.dump();
}

}  // namespace
}  // namespace kovrix::server
