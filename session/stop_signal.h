#pragma once
// How a serving program (kovrix-server, kovrix-sim) learns that it is to stop: SIGINT or SIGTERM
// on POSIX systems; Ctrl+C, Ctrl+Break, the closing of its console, log-off and shut-down on
// Windows. The stop then happens outside any signal handler: the work in progress finishes and the
// program exits 0. A closing console is held (within the few seconds the system allows) until the
// program says it has finished, since the system ends the process as soon as it lets go.

namespace kovrix::session {

class StopSignal {
 public:
  /// Takes the stop requests over. Make it before any thread starts: on POSIX systems the stop
  /// signals are blocked here, in every thread made later too, so that only Wait receives them.
  StopSignal();
  ~StopSignal();
  StopSignal(const StopSignal&) = delete;
  StopSignal& operator=(const StopSignal&) = delete;

  /// Returns when a stop has been asked for, or Wake was called.
  void Wait();
  /// Ends Wait without a stop request (the service ended by itself); from any thread.
  void Wake();
  /// Tells a closing console that the program has finished its work (Windows; nothing elsewhere).
  void Finished();
};

}  // namespace kovrix::session
