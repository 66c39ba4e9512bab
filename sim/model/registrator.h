#pragma once
// The simulated registrator as a pure model: a request in, a reply out, no I/O.

#include <array>
#include <cstdint>
#include <string>

#include "sim/model/commands.h"
#include "sim/model/device.h"
#include "sim/model/error_code.h"

namespace kovrix::sim {

struct Request {
  std::uint8_t seq = 0x21;
  std::uint8_t command = 0;
  std::string data;
};

struct Reply {
  ErrorCode error;
  std::string data;
  StatusBytes status{};  // top bits clear
};

class Registrator {
 public:
  explicit Registrator(DeviceState state = FactoryState(), Device::WallClock clock = LocalWallClock);

  /// Executes one command and answers its reply; a refused command changes nothing.
  Reply handle(const Request& request);

  Device& device() { return dev_; }
  const Device& device() const { return dev_; }
  DeviceState& state() { return dev_.s; }
  const DeviceState& state() const { return dev_.s; }
  const Tape& tape() const { return dev_.tape; }
  /// Answers the number of commands executed (refusals included, repeats answered from the
  /// link's cache not).
  long executed() const { return executed_; }

 private:
  bool PasswordAccepted(Access access, const std::string& password) const;

  Device dev_;
  std::array<int, 256> byCode_{};  // index into table_, -1 for a code without a command
  std::vector<CommandEntry> table_;
  long executed_ = 0;
};

}  // namespace kovrix::sim
