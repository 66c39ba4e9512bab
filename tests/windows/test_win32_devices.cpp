// The Windows twins of the system parts under Wine: the device registry over the device-setup
// interface and the configuration manager, and the simulated registrator served on a loopback
// TCP port (Windows has no pseudo-terminals).

#include <gtest/gtest.h>

#include <winsock2.h>
#include <ws2tcpip.h>

#include <chrono>
#include <string>

#include "driver/frame.h"
#include "port/win32_registry.h"
#include "sim/device_server.h"

namespace kovrix {
namespace {

TEST(Win32DeviceRegistry, ListsTheClassesItKnowsAndRefusesWhatItCannotChange) {
  Win32DeviceRegistry registry;
  // An unknown class has no list at all; the ports class lists (maybe no) devices, each with its
  // instance id, and a port name only where the hardware key holds one.
  EXPECT_FALSE(registry.PresentDevices("NoSuchSetupClassKovrix").has_value());
  const auto ports = registry.PresentDevices("Ports");
  if (ports) {
    for (const PortDevice& device : *ports) EXPECT_FALSE(device.id.empty());
  }
  PortDevice gone;
  gone.id = "USB\\VID_FFFF&PID_FFFF\\KOVRIX-GONE";
  EXPECT_EQ(registry.ChangeState(gone, false), StateChange::NotPrepared);
  EXPECT_EQ(registry.ChangeState(PortDevice{}, true), StateChange::NotPrepared);
}

TEST(Win32Text, Utf8AndUtf16RoundTrip) {
  const std::string text = "Порт COM3 \xE2\x80\x94 USB";
  EXPECT_EQ(Utf8FromWide(WideFromUtf8(text).c_str()), text);
  EXPECT_EQ(Utf8FromWide(nullptr), "");
  EXPECT_TRUE(WideFromUtf8("").empty());
}

TEST(Win32SimServing, TheSimulatedRegistratorAnswersOnALoopbackPort) {
  sim::DeviceServer server;
  ASSERT_TRUE(server.start());  // no pseudo-terminal here: a free loopback port
  const std::string path = server.slavePath();
  ASSERT_EQ(path.rfind("tcp://127.0.0.1:", 0), 0u) << path;
  const int port = std::stoi(path.substr(path.rfind(':') + 1));

  SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  ASSERT_NE(s, INVALID_SOCKET);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<u_short>(port));
  inet_pton(AF_INET, "127.0.0.1", &a.sin_addr);
  ASSERT_EQ(::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
  const std::string frame = BuildRequestFrame(0x21, 0x21, "482916;");
  ASSERT_EQ(::send(s, frame.data(), static_cast<int>(frame.size()), 0), static_cast<int>(frame.size()));
  std::string reply;
  DWORD timeout = 2000;
  ::setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
  while (reply.empty() || reply.back() != '\x03') {
    char buf[256];
    const int n = ::recv(s, buf, sizeof buf, 0);
    if (n <= 0) break;
    reply.append(buf, static_cast<std::size_t>(n));
  }
  ::closesocket(s);
  EXPECT_NE(reply.find("0000;"), std::string::npos) << reply;
  EXPECT_EQ(server.journal().Size(), 1u);
  server.stop();
}

}  // namespace
}  // namespace kovrix
