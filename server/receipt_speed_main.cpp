// kovrix-server-speed: how many two-item receipts per minute one client gets through the service
// when the simulated line is paced at a real baud rate, and that figure as a share of the wire
// limit (the line busy with the receipts' frames all the time).

#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>

#include <httplib.h>

#include "driver/driver.h"
#include "server/http_service.h"
#include "sim/device_server.h"

namespace {

const char* kTwoItems = R"({"items":[
  {"code":101,"name":"Хліб","price":"10.00","taxGroup":0,"department":1,"quantity":"2.000","discountPercent":"-5.00"},
  {"code":102,"name":"Сіль","price":3.5,"taxGroup":1,"quantity":"1.000"}],
  "comments":["Дякуємо!"],
  "payments":[{"type":1,"amount":"10.00"},{"type":0,"amount":"20.00"}]})";

}  // namespace

int main(int argc, char** argv) {
  const int receipts = argc > 1 ? std::atoi(argv[1]) : 100;
  const int baud = argc > 2 ? std::atoi(argv[2]) : 115200;
  if (receipts < 1 || baud < 1200) {
    std::fprintf(stderr, "usage: kovrix-server-speed [RECEIPTS [BAUD]]\n");
    return 2;
  }
  char dir[] = "/tmp/kovrix-server-speed-XXXXXX";
  if (mkdtemp(dir) == nullptr) return 3;
  setenv("XDG_STATE_HOME", dir, 1);
  kovrix::sim::DeviceServer sim;
  if (!sim.start()) return 3;
  sim.setPace(baud);
  kovrix::server::ServerConfig config;
  config.device.port = sim.slavePath();
  config.device.baud = baud;
  config.port = 0;
  config.answersDirectory = std::string(dir) + "/answers";
  int failed = 0;
  double seconds = 0;
  std::uint64_t bytes = 0;
  {
    kovrix::server::HttpService http(config);
    if (!http.Bind()) return 3;
    std::thread serving([&] { http.Listen(); });
    httplib::Client client("127.0.0.1", http.port());
    client.set_read_timeout(60, 0);
    // The first receipt programs the articles and reads what the service reads once: not timed.
    client.Post("/v1/receipts", kTwoItems, "application/json");
    const std::uint64_t bytesBefore = sim.wireBytes();
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < receipts; ++i) {
      auto res = client.Post("/v1/receipts", kTwoItems, "application/json");
      if (!res || res->status != 200) ++failed;
    }
    seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    bytes = sim.wireBytes() - bytesBefore;
    http.Stop();
    serving.join();
  }
  sim.stop();
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
  const double wireSeconds = static_cast<double>(bytes) * 10.0 / baud;
  std::printf("%d receipts at %d baud in %.2f s: %.1f receipts/min; wire limit %.1f receipts/min; %.1f%% of it; %d failed\n",
              receipts, baud, seconds, receipts * 60.0 / seconds, receipts * 60.0 / wireSeconds,
              100.0 * wireSeconds / seconds, failed);
  return failed == 0 ? 0 : 1;
}
