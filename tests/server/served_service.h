#pragma once
// The service under test: an HttpService on a loopback port whose registrator is the simulator on a
// pseudo-terminal (a loopback tcp:// port on Windows), with its state (answers, receipt journal, sequence) in a directory of its own.
// The server test fixtures build on it, with the sample receipt and the simulator's journal and tape
// as texts.

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "driver/codepage.h"
#include "driver/driver.h"
#include "server/http_service.h"
#include "sim/device_server.h"
#include "tests/server/test_platform.h"

namespace kovrix::server {

/// A receipt of two items with a discount, a comment, a card and a cash payment.
inline const char* const kTwoItems = R"({"items":[
  {"code":101,"name":"Хліб","price":"10.00","taxGroup":0,"department":1,"quantity":"2.000","discountPercent":"-5.00"},
  {"code":102,"name":"Сіль","price":3.5,"taxGroup":1,"quantity":"1.000"}],
  "comments":["Дякуємо!"],
  "payments":[{"type":1,"amount":"10.00"},{"type":0,"amount":"20.00"}]})";

class ServedService : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = testing::MakeTestDirectory("kovrix-server");
    ASSERT_FALSE(dir.empty());
    testing::UseStateHome(dir);
    ASSERT_TRUE(sim.start());
    // The default line opens the simulator's pseudo-terminal and, on Windows, its tcp:// port.
    UseSerialLine(MakeSerialLine());
    TheLink().SetTiming({/*silencePasses*/ 10, /*readTimeoutMs*/ 30, /*repeatWaitMs*/ 0, /*usbRepeatWaitMs*/ 0});
    TheLink().SetSleeper([](int) {});
    config.device.port = sim.slavePath();
    config.device.baud = 115200;
    config.device.repeats = 0;
    config.linkTiming = TheLink().Timing();
    config.port = 0;
    config.answersDirectory = dir + "/answers";
    Serve();
  }
  void TearDown() override {
    Shut();
    sim.stop();
    std::filesystem::remove_all(dir);
  }
  void Serve() {
    http = std::make_unique<HttpService>(config);
    ASSERT_TRUE(http->Bind());
    thread = std::thread([this] { http->Listen(); });
  }
  void Shut() {
    if (!http) return;
    http->Stop();
    thread.join();
    http.reset();
  }

  /// The commands the simulator received, as "63" texts, in order.
  std::vector<std::string> Commands() {
    std::vector<std::string> out;
    for (const auto& e : sim.journal().Entries()) {
      char buf[4];
      std::snprintf(buf, sizeof buf, "%02X", e.command);
      out.push_back(buf);
    }
    return out;
  }
  std::string Tape() {
    std::string text;
    for (const std::string& line : sim.tape()) text += Cp1251ToUtf8(line) + "\n";
    return text;
  }

  std::string dir;
  sim::DeviceServer sim;
  ServerConfig config;
  std::unique_ptr<HttpService> http;
  std::thread thread;
};

}  // namespace kovrix::server
