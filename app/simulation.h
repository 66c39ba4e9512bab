#pragma once
// The simulated registrator and bank terminal run inside the tool (`kovrix --simulate`), each on a
// pseudo-terminal of its own (a loopback TCP port on Windows), so that the port boxes can name them and "Подключить" connects at once.

#include <QString>
#include <filesystem>
#include <fstream>
#include <memory>

namespace kovrix::sim {
class DeviceServer;
class BankTerminal;
}  // namespace kovrix::sim

namespace kovrix {

class Simulation {
 public:
  Simulation();
  ~Simulation();
  Simulation(const Simulation&) = delete;
  Simulation& operator=(const Simulation&) = delete;

  /// Starts both servers; false when no pseudo-terminal could be opened (nothing then runs).
  bool Start();
  /// Appends the registrator's printed tape to `path` from now on (cp1251 lines, as kovrix-sim
  /// --tape writes them); false when the file cannot be opened.
  bool WriteTapeTo(const std::filesystem::path& path);
  /// Answers the pseudo-terminal path of the registrator (empty before Start).
  QString RegistratorPort() const;
  /// Answers the pseudo-terminal path of the bank terminal (empty before Start).
  QString TerminalPort() const;
  /// The simulated registrator and bank terminal themselves (their journal, tape and purchases).
  sim::DeviceServer& Registrator() { return *device_; }
  sim::BankTerminal& Terminal() { return *terminal_; }

 private:
  std::unique_ptr<sim::DeviceServer> device_;
  std::unique_ptr<sim::BankTerminal> terminal_;
  std::ofstream tapeFile_;
};

}  // namespace kovrix
