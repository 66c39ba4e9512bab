#pragma once
// The fault soak: state-changing commands sent through the process's driver link to the
// simulated registrator while its fault plan spoils a share of the frames, then what the host
// believes (each command reported done or failed) set against what the device really did (its
// printed tape, every command made unique so that each execution can be told apart).

#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace kovrix::soak {

/// The kinds of commands that the soak counts.
enum class Kind { TextLine, CashIn, CashOut };

/// One counted command as the host saw it.
struct HostCommand {
  Kind kind = Kind::TextLine;
  std::string mark;            // its unique trace on the tape (see TapeMark)
  bool reportedOk = false;     // the driver answered a clean reply with error code "0000"
  std::string faults;          // the line faults its frames met, joined by "+", empty when none
};

/// Answers the tape mark of a command: the printed text of a line, "+amount" for a cash in,
/// "-amount" for a cash out (amounts as the device prints them, two decimals).
std::string TapeMark(Kind kind, const std::string& textOrAmount);

/// Answers how often each mark appears on the tape (cp1251 lines): text lines by their trimmed
/// text, cash movements by the sum line printed right under their heading.
std::map<std::string, int> CountTapeMarks(const std::vector<std::string>& tape);

/// The comparison of the host's beliefs with the device's executions.
struct Tally {
  int commands = 0;
  int executedOnce = 0;            // executed once and reported done
  int cleanFailures = 0;           // not executed and reported failed
  int doubleExecutions = 0;        // executed more than once
  int lossesReportedOk = 0;        // not executed but reported done
  int executedReportedFailed = 0;  // executed once but reported failed
  std::map<std::string, int> executedFailedByFaults;  // the same, by the faults met
  std::vector<std::string> offenders;                 // marks of double executions and losses
};

/// Compares each command's report with the number of times its mark is on the tape.
Tally Compare(const std::vector<HostCommand>& commands, const std::map<std::string, int>& tapeMarks);

struct Options {
  int commands = 300;      // counted commands (text lines, cash in and out)
  unsigned seed = 1;
  double faultRate = 0.05; // share of frames that meet a fault
  int repeats = 1;         // the link's repeat count (the tool's default)
  bool usb = false;        // the link repeats silent exchanges too, as over the USB port
  bool retry = false;      // a command reported failed is sent once more, as an operator would
  int silencePasses = 8;   // silence that ends a wait: passes x read time-out
  int readTimeoutMs = 25;
};

/// What one run measured besides the tally.
struct Figures {
  Tally tally;
  int textLines = 0, cashIns = 0, cashOuts = 0;
  int scaffolding = 0, scaffoldingOk = 0;   // receipt openings and closings
  int retries = 0;                           // commands sent again after a failure (retry)
  int framesReceived = 0;                    // request frames the device received
  int repeatsAnswered = 0;                   // frames answered from its repeat memory
  std::map<std::string, int> faultsInjected; // line faults the device applied, by kind
  std::int64_t tillExpected = 0;             // start + cash moved as the tape shows, in cents
  std::int64_t tillDevice = 0;               // the device's till at the end, in cents
  std::int64_t tillBelieved = 0;             // start + cash moved as the host was told, in cents
  double seconds = 0;
};

/// Runs the soak against a simulator of its own; false (with a message on err) when it
/// cannot start.
bool Run(const Options& options, Figures& figures, std::FILE* err);

/// Prints the figures as readable lines.
void Print(const Options& options, const Figures& figures, std::FILE* out);

}  // namespace kovrix::soak
