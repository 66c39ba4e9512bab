#pragma once
// A served HttpService whose registrator is the simulator on a pseudo-terminal, with a plain
// HTTP client and a raw-socket one for what a well-behaved client never sends (no Host, a broken
// Content-Length, several requests in one write, one byte at a time).

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <httplib.h>
#include <nlohmann/json.hpp>

#include "driver/driver.h"
#include "server/http_service.h"
#include "tests/server/served_service.h"
#include "tests/server/test_platform.h"
#include "sim/device_server.h"

namespace kovrix::server::testing {

/// One answer read off a raw connection.
struct RawAnswer {
  int status = 0;
  std::string head;
  std::string body;
};

/// Reads answers off the connection until `count` whole ones arrived (100 Continue not counted),
/// the connection closes or waitMs pass.
inline std::vector<RawAnswer> ReadAnswers(RawSocket fd, std::size_t count, int waitMs = 5000) {
  std::vector<RawAnswer> answers;
  std::string in;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
  for (;;) {
    for (;;) {
      const auto headEnd = in.find("\r\n\r\n");
      if (headEnd == std::string::npos) break;
      const std::string head = in.substr(0, headEnd);
      std::size_t length = 0;
      const auto at = head.find("Content-Length: ");
      if (at != std::string::npos) length = std::strtoul(head.c_str() + at + 16, nullptr, 10);
      if (in.size() < headEnd + 4 + length) break;
      const int status = std::atoi(head.c_str() + 9);
      if (status != 100) answers.push_back({status, head, in.substr(headEnd + 4, length)});
      in.erase(0, headEnd + 4 + length);
    }
    if (answers.size() >= count) return answers;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return answers;
    if (!WaitReadable(fd, static_cast<int>(left.count()))) return answers;
    char chunk[4096];
    const long n = ReceiveRaw(fd, chunk, sizeof chunk);
    if (n <= 0) return answers;
    in.append(chunk, static_cast<std::size_t>(n));
  }
}

/// Sends the bytes on a new connection and reads `count` answers.
inline std::vector<RawAnswer> Exchange(int port, const std::string& bytes, std::size_t count = 1, int waitMs = 5000) {
  const RawSocket fd = ConnectTo(port);
  if (fd == kNoSocket) return {};
  SendRaw(fd, bytes);
  auto answers = ReadAnswers(fd, count, waitMs);
  CloseRaw(fd);
  return answers;
}

class ServerFixture : public ServedService {
 protected:
  void Restart() {
    Shut();
    Serve();
  }
  int port() const { return http->port(); }
  std::string Host() const { return "Host: 127.0.0.1:" + std::to_string(port()) + "\r\n"; }
  /// A whole POST with a JSON body, extra header lines and Connection: close.
  std::string PostText(const std::string& path, const std::string& body, const std::string& headers = "") const {
    return "POST " + path + " HTTP/1.1\r\n" + Host() + "Content-Type: application/json\r\n" + headers +
           "Content-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
  }
  std::size_t Sent() { return sim.journal().Size(); }
  std::size_t SentOf(std::uint8_t command) {
    std::size_t n = 0;
    for (const auto& e : sim.journal().Entries()) n += e.command == command;
    return n;
  }

};

}  // namespace kovrix::server::testing

