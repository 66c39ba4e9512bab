#pragma once
// Raw 8N1 line settings on a terminal device, shared by the registrator link and the bank
// terminal port.

namespace kovrix {

/// Puts the open terminal fd into raw mode, 8 data bits, no parity, one stop bit, no flow control,
/// at the baud rate, reads returning at once; answers 0, or the errno (EINVAL for a rate the line
/// cannot run at).
int ApplyRaw8N1(int fd, int baud);

}  // namespace kovrix
