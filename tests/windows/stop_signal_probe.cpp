// Waits for a stop request through kovrix-server's stop seam, as the service's main does, and
// tells each step on its output: the stop test asks it to stop under Wine.
#include <iostream>

#include "server/stop_signal.h"

int main() {
  kovrix::server::StopSignal stop;
  std::cout << "waiting" << std::endl;
  stop.Wait();
  std::cout << "stopped" << std::endl;
  stop.Finished();
  return 0;
}
