// Winsock's twin of the connection's readying and closing.
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

void ShutdownSending(socket_t sock) { ::shutdown(sock, SD_SEND); }

void CloseConnection(socket_t sock) {
  ::shutdown(sock, SD_BOTH);
  ::closesocket(sock);
}

void WidenListenBacklog(socket_t sock) { ::listen(sock, SOMAXCONN); }

}  // namespace kovrix::server
