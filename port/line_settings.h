#pragma once
// The line settings of a serial port through the kernel's termios2 interface, which carries
// any rate as a number (11400 and 256000 baud have no classic Bxxx code).

namespace kovrix {

/// Line settings as plain values; parity and stopBits use the usual serial-port numbering.
struct LineConfig {
  unsigned rate = 9600;
  int dataBits = 8;  // 5..8
  int parity = 0;    // 0 none, 1 odd, 2 even, 3 mark
  int stopBits = 0;  // 0 one, 1 one and a half, 2 two

  bool operator==(const LineConfig&) const = default;
};

enum class LineStep { Done, ReadFailed, WriteFailed };

/// Reads the settings, puts the line into raw mode with the given ones, writes them and reads
/// them back; answers the step that failed, with errno set. A UART sends one and a half stop
/// bits for five-bit characters and two otherwise when asked for more than one.
LineStep ApplyLineConfig(int fd, const LineConfig& config);

/// Reads the settings in force; false with errno set. stopBits reads 0 or 2.
bool ReadLineConfig(int fd, LineConfig& config);

/// Answers the character-size, parity and stop-bit flags (termios c_cflag bits) of the settings.
unsigned LineFlags(const LineConfig& config);

/// Answers data bits, parity and stop bits (0 or 2) of c_cflag bits, with the rate given.
LineConfig DecodeLineFlags(unsigned cflag, unsigned rate);

}  // namespace kovrix
