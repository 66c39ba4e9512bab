// Waits for a stop request through the serving programs' stop seam, as their main does, and
// tells each step on its output: the stop test asks it to stop under Wine.
#include <iostream>

#include "session/stop_signal.h"

int main() {
  kovrix::session::StopSignal stop;
  std::cout << "waiting" << std::endl;
  stop.Wait();
  std::cout << "stopped" << std::endl;
  stop.Finished();
  return 0;
}
