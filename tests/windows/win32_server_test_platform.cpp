// The server tests' system calls on Windows: directories under %TEMP%, the state under a
// %LOCALAPPDATA% of the test's own, and Winsock connections.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "tests/server/test_platform.h"

namespace kovrix::server::testing {
namespace {

bool WinsockStarted() {
  static const bool started = [] {
    WSADATA data{};
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  return started;
}

SOCKET AsSocket(RawSocket s) { return static_cast<SOCKET>(s); }

}  // namespace

std::string MakeTestDirectory(const std::string& prefix) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path base = fs::temp_directory_path(ec);
  if (ec) return {};
  for (unsigned attempt = 0; attempt < 1000; ++attempt) {
    const fs::path dir = base / (prefix + "-" + std::to_string(GetCurrentProcessId()) + "-" +
                                 std::to_string(GetTickCount64() % 100000) + "-" + std::to_string(attempt));
    if (fs::create_directory(dir, ec)) {
      const std::u8string text = dir.u8string();
      return std::string(text.begin(), text.end());
    }
  }
  return {};
}

void UseStateHome(const std::string& dir) {
  const std::wstring wide = std::filesystem::u8path(dir).wstring();
  _wputenv_s(L"LOCALAPPDATA", wide.c_str());
}

bool OwnerOnlyFile(const std::filesystem::path& path) {
  std::error_code ec;
  return std::filesystem::is_regular_file(path, ec);
}

bool OwnerOnlyDirectory(const std::filesystem::path& path) {
  std::error_code ec;
  return std::filesystem::is_directory(path, ec);
}

RawSocket ConnectTo(int port) {
  if (!WinsockStarted()) return kNoSocket;
  const SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) return kNoSocket;
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<u_short>(port));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    ::closesocket(s);
    return kNoSocket;
  }
  return static_cast<RawSocket>(s);
}

bool SendRaw(RawSocket s, const char* data, std::size_t size) {
  return ::send(AsSocket(s), data, static_cast<int>(size), 0) == static_cast<int>(size);
}

bool WaitReadable(RawSocket s, int ms) {
  WSAPOLLFD p{};
  p.fd = AsSocket(s);
  p.events = POLLRDNORM;
  return ::WSAPoll(&p, 1, ms) == 1;
}

long ReceiveRaw(RawSocket s, char* buffer, std::size_t size) {
  const int n = ::recv(AsSocket(s), buffer, static_cast<int>(size), 0);
  return n == SOCKET_ERROR ? -1 : n;
}

void CloseRaw(RawSocket s) { ::closesocket(AsSocket(s)); }

}  // namespace kovrix::server::testing
