// The kept sequence counter and the one-run-at-a-time lock of a port on Windows: one small file
// per port under %LOCALAPPDATA%\kovrix, locked with LockFileEx (released by the system when the
// run ends, however it ends). The port's key is its device name, \\.\COMn, so that "COM3",
// "com3" and "\\.\COM3" share one file.

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "session/port_state.h"
#include "driver/network_port.h"
#include "session/port_locks.h"
#include "driver/serial_line.h"

namespace kovrix::session {
namespace {

std::string Utf8(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

std::filesystem::path StateDirectoryPath() {
  for (const wchar_t* name : {L"LOCALAPPDATA", L"APPDATA"}) {
    if (const wchar_t* dir = _wgetenv(name); dir && dir[0] != L'\0') return std::filesystem::path(dir) / L"kovrix";
  }
  return {};
}

bool LockWhole(int fd) {
  OVERLAPPED at{};
  const HANDLE h = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
  return LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD, MAXDWORD, &at) != 0;
}

}  // namespace

std::string StateDirectory() { return Utf8(StateDirectoryPath()); }

std::string ResolvedDevicePath(const std::string& port) {
  if (port.empty()) return {};
  // A converter is one line whichever name reaches it: keyed by the (first) address it resolves to.
  if (IsNetworkPortName(port)) {
    const std::vector<std::string> keys = PortLockKeys(port);
    return keys.empty() ? std::string() : keys.front();
  }
  return PortPath(port);
}

std::string StateFileName(const std::string& devicePath) {
  // Every character a Windows file name cannot hold (and "%" itself) as %XX.
  static const std::string kReserved = "\\/:*?\"<>|%";
  std::string name;
  for (const char c : devicePath) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || kReserved.find(c) != std::string::npos) {
      char escaped[4];
      std::snprintf(escaped, sizeof escaped, "%%%02X", byte);
      name += escaped;
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
    why_ = "no device name for " + port;
    return Lock::Unavailable;
  }
  const std::filesystem::path dir = StateDirectoryPath();
  std::error_code ec;
  if (dir.empty() || (std::filesystem::create_directories(dir, ec), ec)) {
    why_ = "cannot make the state directory " + (dir.empty() ? std::string("(no LOCALAPPDATA)") : Utf8(dir));
    return Lock::Unavailable;
  }
  const std::filesystem::path path = dir / std::filesystem::u8path(StateFileName(device));
  int fd = -1;
  if (_wsopen_s(&fd, path.c_str(), _O_RDWR | _O_CREAT | _O_BINARY | _O_NOINHERIT, _SH_DENYNO,
                _S_IREAD | _S_IWRITE) != 0) {
    why_ = "cannot open " + Utf8(path);
    return Lock::Unavailable;
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
  while (!LockWhole(fd)) {
    const DWORD error = GetLastError();
    if (error != ERROR_LOCK_VIOLATION && error != ERROR_IO_PENDING) {
      why_ = "cannot lock " + Utf8(path) + ": error " + std::to_string(error);
      _close(fd);
      return Lock::Unavailable;
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      _close(fd);
      return Lock::Busy;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  fd_ = fd;
  char text[8] = {};
  if (_lseek(fd_, 0, SEEK_SET) == 0) {
    const int n = _read(fd_, text, sizeof text - 1);
    if (n > 0) {
      char* end = nullptr;
      const long value = std::strtol(text, &end, 10);
      if (end != text && (*end == '\n' || *end == '\0') && value >= 0 && value <= 255) {
        counter_ = static_cast<std::uint8_t>(value);
      }
    }
  }
  return Lock::Held;
}

void PortState::Store(std::uint8_t counter) {
  if (fd_ < 0) return;
  // Fixed width, one write: a reader never sees half a number.
  char text[8];
  std::snprintf(text, sizeof text, "%3u\n", static_cast<unsigned>(counter));
  if (_lseek(fd_, 0, SEEK_SET) == 0 && _write(fd_, text, 4) == 4) counter_ = counter;
}

void PortState::Release() {
  if (fd_ < 0) return;
  _close(fd_);
  fd_ = -1;
}

}  // namespace kovrix::session
