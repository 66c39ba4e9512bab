#pragma once
// The receipt soak of the service: fiscal receipts sent over HTTP to a served HttpService whose
// registrator is the simulator, while faults aimed at the receipt's commands lose, spoil or delay
// replies (the annulment's included) and the registrator at times stays silent. After every
// answer it checks what the service said against the registrator: no receipt left open, every
// 200 exactly one printed receipt, every 409 nothing printed or an annulled receipt, every 504
// "unknown" resolved by a retry with the same Idempotency-Key, nothing printed twice.

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace kovrix::server::soak {

struct Options {
  int receipts = 200;
  unsigned seed = 1;
  double faultRate = 0.6;  // share of receipts that meet a fault
  int repeats = 1;         // the link's repeat count (the tool's default)
  int silencePasses = 4;   // silence that ends a wait: passes x read time-out
  int readTimeoutMs = 25;
  double killRate = 0;     // share of receipts during which the service process is killed (SIGKILL)
  // Every receipt loses the reply of one of its steps, taken in turn (the registrator then silent
  // when asked), and the service process is killed right after; the registrator's port is a
  // stable name that is missing when the service first starts and points at another device file
  // after every kill, as a USB registrator that comes back under another number.
  bool killEachStep = false;
};

struct Figures {
  int receipts = 0;
  std::map<std::string, int> answers;  // final answers by kind: "200", "200 recovered", "409 annulled", ...
  int unknownFirst = 0;                // first answers 504 "unknown"
  int resolvedOnRetry = 0;             // of those, resolved by a retry with the same key
  int unresolved = 0;                  // still unknown after the registrator answered again
  int replays = 0;                     // keyed retries of a settled request
  int replayMismatches = 0;            // a retry answered otherwise than the first answer
  int kills = 0;                       // service processes killed during a receipt request
  std::map<std::string, int> killedAfter;  // kills right after a lost reply, by the step (command) lost
  int unansweredByKill = 0;            // of those, requests the kill left without an answer
  int leftOpen = 0;                    // answers after which a receipt stayed open
  int printedTwice = 0;                // receipts printed more than once
  int misreported = 0;                 // 200 not printed once, or 409/503 printed
  std::map<std::string, int> faults;   // faults set up, by kind
  std::vector<std::string> offenders;  // what went wrong, one line each
  double seconds = 0;
};

/// Runs the soak; false (with a message on err) when the simulator or the service cannot start.
bool Run(const Options& options, Figures& figures, std::FILE* err);

/// The service side of a soak with kills, in a process of its own: the soak program runs itself
/// again with these arguments (after "--serve"), so that the service starts from a fresh process
/// rather than from a fork of a threaded one. Serves until killed; answers the exit status.
int Serve(int argc, char** argv);

/// Prints the figures as readable lines.
void Print(const Options& options, const Figures& figures, std::FILE* out);

/// Answers whether the run met its targets: nothing left open, printed twice, misreported or
/// unresolved, and every replay the same.
bool Passed(const Figures& figures);

}  // namespace kovrix::server::soak
