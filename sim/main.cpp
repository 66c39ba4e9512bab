// kovrix-sim: serves a simulated registrator and a bank terminal on pseudo-terminals (the
// registrator on a loopback TCP port with --tcp) until SIGINT or SIGTERM. Prints "registrator: <path>" and "terminal: <path>" once both serve.

#include <cstdio>
#include <fstream>
#include <iostream>
#include <memory>
#include <sys/stat.h>

#include "kovrix_version.h"
#include "sim/bank_terminal.h"
#include "sim/device_server.h"
#include "sim/sim_options.h"
#include "session/stop_signal.h"
#include "sim/model/state_file.h"

using namespace kovrix::sim;

namespace {

bool FileExists(const std::string& path) {
  struct stat st{};
  return stat(path.c_str(), &st) == 0;
}

// Builds the starting state: the factory state of the model, the state file over it, and the
// switches given over both.
std::optional<DeviceState> StartingState(const SimOptions& o) {
  DeviceState state = FactoryState(o.model.empty() ? "Veltra KR-23" : o.model,
                                   o.version.empty() ? "3.01" : o.version, o.flashSize);
  if (!o.state.empty() && FileExists(o.state)) {
    if (!LoadStateFile(o.state, state)) {
      std::cerr << "kovrix-sim: not a state file: " << o.state << "\n";
      return std::nullopt;
    }
    if (!o.model.empty()) state.model = o.model;
    if (!o.version.empty()) state.version = o.version;
  }
  return state;
}

int Serve(const SimOptions& o, kovrix::session::StopSignal& stopSignal) {
  const auto state = StartingState(o);
  if (!state) return 1;
  std::ofstream tapeFile;
  if (!o.tape.empty()) {
    tapeFile.open(o.tape, std::ios::binary | std::ios::app);
    if (!tapeFile) {
      std::cerr << "kovrix-sim: cannot open the tape file " << o.tape << "\n";
      return 1;
    }
  }
  DeviceServer device{Registrator(*state)};
  BankTerminal terminal;
  for (const std::string& f : o.faults) ApplyFault(f, device.faults());
  for (const std::string& f : o.terminalFaults) terminal.QueueFault(*ParseTerminalFault(f));
  device.setPace(o.pace);
  if (tapeFile.is_open()) {
    device.withDevice([&](Registrator& r) {
      r.device().tape.SetSink([&tapeFile](const std::string& line) { tapeFile << line << '\n' << std::flush; });
      return 0;
    });
  }
  if (o.tcpPort >= 0 && !device.startTcp("127.0.0.1", o.tcpPort)) {
    std::cerr << "kovrix-sim: cannot listen on 127.0.0.1:" << o.tcpPort << "\n";
    return 1;
  }
  if (!device.start() || !terminal.start()) {
    std::cerr << "kovrix-sim: cannot open a pseudo-terminal\n";
    return 1;
  }
  if (!o.link.empty() && !ReplaceSymlink(device.slavePath(), o.link)) {
    std::cerr << "kovrix-sim: cannot create the link " << o.link << "\n";
    return 1;
  }
  if (!o.terminalLink.empty() && !ReplaceSymlink(terminal.slavePath(), o.terminalLink)) {
    std::cerr << "kovrix-sim: cannot create the link " << o.terminalLink << "\n";
    RemoveSymlink(o.link);
    return 1;
  }
  std::printf("registrator: %s\nterminal: %s\n", device.slavePath().c_str(), terminal.slavePath().c_str());
  std::fflush(stdout);

  stopSignal.Wait();

  device.stop();
  terminal.stop();
  if (!o.link.empty()) RemoveSymlink(o.link);
  if (!o.terminalLink.empty()) RemoveSymlink(o.terminalLink);
  if (!o.state.empty()) {
    const DeviceState last = device.withDevice([](Registrator& r) { return r.state(); });
    if (!SaveStateFile(o.state, last)) {
      std::cerr << "kovrix-sim: cannot save the state to " << o.state << "\n";
      return 1;
    }
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  // Before any thread starts, so that only the wait takes the stop signals.
  kovrix::session::StopSignal stopSignal;

  std::string error;
  const auto options = ParseSimOptions(std::vector<std::string>(argv + 1, argv + argc), error);
  if (!options) {
    std::cerr << "kovrix-sim: " << error << "\n" << SimUsage();
    return 2;
  }
  if (options->help) {
    std::cout << SimUsage();
    return 0;
  }
  if (options->printVersion) {
    std::cout << "kovrix-sim " KOVRIX_VERSION "\n";
    return 0;
  }
  const int status = Serve(*options, stopSignal);
  stopSignal.Finished();
  return status;
}
