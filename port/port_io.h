#pragma once
// Reading and writing a non-blocking descriptor under the time-outs of comm_timeouts.h.

#include <cstddef>

#include "port/comm_timeouts.h"

namespace kovrix {

/// Bytes moved, and the errno of a failed call (0 when none failed).
struct IoResult {
  std::size_t done = 0;
  int error = 0;
};

/// Reads up to count bytes; a time-out ends the read with the bytes read so far (no error).
IoResult TimedRead(int fd, char* buffer, std::size_t count, const T1CommTimeouts& t);

/// Writes count bytes; the total write time-out ends the write with the bytes written so far.
IoResult TimedWrite(int fd, const char* buffer, std::size_t count, const T1CommTimeouts& t);

}  // namespace kovrix
