#pragma once
// The socket calls of the service's own connection reading that differ between the systems:
// waiting on a socket, reading and writing without blocking, and closing. The rest of the
// reading (framing, limits, refusals) is the same everywhere.

#include <cstddef>

#include <httplib.h>

namespace kovrix::server {

/// Readies an accepted connection: answers go out without delay, and no call on it blocks.
void PrepareConnection(socket_t sock);

/// Waits up to ms for the socket to be readable (or writable): 1 when it is, 0 when the time
/// passed or the wait was interrupted, -1 when the socket failed.
int WaitReady(socket_t sock, bool write, int ms);

/// Reads what has arrived without waiting: the bytes read (> 0), 0 when the peer closed or the
/// socket failed, -1 when nothing has arrived yet.
long ReceiveNow(socket_t sock, char* buffer, std::size_t size);

/// Writes what the socket takes now: the bytes written (> 0), -1 when it takes nothing now,
/// -2 when it failed.
long SendNow(socket_t sock, const char* data, std::size_t size);

/// Closes the sending direction only: the peer reads the end of the answer.
void ShutdownSending(socket_t sock);

/// Shuts both directions and closes the socket.
void CloseConnection(socket_t sock);

/// Lets up to the system's most connections wait to be accepted on a listening socket.
void WidenListenBacklog(socket_t sock);

}  // namespace kovrix::server
