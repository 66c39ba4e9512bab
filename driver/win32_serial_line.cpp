// Win32 implementation of SerialLine: the port opened exclusively through CreateFile, 8N1 set in
// its DCB, reads that return as soon as any byte is there (or after the caller's time-out, the
// same read slices as the termios line), bytes buffered and handed out one at a time.

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cctype>
#include <string>

#include "driver/serial_line.h"

namespace kovrix {
namespace {

constexpr char kDevicePrefix[] = "\\\\.\\";

bool StartsWithDevicePrefix(const std::string& name) { return name.rfind(kDevicePrefix, 0) == 0; }

// "COM" followed by one or more digits, in either case.
bool IsComName(const std::string& name) {
  if (name.size() < 4) return false;
  for (std::size_t i = 0; i < 3; ++i) {
    if (std::toupper(static_cast<unsigned char>(name[i])) != "COM"[i]) return false;
  }
  for (std::size_t i = 3; i < name.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(name[i]))) return false;
  }
  return true;
}

std::wstring Widen(const std::string& utf8) {
  if (utf8.empty()) return {};
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  if (n <= 0) return {};
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
  return wide;
}

// Per thread: a probe on one thread must not read the outcome of an open on another.
thread_local PortOpenFailure gLastOpenFailure = PortOpenFailure::None;

class Win32SerialLine final : public SerialLine {
 public:
  ~Win32SerialLine() override { close(); }

  bool open(const std::string& port, int baud) override {
    close();
    gLastOpenFailure = PortOpenFailure::Other;
    if (port.empty() || port.size() > kMaxPortPath || baud <= 0) return false;
    const std::wstring path = Widen(PortPath(port));
    if (path.empty()) return false;
    // No sharing: the registrator link is the only user of the port.
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
      const DWORD error = GetLastError();
      if (error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION) gLastOpenFailure = PortOpenFailure::Busy;
      return false;
    }
    if (!Configure(h, baud)) {
      CloseHandle(h);
      return false;
    }
    handle_ = h;
    head_ = tail_ = 0;
    readTimeoutMs_ = -1;
    PurgeComm(handle_, PURGE_RXCLEAR | PURGE_TXCLEAR);
    gLastOpenFailure = PortOpenFailure::None;
    return true;
  }

  bool close() override {
    if (handle_ == INVALID_HANDLE_VALUE) return false;
    const bool ok = CloseHandle(handle_) != 0;
    handle_ = INVALID_HANDLE_VALUE;
    head_ = tail_ = 0;
    return ok;
  }

  bool isOpen() const override { return handle_ != INVALID_HANDLE_VALUE; }

  ReadResult readByte(std::uint8_t& byte, int timeoutMs) override {
    if (handle_ == INVALID_HANDLE_VALUE) return ReadResult::Error;
    if (head_ == tail_) {
      if (!SetReadTimeout(timeoutMs < 0 ? 0 : timeoutMs)) return ReadResult::Error;
      DWORD got = 0;
      if (!ReadFile(handle_, buffer_, sizeof buffer_, &got, nullptr)) {
        DWORD errors = 0;
        ClearCommError(handle_, &errors, nullptr);
        return ReadResult::Error;
      }
      if (got == 0) return ReadResult::Timeout;
      head_ = 0;
      tail_ = got;
    }
    byte = buffer_[head_++];
    return ReadResult::Byte;
  }

  bool write(std::string_view bytes) override {
    if (handle_ == INVALID_HANDLE_VALUE) return false;
    std::size_t done = 0;
    while (done < bytes.size()) {
      DWORD written = 0;
      const DWORD chunk = static_cast<DWORD>(bytes.size() - done);
      if (!WriteFile(handle_, bytes.data() + done, chunk, &written, nullptr)) {
        DWORD errors = 0;
        ClearCommError(handle_, &errors, nullptr);
        return false;
      }
      // Nothing went out within the write time-out: the line is stuck.
      if (written == 0) return false;
      done += written;
    }
    return true;
  }

  void purge() override {
    if (handle_ == INVALID_HANDLE_VALUE) return;
    FlushFileBuffers(handle_);
    PurgeComm(handle_, PURGE_RXCLEAR | PURGE_TXCLEAR | PURGE_RXABORT | PURGE_TXABORT);
    head_ = tail_ = 0;
  }

  void discard() override {
    if (handle_ == INVALID_HANDLE_VALUE) return;
    PurgeComm(handle_, PURGE_RXCLEAR | PURGE_TXCLEAR | PURGE_RXABORT | PURGE_TXABORT);
    head_ = tail_ = 0;
  }

  void clearError() override {
    if (handle_ != INVALID_HANDLE_VALUE) {
      DWORD errors = 0;
      ClearCommError(handle_, &errors, nullptr);
      PurgeComm(handle_, PURGE_RXCLEAR);
    }
    head_ = tail_ = 0;
  }

 private:
  // Raw 8N1 at the rate, no flow control, DTR and RTS raised as a USB virtual port expects.
  static bool Configure(HANDLE h, int baud) {
    SetupComm(h, 4096, 4096);
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(h, &dcb)) return false;
    dcb.BaudRate = static_cast<DWORD>(baud);
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.fBinary = TRUE;
    dcb.fParity = FALSE;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    dcb.fAbortOnError = FALSE;
    if (!SetCommState(h, &dcb)) return false;
    // Writes give up after a second plus the time the bytes need at the slowest rate.
    COMMTIMEOUTS t{};
    t.ReadIntervalTimeout = MAXDWORD;
    t.WriteTotalTimeoutMultiplier = 2;
    t.WriteTotalTimeoutConstant = 1000;
    return SetCommTimeouts(h, &t) != 0;
  }

  // A read returns at once with whatever is waiting; with nothing waiting it waits for the first
  // byte at most timeoutMs (0: does not wait).
  bool SetReadTimeout(int timeoutMs) {
    if (timeoutMs == readTimeoutMs_) return true;
    COMMTIMEOUTS t{};
    t.ReadIntervalTimeout = MAXDWORD;
    t.ReadTotalTimeoutMultiplier = timeoutMs > 0 ? MAXDWORD : 0;
    t.ReadTotalTimeoutConstant = static_cast<DWORD>(timeoutMs);
    t.WriteTotalTimeoutMultiplier = 2;
    t.WriteTotalTimeoutConstant = 1000;
    if (!SetCommTimeouts(handle_, &t)) return false;
    readTimeoutMs_ = timeoutMs;
    return true;
  }

  HANDLE handle_ = INVALID_HANDLE_VALUE;
  std::uint8_t buffer_[512];
  std::size_t head_ = 0;
  std::size_t tail_ = 0;
  int readTimeoutMs_ = -1;
};

}  // namespace

std::string PortPath(const std::string& port) {
  const std::string bare = StartsWithDevicePrefix(port) ? port.substr(4) : port;
  if (IsComName(bare)) {
    std::string upper = "COM" + bare.substr(3);
    return kDevicePrefix + upper;
  }
  return port;
}

std::unique_ptr<SerialLine> MakeSystemSerialLine() { return std::make_unique<Win32SerialLine>(); }

PortOpenFailure LastPortOpenFailure() { return gLastOpenFailure; }

}  // namespace kovrix
