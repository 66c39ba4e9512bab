#include "app/terminal_port.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>

#include "driver/serial_line.h"
#include "driver/termios_line.h"

namespace kovrix {

void PrepareTerminalPort(TerminalPortSettings& settings, const std::string& portName, int baud) {
  SetTerminalSettings(settings, portName, baud);

  const int fd = ::open(settings.path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    settings.lastError = errno;
    return;
  }
  // Exclusive use, as the card payment will want it; a port someone else holds exclusively fails above.
  if (ioctl(fd, TIOCEXCL) != 0) settings.lastError = errno;
  if (settings.lastError == 0) settings.lastError = ApplyRaw8N1(fd, baud);
  ioctl(fd, TIOCNXCL);
  ::close(fd);
}

}  // namespace kovrix
