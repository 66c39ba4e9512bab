#include "app/simulation.h"

#include <QFile>

#include "sim/bank_terminal.h"
#include "sim/device_server.h"

namespace kovrix {

namespace {

// The registrator reports a protocol version whose card payments go through the bank terminal,
// so that a payment type other than cash reaches the simulated terminal without any setting.
constexpr const char* kSimulatedVersion = "4.00";

}  // namespace

Simulation::Simulation()
    : device_(std::make_unique<sim::DeviceServer>(sim::Registrator(sim::FactoryState("Veltra KR-23", kSimulatedVersion)))),
      terminal_(std::make_unique<sim::BankTerminal>()) {}

Simulation::~Simulation() {
  // The servers stop before the tape file closes: no line is printed into a closed file.
  device_->stop();
  terminal_->stop();
}

bool Simulation::Start() {
  if (device_->start() && terminal_->start()) return true;
  device_->stop();
  terminal_->stop();
  return false;
}

bool Simulation::WriteTapeTo(const std::filesystem::path& path) {
  tapeFile_.open(path, std::ios::binary | std::ios::app);
  if (!tapeFile_) return false;
  device_->withDevice([this](sim::Registrator& r) {
    r.device().tape.SetSink([this](const std::string& line) { tapeFile_ << line << '\n' << std::flush; });
    return 0;
  });
  return true;
}

QString Simulation::RegistratorPort() const { return QFile::decodeName(device_->slavePath().c_str()); }
QString Simulation::TerminalPort() const { return QFile::decodeName(terminal_->slavePath().c_str()); }

}  // namespace kovrix
