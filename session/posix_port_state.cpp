#include "session/port_state.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <thread>

#include "driver/network_port.h"
#include "session/port_locks.h"
#include "driver/serial_line.h"

namespace kovrix::session {

std::string StateDirectory() {
  if (const char* state = std::getenv("XDG_STATE_HOME"); state && state[0] == '/') {
    return std::string(state) + "/kovrix";
  }
  if (const char* home = std::getenv("HOME"); home && home[0] != '\0') return std::string(home) + "/.local/state/kovrix";
  return {};
}

std::string ResolvedDevicePath(const std::string& port) {
  // A converter is one line whichever name reaches it: keyed by the (first) address it resolves to.
  if (IsNetworkPortName(port)) {
    const std::vector<std::string> keys = PortLockKeys(port);
    return keys.empty() ? std::string() : keys.front();
  }
  char resolved[PATH_MAX];
  if (::realpath(PortPath(port).c_str(), resolved) == nullptr) return {};
  return resolved;
}

std::string StateFileName(const std::string& devicePath) {
  std::string name;
  for (const char c : devicePath) {
    if (c == '/') {
      name += "%2F";
    } else if (c == '%') {
      name += "%25";
    } else {
      name += c;
    }
  }
  return name + ".seq";
}

PortState::~PortState() { Release(); }

PortState::Lock PortState::Acquire(const std::string& port, int waitMs) {
  Release();
  counter_ = 0;
  const std::string device = ResolvedDevicePath(port);
  if (device.empty()) {
    why_ = "no device file for " + port;
    return Lock::Unavailable;
  }
  const std::string dir = StateDirectory();
  std::error_code ec;
  if (dir.empty() || (std::filesystem::create_directories(dir, ec), ec)) {
    why_ = "cannot make the state directory " + (dir.empty() ? std::string("(no HOME)") : dir);
    return Lock::Unavailable;
  }
  const std::string path = dir + "/" + StateFileName(device);
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) {
    why_ = "cannot open " + path + ": " + std::strerror(errno);
    return Lock::Unavailable;
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
  while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno != EWOULDBLOCK && errno != EINTR) {
      why_ = "cannot lock " + path + ": " + std::strerror(errno);
      ::close(fd);
      return Lock::Unavailable;
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      ::close(fd);
      return Lock::Busy;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  fd_ = fd;
  char text[8] = {};
  const ssize_t n = ::pread(fd_, text, sizeof text - 1, 0);
  if (n > 0) {
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (end != text && (*end == '\n' || *end == '\0') && value >= 0 && value <= 255) {
      counter_ = static_cast<std::uint8_t>(value);
    }
  }
  return Lock::Held;
}

void PortState::Store(std::uint8_t counter) {
  if (fd_ < 0) return;
  // Fixed width, one write: a reader never sees half a number.
  char text[8];
  std::snprintf(text, sizeof text, "%3u\n", static_cast<unsigned>(counter));
  if (::pwrite(fd_, text, 4, 0) == 4) counter_ = counter;
}

void PortState::Release() {
  if (fd_ < 0) return;
  ::close(fd_);
  fd_ = -1;
}

}  // namespace kovrix::session
