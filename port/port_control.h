#pragma once
// TPortControl: one serial port of the system. It lists the serial ports the system knows,
// opens a port with line settings taken from its properties, reads and writes within sessions
// that run at raised priority, and reports every failure as a negative code with, when
// EnableDescr is set, an English text in Descr.
//
// Linux mapping: a port is a tty device, "ttyS0" meaning /dev/ttyS0 and a path (a
// pseudo-terminal such as /dev/pts/3) meaning itself; "the system's message" for an error is
// strerror of errno; the FIFO settings that other platforms keep in the device's registry key
// do not exist here, so those operations answer the code of an unsupported platform.
//
// Windows mapping (win32_port_control.cpp): a port is a communications device, "COM3" (or
// "\\.\COM12"); the line settings, time-outs, escape functions and purges are the system's own;
// the FIFO settings are values of the device's hardware key; the session raises the process to
// the real-time class and the thread to time-critical priority.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "port/comm_timeouts.h"
#include "port/device_registry.h"
#include "port/line_settings.h"
#include "port/session_system.h"

namespace kovrix {

class TPortControl {
 public:
  enum dtrcontrol { DTR_DISABLE = 0, DTR_ENABLE = 1, DTR_HANDSHAKE = 2 };
  enum rtscontrol { RTS_DISABLE = 0, RTS_ENABLE = 1, RTS_HANDSHAKE = 2 };
  enum databit { Bits5, Bits6, Bits7, Bits8 };
  enum speed {
    S256000, S128000, S115200, S057600, S056000, S038400, S019200, S011400,
    S009600, S004800, S002400, S001200, S000600, S000300, S000110
  };
  enum parity { NO, EVEN, MARK, ODD };
  enum stopbits { ONE, ONE5, TWO };
  /// Functions of EscapeCommFunction, numbered as serial ports number them.
  enum escape { SETXOFF = 1, SETXON, SETRTS, CLRRTS, SETDTR, CLRDTR, RESETDEV, SETBREAK, CLRBREAK };
  /// Flags of ClearBuffers; nothing runs in the background, so the abort flags have nothing to stop.
  enum purge { PURGE_TXABORT = 1, PURGE_RXABORT = 2, PURGE_TXCLEAR = 4, PURGE_RXCLEAR = 8 };

  /// A component over the system's device registry and the system's scheduling.
  TPortControl();
  /// A component over the given registry and session system (tests).
  explicit TPortControl(DeviceRegistry& registry, SessionSystem& system = RealSessionSystem());
  /// Ends an open session and closes an open port.
  virtual ~TPortControl();
  TPortControl(const TPortControl&) = delete;
  TPortControl& operator=(const TPortControl&) = delete;

  // Published properties.
  T1CommTimeouts Timeout;  // applied when the port opens and by SetPortTimeouts
  bool Buffering = false;
  dtrcontrol DTR = DTR_HANDSHAKE;
  rtscontrol RTS = RTS_HANDSHAKE;
  databit DataBits = Bits8;
  speed BaudRate = S009600;
  parity Parity = NO;
  stopbits StopBits = ONE;
  char EndChar = 0;
  bool WaitEndChar = false;
  bool EnableDescr = false;
  /// The port name, set through SetNumPort.
  const std::string& Port() const { return port_; }

  // Run-time state.
  /// The open port's descriptor (on Windows its handle as a number), -1 when closed.
  std::intptr_t Handle() const { return fd_; }
  bool SessionOpen() const { return sessionOpen_; }
  /// errno of the last failure; 0 after success or a failure of the component's own.
  int LastError() const { return lastError_; }
  /// Text of the last failure; empty after success and when EnableDescr is false.
  const std::string& Descr() const { return descr_; }
  /// The line settings written by the last OpenPort.
  const LineConfig& LineSettings() const { return line_; }
  /// The time-outs in force on the port (Timeout as of the last OpenPort or SetPortTimeouts).
  const T1CommTimeouts& PortTimeouts() const { return applied_; }

