// kovrix-server-speed: how many two-item receipts per minute clients get through the service when
// the simulated lines are paced at a real baud rate. With one registrator: that figure as a share
// of the wire limit (the line busy with the receipts' frames all the time). With a list of
// registrator counts: one service serving that many simulated registrators, one client each, and
// the total as a share of that many times the one-registrator figure.

#include <stdlib.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <httplib.h>

#include "server/http_service.h"
#include "sim/device_server.h"

namespace {

const char* kTwoItems = R"({"items":[
  {"code":101,"name":"Хліб","price":"10.00","taxGroup":0,"department":1,"quantity":"2.000","discountPercent":"-5.00"},
  {"code":102,"name":"Сіль","price":3.5,"taxGroup":1,"quantity":"1.000"}],
  "comments":["Дякуємо!"],
  "payments":[{"type":1,"amount":"10.00"},{"type":0,"amount":"20.00"}]})";

struct Run {
  double seconds = 0;
  int failed = 0;
  std::uint64_t wireBytes = 0;  // of the first registrator's line
  bool started = false;
};

// One service with `count` simulated registrators; `clients` clients per registrator share its
// `receipts` receipts, all clients at once.
Run Measure(int count, int receipts, int baud, const std::string& dir, int clients = 1) {
  Run run;
  std::vector<std::unique_ptr<kovrix::sim::DeviceServer>> sims;
  kovrix::server::ServerConfig config;
  for (int i = 0; i < count; ++i) {
    sims.push_back(std::make_unique<kovrix::sim::DeviceServer>());
    if (!sims.back()->start()) return run;
    sims.back()->setPace(baud);
    kovrix::server::RegistratorConfig r{"r" + std::to_string(i + 1), {}};
    r.device.port = sims.back()->slavePath();
    r.device.baud = baud;
    config.registrators.push_back(r);
  }
  config.port = 0;
  config.answersDirectory = dir + "/answers";
  {
    kovrix::server::HttpService http(config);
    if (!http.Bind()) return run;
    std::thread serving([&] { http.Listen(); });
    const int port = http.port();
    auto post = [port](httplib::Client& client, int i) {
      auto res = client.Post(("/v1/registrators/r" + std::to_string(i + 1) + "/receipts").c_str(), kTwoItems,
                             "application/json");
      return res && res->status == 200;
    };
    // The first receipt on each programs the articles and reads what the service reads once: not timed.
    for (int i = 0; i < count; ++i) {
      httplib::Client client("127.0.0.1", port);
      client.set_read_timeout(60, 0);
      post(client, i);
    }
    const std::uint64_t bytesBefore = sims[0]->wireBytes();
    std::atomic<int> failed{0};
    const auto start = std::chrono::steady_clock::now();
    std::vector<std::thread> threads;
    for (int i = 0; i < count; ++i) {
      for (int c = 0; c < clients; ++c) {
        const int share = receipts / clients + (c < receipts % clients ? 1 : 0);
        threads.emplace_back([&, i, share] {
          httplib::Client client("127.0.0.1", port);
          client.set_read_timeout(60, 0);
          for (int n = 0; n < share; ++n) failed += post(client, i) ? 0 : 1;
        });
      }
    }
    for (std::thread& t : threads) t.join();
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.wireBytes = sims[0]->wireBytes() - bytesBefore;
    run.failed = failed;
    run.started = true;
    http.Stop();
    serving.join();
  }
  for (auto& sim : sims) sim->stop();
  return run;
}

bool ParseCounts(const std::string& text, std::vector<int>& counts) {
  std::istringstream in(text);
  std::string item;
  while (std::getline(in, item, ',')) {
    const int n = std::atoi(item.c_str());
    if (n < 1 || n > 64) return false;
    counts.push_back(n);
  }
  return !counts.empty();
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  std::vector<int> clientCounts;
  for (std::size_t i = 0; i + 1 < args.size(); ++i) {
    if (args[i] != "--clients") continue;
    if (!ParseCounts(args[i + 1], clientCounts)) clientCounts = {0};
    args.erase(args.begin() + static_cast<std::ptrdiff_t>(i), args.begin() + static_cast<std::ptrdiff_t>(i) + 2);
    break;
  }
  const int receipts = args.size() > 0 ? std::atoi(args[0].c_str()) : 100;
  const int baud = args.size() > 1 ? std::atoi(args[1].c_str()) : 115200;
  std::vector<int> counts;
  const bool badClients = !clientCounts.empty() && clientCounts.front() == 0;
  if (receipts < 1 || baud < 1200 || args.size() > 3 || (args.size() > 2 && !ParseCounts(args[2], counts)) ||
      badClients || (!clientCounts.empty() && !counts.empty())) {
    std::fprintf(stderr,
                 "usage: kovrix-server-speed [RECEIPTS [BAUD [REGISTRATORS]]]\n"
                 "       kovrix-server-speed --clients COUNTS [RECEIPTS [BAUD]]\n"
                 "  REGISTRATORS: counts such as 1,2,4,8 (each 1..64); RECEIPTS are sent to each\n"
                 "  --clients: one registrator, that many clients at once sharing the RECEIPTS\n");
    return 2;
  }
  char dir[] = "/tmp/kovrix-server-speed-XXXXXX";
  if (mkdtemp(dir) == nullptr) return 3;
  setenv("XDG_STATE_HOME", dir, 1);
  int failed = 0;
  if (!clientCounts.empty()) {
    std::printf("%d receipts at %d baud to one registrator\n", receipts, baud);
    std::printf("clients  receipts/min  wire limit/min  share of the wire\n");
    for (const int clients : clientCounts) {
      const Run run = Measure(1, receipts, baud, dir + ("/c" + std::to_string(clients)), clients);
      if (!run.started) return 3;
      failed += run.failed;
      const double wireSeconds = static_cast<double>(run.wireBytes) * 10.0 / baud;
      std::printf("%7d  %12.1f  %14.1f  %16.1f%%%s\n", clients, receipts * 60.0 / run.seconds,
                  receipts * 60.0 / wireSeconds, 100.0 * wireSeconds / run.seconds, run.failed ? "  (some failed)" : "");
    }
  } else if (counts.empty()) {
    const Run run = Measure(1, receipts, baud, dir);
    if (!run.started) return 3;
    failed = run.failed;
    const double wireSeconds = static_cast<double>(run.wireBytes) * 10.0 / baud;
    std::printf(
        "%d receipts at %d baud in %.2f s: %.1f receipts/min; wire limit %.1f receipts/min; %.1f%% of it; %d failed\n",
        receipts, baud, run.seconds, receipts * 60.0 / run.seconds, receipts * 60.0 / wireSeconds,
        100.0 * wireSeconds / run.seconds, run.failed);
  } else {
    // The one-registrator figure is measured first whether or not it is listed: the others are its multiples.
    const Run single = Measure(1, receipts, baud, dir + std::string("/1"));
    if (!single.started) return 3;
    const double one = receipts * 60.0 / single.seconds;
    std::printf("%d receipts per registrator at %d baud, one client each\n", receipts, baud);
    std::printf("registrators  receipts/min  per registrator  ratio to N x one\n");
    for (const int n : counts) {
      const Run run = n == 1 ? single : Measure(n, receipts, baud, dir + ("/" + std::to_string(n)));
      if (!run.started) return 3;
      failed += run.failed;
      const double total = n * receipts * 60.0 / run.seconds;
      std::printf("%12d  %12.1f  %15.1f  %16.3f%s\n", n, total, total / n, total / (n * one),
                  run.failed ? "  (some failed)" : "");
    }
  }
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
  return failed == 0 ? 0 : 1;
}
