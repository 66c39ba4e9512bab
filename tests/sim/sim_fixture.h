#pragma once
// A registrator model on a fixed clock, with a helper that runs one command.

#include <string>

#include "sim/model/device.h"
#include "sim/model/registrator.h"

namespace kovrix::sim::test {

// 15.06.2024 10:00 on the device clock.
inline constexpr DeviceTime kStart = 1718445600;

class Model {
 public:
  explicit Model(DeviceState state = FactoryState()) : reg(std::move(state), [this] { return wall; }) {}

  /// Runs a command and answers its reply.
  Reply Run(int command, const std::string& data) {
    return reg.handle(Request{0x21, static_cast<std::uint8_t>(command), data});
  }
  /// Runs a command and answers its error field as sent.
  std::string Code(int command, const std::string& data) { return Run(command, data).error.WireText(); }
  DeviceState& s() { return reg.state(); }
  /// Answers the tape printed since the start, joined by newlines (UTF-8).
  std::string Tape() const {
    std::string out;
    for (const std::string& line : reg.tape().Lines()) out += Cp1251ToUtf8(line) + "\n";
    return out;
  }

  DeviceTime wall = kStart;
  Registrator reg;
};

}  // namespace kovrix::sim::test