  /// Opens Port with the line settings and time-outs: 0; -20 already open; -2 cannot open
  /// (or someone else holds it); -3 settings unreadable; -4 settings not accepted; -5 time-outs.
  /// A -2 for lack of rights adds to Descr a line naming the device's group and how to join it.
  /// On a failure the port stays closed.
  virtual int OpenPort();
  /// Waits until the output is sent, discards both queues and closes: 0; -1 not open; -6, -15,
  /// -7 for the failing step (the port is closed all the same).
  virtual int ClosePort();
  /// Saves and raises the process and thread priority, locks memory, purges when asked:
  /// 0; -1; -16 session open; -8/-10 priority unreadable; -9/-11 not raised (not permitted);
  /// -12 memory not locked; -15 purge failed. A failure undoes what was changed.
  virtual int StartSession(bool purge);
  /// Restores the saved priorities, unlocks memory, purges when asked: 0; -1; -21 no session;
  /// -9, -11, -13, -15 for the failing step (the session then stays open).
  virtual int EndSession(bool purge);
  /// Writes count bytes, at once (Buffering) or one at a time, then waits until they are sent:
  /// 0; -1; -21; -18 write failed (written = bytes sent before it); -6 not sent.
  virtual int WriteData(const char* buffer, std::size_t count, std::size_t& written);
  /// Reads up to count bytes under the time-outs; with WaitEndChar byte by byte up to EndChar:
  /// 0; -1; -21; -17 read failed; -19 EndChar did not come (read = bytes received).
  virtual int ReadData(char* buffer, std::size_t count, std::size_t& read);
  /// Reads the port's state and discards both queues: 0; -1; -21; -14; -15.
  virtual int ClearError();
  /// Applies Timeout to the open port: 0; -1; -5.
  virtual int SetPortTimeouts();
  /// Runs one escape function (lines, break, flow): 0; -1; -21; -22 refused or unknown.
  virtual int EscapeCommFunction(int function);
  /// Discards the queues the purge flags name: 0; -1; -21; -23 refused or unknown flags.
  virtual int ClearBuffers(int flags);
  /// The FIFO operations: -25 when the registry has no device for Port, else -24 (this
  /// platform keeps no FIFO settings in a device key).
  virtual int EnableFIFO(bool enable);
  virtual int SetFIFOSize(bool receive, int size);
  virtual int IsFIFOEnable();
  virtual int GetFIFOSize(bool receive);

  /// Starts listing the ports: 0; -27 when a listing is active (in any instance) or the
  /// registry has no class "Ports".
  int BeginEnumeratePorts();
  /// Answers the next port name; "" at the end of the list; "0" for a device whose port name
  /// cannot be read (the listing does not move past it, so the caller stops there). Devices
  /// whose names are not tty devices are skipped.
  std::string EnumeratePorts();
  /// Ends the listing: 0.
  int EndEnumeratePorts();
  /// Answers the device whose port name equals portName (letter case ignored); none while a
  /// listing is active, when no device matches, or when a device before it cannot be read.
  std::optional<PortDevice> GetDeviceKey(const std::string& portName);

  /// Sets Descr to the system's message for an error code and the code:
  /// "%s\nError = 0x%lx".
  void ErrorString(unsigned long code);
  /// Copies the five time-outs into Timeout.
  void SetTimeout(const T1CommTimeouts& timeouts) { Timeout = timeouts; }
  /// Sets Port; ignored while the port is open and for a name that is neither a serial tty
  /// name (IsSerialPortName) nor an absolute path.
  void SetNumPort(const std::string& name);

  /// Answers the rate of a speed value.
  static unsigned RateOf(speed s);

 private:
  int Succeed();
  int FailOwn(int code, const char* text);
  int FailSystem(int code, int error);
  int Unsupported();
  int SetControlLines(int fd) const;
  void RestorePriorities();

  DeviceRegistry* registry_;
  SessionSystem* system_;
  std::string port_;
  std::intptr_t fd_ = -1;
  bool sessionOpen_ = false;
  int lastError_ = 0;
  std::string descr_;
  LineConfig line_;
  T1CommTimeouts applied_;
  int savedNice_ = 0;
  int savedPolicy_ = 0;
  int savedPriority_ = 0;
};

/// Answers whether a name is a serial tty name: "tty", letters, and a number 0..511 written
/// without leading zeros (ttyS0, ttyUSB12, ttyACM0, ttyAMA1). On Windows: "COM" and a number
/// 1..256 without leading zeros, letter case ignored, with or without the "\\.\" prefix.
bool IsSerialPortName(const std::string& name);

/// Answers whether a listing answers a port name: one beginning with "tty" (on Windows, with
/// "com", letter case ignored).
bool IsListedPortName(const std::string& name);

/// Answers the device path of a port: the name itself when it holds "/", else "/dev/" + name.
std::string PortDevicePath(const std::string& port);

}  // namespace kovrix
