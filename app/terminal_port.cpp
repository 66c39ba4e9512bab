#include "app/terminal_port.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

#include "driver/serial_line.h"

namespace kovrix {
namespace {

// Answers the termios speed of a rate, or B0 when the line cannot run at it.
speed_t SpeedOf(int baud) {
  switch (baud) {
    case 110: return B110;
    case 300: return B300;
    case 600: return B600;
    case 1200: return B1200;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    case 230400: return B230400;
    default: return B0;
  }
}

// Applies 8N1 at the rate; answers 0 or errno.
int ApplyLineSettings(int fd, int baud) {
  termios tio{};
  if (tcgetattr(fd, &tio) != 0) return errno;
  const speed_t speed = SpeedOf(baud);
  if (speed == B0) return EINVAL;
  cfmakeraw(&tio);
  tio.c_cflag &= ~(CSIZE | PARENB | CSTOPB);
  tio.c_cflag |= CS8 | CLOCAL | CREAD;
  cfsetispeed(&tio, speed);
  cfsetospeed(&tio, speed);
  if (tcsetattr(fd, TCSANOW, &tio) != 0) return errno;
  return 0;
}

}  // namespace

void PrepareTerminalPort(TerminalPortSettings& settings, const std::string& portName, int baud) {
  settings.path = PortPath(portName);
  settings.readIntervalTimeout = 0;
  settings.readTotalTimeoutMultiplier = 0;
  settings.readTotalTimeoutConstant = 5000;
  settings.writeTotalTimeoutMultiplier = 0;
  settings.writeTotalTimeoutConstant = 0;
  settings.baudRate = baud;
  settings.dataBits = 8;
  settings.parity = 0;
  settings.stopBits = 1;
  settings.lastError = 0;

  const int fd = ::open(settings.path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    settings.lastError = errno;
    return;
  }
  // Exclusive use, as the card payment will want it; a port someone else holds exclusively fails above.
  if (ioctl(fd, TIOCEXCL) != 0) settings.lastError = errno;
  if (settings.lastError == 0) settings.lastError = ApplyLineSettings(fd, baud);
  ioctl(fd, TIOCNXCL);
  ::close(fd);
}

}  // namespace kovrix
