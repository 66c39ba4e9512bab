// Kept apart from the rest of the port code: the kernel's termios2 header cannot share a file
// with the C library's <termios.h>.

#include "port/line_settings.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace kovrix {
namespace {

tcflag_t SizeFlag(int dataBits) {
  switch (dataBits) {
    case 5: return CS5;
    case 6: return CS6;
    case 7: return CS7;
    default: return CS8;
  }
}

tcflag_t ParityFlags(int parity) {
  switch (parity) {
    case 1: return PARENB | PARODD;
    case 2: return PARENB;
    case 3: return PARENB | PARODD | CMSPAR;  // a fixed parity bit of 1
    default: return 0;
  }
}

void MakeRaw(termios2& t, const LineConfig& c) {
  t.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY | INPCK);
  t.c_oflag &= ~OPOST;
  t.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
  t.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS | CBAUD | CIBAUD);
  t.c_cflag |= CREAD | CLOCAL | LineFlags(c);
  // BOTHER: the rate is the number in c_ospeed; CIBAUD left 0 makes the input rate the same.
  t.c_cflag |= BOTHER;
  t.c_ospeed = c.rate;
  t.c_ispeed = c.rate;
  // Reads wait through poll with the port's own time-outs, so read() itself never waits.
  t.c_cc[VMIN] = 0;
  t.c_cc[VTIME] = 0;
}

}  // namespace

LineStep ApplyLineConfig(int fd, const LineConfig& config) {
  termios2 t{};
  if (::ioctl(fd, TCGETS2, &t) != 0) return LineStep::ReadFailed;
  MakeRaw(t, config);
  if (::ioctl(fd, TCSETS2, &t) != 0) return LineStep::WriteFailed;
  if (::ioctl(fd, TCGETS2, &t) != 0) return LineStep::ReadFailed;
  return LineStep::Done;
}

bool ReadLineConfig(int fd, LineConfig& config) {
  termios2 t{};
  if (::ioctl(fd, TCGETS2, &t) != 0) return false;
  config = DecodeLineFlags(t.c_cflag, t.c_ospeed);
  return true;
}

unsigned LineFlags(const LineConfig& config) {
  return SizeFlag(config.dataBits) | ParityFlags(config.parity) | (config.stopBits ? CSTOPB : 0);
}

LineConfig DecodeLineFlags(unsigned cflag, unsigned rate) {
  LineConfig config;
  config.rate = rate;
  switch (cflag & CSIZE) {
    case CS5: config.dataBits = 5; break;
    case CS6: config.dataBits = 6; break;
    case CS7: config.dataBits = 7; break;
    default: config.dataBits = 8; break;
  }
  switch (cflag & (PARENB | PARODD | CMSPAR)) {
    case PARENB | PARODD | CMSPAR: config.parity = 3; break;
    case PARENB | PARODD: config.parity = 1; break;
    case PARENB: config.parity = 2; break;
    default: config.parity = 0; break;
  }
  config.stopBits = (cflag & CSTOPB) ? 2 : 0;
  return config;
}

}  // namespace kovrix
