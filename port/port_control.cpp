#include "port/port_control.h"

#include <fcntl.h>
#include <sched.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "port/port_access.h"
#include "port/port_control_texts.h"
#include "port/port_io.h"

namespace kovrix {
namespace {

using namespace port_texts;

// The real-time priority class of a process is the lowest nice value; a time-critical thread
// runs first-in-first-out at the policy's highest priority.
constexpr int kRealTimeNice = -20;

// The member holds the descriptor in a type wide enough for a Windows handle.
int Fd(std::intptr_t fd) { return static_cast<int>(fd); }

}  // namespace

std::string PortDevicePath(const std::string& port) {
  if (port.find('/') != std::string::npos) return port;
  return "/dev/" + port;
}

TPortControl::~TPortControl() {
  if (sessionOpen_) {
    RestorePriorities();
    system_->UnlockMemory();
  }
  if (fd_ >= 0) ::close(Fd(fd_));
}

void TPortControl::ErrorString(unsigned long code) {
  // errno values carry no facility field, so the code is used as it is.
  const char* message = std::strerror(static_cast<int>(code));
  const int length = std::snprintf(nullptr, 0, "%s\nError = 0x%lx", message, code);
  std::vector<char> text(static_cast<std::size_t>(length > 0 ? length : 0) + 1);
  std::snprintf(text.data(), text.size(), "%s\nError = 0x%lx", message, code);
  descr_ = text.data();
}

// DTR and RTS are driven from the properties. Hardware handshake on input only has no termios
// equivalent (CRTSCTS would also hold output back until CTS), so HANDSHAKE raises the line as
// ENABLE does. A device without modem lines (a pseudo-terminal) has none to set.
int TPortControl::SetControlLines(int fd) const {
  const int dtr = TIOCM_DTR;
  const int rts = TIOCM_RTS;
  const bool ok = ::ioctl(fd, DTR == DTR_DISABLE ? TIOCMBIC : TIOCMBIS, &dtr) == 0 &&
                  ::ioctl(fd, RTS == RTS_DISABLE ? TIOCMBIC : TIOCMBIS, &rts) == 0;
  if (ok || errno == ENOTTY || errno == EINVAL) return 0;
  return errno;
}

int TPortControl::OpenPort() {
  if (fd_ >= 0) return FailOwn(-20, kAlreadyOpen);
  // Non-blocking: the open does not wait for carrier, and reads and writes wait through poll
  // under the port's own time-outs.
  const int fd = ::open(PortDevicePath(port_).c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    const int error = errno;
    const int code = FailSystem(-2, error);
    // A refusal for lack of rights gets the owning group and how to join it after the
    // system's message.
    if (EnableDescr) {
      if (const auto denial = ExplainOpenError(port_, error)) {
        descr_ += "\n" + PortAccessAdvice(*denial, AdviceLanguage::English);
      }
    }
    return code;
  }
  // Exclusive use: TIOCEXCL turns other openers away (privileged ones excepted), the lock
  // every program that also locks, root included. A device that is no terminal fails at the
  // settings read instead.
  if ((::ioctl(fd, TIOCEXCL) != 0 && errno != ENOTTY) || ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    ::close(fd);
    return FailSystem(-2, error);
  }
  line_ = LineConfig{RateOf(BaudRate), kDataBits[DataBits & 3], kParityCode[Parity & 3],
                     static_cast<int>(StopBits)};
  int code = 0;
  int error = 0;
  switch (ApplyLineConfig(fd, line_)) {
    case LineStep::ReadFailed: code = -3; error = errno; break;
    case LineStep::WriteFailed: code = -4; error = errno; break;
    case LineStep::Done:
      if ((error = SetControlLines(fd)) != 0) code = -4;
      break;
  }
  if (code == 0 && ::fcntl(fd, F_GETFL) < 0) {
    code = -5;
    error = errno;
  }
  if (code != 0) {
    // A port that failed to open fully is not left half open.
    ::close(fd);
    return FailSystem(code, error);
  }
  applied_ = Timeout;
  fd_ = fd;
  return Succeed();
}

int TPortControl::ClosePort() {
  if (fd_ < 0) return FailOwn(-1, kNotOpen);
  int code = 0;
  int error = 0;
  if (::tcdrain(Fd(fd_)) != 0) {
    code = -6;
    error = errno;
  } else if (::tcflush(Fd(fd_), TCIOFLUSH) != 0) {
    code = -15;
    error = errno;
  }
  // The descriptor is released even when a step before failed or close reports an error
  // (Linux frees it in any case): a dead line must not keep the port.
  if (::close(Fd(fd_)) != 0 && code == 0) {
    code = -7;
    error = errno;
  }
  fd_ = -1;
  return code ? FailSystem(code, error) : Succeed();
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
  if (int e = system_->WriteProcessPriority(kRealTimeNice)) return FailSystem(-9, e);
  // From here on a failure puts back what was changed: the caller gets no session to end.
  if (int e = system_->WriteThreadPriority(SCHED_FIFO, ::sched_get_priority_max(SCHED_FIFO))) {
    system_->WriteProcessPriority(savedNice_);
    return FailSystem(-11, e);
  }
  if (int e = system_->LockMemory()) {
    RestorePriorities();
    return FailSystem(-12, e);
  }
  if (purge && ::tcflush(Fd(fd_), TCIOFLUSH) != 0) {
    const int e = errno;
    system_->UnlockMemory();
    RestorePriorities();
    return FailSystem(-15, e);
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
  if (purge && ::tcflush(Fd(fd_), TCIOFLUSH) != 0) return FailSystem(-15, errno);
  sessionOpen_ = false;
  return Succeed();
}

int TPortControl::WriteData(const char* buffer, std::size_t count, std::size_t& written) {
  if (fd_ < 0) return FailOwn(-1, kNotOpenForWrite);
  if (!sessionOpen_) return FailOwn(-21, kNoSession);
  written = 0;
  if (buffer == nullptr && count > 0) return FailSystem(-18, EFAULT);
  if (Buffering) {
    const IoResult r = TimedWrite(Fd(fd_), buffer, count, applied_);
    written = r.done;
    if (r.error) return FailSystem(-18, r.error);
  } else {
    for (std::size_t i = 0; i < count; ++i) {
      const IoResult r = TimedWrite(Fd(fd_), buffer + i, 1, applied_);
      // A character that does not go out within the write time-out counts as a failed write.
      if (r.error || r.done != 1) return FailSystem(-18, r.error ? r.error : ETIMEDOUT);
      written = i + 1;
    }
  }
  if (::tcdrain(Fd(fd_)) != 0) return FailSystem(-6, errno);
  return Succeed();
}

int TPortControl::ReadData(char* buffer, std::size_t count, std::size_t& read) {
  if (fd_ < 0) return FailOwn(-1, kNotOpen);
  if (!sessionOpen_) return FailOwn(-21, kNoSessionForRead);
  read = 0;
  if (buffer == nullptr && count > 0) return FailSystem(-17, EFAULT);
  if (!WaitEndChar) {
    const IoResult r = TimedRead(Fd(fd_), buffer, count, applied_);
    read = r.done;
    return r.error ? FailSystem(-17, r.error) : Succeed();
  }
  while (read < count) {
    const IoResult r = TimedRead(Fd(fd_), buffer + read, 1, applied_);
    if (r.error) return FailSystem(-17, r.error);
    if (r.done == 0) return FailOwn(-19, kNoEndChar);
    if (buffer[read++] == EndChar) return Succeed();
  }
  return FailOwn(-19, kNoEndChar);
}

// Linux latches no line-error flags for a program to clear; what remains of reading the
// port's state is asking the driver about its input queue, which fails on a dead port.
int TPortControl::ClearError() {
  if (fd_ < 0) return FailOwn(-1, kNotOpen);
  if (!sessionOpen_) return FailOwn(-21, kNoSessionForClearError);
  int queued = 0;
  if (::ioctl(Fd(fd_), TIOCINQ, &queued) != 0) return FailSystem(-14, errno);
  if (::tcflush(Fd(fd_), TCIOFLUSH) != 0) return FailSystem(-15, errno);
  return Succeed();
}

int TPortControl::SetPortTimeouts() {
  if (fd_ < 0) return FailOwn(-1, kNotOpenForTimeouts);
  // The time-outs live in the component (reads and writes wait through poll); applying them
  // fails only when the descriptor is no longer valid.
  if (::fcntl(Fd(fd_), F_GETFL) < 0) return FailSystem(-5, errno);
  applied_ = Timeout;
  return Succeed();
}

int TPortControl::EscapeCommFunction(int function) {
  if (fd_ < 0) return FailOwn(-1, kNotOpen);
  if (!sessionOpen_) return FailOwn(-21, kNoSession);
  const int rts = TIOCM_RTS;
  const int dtr = TIOCM_DTR;
  int result = -1;
  switch (function) {
    case SETXOFF: result = ::tcflow(Fd(fd_), TCOOFF); break;  // act as if XOFF had come
    case SETXON: result = ::tcflow(Fd(fd_), TCOON); break;
    case SETRTS: result = ::ioctl(Fd(fd_), TIOCMBIS, &rts); break;
    case CLRRTS: result = ::ioctl(Fd(fd_), TIOCMBIC, &rts); break;
    case SETDTR: result = ::ioctl(Fd(fd_), TIOCMBIS, &dtr); break;
    case CLRDTR: result = ::ioctl(Fd(fd_), TIOCMBIC, &dtr); break;
    case SETBREAK: result = ::ioctl(Fd(fd_), TIOCSBRK); break;
    case CLRBREAK: result = ::ioctl(Fd(fd_), TIOCCBRK); break;
    default: errno = EINVAL; break;  // RESETDEV resets printers only
  }
  return result == 0 ? Succeed() : FailSystem(-22, errno);
}

int TPortControl::ClearBuffers(int flags) {
  if (fd_ < 0) return FailOwn(-1, kNotOpen);
  if (!sessionOpen_) return FailOwn(-21, kNoSession);
  if (flags & ~(PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR)) return FailSystem(-23, EINVAL);
  const bool output = flags & PURGE_TXCLEAR;
  const bool input = flags & PURGE_RXCLEAR;
  if (!output && !input) return Succeed();
  const int queue = output && input ? TCIOFLUSH : output ? TCOFLUSH : TCIFLUSH;
  return ::tcflush(Fd(fd_), queue) == 0 ? Succeed() : FailSystem(-23, errno);
}

int TPortControl::Unsupported() {
  if (!GetDeviceKey(port_)) return FailOwn(-25, nullptr);
  return FailOwn(-24, nullptr);
}

int TPortControl::EnableFIFO(bool) { return Unsupported(); }
int TPortControl::SetFIFOSize(bool, int) { return Unsupported(); }
int TPortControl::IsFIFOEnable() { return Unsupported(); }
int TPortControl::GetFIFOSize(bool) { return Unsupported(); }

bool IsSerialPortName(const std::string& name) {
  if (name.compare(0, 3, "tty") != 0) return false;
  std::size_t i = 3;
  while (i < name.size() && ((name[i] >= 'A' && name[i] <= 'Z') || (name[i] >= 'a' && name[i] <= 'z'))) ++i;
  const std::size_t digits = name.size() - i;
  if (i == 3 || digits == 0 || digits > 3 || (digits > 1 && name[i] == '0')) return false;
  unsigned number = 0;
  for (; i < name.size(); ++i) {
    if (name[i] < '0' || name[i] > '9') return false;
    number = number * 10 + static_cast<unsigned>(name[i] - '0');
  }
  return number <= 511;
}

bool IsListedPortName(const std::string& name) { return name.compare(0, 3, "tty") == 0; }

void TPortControl::SetNumPort(const std::string& name) {
  if (fd_ >= 0) return;
  const bool path = !name.empty() && name[0] == '/' && name.find('\0') == std::string::npos;
  if (!path && !IsSerialPortName(name)) return;
  port_ = name;
}

}  // namespace kovrix
