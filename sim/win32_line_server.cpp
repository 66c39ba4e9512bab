// The line server on Windows: no pseudo-terminals there, so the simulated devices serve on
// loopback TCP ports (Winsock), reached by the host as the network port "tcp://127.0.0.1:PORT".
// One host at a time holds the line; a second connection is closed at once.

#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstdint>
#include <mutex>

#include "sim/line_server.h"

namespace kovrix::sim {

namespace {

constexpr int kPollMs = 100;

// Winsock is started once per process and left running until the process ends.
bool WinsockStarted() {
  static const bool started = [] {
    WSADATA data{};
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  return started;
}

SOCKET AsSocket(std::intptr_t s) { return static_cast<SOCKET>(s); }

void CloseSocket(std::intptr_t& s) {
  if (s >= 0) ::closesocket(AsSocket(s));
  s = -1;
}

}  // namespace

LineServer::~LineServer() { stop(); }

bool LineServer::start() { return startTcp("127.0.0.1", 0); }

bool LineServer::startTcp(const std::string& host, int port) {
  if (running()) return true;
  if (port < 0 || port > 65535 || !WinsockStarted()) return false;
  sockaddr_storage address{};
  int length = 0;
  const bool v6 = host.find(':') != std::string::npos;
  if (v6) {
    auto* a = reinterpret_cast<sockaddr_in6*>(&address);
    a->sin6_family = AF_INET6;
    a->sin6_port = htons(static_cast<u_short>(port));
    if (inet_pton(AF_INET6, host.c_str(), &a->sin6_addr) != 1) return false;
    length = sizeof *a;
  } else {
    auto* a = reinterpret_cast<sockaddr_in*>(&address);
    a->sin_family = AF_INET;
    a->sin_port = htons(static_cast<u_short>(port));
    if (inet_pton(AF_INET, host.c_str(), &a->sin_addr) != 1) return false;
    length = sizeof *a;
  }
  const SOCKET s = ::socket(address.ss_family, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) return false;
  // Exclusive use of the address: another program must not bind the same port over it.
  BOOL exclusive = TRUE;
  ::setsockopt(s, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&exclusive), sizeof exclusive);
  if (::bind(s, reinterpret_cast<sockaddr*>(&address), length) != 0 || ::listen(s, 4) != 0 ||
      ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    ::closesocket(s);
    return false;
  }
  u_long nonBlocking = 1;
  ::ioctlsocket(s, FIONBIO, &nonBlocking);
  const int bound = ntohs(v6 ? reinterpret_cast<sockaddr_in6*>(&address)->sin6_port
                             : reinterpret_cast<sockaddr_in*>(&address)->sin_port);
  listen_ = static_cast<std::intptr_t>(s);
  slavePath_ = "tcp://" + (v6 ? "[" + host + "]" : host) + ":" + std::to_string(bound);
  stop_ = false;
  thread_ = std::thread([this] { RunTcp(); });
  return true;
}

void LineServer::stop() {
  if (thread_.joinable()) {
    stop_ = true;  // the loop looks at it at least every kPollMs
    thread_.join();
  }
  CloseSocket(conn_);
  CloseSocket(listen_);
}

bool LineServer::Write(std::string_view bytes) {
  if (conn_ < 0) return false;
  std::size_t done = 0;
  while (done < bytes.size() && !Stopping()) {
    const int chunk = static_cast<int>(std::min<std::size_t>(bytes.size() - done, 1 << 16));
    const int n = ::send(AsSocket(conn_), bytes.data() + done, chunk, 0);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
      continue;
    }
    if (n == SOCKET_ERROR && WSAGetLastError() == WSAEWOULDBLOCK) {
      WSAPOLLFD p{AsSocket(conn_), POLLWRNORM, 0};
      if (::WSAPoll(&p, 1, 1000) <= 0) return false;
      continue;
    }
    return false;
  }
  return done == bytes.size();
}

bool LineServer::SleepUntil(SteadyTime deadline) {
  using namespace std::chrono;
  while (!Stopping()) {
    const auto left = deadline - steady_clock::now();
    if (left <= nanoseconds(0)) return true;
    // Long waits watch the stop request; the last stretch sleeps once.
    std::this_thread::sleep_for(left > milliseconds(20) ? milliseconds(10) : duration_cast<microseconds>(left));
  }
  return false;
}

int LineServer::HostBaud() const { return -1; }

void LineServer::Run() { RunTcp(); }

void LineServer::ReadHeld(char* buffer, std::size_t size) {
  const int got = ::recv(AsSocket(conn_), buffer, static_cast<int>(size), 0);
  if (got > 0) {
    OnReceive(std::string_view(buffer, static_cast<std::size_t>(got)), std::chrono::steady_clock::now());
  } else if (got == 0 || WSAGetLastError() != WSAEWOULDBLOCK) {
    CloseSocket(conn_);
    OnHangUp();
    ++hangUps_;
  }
}

void LineServer::RunTcp() {
  char buffer[4096];
  while (!Stopping()) {
    WSAPOLLFD fds[2] = {{AsSocket(listen_), POLLRDNORM, 0}, {conn_ >= 0 ? AsSocket(conn_) : INVALID_SOCKET, POLLRDNORM, 0}};
    const int n = ::WSAPoll(fds, conn_ >= 0 ? 2 : 1, kPollMs);
    if (Stopping()) break;
    if (n == SOCKET_ERROR) break;
    if (n == 0) {
      OnIdle(std::chrono::steady_clock::now());
      continue;
    }
    // The held connection first: a host that closes its line and opens it again at once brings
    // its hang-up and its new connection in the same turn, and the new one must not be refused
    // for a line that is already free.
    if (conn_ >= 0 && (fds[1].revents & (POLLRDNORM | POLLHUP | POLLERR))) ReadHeld(buffer, sizeof buffer);
    if (fds[0].revents & POLLRDNORM) {
      const SOCKET s = ::accept(AsSocket(listen_), nullptr, nullptr);
      // A held connection whose host has gone (its end seen only now) frees the line.
      if (s != INVALID_SOCKET && conn_ >= 0) {
        char probe;
        const int peeked = ::recv(AsSocket(conn_), &probe, 1, MSG_PEEK);
        if (peeked == 0 || (peeked == SOCKET_ERROR && WSAGetLastError() != WSAEWOULDBLOCK)) ReadHeld(buffer, sizeof buffer);
      }
      if (s != INVALID_SOCKET && conn_ >= 0) {
        ::closesocket(s);  // the line is held by another host
      } else if (s != INVALID_SOCKET) {
        u_long nonBlocking = 1;
        ::ioctlsocket(s, FIONBIO, &nonBlocking);
        BOOL on = TRUE;
        ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
        conn_ = static_cast<std::intptr_t>(s);
      }
    }
  }
}

// Windows has no symbolic links a user may make without privileges, and no device path to link
// to: hosts take the announced network port.
bool ReplaceSymlink(const std::string&, const std::string&) { return false; }
void RemoveSymlink(const std::string&) {}

}  // namespace kovrix::sim
