// BSD sockets for the network line.

#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

#include "driver/socket_io.h"

namespace kovrix::net {
namespace {

int MsLeft(std::chrono::steady_clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
  return left.count() < 0 ? 0 : static_cast<int>(left.count());
}

std::string ErrnoText(int error) {
  switch (error) {
    case ECONNREFUSED: return "connection refused";
    case ETIMEDOUT: return "timed out";
    case EHOSTUNREACH: return "host unreachable";
    case ENETUNREACH: return "network unreachable";
    default: return std::strerror(error);
  }
}

Wait PollFor(Socket socket, short events, int timeoutMs) {
  pollfd p{static_cast<int>(socket), events, 0};
  for (;;) {
    const int n = ::poll(&p, 1, timeoutMs < 0 ? 0 : timeoutMs);
    if (n > 0) return Wait::Ready;  // hang-up and error also wake: the next call tells which
    if (n == 0) return Wait::Timeout;
    if (errno != EINTR) return Wait::Failed;
  }
}

// One address, within the deadline: answers the connected socket or -1 with errno-like error.
int ConnectOne(const Address& address, std::chrono::steady_clock::time_point deadline, int& error,
               const WaitTick& tick) {
  const int fd = ::socket(address.family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) {
    error = errno;
    return -1;
  }
  const auto* target = reinterpret_cast<const sockaddr*>(address.sockaddr.data());
  if (::connect(fd, target, static_cast<socklen_t>(address.sockaddr.size())) != 0) {
    if (errno != EINPROGRESS) {
      error = errno;
      ::close(fd);
      return -1;
    }
    if (WaitWritableTicking(fd, MsLeft(deadline), tick) != Wait::Ready) {
      error = ETIMEDOUT;
      ::close(fd);
      return -1;
    }
    int soError = 0;
    socklen_t length = sizeof soError;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &soError, &length) != 0) soError = errno;
    if (soError != 0) {
      error = soError;
      ::close(fd);
      return -1;
    }
  }
  const int one = 1;
  // Frames are short and each waits for its answer: no coalescing delay.
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  ::setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &one, sizeof one);
  return fd;
}

}  // namespace

bool Startup() { return true; }

Socket Connect(const std::vector<Address>& addresses, int timeoutMs, std::string& reason, std::size_t& connected,
               const WaitTick& tick) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  int error = ETIMEDOUT;
  int fd = -1;
  for (std::size_t i = 0; i < addresses.size() && fd < 0; ++i) {
    if (MsLeft(deadline) == 0) {
      error = ETIMEDOUT;
      break;
    }
    fd = ConnectOne(addresses[i], deadline, error, tick);
    if (fd >= 0) connected = i;
  }
  if (fd < 0) {
    reason = ErrnoText(error);
    return kNoSocket;
  }
  return fd;
}

Wait WaitReadable(Socket socket, int timeoutMs) { return PollFor(socket, POLLIN, timeoutMs); }
Wait WaitWritable(Socket socket, int timeoutMs) { return PollFor(socket, POLLOUT, timeoutMs); }

long Receive(Socket socket, void* buffer, std::size_t size) {
  for (;;) {
    const ssize_t n = ::recv(static_cast<int>(socket), buffer, size, 0);
#ifdef TCP_QUICKACK
    // The kernel falls back to delayed acknowledgements by itself: ask again after every read.
    const int one = 1;
    if (n > 0) ::setsockopt(static_cast<int>(socket), IPPROTO_TCP, TCP_QUICKACK, &one, sizeof one);
#endif
    if (n >= 0) return static_cast<long>(n);
    if (errno == EINTR) continue;
    return (errno == EAGAIN || errno == EWOULDBLOCK) ? kWouldBlock : kFailed;
  }
}

long Send(Socket socket, const void* bytes, std::size_t size) {
  for (;;) {
    const ssize_t n = ::send(static_cast<int>(socket), bytes, size, MSG_NOSIGNAL);
    if (n >= 0) return static_cast<long>(n);
    if (errno == EINTR) continue;
    return (errno == EAGAIN || errno == EWOULDBLOCK) ? kWouldBlock : kFailed;
  }
}

void Close(Socket socket) {
  if (socket >= 0) ::close(static_cast<int>(socket));
}

}  // namespace kovrix::net
