// TPortControl on Windows: the port is a communications device opened for exclusive use; its
// line settings, time-outs, escape functions, error state and purges are the system's own, and
// the FIFO settings are values of the device's hardware key ("ForceFifoEnable", "RxFIFO",
// "TxFIFO").

// The component's header comes before the system's: windows.h makes macros of the escape and
// purge names (SETXOFF, PURGE_TXABORT, ...) that the component's enumerations also use.
#include "port/port_control.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstdio>
#include <vector>

#include "port/port_control_texts.h"
#include "port/win32_registry.h"

namespace kovrix {
namespace {

using namespace port_texts;

constexpr char kDevicePrefix[] = "\\\\.\\";

HANDLE AsHandle(std::intptr_t fd) { return reinterpret_cast<HANDLE>(fd); }

bool StartsWithIgnoringCase(const std::string& text, const std::string& start) {
  return text.size() >= start.size() && EqualsIgnoringCase(text.substr(0, start.size()), start);
}

// The device's hardware key, open while the object lives.
class DeviceKey {
 public:
  DeviceKey(DeviceRegistry* registry, const std::optional<PortDevice>& device, bool write) {
    const auto* system = dynamic_cast<const Win32DeviceRegistry*>(registry);
    if (system != nullptr && device) key_ = static_cast<HKEY>(system->OpenHardwareKey(device->id, write));
  }
  ~DeviceKey() {
    if (key_ != nullptr) RegCloseKey(key_);
  }
  DeviceKey(const DeviceKey&) = delete;
  DeviceKey& operator=(const DeviceKey&) = delete;

  bool open() const { return key_ != nullptr; }
  bool Read(const wchar_t* name, DWORD& value) const {
    DWORD type = 0;
    DWORD size = sizeof value;
    return RegQueryValueExW(key_, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) == ERROR_SUCCESS &&
           type == REG_DWORD;
  }
  bool Write(const wchar_t* name, DWORD value) const {
    return RegSetValueExW(key_, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value) ==
           ERROR_SUCCESS;
  }

 private:
  HKEY key_ = nullptr;
};

COMMTIMEOUTS CommTimeoutsOf(const T1CommTimeouts& t) {
  COMMTIMEOUTS c{};
  c.ReadIntervalTimeout = t.ReadIntervalTimeout;
  c.ReadTotalTimeoutMultiplier = t.ReadTotalTimeoutMultiplier;
  c.ReadTotalTimeoutConstant = t.ReadTotalTimeoutConstant;
  c.WriteTotalTimeoutMultiplier = t.WriteTotalTimeoutMultiplier;
  c.WriteTotalTimeoutConstant = t.WriteTotalTimeoutConstant;
  return c;
}

}  // namespace

std::string PortDevicePath(const std::string& port) {
  if (StartsWithIgnoringCase(port, kDevicePrefix)) return port;
  return kDevicePrefix + port;
}

TPortControl::~TPortControl() {
  if (sessionOpen_) {
    RestorePriorities();
    system_->UnlockMemory();
  }
  if (fd_ >= 0) CloseHandle(AsHandle(fd_));
}

void TPortControl::ErrorString(unsigned long code) {
  // A Windows error wrapped as an HRESULT (facility 8) is looked up by its own code.
  if (((code >> 16) & 0x1FFF) == 8) code &= 0xFFFF;
  wchar_t* buffer = nullptr;
  FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                 nullptr, static_cast<DWORD>(code), MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                 reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::string message = Utf8FromWide(buffer);
  if (buffer != nullptr) LocalFree(buffer);
  // The system's messages end with a line break of their own.
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' ')) {
    message.pop_back();
  }
  const int length = std::snprintf(nullptr, 0, "%s\nError = 0x%lx", message.c_str(), code);
  std::vector<char> text(static_cast<std::size_t>(length > 0 ? length : 0) + 1);
  std::snprintf(text.data(), text.size(), "%s\nError = 0x%lx", message.c_str(), code);
  descr_ = text.data();
}

int TPortControl::OpenPort() {
  if (fd_ >= 0) return FailOwn(-20, kAlreadyOpen);
  const std::wstring path = WideFromUtf8(PortDevicePath(port_));
  HANDLE h = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return FailSystem(-2, static_cast<int>(GetLastError()));
  const auto fail = [&](int code) {
    const DWORD error = GetLastError();
    CloseHandle(h);  // a port that failed to open fully is not left half open
    return FailSystem(code, static_cast<int>(error));
  };
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  if (!GetCommState(h, &dcb)) return fail(-3);
  dcb.BaudRate = RateOf(BaudRate);
  dcb.fBinary = TRUE;
  dcb.ByteSize = static_cast<BYTE>(kDataBits[DataBits & 3]);
  dcb.Parity = static_cast<BYTE>(kParityCode[Parity & 3]);
  dcb.StopBits = static_cast<BYTE>(StopBits);
  dcb.fDtrControl = static_cast<DWORD>(DTR) & 3;
  dcb.fRtsControl = static_cast<DWORD>(RTS) & 3;
  if (!SetCommState(h, &dcb)) return fail(-4);
  if (!GetCommState(h, &dcb)) return fail(-3);
  COMMTIMEOUTS timeouts = CommTimeoutsOf(Timeout);
  if (!SetCommTimeouts(h, &timeouts)) return fail(-5);
  line_ = LineConfig{dcb.BaudRate, dcb.ByteSize, kParityCode[Parity & 3], dcb.StopBits};
  applied_ = Timeout;
  fd_ = reinterpret_cast<std::intptr_t>(h);
  return Succeed();
}

