// Winsock's twin of the connection calls.
#include "server/socket_io.h"

namespace kovrix::server {
namespace {

void NonBlocking(socket_t sock) {
  u_long on = 1;
  ::ioctlsocket(sock, FIONBIO, &on);
}

}  // namespace

void PrepareConnection(socket_t sock) {
  // Without this the answer's body would wait for the client's delayed acknowledgement of the
  // head, which the library writes apart.
  const BOOL on = TRUE;
  ::setsockopt(sock, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
  NonBlocking(sock);
}

void PrepareListening(socket_t sock) { NonBlocking(sock); }

Accepted AcceptConnection(socket_t listening, socket_t& sock, std::string& address) {
  sockaddr_storage addr{};
  int len = sizeof addr;
  sock = ::accept(listening, reinterpret_cast<sockaddr*>(&addr), &len);
  if (sock == INVALID_SOCKET) {
    const int error = ::WSAGetLastError();
    if (error == WSAEWOULDBLOCK || error == WSAECONNRESET || error == WSAEINTR) return Accepted::Nobody;
    if (error == WSAEMFILE || error == WSAENOBUFS) return Accepted::OutOfDescriptors;
    return Accepted::Failed;
  }
  char host[NI_MAXHOST] = "";
  if (::getnameinfo(reinterpret_cast<sockaddr*>(&addr), len, host, sizeof host, nullptr, 0, NI_NUMERICHOST) == 0)
    address = host;
  else
    address.clear();
  return Accepted::Connection;
}

void ShutdownSending(socket_t sock) { ::shutdown(sock, SD_SEND); }

void CloseConnection(socket_t sock) {
  ::shutdown(sock, SD_BOTH);
  ::closesocket(sock);
}

void WidenListenBacklog(socket_t sock) { ::listen(sock, SOMAXCONN); }

// Windows has no per-process limit of sockets to raise.
void RaiseDescriptorLimit() {}

void WaitAny(std::vector<Watched>& sockets, int ms) {
  std::vector<WSAPOLLFD> fds(sockets.size());
  for (std::size_t i = 0; i < sockets.size(); ++i) {
    fds[i].fd = sockets[i].sock;
    fds[i].events = static_cast<SHORT>((sockets[i].read ? POLLRDNORM : 0) | (sockets[i].write ? POLLWRNORM : 0));
  }
  const int n = ::WSAPoll(fds.data(), static_cast<ULONG>(fds.size()), ms);
  for (std::size_t i = 0; i < sockets.size(); ++i) {
    const SHORT got = n > 0 ? fds[i].revents : 0;
    sockets[i].readable = sockets[i].read && (got & (POLLRDNORM | POLLHUP | POLLERR)) != 0;
    sockets[i].writable = sockets[i].write && (got & (POLLWRNORM | POLLHUP | POLLERR)) != 0;
  }
}

// Winsock waits on sockets only: the wake-up is a datagram a loopback socket sends itself.
Waker::Waker() {
  read_ = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  if (read_ == INVALID_SOCKET) return;
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int len = sizeof addr;
  if (::bind(read_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      ::getsockname(read_, reinterpret_cast<sockaddr*>(&addr), &len) != 0 ||
      ::connect(read_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    ::closesocket(read_);
    read_ = INVALID_SOCKET;
    return;
  }
  NonBlocking(read_);
  write_ = read_;
}

Waker::~Waker() {
  if (read_ != INVALID_SOCKET) ::closesocket(read_);
}

void Waker::Wake() {
  const char byte = 1;
  ::send(write_, &byte, 1, 0);
}

void Waker::Drain() {
  char bytes[256];
  while (::recv(read_, bytes, sizeof bytes, 0) > 0) {
  }
}

}  // namespace kovrix::server
