#pragma once
// The service under test: an HttpService on a loopback port whose registrator is the simulator on a
// pseudo-terminal, with its state (answers, receipt journal, sequence) in a directory of its own.
// The server test fixtures build on it.

#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include "driver/driver.h"
#include "server/http_service.h"
#include "sim/device_server.h"

namespace kovrix::server {

class ServedService : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/kovrix-server-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir = tmpl;
    setenv("XDG_STATE_HOME", dir.c_str(), 1);
    ASSERT_TRUE(sim.start());
    UseSerialLine(MakePosixSerialLine());
    TheLink().SetTiming({/*silencePasses*/ 10, /*readTimeoutMs*/ 30, /*repeatWaitMs*/ 0, /*usbRepeatWaitMs*/ 0});
    TheLink().SetSleeper([](int) {});
    config.device.port = sim.slavePath();
    config.device.baud = 115200;
    config.device.repeats = 0;
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

  std::string dir;
  sim::DeviceServer sim;
  ServerConfig config;
  std::unique_ptr<HttpService> http;
  std::thread thread;
};

}  // namespace kovrix::server
