#include "app/simulation.h"

#include <QFile>

#include "sim/bank_terminal.h"
#include "sim/device_server.h"

namespace kovrix {

Simulation::Simulation()
    : device_(std::make_unique<sim::DeviceServer>()), terminal_(std::make_unique<sim::BankTerminal>()) {}

Simulation::~Simulation() = default;

bool Simulation::Start() {
  if (device_->start() && terminal_->start()) return true;
  device_->stop();
  terminal_->stop();
  return false;
}

QString Simulation::RegistratorPort() const { return QFile::decodeName(device_->slavePath().c_str()); }
QString Simulation::TerminalPort() const { return QFile::decodeName(terminal_->slavePath().c_str()); }

}  // namespace kovrix
