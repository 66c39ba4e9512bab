#pragma once
// Ctrl+C during a script run asks the run to stop, as the "Стоп" button does: the run ends after
// its next successful command line. Only the first Ctrl+C is taken; a second one ends the program
// at once (a script without command lines cannot stop otherwise). The previous handling comes
// back when the guard goes.

#include <memory>

namespace kovrix::cli {

class StopOnInterrupt {
 public:
  StopOnInterrupt();
  ~StopOnInterrupt();
  StopOnInterrupt(const StopOnInterrupt&) = delete;
  StopOnInterrupt& operator=(const StopOnInterrupt&) = delete;

 private:
  struct Previous;
  std::unique_ptr<Previous> previous_;
};

/// Answers whether a stop was asked for since the last ClearStopRequest.
bool StopRequested();
void ClearStopRequest();

}  // namespace kovrix::cli
