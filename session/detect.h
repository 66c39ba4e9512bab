#pragma once
// Finding registrators: each port is asked for its diagnostic information at one line speed after
// another, fastest first, with a short bounded wait per speed; the first speed that gets a reply
// tells the registrator's speed, model, version and serial number. A port another run or another
// program holds is reported busy and left alone. Every probe has a link of its own, so probes may
// run on any thread beside the process's own link.

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace kovrix::session {

struct DetectedPort {
  std::string port;
  std::string state;  // "found", "busy", "none", "error"
  int baud = 0;       // the speed that answered (found only)
  std::string model, version, serial;  // diagnostic reply fields 1, 2 and 3, UTF-8 (found only)
  std::string message;  // why busy, none or error; the device's error text when it answered one
};

/// How long a probe waits; tests of pseudo-terminals shrink it.
struct ProbeTiming {
  int silenceMs = 300;    // silence after the request that means "nothing at this speed"
  int readSliceMs = 100;  // one read's time-out within that silence
  int lockWaitMs = 200;   // wait for another kovrix run to let go of the port
  // Also wait for the request's own time on the line (about 1.5 s at 110 baud); a pseudo-terminal
  // ignores the speed, so its tests leave this out.
  bool allowLineTime = true;
};

/// Answers the speeds of the tool's speed list, fastest first, as the probe tries them.
std::vector<int> ProbeSpeeds();

/// Answers the longest a probe of one silent port takes at these speeds, in milliseconds: a
/// silence per speed plus, with allowLineTime, the request's time on the line.
int SilentPortBoundMs(const std::vector<int>& speeds, const ProbeTiming& timing = {});

/// Probes each port at the speeds in the order given (fastest first) and answers one entry per
/// port, in the order of the ports. Never throws on a bad port or speed: that port is an "error".
std::vector<DetectedPort> DetectRegistrators(const std::vector<std::string>& ports,
                                             const std::vector<int>& speeds /* fastest first */);
/// The same with the probe's timing given.
std::vector<DetectedPort> DetectRegistrators(const std::vector<std::string>& ports, const std::vector<int>& speeds,
                                             const ProbeTiming& timing);

/// Answers the JSON object of one entry: port, state, baud, model, version, serial, message.
nlohmann::ordered_json DetectedPortJson(const DetectedPort& entry);

}  // namespace kovrix::session
