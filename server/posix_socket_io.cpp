#include <errno.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include "server/socket_io.h"

namespace kovrix::server {
namespace {

void NonBlocking(int fd) { ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK); }

}  // namespace

void PrepareConnection(socket_t sock) {
  // The library writes an answer's head and body apart: without this the body would wait for
  // the client's delayed acknowledgement of the head (40 ms) on a kept-alive connection.
  const int on = 1;
  ::setsockopt(sock, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  NonBlocking(sock);
}

void PrepareListening(socket_t sock) { NonBlocking(sock); }

Accepted AcceptConnection(socket_t listening, socket_t& sock, std::string& address) {
  sockaddr_storage addr{};
  socklen_t len = sizeof addr;
  sock = ::accept4(listening, reinterpret_cast<sockaddr*>(&addr), &len, SOCK_CLOEXEC);
  if (sock < 0) {
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR || errno == ECONNABORTED) return Accepted::Nobody;
    if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) return Accepted::OutOfDescriptors;
    return Accepted::Failed;
  }
  char host[NI_MAXHOST] = "";
  if (::getnameinfo(reinterpret_cast<sockaddr*>(&addr), len, host, sizeof host, nullptr, 0, NI_NUMERICHOST) == 0)
    address = host;
  else
    address.clear();
  return Accepted::Connection;
}

void ShutdownSending(socket_t sock) { ::shutdown(sock, SHUT_WR); }

void CloseConnection(socket_t sock) {
  ::shutdown(sock, SHUT_RDWR);
  ::close(sock);
}

// listen() again on a listening socket changes its backlog.
void WidenListenBacklog(socket_t sock) { ::listen(sock, SOMAXCONN); }

void RaiseDescriptorLimit() {
  rlimit limit{};
  if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur >= limit.rlim_max) return;
  limit.rlim_cur = limit.rlim_max;
  ::setrlimit(RLIMIT_NOFILE, &limit);
}

void WaitAny(std::vector<Watched>& sockets, int ms) {
  std::vector<pollfd> fds(sockets.size());
  for (std::size_t i = 0; i < sockets.size(); ++i) {
    fds[i].fd = sockets[i].sock;
    fds[i].events = static_cast<short>((sockets[i].read ? POLLIN : 0) | (sockets[i].write ? POLLOUT : 0));
  }
  const int n = ::poll(fds.data(), fds.size(), ms);
  for (std::size_t i = 0; i < sockets.size(); ++i) {
    const short got = n > 0 ? fds[i].revents : 0;
    sockets[i].readable = sockets[i].read && (got & (POLLIN | POLLHUP | POLLERR)) != 0;
    sockets[i].writable = sockets[i].write && (got & (POLLOUT | POLLHUP | POLLERR)) != 0;
  }
}

Waker::Waker() {
  int ends[2];
  if (::pipe2(ends, O_NONBLOCK | O_CLOEXEC) != 0) return;
  read_ = ends[0];
  write_ = ends[1];
}

Waker::~Waker() {
  if (read_ >= 0) ::close(read_);
  if (write_ >= 0) ::close(write_);
}

void Waker::Wake() {
  const char byte = 1;
  // A full pipe is awake already.
  [[maybe_unused]] const ssize_t n = ::write(write_, &byte, 1);
}

void Waker::Drain() {
  char bytes[256];
  while (::read(read_, bytes, sizeof bytes) > 0) {
  }
}

}  // namespace kovrix::server
