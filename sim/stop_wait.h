#pragma once
// Waiting for the user or the system to stop a serving program: SIGINT or SIGTERM on POSIX
// systems; Ctrl+C, Ctrl+Break or closing the console window on Windows. The program then stops
// serving in its own time, outside any signal handler; on Windows a console that is being closed
// waits (within the system's few seconds) until the program says it has finished.

namespace kovrix::sim {

class StopWait {
 public:
  /// Takes the stop requests over. Make it before any thread starts: on POSIX systems the stop
  /// signals are blocked here so that only Wait receives them.
  StopWait();
  ~StopWait();
  StopWait(const StopWait&) = delete;
  StopWait& operator=(const StopWait&) = delete;

  /// Returns when a stop has been asked for.
  void Wait();
  /// Tells a closing console that the program has finished its work (Windows; nothing elsewhere).
  void Finished();
};

}  // namespace kovrix::sim
