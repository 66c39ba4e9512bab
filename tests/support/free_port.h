#pragma once
// A loopback TCP port free at the moment of asking, for a program the test starts (a converter,
// a monitoring server) that must be told its port before it runs. POSIX.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace kovrix::test {

/// Answers a port the system just gave to a socket bound on 127.0.0.1 and closed again; -1 when
/// none could be had.
inline int FreePort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof a;
  int port = -1;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length) == 0) {
    port = ntohs(a.sin_port);
  }
  ::close(fd);
  return port;
}

}  // namespace kovrix::test