int TPortControl::ClosePort() {
  if (fd_ < 0) return FailOwn(-1, kNotOpen);
  HANDLE h = AsHandle(fd_);
  int code = 0;
  DWORD error = 0;
  if (!FlushFileBuffers(h)) {
    code = -6;
    error = GetLastError();
  } else if (!PurgeComm(h, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR)) {
    code = -15;
    error = GetLastError();
  }
  // The handle is released even when a step before failed: a dead line must not keep the port.
  if (!CloseHandle(h) && code == 0) {
    code = -7;
    error = GetLastError();
  }
  fd_ = -1;
  return code ? FailSystem(code, static_cast<int>(error)) : Succeed();
}

void TPortControl::RestorePriorities() {
  system_->WriteThreadPriority(savedPolicy_, savedPriority_);
  system_->WriteProcessPriority(savedNice_);
}

int TPortControl::StartSession(bool purge) {
  if (fd_ < 0) return FailOwn(-1, kNotOpen);
  if (sessionOpen_) return FailOwn(-16, kSessionAlreadyOpen);
  if (int e = system_->ReadProcessPriority(savedNice_)) return FailSystem(-8, e);
  if (int e = system_->ReadThreadPriority(savedPolicy_, savedPriority_)) return FailSystem(-10, e);
  if (int e = system_->WriteProcessPriority(REALTIME_PRIORITY_CLASS)) return FailSystem(-9, e);
  // From here on a failure puts back what was changed: the caller gets no session to end.
  if (int e = system_->WriteThreadPriority(0, THREAD_PRIORITY_TIME_CRITICAL)) {
    system_->WriteProcessPriority(savedNice_);
    return FailSystem(-11, e);
  }
  if (int e = system_->LockMemory()) {
    RestorePriorities();
    return FailSystem(-12, e);
  }
  if (purge && !PurgeComm(AsHandle(fd_), PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR)) {
    const DWORD e = GetLastError();
    system_->UnlockMemory();
    RestorePriorities();
    return FailSystem(-15, static_cast<int>(e));
  }
  sessionOpen_ = true;
  return Succeed();
}

int TPortControl::EndSession(bool purge) {
  if (fd_ < 0) return FailOwn(-1, kNotOpen);
  if (!sessionOpen_) return FailOwn(-21, kNoSessionForEnd);
  if (int e = system_->WriteProcessPriority(savedNice_)) return FailSystem(-9, e);
  if (int e = system_->WriteThreadPriority(savedPolicy_, savedPriority_)) return FailSystem(-11, e);
  if (int e = system_->UnlockMemory()) return FailSystem(-13, e);
  if (purge && !PurgeComm(AsHandle(fd_), PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR)) {
    return FailSystem(-15, static_cast<int>(GetLastError()));
  }
  sessionOpen_ = false;
  return Succeed();
}

int TPortControl::WriteData(const char* buffer, std::size_t count, std::size_t& written) {
  if (fd_ < 0) return FailOwn(-1, kNotOpenForWrite);
  if (!sessionOpen_) return FailOwn(-21, kNoSession);
  written = 0;
  HANDLE h = AsHandle(fd_);
  if ((buffer == nullptr && count > 0) || count > MAXDWORD) return FailSystem(-18, ERROR_INVALID_PARAMETER);
  if (Buffering) {
    DWORD sent = 0;
    const BOOL ok = WriteFile(h, buffer, static_cast<DWORD>(count), &sent, nullptr);
    written = sent;
    if (!ok) return FailSystem(-18, static_cast<int>(GetLastError()));
  } else {
    // One immediate character at a time, ahead of anything queued.
    for (std::size_t i = 0; i < count; ++i) {
      if (!TransmitCommChar(h, buffer[i])) return FailSystem(-18, static_cast<int>(GetLastError()));
      written = i + 1;
    }
  }
  if (!FlushFileBuffers(h)) return FailSystem(-6, static_cast<int>(GetLastError()));
  return Succeed();
}

