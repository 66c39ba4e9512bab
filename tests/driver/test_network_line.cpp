// Network port names, the telnet layer and the socket line, against peers served on loopback
// sockets by the test itself.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "driver/network_port.h"
#include "driver/network_serial_line.h"
#include "driver/telnet.h"

namespace kovrix {
namespace {

using Clock = std::chrono::steady_clock;

TEST(NetworkPortName, IsParsedStrictly) {
  struct Case {
    const char* name;
    bool ok;
    NetworkPort::Kind kind;
    const char* host;
    int port;
    const char* canonical;
  } cases[] = {
      {"tcp://127.0.0.1:4001", true, NetworkPort::Kind::RawTcp, "127.0.0.1", 4001, "tcp://127.0.0.1:4001"},
      {"rfc2217://Conv-1.Shop.lan:65535", true, NetworkPort::Kind::Rfc2217, "conv-1.shop.lan", 65535,
       "tcp://conv-1.shop.lan:65535"},
      {"TCP://localhost:1", true, NetworkPort::Kind::RawTcp, "localhost", 1, "tcp://localhost:1"},
      {"tcp://[::1]:23", true, NetworkPort::Kind::RawTcp, "::1", 23, "tcp://[::1]:23"},
      {"rfc2217://[fe80::1%eth0]:2217", true, NetworkPort::Kind::Rfc2217, "fe80::1%eth0", 2217,
       "tcp://[fe80::1%eth0]:2217"},
      {"tcp://:4001", false, {}, "", 0, ""},
      {"tcp://[]:4001", false, {}, "", 0, ""},
      {"tcp://host", false, {}, "", 0, ""},
      {"tcp://host:", false, {}, "", 0, ""},
      {"tcp://host:0", false, {}, "", 0, ""},
      {"tcp://host:65536", false, {}, "", 0, ""},
      {"tcp://host:080", false, {}, "", 0, ""},
      {"tcp://host:+80", false, {}, "", 0, ""},
      {"tcp://host:4001/", false, {}, "", 0, ""},
      {"tcp://host:4001 ", false, {}, "", 0, ""},
      {"tcp://user@host:4001", false, {}, "", 0, ""},
      {"tcp://::1:23", false, {}, "", 0, ""},
      {"tcp://[::1]23", false, {}, "", 0, ""},
      {"tcp://[::1:23", false, {}, "", 0, ""},
      {"tcp://[host]:23", false, {}, "", 0, ""},
      {"telnet://host:23", false, {}, "", 0, ""},
      {"/dev/ttyUSB0", false, {}, "", 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string why;
    const std::optional<NetworkPort> port = ParseNetworkPort(c.name, &why);
    ASSERT_EQ(port.has_value(), c.ok) << why;
    if (!c.ok) {
      EXPECT_FALSE(why.empty());
      continue;
    }
    EXPECT_EQ(port->kind, c.kind);
    EXPECT_EQ(port->host, c.host);
    EXPECT_EQ(port->port, c.port);
    EXPECT_EQ(CanonicalNetworkName(*port), c.canonical);
  }
  EXPECT_FALSE(ParseNetworkPort("tcp://" + std::string(254, 'a') + ":1").has_value());
  EXPECT_TRUE(IsNetworkPortName("Rfc2217://x:1"));
  EXPECT_FALSE(IsNetworkPortName("ttyS0"));
}

std::string Bytes(std::initializer_list<int> values) {
  std::string out;
  for (const int v : values) out += static_cast<char>(v);
  return out;
}

constexpr int IAC = 255, SB = 250, SE = 240, WILL = 251, WONT = 252, DO = 253, DONT = 254;

TEST(TelnetSession, SplitsDataFromCommandsWhereverTheReadsEnd) {
  using telnet::Session;
  EXPECT_EQ(telnet::Escape(Bytes({1, 255, 2, 255, 255})), Bytes({1, 255, 255, 2, 255, 255, 255, 255}));
  // Data with a doubled IAC, a speed answer (19200 with an 0xFF-free value) and a NOP, cut at every byte.
  const std::string stream = "a" + Bytes({IAC, IAC}) + "b" + Bytes({IAC, SB, 44, 101, 0, 0, 0x4B, 0, IAC, SE}) +
                             Bytes({IAC, 241}) + "c" + Bytes({IAC, SB, 44, 112, 3, IAC, SE});
  for (std::size_t cut = 0; cut <= stream.size(); ++cut) {
    Session s;
    std::string data, replies;
    s.Feed(stream.substr(0, cut), data, replies);
    s.Feed(stream.substr(cut), data, replies);
    EXPECT_EQ(data, "a\xff" "bc") << cut;
    EXPECT_EQ(s.baudAck(), 19200u) << cut;
    EXPECT_EQ(s.purgeAcks(), 1) << cut;
    EXPECT_TRUE(replies.empty()) << cut;
  }
  // An over-long subnegotiation is read to its end and ignored; the data after it is kept.
  Session s;
  std::string data, replies;
  s.Feed(Bytes({IAC, SB, 44, 101}) + std::string(1000, 'x') + Bytes({IAC, SE}) + "z", data, replies);
  EXPECT_EQ(data, "z");
  EXPECT_EQ(s.baudAck(), 0u);
}

TEST(TelnetSession, AnswersRequestsOnceAndRefusesWhatItDoesNotDo) {
  struct Case {
    const char* name;
    std::string in;
    std::string replies;
  } cases[] = {
      {"echo offered: refused", Bytes({IAC, WILL, 1}), Bytes({IAC, DONT, 1})},
      {"terminal type asked: refused", Bytes({IAC, DO, 24}), Bytes({IAC, WONT, 24})},
      {"binary and com-port confirm our offer", Bytes({IAC, DO, 0, IAC, WILL, 0, IAC, DO, 44}), ""},
      {"a confirmed option asked again: silence", Bytes({IAC, DO, 3, IAC, DO, 3, IAC, WILL, 3, IAC, WILL, 3}), ""},
      {"binary withdrawn after agreement", Bytes({IAC, DO, 0, IAC, DONT, 0}), Bytes({IAC, WONT, 0})},
      {"a refusal of what we never had: silence", Bytes({IAC, DONT, 5, IAC, WONT, 5}), ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    telnet::Session s;
    const std::string greeting = s.Greeting();
    EXPECT_NE(greeting.find(Bytes({IAC, WILL, 44})), std::string::npos);
    std::string data, replies;
    s.Feed(c.in, data, replies);
    EXPECT_EQ(replies, c.replies);
    EXPECT_TRUE(data.empty());
  }
  telnet::Session s;
  s.Greeting();
  std::string data, replies;
  s.Feed(Bytes({IAC, DONT, 44}), data, replies);
  EXPECT_TRUE(s.comPortRefused());
}

// A TCP peer on 127.0.0.1 that runs a script on the first connection it accepts.
class Peer {
 public:
  explicit Peer(int backlog = 4) {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t length = sizeof a;
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &length);
    port_ = ntohs(a.sin_port);
    ::listen(listener_, backlog);
  }
  ~Peer() {
    if (thread_.joinable()) thread_.join();
    if (conn_ >= 0) ::close(conn_);
    ::close(listener_);
  }
  std::string Name(const char* scheme) const { return std::string(scheme) + "127.0.0.1:" + std::to_string(port_); }
  int port() const { return port_; }

  /// Accepts in a thread of its own and runs the script on the connection.
  void Serve(std::function<void(Peer&)> script) {
    thread_ = std::thread([this, script] {
      conn_ = ::accept(listener_, nullptr, nullptr);
      if (conn_ >= 0) script(*this);
    });
  }
  void Join() { thread_.join(); }
  void Send(const std::string& bytes) { ::send(conn_, bytes.data(), bytes.size(), MSG_NOSIGNAL); }
  /// Reads until the bytes received end with the text or the time is up; answers all received.
  std::string ReadUntil(const std::string& ending, int ms = 2000) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    while (!(got_.size() >= ending.size() && got_.compare(got_.size() - ending.size(), ending.size(), ending) == 0) &&
           Clock::now() < deadline) {
      pollfd p{conn_, POLLIN, 0};
      if (::poll(&p, 1, 20) <= 0) continue;
      char b[256];
      const ssize_t n = ::recv(conn_, b, sizeof b, 0);
      if (n <= 0) break;
      got_.append(b, static_cast<std::size_t>(n));
    }
    return got_;
  }
  void Hang() {
    ::close(conn_);
    conn_ = -1;
  }

 private:
  int listener_ = -1;
  int conn_ = -1;
  int port_ = 0;
  std::string got_;
  std::thread thread_;
};

std::string Received(SerialLine& line, std::size_t count) {
  std::string out;
  std::uint8_t b = 0;
  while (out.size() < count && line.readByte(b, 1000) == SerialLine::ReadResult::Byte) out += static_cast<char>(b);
  return out;
}

TEST(NetworkSerialLine, Rfc2217SetsTheLineAndEscapesTheDataBothWays) {
  Peer peer;
  std::string setup;
  bool escapedArrived = false;
  peer.Serve([&](Peer& p) {
    setup = p.ReadUntil(Bytes({IAC, SB, 44, 12, 3, IAC, SE}));
    // Stale bytes before the speed answer are dropped; the answer comes in two pieces.
    p.Send("stale" + Bytes({IAC, SB, 44, 101, 0, 0}));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    p.Send(Bytes({0x25, 0x80, IAC, SE}));
    p.ReadUntil("go");
    // Data around a doubled IAC and a request the line refuses, with a subnegotiation split.
    p.Send("A" + Bytes({IAC, IAC}) + "B" + Bytes({IAC, WILL, 1, IAC, SB, 44}));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    p.Send(Bytes({107, 0x30, IAC, SE}) + "C");
    const std::string doubled = "x" + Bytes({IAC, IAC}) + "y";
    const std::string all = p.ReadUntil(doubled);
    escapedArrived = all.size() >= doubled.size() && all.compare(all.size() - doubled.size(), doubled.size(), doubled) == 0;
  });
  auto line = MakeNetworkSerialLine();
  ASSERT_TRUE(line->open(peer.Name("rfc2217://"), 9600)) << LastNetworkOpenFailure();
  ASSERT_TRUE(line->write("go"));
  EXPECT_EQ(Received(*line, 4), "A\xff" "BC");
  ASSERT_TRUE(line->write("x\xffy"));
  peer.Join();
  EXPECT_TRUE(escapedArrived);
  for (const std::string& part : {Bytes({IAC, WILL, 44}), Bytes({IAC, SB, 44, 1, 0, 0, 0x25, 0x80, IAC, SE}),
                                  Bytes({IAC, SB, 44, 2, 8, IAC, SE}), Bytes({IAC, SB, 44, 3, 1, IAC, SE}),
                                  Bytes({IAC, SB, 44, 4, 1, IAC, SE})}) {
    EXPECT_NE(setup.find(part), std::string::npos);
  }
  const std::string all = peer.ReadUntil("");
  EXPECT_NE(all.find(Bytes({IAC, DONT, 1})), std::string::npos);
}

TEST(NetworkSerialLine, RawTcpPassesBytesAsTheyAreAndKeepsTheReadTiming) {
  Peer peer;
  peer.Serve([](Peer& p) {
    p.Send("\x01\xff\x05");
    p.ReadUntil("\xff\xff");
    p.Send("late");
    p.ReadUntil("bye");
    p.Hang();
  });
  auto line = MakeNetworkSerialLine();
  ASSERT_TRUE(line->open(peer.Name("tcp://"), 115200)) << LastNetworkOpenFailure();
  EXPECT_EQ(Received(*line, 3), "\x01\xff\x05");
  std::uint8_t b = 0;
  auto t0 = Clock::now();
  EXPECT_EQ(line->readByte(b, 100), SerialLine::ReadResult::Timeout);
  const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0).count();
  EXPECT_GE(waited, 95);
  EXPECT_LT(waited, 400);
  ASSERT_TRUE(line->write("\xff\xff"));
  // purge drops what has arrived and not been read.
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  line->purge();
  EXPECT_EQ(line->readByte(b, 50), SerialLine::ReadResult::Timeout);
  ASSERT_TRUE(line->write("bye"));
  // The converter closing the connection reads as an error at once, every time.
  t0 = Clock::now();
  EXPECT_EQ(line->readByte(b, 2000), SerialLine::ReadResult::Error);
  line->clearError();
  EXPECT_EQ(line->readByte(b, 2000), SerialLine::ReadResult::Error);
  EXPECT_LT(Clock::now() - t0, std::chrono::milliseconds(1000));
  EXPECT_FALSE(line->write("more"));
  peer.Join();
}

// A converter port that never falls silent (a scale, an IAC flood) holds neither a purge nor a
// close; the line names the address it reached, and a closed connection is lost for good.
TEST(NetworkSerialLine, AFloodHoldsNoPurgeOrCloseAndAClosedConnectionIsLost) {
  for (const char* scheme : {"tcp://", "rfc2217://"}) {
    SCOPED_TRACE(scheme);
    const bool telnet = std::string(scheme) == "rfc2217://";
    Peer peer;
    std::atomic<bool> stop{false};
    peer.Serve([&](Peer& p) {
      if (telnet) {
        p.ReadUntil(Bytes({IAC, SB, 44, 12, 3, IAC, SE}));
        p.Send(Bytes({IAC, SB, 44, 101, 0, 0, 0x25, 0x80, IAC, SE}));
      }
      const std::string chunk = telnet ? Bytes({IAC, 241}) + std::string(510, 'x') : std::string(512, 'x');
      while (!stop) p.Send(chunk);
      p.Hang();
    });
    auto line = MakeNetworkSerialLine();
    ASSERT_TRUE(line->open(peer.Name(scheme), 9600)) << LastNetworkOpenFailure();
    EXPECT_EQ(line->peer(), "tcp://127.0.0.1:" + std::to_string(peer.port()));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    auto t0 = Clock::now();
    line->purge();
    line->purgeFar(100);
    line->discard();
    EXPECT_LT(Clock::now() - t0, std::chrono::milliseconds(500));
    EXPECT_FALSE(line->lost());
    stop = true;
    std::uint8_t b = 0;
    while (line->readByte(b, 500) == SerialLine::ReadResult::Byte) {
    }
    peer.Join();
    EXPECT_TRUE(line->lost());
    t0 = Clock::now();
    EXPECT_TRUE(line->close());
    EXPECT_LT(Clock::now() - t0, std::chrono::milliseconds(100));
    EXPECT_FALSE(line->lost());
    EXPECT_EQ(line->peer(), "");
  }
}

TEST(NetworkSerialLine, AFailedOpenSaysWhyPromptly) {
  const NetworkLineTiming saved = GetNetworkLineTiming();
  SetNetworkLineTiming({300, 300});
  // A port nobody listens on.
  int closedPort = 0;
  { closedPort = Peer().port(); }
  // A black hole: the listener's accept queue is full, so the kernel drops further connection
  // requests and the connect waits out its time.
  Peer full(0);
  const int filler = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(static_cast<std::uint16_t>(full.port()));
  ASSERT_EQ(::connect(filler, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
  // A telnet server that will not do the COM-port option, and one that never answers.
  Peer plainTelnet, mute;
  plainTelnet.Serve([](Peer& p) {
    p.ReadUntil(Bytes({IAC, SB, 44, 12, 3, IAC, SE}));  // the end of the line's set-up
    p.Send(Bytes({IAC, DONT, 44}));
    p.ReadUntil("never", 500);
  });
  mute.Serve([](Peer& p) { p.ReadUntil("never", 800); });
  struct Case {
    std::string name;
    const char* why;
  } cases[] = {
      {"tcp://127.0.0.1:" + std::to_string(closedPort), "connection refused"},
      {full.Name("tcp://"), "timed out"},
      {"tcp://no-such-host.invalid:4001", "name not resolved"},
      {"tcp://127.0.0.1:0", "the port number is not 1..65535"},
      {plainTelnet.Name("rfc2217://"), "the converter does not offer serial port control (RFC 2217)"},
      {mute.Name("rfc2217://"), "timed out waiting for the converter to set the line speed"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto line = MakeNetworkSerialLine();
    const auto t0 = Clock::now();
    EXPECT_FALSE(line->open(c.name, 9600));
    EXPECT_LT(Clock::now() - t0, std::chrono::milliseconds(1500));
    EXPECT_EQ(LastNetworkOpenFailure().substr(0, std::string(c.why).size()), c.why);
    EXPECT_FALSE(line->isOpen());
  }
  ::close(filler);
  SetNetworkLineTiming(saved);
  EXPECT_EQ(NetworkLineTiming{}.connectMs, 5000);
}

}  // namespace
}  // namespace kovrix
