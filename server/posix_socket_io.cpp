#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>


#include "server/socket_io.h"

namespace kovrix::server {

void PrepareConnection(socket_t sock) {
  // The library writes an answer's head and body apart: without this the body would wait for
  // the client's delayed acknowledgement of the head (40 ms) on a kept-alive connection.
  const int on = 1;
  ::setsockopt(sock, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  ::fcntl(sock, F_SETFL, ::fcntl(sock, F_GETFL) | O_NONBLOCK);
}

void ShutdownSending(socket_t sock) { ::shutdown(sock, SHUT_WR); }

void CloseConnection(socket_t sock) {
  ::shutdown(sock, SHUT_RDWR);
  ::close(sock);
}

// listen() again on a listening socket changes its backlog.
void WidenListenBacklog(socket_t sock) { ::listen(sock, SOMAXCONN); }

}  // namespace kovrix::server
