#pragma once
// The few socket calls the network line needs, one file per system (BSD sockets, Winsock).
// Sockets are non-blocking once connected.

#include <cstddef>
#include <cstdint>
#include <string>

namespace kovrix::net {

using Socket = std::intptr_t;
inline constexpr Socket kNoSocket = -1;

/// Resolves host with the system resolver and connects to the first address that answers,
/// all within timeoutMs; the socket has TCP_NODELAY and keep-alive set. Answers kNoSocket and
/// says why in reason ("connection refused", "timed out", "name not resolved", ...) on failure.
Socket Connect(const std::string& host, int port, int timeoutMs, std::string& reason);

enum class Wait { Ready, Timeout, Failed };
/// Waits up to timeoutMs (0: just looks) until the socket has something to read (or is closed).
Wait WaitReadable(Socket socket, int timeoutMs);
/// Waits up to timeoutMs until the socket takes more output.
Wait WaitWritable(Socket socket, int timeoutMs);

/// What Receive and Send answer besides a count.
inline constexpr long kWouldBlock = -1;
inline constexpr long kFailed = -2;
/// Reads what is there: the count (0: the peer closed the connection), kWouldBlock or kFailed.
long Receive(Socket socket, void* buffer, std::size_t size);
/// Writes what the socket takes: the count, kWouldBlock or kFailed (never a signal).
long Send(Socket socket, const void* bytes, std::size_t size);
void Close(Socket socket);

}  // namespace kovrix::net
