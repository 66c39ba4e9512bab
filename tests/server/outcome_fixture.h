#pragma once
// A served HttpService whose registrator is the simulator on a pseudo-terminal, with the helpers
// the outcome tests and the receipt soak share: HTTP calls, the commands the simulator received,
// its tape and its receipt state.

#include <gtest/gtest.h>

#include <httplib.h>
#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "driver/codepage.h"
#include "driver/driver.h"
#include "server/http_service.h"
#include "tests/server/served_service.h"
#include "sim/device_server.h"

namespace kovrix::server::test {

class ServedSimulator : public ServedService {
 protected:
  using json = nlohmann::json;

  struct Result {
    int status = 0;
    json body;
    std::string replayed;
  };
  Result Post(const std::string& path, const std::string& body, const httplib::Headers& headers = {}) {
    httplib::Client c("127.0.0.1", http->port());
    c.set_read_timeout(30, 0);
    auto res = c.Post(path.c_str(), headers, body, "application/json");
    if (!res) return {};
    return {res->status, json::parse(res->body, nullptr, false), res->get_header_value("Idempotent-Replayed")};
  }
  Result Get(const std::string& path, const httplib::Headers& headers = {}) {
    httplib::Client c("127.0.0.1", http->port());
    c.set_read_timeout(30, 0);
    auto res = c.Get(path.c_str(), headers);
    if (!res) return {};
    return {res->status, json::parse(res->body, nullptr, false), {}};
  }
  int Count(const std::string& command) {
    int n = 0;
    for (const std::string& c : Commands()) n += c == command;
    return n;
  }
  static int Occurrences(const std::string& text, const std::string& what) {
    int n = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size())) ++n;
    return n;
  }
  int ReceiptKind() {
    return sim.withDevice([](sim::Registrator& r) { return static_cast<int>(r.state().receipt.kind); });
  }
  int ReceiptNumber() {
    return sim.withDevice([](sim::Registrator& r) { return r.state().receiptNumber; });
  }
};

/// Two registrators served: "a" on the fixture's simulator, "b" on simB, a simulator of its own.
class TwoServedSimulators : public ServedSimulator {
 protected:
  void SetUp() override {
    ServedSimulator::SetUp();
    ASSERT_TRUE(simB.start());
    Shut();
    config.registrators = {{"a", config.device}, {"b", config.device}};
    config.registrators[1].device.port = simB.slavePath();
    Adjust(config);
    Serve();
  }
  void TearDown() override {
    ServedSimulator::TearDown();
    simB.stop();
  }
  /// Changes the configuration of the two before they are served.
  virtual void Adjust(ServerConfig& /*two*/) {}

  sim::DeviceServer simB;
};

}  // namespace kovrix::server::test