int TPortControl::ReadData(char* buffer, std::size_t count, std::size_t& read) {
  if (fd_ < 0) return FailOwn(-1, kNotOpen);
  if (!sessionOpen_) return FailOwn(-21, kNoSessionForRead);
  read = 0;
  HANDLE h = AsHandle(fd_);
  if ((buffer == nullptr && count > 0) || count > MAXDWORD) return FailSystem(-17, ERROR_INVALID_PARAMETER);
  if (!WaitEndChar) {
    DWORD got = 0;
    const BOOL ok = ReadFile(h, buffer, static_cast<DWORD>(count), &got, nullptr);
    read = got;
    return ok ? Succeed() : FailSystem(-17, static_cast<int>(GetLastError()));
  }
  while (read < count) {
    DWORD got = 0;
    if (!ReadFile(h, buffer + read, 1, &got, nullptr)) return FailSystem(-17, static_cast<int>(GetLastError()));
    if (got == 0) return FailOwn(-19, kNoEndChar);
    if (buffer[read++] == EndChar) return Succeed();
  }
  return FailOwn(-19, kNoEndChar);
}

int TPortControl::ClearError() {
  if (fd_ < 0) return FailOwn(-1, kNotOpen);
  if (!sessionOpen_) return FailOwn(-21, kNoSessionForClearError);
  DWORD errors = 0;
  COMSTAT status{};
  if (!ClearCommError(AsHandle(fd_), &errors, &status)) return FailSystem(-14, static_cast<int>(GetLastError()));
  if (!PurgeComm(AsHandle(fd_), PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR)) {
    return FailSystem(-15, static_cast<int>(GetLastError()));
  }
  return Succeed();
}

int TPortControl::SetPortTimeouts() {
  if (fd_ < 0) return FailOwn(-1, kNotOpenForTimeouts);
  COMMTIMEOUTS timeouts = CommTimeoutsOf(Timeout);
  if (!SetCommTimeouts(AsHandle(fd_), &timeouts)) return FailSystem(-5, static_cast<int>(GetLastError()));
  applied_ = Timeout;
  return Succeed();
}

int TPortControl::EscapeCommFunction(int function) {
  if (fd_ < 0) return FailOwn(-1, kNotOpen);
  if (!sessionOpen_) return FailOwn(-21, kNoSession);
  // The escape functions are numbered as the system numbers them.
  if (!::EscapeCommFunction(AsHandle(fd_), static_cast<DWORD>(function))) {
    return FailSystem(-22, static_cast<int>(GetLastError()));
  }
  return Succeed();
}

int TPortControl::ClearBuffers(int flags) {
  if (fd_ < 0) return FailOwn(-1, kNotOpen);
  if (!sessionOpen_) return FailOwn(-21, kNoSession);
  if (!PurgeComm(AsHandle(fd_), static_cast<DWORD>(flags))) return FailSystem(-23, static_cast<int>(GetLastError()));
  return Succeed();
}

int TPortControl::EnableFIFO(bool enable) {
  DeviceKey key(registry_, GetDeviceKey(port_), true);
  if (!key.open()) return FailOwn(-25, nullptr);
  return key.Write(L"ForceFifoEnable", enable ? 1 : 0) ? Succeed() : FailOwn(-25, nullptr);
}

int TPortControl::SetFIFOSize(bool receive, int size) {
  DeviceKey key(registry_, GetDeviceKey(port_), true);
  if (!key.open()) return FailOwn(-25, nullptr);
  const bool allowed = receive ? (size == 1 || size == 4 || size == 8 || size == 14) : (size >= 1 && size <= 16);
  if (!allowed) return FailOwn(-26, nullptr);
  return key.Write(receive ? L"RxFIFO" : L"TxFIFO", static_cast<DWORD>(size)) ? Succeed() : FailOwn(-25, nullptr);
}

int TPortControl::IsFIFOEnable() {
  DeviceKey key(registry_, GetDeviceKey(port_), false);
  DWORD value = 0;
  if (!key.open() || !key.Read(L"ForceFifoEnable", value)) return FailOwn(-25, nullptr);
  Succeed();
  return static_cast<int>(value);
}

int TPortControl::GetFIFOSize(bool receive) {
  DeviceKey key(registry_, GetDeviceKey(port_), false);
  DWORD value = 0;
  if (!key.open() || !key.Read(receive ? L"RxFIFO" : L"TxFIFO", value)) return FailOwn(-25, nullptr);
  Succeed();
  return static_cast<int>(value);
}

bool IsSerialPortName(const std::string& name) {
  std::string rest = StartsWithIgnoringCase(name, kDevicePrefix) ? name.substr(4) : name;
  if (!StartsWithIgnoringCase(rest, "COM")) return false;
  rest = rest.substr(3);
  if (rest.empty() || rest.size() > 3 || rest[0] == '0') return false;
  unsigned number = 0;
  for (char c : rest) {
    if (c < '0' || c > '9') return false;
    number = number * 10 + static_cast<unsigned>(c - '0');
  }
  return number >= 1 && number <= 256;
}

bool IsListedPortName(const std::string& name) { return StartsWithIgnoringCase(name, "com"); }

void TPortControl::SetNumPort(const std::string& name) {
  if (fd_ >= 0) return;
  if (!IsSerialPortName(name)) return;
  port_ = name;
}

}  // namespace kovrix
