#include "session/device_session.h"

#include "driver/driver.h"
#include "driver/network_port.h"
#include "driver/network_serial_line.h"
#include "driver/serial_line.h"
#include "port/port_access.h"

namespace kovrix::session {

DeviceSession::DeviceSession(const DeviceOptions& options) {
  if (options.port.empty()) {
    error_ = "no port given (use -p PORT)";
    return;
  }
  const PortState::Lock lock = portLocks_.Acquire(options.port, kPortWaitMs);
  if (lock == PortState::Lock::Busy) {
    error_ = "port busy: another kovrix-cli run is using " + options.port;
    return;
  }
  // The log name is passed as typed: it names a file here, not text for the device.
  SetLogFileName(options.logFile);
  if (OpenComPort(options.port, options.baud) != 0) {
    if (IsNetworkPortName(options.port)) {
      const std::optional<NetworkPort> network = ParseNetworkPort(options.port);
      error_ = "cannot connect to " + (network ? HostPortText(*network) : options.port) + ": " +
               LastNetworkOpenFailure();
      return;
    }
    error_ = LastPortOpenFailure() == PortOpenFailure::Busy ? "port busy: another program is using " + options.port
                                                             : "cannot open port " + options.port;
    // Lack of rights: name the device's group and how to join it (Windows has no such group).
    if (const auto denial = CheckPortAccess(options.port)) {
      error_ += ": " + PortAccessAdvice(*denial, AdviceLanguage::English);
    }
    return;
  }
  SetRepeatCount(options.repeats);
  // A converter's name may stand for several addresses: the one connected to keeps the sequence.
  portLocks_.KeepOnly(TheLink().Line().peer());
  if (lock == PortState::Lock::Held) {
    TheLink().SetSequenceCounter(options.seqReset ? 0 : portLocks_.counter());
    TheLink().SetSequenceObserver([this](std::uint8_t counter) { portLocks_.Store(counter); });
  } else {
    if (options.seqReset) TheLink().SetSequenceCounter(0);
    // A missing device file is not worth a word: the open has already told.
    if (!ResolvedDevicePath(options.port).empty()) warning_ = "frame sequence not kept: " + portLocks_.why();
  }
  open_ = true;
}

DeviceSession::~DeviceSession() {
  if (open_) CloseComPort();
  TheLink().SetSequenceObserver(nullptr);
}

}  // namespace kovrix::session
