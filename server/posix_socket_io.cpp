#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "server/socket_io.h"

namespace kovrix::server {

void PrepareConnection(socket_t sock) {
  // The library writes an answer's head and body apart: without this the body would wait for
  // the client's delayed acknowledgement of the head (40 ms) on a kept-alive connection.
  const int on = 1;
  ::setsockopt(sock, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

int WaitReady(socket_t sock, bool write, int ms) {
  pollfd p{sock, static_cast<short>(write ? POLLOUT : POLLIN), 0};
  const int ready = ::poll(&p, 1, ms);
  if (ready < 0) return errno == EINTR ? 0 : -1;
  return ready > 0 ? 1 : 0;
}

long ReceiveNow(socket_t sock, char* buffer, std::size_t size) {
  const ssize_t n = ::recv(sock, buffer, size, MSG_DONTWAIT);
  if (n > 0) return static_cast<long>(n);
  if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return -1;
  return 0;
}

long SendNow(socket_t sock, const char* data, std::size_t size) {
  const ssize_t n = ::send(sock, data, size, MSG_NOSIGNAL | MSG_DONTWAIT);
  if (n > 0) return static_cast<long>(n);
  if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) return -2;
  return -1;
}

void ShutdownSending(socket_t sock) { ::shutdown(sock, SHUT_WR); }

void CloseConnection(socket_t sock) {
  ::shutdown(sock, SHUT_RDWR);
  ::close(sock);
}

// listen() again on a listening socket changes its backlog.
void WidenListenBacklog(socket_t sock) { ::listen(sock, SOMAXCONN); }

}  // namespace kovrix::server
