// Raw 8N1 settings for the registrator link and the bank terminal port.

#include "driver/termios_line.h"

#include <termios.h>

#include <cerrno>

namespace kovrix {
namespace {

speed_t SpeedOf(int baud) {
  switch (baud) {
    case 50: return B50;
    case 75: return B75;
    case 110: return B110;
    case 134: return B134;
    case 150: return B150;
    case 200: return B200;
    case 300: return B300;
    case 600: return B600;
    case 1200: return B1200;
    case 1800: return B1800;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    case 230400: return B230400;
    case 460800: return B460800;
    case 500000: return B500000;
    case 576000: return B576000;
    case 921600: return B921600;
    case 1000000: return B1000000;
    default: return B0;
  }
}

}  // namespace

int ApplyRaw8N1(int fd, int baud) {
  const speed_t speed = SpeedOf(baud);
  if (speed == B0) return EINVAL;
  termios tio{};
  if (tcgetattr(fd, &tio) != 0) return errno;
  cfmakeraw(&tio);
  tio.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS);
  tio.c_cflag |= CS8 | CLOCAL | CREAD;
  tio.c_cc[VMIN] = 0;
  tio.c_cc[VTIME] = 0;
  cfsetispeed(&tio, speed);
  cfsetospeed(&tio, speed);
  if (tcsetattr(fd, TCSANOW, &tio) != 0) return errno;
  return 0;
}

}  // namespace kovrix
