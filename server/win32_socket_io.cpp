// Winsock: the accepted socket is made non-blocking once (there is no per-call MSG_DONTWAIT),
// and a broken connection raises no signal, so nothing needs MSG_NOSIGNAL.
#include "server/socket_io.h"

namespace kovrix::server {

void PrepareConnection(socket_t sock) {
  // Without this the answer's body would wait for the client's delayed acknowledgement of the
  // head, which the library writes apart.
  const BOOL on = TRUE;
  ::setsockopt(sock, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
  u_long nonBlocking = 1;
  ::ioctlsocket(sock, FIONBIO, &nonBlocking);
}

int WaitReady(socket_t sock, bool write, int ms) {
  WSAPOLLFD p{};
  p.fd = sock;
  p.events = write ? POLLWRNORM : POLLRDNORM;
  const int ready = ::WSAPoll(&p, 1, ms);
  if (ready == SOCKET_ERROR) return ::WSAGetLastError() == WSAEINTR ? 0 : -1;
  return ready > 0 ? 1 : 0;
}

long ReceiveNow(socket_t sock, char* buffer, std::size_t size) {
  const int n = ::recv(sock, buffer, static_cast<int>(size), 0);
  if (n > 0) return n;
  if (n == SOCKET_ERROR) {
    const int error = ::WSAGetLastError();
    if (error == WSAEWOULDBLOCK || error == WSAEINTR) return -1;
  }
  return 0;
}

long SendNow(socket_t sock, const char* data, std::size_t size) {
  // One call takes at most an int's worth; the caller writes the rest in the next one.
  const int chunk = size > 1u << 30 ? 1 << 30 : static_cast<int>(size);
  const int n = ::send(sock, data, chunk, 0);
  if (n > 0) return n;
  if (n == SOCKET_ERROR) {
    const int error = ::WSAGetLastError();
    if (error != WSAEWOULDBLOCK && error != WSAEINTR) return -2;
  }
  return -1;
}

void ShutdownSending(socket_t sock) { ::shutdown(sock, SD_SEND); }

void CloseConnection(socket_t sock) {
  ::shutdown(sock, SD_BOTH);
  ::closesocket(sock);
}

void WidenListenBacklog(socket_t sock) { ::listen(sock, SOMAXCONN); }

}  // namespace kovrix::server
