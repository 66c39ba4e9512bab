#pragma once
// What the server tests do differently on each system: their temporary directories, where the
// service keeps its state, and the raw connections that send what a well-behaved client never
// sends. POSIX in posix_test_platform.cpp, Windows in tests/windows/win32_server_test_platform.cpp.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

namespace kovrix::server::testing {

/// Makes a new empty directory under the system's temporary directory, its name starting with
/// prefix; answers its path (UTF-8), or an empty text when it cannot.
std::string MakeTestDirectory(const std::string& prefix);

/// Points the state directory (its kovrix/ subdirectory) at dir for the rest of the process:
/// $XDG_STATE_HOME on POSIX systems, %LOCALAPPDATA% on Windows.
void UseStateHome(const std::string& dir);

/// Answers whether the file exists and only its owner may read or write it: mode 0600 on POSIX
/// systems; on Windows, which has no mode bits (the state lives in the user's own profile), that
/// it exists.
bool OwnerOnlyFile(const std::filesystem::path& path);
/// Answers the same of a directory: mode 0700 on POSIX systems, on Windows that it exists.
bool OwnerOnlyDirectory(const std::filesystem::path& path);

/// A raw TCP connection; kNoSocket when there is none.
using RawSocket = std::intptr_t;
inline constexpr RawSocket kNoSocket = -1;

/// Connects to the loopback port; kNoSocket when it cannot.
RawSocket ConnectTo(int port);
/// Connects to the loopback port from another loopback address (127.0.0.2, ...), as a second
/// client would (POSIX only).
RawSocket ConnectFrom(const char* source, int port);
/// Sends all bytes (a closed peer raises no signal); false when the connection refused them.
bool SendRaw(RawSocket s, const char* data, std::size_t size);
inline bool SendRaw(RawSocket s, const std::string& bytes) { return SendRaw(s, bytes.data(), bytes.size()); }
/// Waits up to ms for bytes (or the end) to arrive: true when they did.
bool WaitReadable(RawSocket s, int ms);
/// Reads what has arrived (waiting for something when nothing has): the bytes read, 0 at the
/// end of the connection, -1 on an error.
long ReceiveRaw(RawSocket s, char* buffer, std::size_t size);
/// Closes the connection.
void CloseRaw(RawSocket s);

}  // namespace kovrix::server::testing
