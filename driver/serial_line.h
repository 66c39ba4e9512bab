#pragma once
// The link layer's transport: one serial line, read one byte at a time with a time-out.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace kovrix {

class SerialLine {
 public:
  enum class ReadResult { Byte, Timeout, Error };

  virtual ~SerialLine() = default;

  /// Opens the port (a name without "/" means "/dev/" + name) at the baud rate, 8N1; false on failure.
  virtual bool open(const std::string& port, int baud) = 0;
  /// Closes the port; answers whether closing succeeded.
  virtual bool close() = 0;
  virtual bool isOpen() const = 0;
  /// Reads one byte, waiting at most timeoutMs; Error reports a failed read (the line's error state is set).
  virtual ReadResult readByte(std::uint8_t& byte, int timeoutMs) = 0;
  /// Writes all bytes in one call; false when the write failed or was short.
  virtual bool write(std::string_view bytes) = 0;
  /// Waits until the output has gone out, then discards both queues.
  virtual void purge() = 0;
  /// Discards both queues at once, unsent output included.
  virtual void discard() = 0;
  /// Clears the line's error state after a failed read.
  virtual void clearError() = 0;

  /// Answers whether the line is gone for good (a converter closed the connection): reads fail at
  /// once and only a new open brings it back. A device file never says so.
  virtual bool lost() const { return false; }
  /// Also empties the far end's queues where there is one (a converter's serial buffers), waiting
  /// at most timeoutMs for it to confirm; elsewhere the same as purge. For the first frame after
  /// a fault, not for every frame.
  virtual void purgeFar(int /*timeoutMs*/) { purge(); }
  /// Answers the lock key of what the line is connected to ("tcp://ADDRESS:PORT" for a network
  /// line); empty for a device file or a closed line.
  virtual std::string peer() const { return {}; }
  /// Sets what is called now and then (at least every 25 ms) while opening waits for something
  /// slow (a converter's name, its connection, its line set-up), so that a window can repaint.
  /// A device file opens at once and never calls it.
  virtual void setWaitTick(std::function<void()> /*tick*/) {}
};

/// The longest port name or path the tool takes (the system's path limit).
inline constexpr std::size_t kMaxPortPath = 4096;

/// Answers the device path of a port: the name itself when it holds "/", else "/dev/" + name.
/// On Windows: "\\.\COMn" for "COMn", "comn" and "\\.\COMn" alike (names above COM9 open only
/// with that prefix), any other name as it is.
std::string PortPath(const std::string& port);

/// Answers the system's serial line: termios on Linux, the Win32 communications line on Windows.
std::unique_ptr<SerialLine> MakeSystemSerialLine();

/// Answers the driver's default line: "tcp://HOST:PORT" and "rfc2217://HOST:PORT" open over a
/// socket (LastNetworkOpenFailure tells why such an open failed), any other name as
/// MakeSystemSerialLine's line.
std::unique_ptr<SerialLine> MakeSerialLine();

/// Why the last open of a system line on the calling thread failed (Windows tells Busy and Other
/// only).
enum class PortOpenFailure {
  None,       // the last open succeeded (or none was tried)
  Busy,       // another program holds the port
  Missing,    // no device at that path (a misspelt name, or a USB adapter unplugged)
  Denied,     // no permission to read and write the device
  NotSerial,  // the path is something other than a serial line (a file, a directory)
  Refused,    // the device refused the speed or the line settings
  Other       // any other failure of the system
};
PortOpenFailure LastPortOpenFailure();

}  // namespace kovrix
