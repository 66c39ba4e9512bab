// The simulated registrator served on a loopback TCP port: frames in, replies out, one host at a
// time as on a serial line held for exclusive use, and a host that leaves frees the line.

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include "driver/frame.h"
#include "sim/device_server.h"

namespace kovrix::sim {
namespace {

int PortOf(const std::string& path) {
  const auto colon = path.rfind(':');
  return colon == std::string::npos ? -1 : std::stoi(path.substr(colon + 1));
}

int Connect(int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<std::uint16_t>(port));
  inet_pton(AF_INET, "127.0.0.1", &a.sin_addr);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

// Reads until the reply frame's end (its ETX) or the time-out; answers
// what came, or "<closed>" when the server closed the connection before anything came.
std::string ReadReply(int fd, int timeoutMs) {
  std::string got;
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (std::chrono::steady_clock::now() < end) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 20) <= 0) continue;
    char buf[512];
    const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
    if (n <= 0) return got.empty() ? "<closed>" : got;
    got.append(buf, static_cast<std::size_t>(n));
    if (got.find('\x01') != std::string::npos && got.back() == '\x03') break;
  }
  return got;
}

bool SendFrame(int fd, std::uint8_t seq) {
  const std::string frame = BuildRequestFrame(seq, 0x21, "482916;");
  return ::send(fd, frame.data(), frame.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(frame.size());
}

TEST(SimTcpServing, OneHostAtATimeIsAnsweredAndALeavingHostFreesTheLine) {
  DeviceServer server;
  ASSERT_TRUE(server.startTcp("127.0.0.1", 0));
  ASSERT_EQ(server.slavePath().rfind("tcp://127.0.0.1:", 0), 0u) << server.slavePath();
  const int port = PortOf(server.slavePath());
  ASSERT_GT(port, 0);

  const int first = Connect(port);
  ASSERT_GE(first, 0);
  ASSERT_TRUE(SendFrame(first, 0x21));
  const std::string reply = ReadReply(first, 2000);
  ASSERT_NE(reply.find('\x01'), std::string::npos) << "no reply frame";
  EXPECT_EQ(server.journal().Size(), 1u);

  // A second host while the line is held: closed at once, its frame never reaches the device.
  const int second = Connect(port);
  ASSERT_GE(second, 0);
  SendFrame(second, 0x22);
  EXPECT_EQ(ReadReply(second, 1000), "<closed>");
  ::close(second);
  EXPECT_EQ(server.journal().Size(), 1u);

  // The first host leaves: the device sees the line let go, and the next host is served.
  ::close(first);
  for (int i = 0; i < 100 && server.hangUps() == 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(server.hangUps(), 1);
  const int third = Connect(port);
  ASSERT_GE(third, 0);
  ASSERT_TRUE(SendFrame(third, 0x23));
  EXPECT_NE(ReadReply(third, 2000).find('\x01'), std::string::npos);
  EXPECT_EQ(server.journal().Size(), 2u);
  ::close(third);
  server.stop();
}

TEST(SimTcpServing, APortInUseOrANonLoopbackTextIsRefused) {
  DeviceServer first;
  ASSERT_TRUE(first.startTcp("127.0.0.1", 0));
  DeviceServer second;
  EXPECT_FALSE(second.startTcp("127.0.0.1", PortOf(first.slavePath())));
  EXPECT_FALSE(second.running());
  DeviceServer third;
  EXPECT_FALSE(third.startTcp("localhost-by-name", 0));
  EXPECT_FALSE(third.startTcp("127.0.0.1", 70000));
}

}  // namespace
}  // namespace kovrix::sim
