#pragma once
// The few socket calls the network line needs, one file per system (BSD sockets, Winsock).
// Sockets are non-blocking once connected.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "driver/resolver.h"

namespace kovrix::net {

using Socket = std::intptr_t;
inline constexpr Socket kNoSocket = -1;

/// Readies the system's sockets once per process (Winsock); false when the network is unavailable.
bool Startup();

/// Connects to the first of the addresses that answers, all within timeoutMs; the socket has
/// TCP_NODELAY and keep-alive set, and connected tells which address took it. Answers kNoSocket
/// and says why in reason ("connection refused", "timed out", ...) on failure. The tick is called
/// while the connection is under way.
Socket Connect(const std::vector<Address>& addresses, int timeoutMs, std::string& reason, std::size_t& connected,
               const WaitTick& tick = {});

enum class Wait { Ready, Timeout, Failed };
/// Waits up to timeoutMs (0: just looks) until the socket has something to read (or is closed).
Wait WaitReadable(Socket socket, int timeoutMs);
/// Waits up to timeoutMs until the socket takes more output.
Wait WaitWritable(Socket socket, int timeoutMs);
/// The two waits cut into slices of kWaitTickMs with the tick called between them (no tick: one wait).
Wait WaitReadableTicking(Socket socket, int timeoutMs, const WaitTick& tick);
Wait WaitWritableTicking(Socket socket, int timeoutMs, const WaitTick& tick);

/// What Receive and Send answer besides a count.
inline constexpr long kWouldBlock = -1;
inline constexpr long kFailed = -2;
/// Reads what is there: the count (0: the peer closed the connection), kWouldBlock or kFailed.
/// Where the system allows, the data is acknowledged at once rather than with the next frame, so
/// that a peer that holds small writes until they are acknowledged sends its next one at once.
long Receive(Socket socket, void* buffer, std::size_t size);
/// Writes what the socket takes: the count, kWouldBlock or kFailed (never a signal).
long Send(Socket socket, const void* bytes, std::size_t size);
void Close(Socket socket);

}  // namespace kovrix::net
