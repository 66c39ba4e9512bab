#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/server/test_platform.h"

namespace kovrix::server::testing {

std::string MakeTestDirectory(const std::string& prefix) {
  std::string path = "/tmp/" + prefix + "-XXXXXX";
  return ::mkdtemp(path.data()) == nullptr ? std::string() : path;
}

void UseStateHome(const std::string& dir) { ::setenv("XDG_STATE_HOME", dir.c_str(), 1); }

namespace {

bool HasMode(const std::filesystem::path& path, unsigned mode) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && (st.st_mode & 0777) == mode;
}

}  // namespace

bool OwnerOnlyFile(const std::filesystem::path& path) { return HasMode(path, 0600); }

bool OwnerOnlyDirectory(const std::filesystem::path& path) { return HasMode(path, 0700); }

RawSocket ConnectFrom(const char* source, int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in from{};
  from.sin_family = AF_INET;
  ::inet_pton(AF_INET, source, &from.sin_addr);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(static_cast<std::uint16_t>(port));
  ::inet_pton(AF_INET, "127.0.0.1", &to.sin_addr);
  if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&from), sizeof from) != 0 ||
      ::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
    if (fd >= 0) ::close(fd);
    return kNoSocket;
  }
  return fd;
}

RawSocket ConnectTo(int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<std::uint16_t>(port));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    ::close(fd);
    return kNoSocket;
  }
  return fd;
}

bool SendRaw(RawSocket s, const char* data, std::size_t size) {
  return ::send(static_cast<int>(s), data, size, MSG_NOSIGNAL) == static_cast<ssize_t>(size);
}

bool WaitReadable(RawSocket s, int ms) {
  pollfd p{static_cast<int>(s), POLLIN, 0};
  return ::poll(&p, 1, ms) == 1;
}

long ReceiveRaw(RawSocket s, char* buffer, std::size_t size) {
  return static_cast<long>(::recv(static_cast<int>(s), buffer, size, 0));
}

void CloseRaw(RawSocket s) { ::close(static_cast<int>(s)); }

}  // namespace kovrix::server::testing
