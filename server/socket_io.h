#pragma once
// The socket calls of the service's own connection reading that differ between the systems and
// that the driver's socket calls (driver/socket_io.h: waiting, reading and writing without
// blocking) do not cover: readying an accepted connection, and closing it. The rest of the
// reading (framing, limits, refusals) is the same everywhere.

#include <cstddef>

#include <httplib.h>

namespace kovrix::server {

/// Readies an accepted connection: answers go out without delay, and no call on it blocks.
void PrepareConnection(socket_t sock);

/// Closes the sending direction only: the peer reads the end of the answer.
void ShutdownSending(socket_t sock);

/// Shuts both directions and closes the socket.
void CloseConnection(socket_t sock);

/// Lets up to the system's most connections wait to be accepted on a listening socket.
void WidenListenBacklog(socket_t sock);

}  // namespace kovrix::server
