// kovrix-server: the registrator as a local HTTP/JSON service.
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "session/port_state.h"
#include "kovrix_version.h"
#include "server/options.h"
#include "server/socket_io.h"
#include "session/stop_signal.h"

using namespace kovrix::server;

int main(int argc, char** argv) {
  ServerOptions options;
  kovrix::session::LoadProfileDefaults(options.config.device, "fpinit.ini");
  std::string error;
  if (!ParseServerOptions(std::vector<std::string>(argv + 1, argv + argc), options, error)) {
    std::cerr << "kovrix-server: " << error << "\n";
    return kExitUsage;
  }
  if (options.help) {
    std::cout << ServerUsage();
    return kExitOk;
  }
  if (options.version) {
    std::cout << "kovrix-server " << KOVRIX_VERSION << "\n";
    return kExitOk;
  }
  if (options.config.registrators.empty() && options.config.device.port.empty()) {
    std::cerr << "kovrix-server: no port given (use -p PORT, --registrator ID=PORT or --config FILE)\n";
    return kExitUsage;
  }
  if (!CreatePrivateLogs(options.config, error)) {
    std::cerr << "kovrix-server: " << error << "\n";
    return kExitUsage;
  }
  const std::string state = kovrix::session::StateDirectory();
  if (!state.empty()) options.config.answersDirectory = state + "/server-answers";

  // The stop requests are taken by one thread, so that stopping happens outside a signal
  // handler: the server finishes the request in progress and the program exits 0.
  kovrix::session::StopSignal stopSignal;

  // Every open connection costs a descriptor; the default soft limit of a service (1024) would
  // leave clients unanswered long before the connection limits do.
  RaiseDescriptorLimit();
  HttpService service(options.config);
  // A receipt whose journal cannot be written could not be settled after a crash: no start.
  if (const std::vector<std::string> problems = service.JournalProblems(); !problems.empty()) {
    for (const std::string& problem : problems) std::cerr << "kovrix-server: " << problem << "\n";
    return kExitCannotServe;
  }
  if (!service.Bind()) {
    std::cerr << "kovrix-server: cannot listen on " << options.config.host << ":" << options.config.port << "\n";
    return kExitCannotServe;
  }
  std::thread stopper([&] {
    stopSignal.Wait();
    service.Stop();
  });
  std::cout << "listening on http://" << options.config.host << ":" << service.port() << std::endl;
  service.Listen();
  // Listen also ends without a stop request when the socket fails: wake the stopper then.
  stopSignal.Wake();
  stopper.join();
  stopSignal.Finished();
  return kExitOk;
}
