// Winsock for the network line.

#include <winsock2.h>
#include <ws2tcpip.h>

#include <chrono>

#include "driver/socket_io.h"

namespace kovrix::net {
namespace {

// Winsock must be started once per process before the first call.
bool Started() {
  static const bool started = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  return started;
}

int MsLeft(std::chrono::steady_clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
  return left.count() < 0 ? 0 : static_cast<int>(left.count());
}

std::string ErrorText(int error) {
  switch (error) {
    case WSAECONNREFUSED: return "connection refused";
    case WSAETIMEDOUT: return "timed out";
    case WSAEHOSTUNREACH: return "host unreachable";
    case WSAENETUNREACH: return "network unreachable";
    default: return "socket error " + std::to_string(error);
  }
}

Wait PollFor(Socket socket, short events, int timeoutMs) {
  WSAPOLLFD p{static_cast<SOCKET>(socket), events, 0};
  const int n = WSAPoll(&p, 1, timeoutMs < 0 ? 0 : timeoutMs);
  if (n > 0) return Wait::Ready;
  return n == 0 ? Wait::Timeout : Wait::Failed;
}

SOCKET ConnectOne(const Address& address, std::chrono::steady_clock::time_point deadline, int& error,
               const WaitTick& tick) {
  const SOCKET s = ::socket(address.family, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) {
    error = WSAGetLastError();
    return INVALID_SOCKET;
  }
  u_long nonBlocking = 1;
  ioctlsocket(s, FIONBIO, &nonBlocking);
  const auto* target = reinterpret_cast<const sockaddr*>(address.sockaddr.data());
  if (::connect(s, target, static_cast<int>(address.sockaddr.size())) != 0) {
    if (WSAGetLastError() != WSAEWOULDBLOCK) {
      error = WSAGetLastError();
      closesocket(s);
      return INVALID_SOCKET;
    }
    if (WaitWritableTicking(static_cast<Socket>(s), MsLeft(deadline), tick) != Wait::Ready) {
      error = WSAETIMEDOUT;
      closesocket(s);
      return INVALID_SOCKET;
    }
    int soError = 0;
    int length = sizeof soError;
    if (getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&soError), &length) != 0) {
      soError = WSAGetLastError();
    }
    if (soError != 0) {
      error = soError;
      closesocket(s);
      return INVALID_SOCKET;
    }
  }
  const BOOL one = TRUE;
  setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one), sizeof one);
  setsockopt(s, SOL_SOCKET, SO_KEEPALIVE, reinterpret_cast<const char*>(&one), sizeof one);
  return s;
}

}  // namespace

bool Startup() { return Started(); }

Socket Connect(const std::vector<Address>& addresses, int timeoutMs, std::string& reason, std::size_t& connected,
               const WaitTick& tick) {
  if (!Started()) {
    reason = "the network is not available";
    return kNoSocket;
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  int error = WSAETIMEDOUT;
  SOCKET s = INVALID_SOCKET;
  for (std::size_t i = 0; i < addresses.size() && s == INVALID_SOCKET; ++i) {
    if (MsLeft(deadline) == 0) {
      error = WSAETIMEDOUT;
      break;
    }
    s = ConnectOne(addresses[i], deadline, error, tick);
    if (s != INVALID_SOCKET) connected = i;
  }
  if (s == INVALID_SOCKET) {
    reason = ErrorText(error);
    return kNoSocket;
  }
  return static_cast<Socket>(s);
}

Wait WaitReadable(Socket socket, int timeoutMs) { return PollFor(socket, POLLRDNORM, timeoutMs); }
Wait WaitWritable(Socket socket, int timeoutMs) { return PollFor(socket, POLLWRNORM, timeoutMs); }

long Receive(Socket socket, void* buffer, std::size_t size) {
  const int n = recv(static_cast<SOCKET>(socket), static_cast<char*>(buffer), static_cast<int>(size), 0);
  if (n >= 0) return n;
  return WSAGetLastError() == WSAEWOULDBLOCK ? kWouldBlock : kFailed;
}

long Send(Socket socket, const void* bytes, std::size_t size) {
  // One call takes at most an int's worth; the caller writes the rest in the next one.
  const int chunk = size > (1u << 30) ? (1 << 30) : static_cast<int>(size);
  const int n = send(static_cast<SOCKET>(socket), static_cast<const char*>(bytes), chunk, 0);
  if (n >= 0) return n;
  return WSAGetLastError() == WSAEWOULDBLOCK ? kWouldBlock : kFailed;
}

void Close(Socket socket) {
  if (socket != kNoSocket) closesocket(static_cast<SOCKET>(socket));
}

}  // namespace kovrix::net
