// termios implementation of SerialLine. Reads are buffered: one read() takes every byte
// that is waiting, and readByte hands them out one at a time, so a reply costs a few system
// calls rather than two per byte.

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "driver/serial_line.h"
#include "driver/termios_line.h"

namespace kovrix {

std::string PortPath(const std::string& port) {
  if (port.find('/') != std::string::npos) return port;
  return "/dev/" + port;
}

namespace {

// Per thread: a probe on one thread must not read the outcome of an open on another.
thread_local PortOpenFailure gLastOpenFailure = PortOpenFailure::None;

PortOpenFailure OpenFailureOf(int error) {
  switch (error) {
    // A terminal another program has marked exclusive answers EBUSY.
    case EBUSY: return PortOpenFailure::Busy;
    // ENXIO and ENODEV: the node is there but its device is gone (an adapter pulled out).
    case ENOENT: case ENOTDIR: case ENXIO: case ENODEV: return PortOpenFailure::Missing;
    case EACCES: case EPERM: return PortOpenFailure::Denied;
    case EISDIR: return PortOpenFailure::NotSerial;
    default: return PortOpenFailure::Other;
  }
}

class PosixSerialLine final : public SerialLine {
 public:
  ~PosixSerialLine() override { close(); }

  bool open(const std::string& port, int baud) override {
    close();
    gLastOpenFailure = PortOpenFailure::Other;
    const int fd = ::open(PortPath(port).c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
      gLastOpenFailure = OpenFailureOf(errno);
      return false;
    }
    // Exclusive use, as the registrator link is the only user of the port.
    if (::ioctl(fd, TIOCEXCL) != 0) {
      gLastOpenFailure = errno == ENOTTY ? PortOpenFailure::NotSerial : PortOpenFailure::Other;
      ::close(fd);
      return false;
    }
    if (const int error = ApplyRaw8N1(fd, baud); error != 0) {
      gLastOpenFailure = error == ENOTTY ? PortOpenFailure::NotSerial : PortOpenFailure::Refused;
      ::close(fd);
      return false;
    }
    gLastOpenFailure = PortOpenFailure::None;
    fd_ = fd;
    head_ = tail_ = 0;
    return true;
  }

  bool close() override {
    if (fd_ < 0) return false;
    // A pseudo-terminal keeps its exclusive mark after the last close; release it so that the
    // port can be opened again (reconnect, speed change) by a user without privileges.
    ::ioctl(fd_, TIOCNXCL);
    const bool ok = ::close(fd_) == 0;
    fd_ = -1;
    head_ = tail_ = 0;
    return ok;
  }

  bool isOpen() const override { return fd_ >= 0; }

  ReadResult readByte(std::uint8_t& byte, int timeoutMs) override {
    if (fd_ < 0) return ReadResult::Error;
    if (head_ == tail_) {
      pollfd p{fd_, POLLIN, 0};
      const int n = ::poll(&p, 1, timeoutMs < 0 ? 0 : timeoutMs);
      if (n < 0) return errno == EINTR ? ReadResult::Timeout : ReadResult::Error;
      if (n == 0) return ReadResult::Timeout;
      const ssize_t got = ::read(fd_, buffer_, sizeof buffer_);
      if (got < 0) {
        return (errno == EAGAIN || errno == EINTR) ? ReadResult::Timeout : ReadResult::Error;
      }
      // POLLHUP with nothing to read: the other side of a pseudo-terminal is gone.
      if (got == 0) return (p.revents & (POLLHUP | POLLERR)) ? ReadResult::Error : ReadResult::Timeout;
      head_ = 0;
      tail_ = static_cast<std::size_t>(got);
    }
    byte = buffer_[head_++];
    return ReadResult::Byte;
  }

  bool write(std::string_view bytes) override {
    if (fd_ < 0) return false;
    std::size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
      if (n < 0) {
        if (errno == EINTR) continue;
        if (errno == EAGAIN) {
          pollfd p{fd_, POLLOUT, 0};
          if (::poll(&p, 1, 1000) <= 0) return false;
          continue;
        }
        return false;
      }
      done += static_cast<std::size_t>(n);
    }
    return true;
  }

  void purge() override {
    if (fd_ < 0) return;
    tcdrain(fd_);
    tcflush(fd_, TCIOFLUSH);
    head_ = tail_ = 0;
  }

  void discard() override {
    if (fd_ < 0) return;
    tcflush(fd_, TCIOFLUSH);
    head_ = tail_ = 0;
  }

  void clearError() override {
    if (fd_ >= 0) tcflush(fd_, TCIFLUSH);
    head_ = tail_ = 0;
  }

 private:
  int fd_ = -1;
  std::uint8_t buffer_[512];
  std::size_t head_ = 0;
  std::size_t tail_ = 0;
};

}  // namespace

std::unique_ptr<SerialLine> MakeSystemSerialLine() { return std::make_unique<PosixSerialLine>(); }

PortOpenFailure LastPortOpenFailure() { return gLastOpenFailure; }

}  // namespace kovrix
