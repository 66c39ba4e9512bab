// Golden scripts against the simulated registrator: every command goes through the driver over
// a pseudo-terminal, so the trace holds the real frames. Each case gets a fresh registrator in
// its factory state whose clock stands at 15.06.24 10:00, and a fresh link (the first frame
// carries SEQ 21h) with the tool's default of one repeat pass. The link's silence limit is
// shrunk to 25 x 20 ms, still ample for a loaded machine, and its repeat waits are recorded
// as "link-wait" events instead of slept.
//
// "=== device" lines set up the simulator:
//   fail CC EEEE   command CC is answered with error code EEEE (as on the wire), unexecuted
//   FAULT N        the n-th command the script sends meets a line fault: nak, drop (silence),
//                  mute (executed, no reply), badsum, garble or cut
// Actions besides the shared ones: "tape" shows the lines printed since the last "tape",
// "journal" the requests the simulator received since the last "journal".

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <optional>

#include "driver/codepage.h"
#include "driver/driver.h"
#include "fake_device_host.h"
#include "golden_case.h"
#include "monitor/script/runner.h"
#include "sim/device_server.h"

namespace kovrix::test {
namespace {

const sim::DeviceTime kClock = *sim::ParseDeviceDate("150624", "1000");

std::optional<sim::LineFault> FaultNamed(const std::string& name) {
  static const std::map<std::string, sim::LineFault> kNames = {
      {"nak", sim::LineFault::Nak},
      {"drop", sim::LineFault::Drop},
      {"mute", sim::LineFault::Mute},
      {"badsum", sim::LineFault::BadChecksum},
      {"garble", sim::LineFault::Garble},
      {"cut", sim::LineFault::Cut},
  };
  const auto it = kNames.find(name);
  if (it == kNames.end()) return std::nullopt;
  return it->second;
}

// The recording host of the fake suite, with its commands sent to the registrator through the
// driver instead.
class SimDeviceHost final : public FakeDeviceHost {
 public:
  explicit SimDeviceHost(sim::DeviceServer& server) : server_(server) {}

  /// Applies one "=== device" line; answers false for a line it does not understand.
  bool Configure(const std::string& line) {
    char word[16] = {};
    unsigned code = 0, wire = 0;
    int n = 0;
    if (std::sscanf(line.c_str(), "fail %2x %4x", &code, &wire) == 2 && line.size() == 12) {
      // The wire text is the detail's two digits, then the group's.
      server_.faults().FailCommand(static_cast<std::uint8_t>(code),
                                   sim::ErrorCode{static_cast<std::uint8_t>(wire & 0xFF), static_cast<std::uint8_t>(wire >> 8)});
      return true;
    }
    if (std::sscanf(line.c_str(), "%15s %d", word, &n) == 2 && n > 0) {
      const std::optional<sim::LineFault> fault = FaultNamed(word);
      if (fault) faultAt_[n] = *fault;
      return fault.has_value();
    }
    return false;
  }

  const ReplyRecord* execute(int code, const std::string& data) override {
    char head[16];
    std::snprintf(head, sizeof head, "send %02X", static_cast<unsigned>(code));
    events.push_back(data.empty() ? std::string(head) : head + (" " + Readable(data)));
    if (const auto it = faultAt_.find(++sends_); it != faultAt_.end()) server_.faults().Queue(it->second);
    return ExecuteCommand(code, data);
  }
  const ReplyRecord* lastReply() const override { return LatestRecord(); }

  /// Records the tape lines printed since the last call.
  void ShowTape() {
    const std::vector<std::string> lines = server_.tape();
    for (; tapeShown_ < lines.size(); ++tapeShown_) events.push_back("tape " + Readable(lines[tapeShown_]));
  }
  /// Records the requests received since the last call, without their times.
  void ShowJournal() {
    const std::vector<sim::JournalEntry> entries = server_.journal().Entries();
    for (; journalShown_ < entries.size(); ++journalShown_) {
      const std::string line = sim::Describe(entries[journalShown_]);
      events.push_back("journal " + Readable(line.substr(line.find(' ') + 1)));
    }
  }

 private:
  sim::DeviceServer& server_;
  std::map<int, sim::LineFault> faultAt_;
  int sends_ = 0;
  std::size_t tapeShown_ = 0;
  std::size_t journalShown_ = 0;
};

// The process's link on the simulator's line for one case, closed again at the end.
class SimLink {
 public:
  SimLink(const std::string& path, std::vector<std::string>& events) {
    UseSerialLine(MakeSystemSerialLine());
    TheLink().SetTiming(LinkTiming{25, 20, 2000, 3000});
    TheLink().SetSleeper([&events](int ms) { events.push_back("link-wait " + std::to_string(ms)); });
    SetRepeatCount(1);
    open_ = OpenComPort(path, 115200) == 0;
  }
  ~SimLink() {
    CloseComPort();
    TheLink().SetSleeper([](int) {});
  }
  SimLink(const SimLink&) = delete;
  SimLink& operator=(const SimLink&) = delete;
  bool open() const { return open_; }

 private:
  bool open_ = false;
};

std::vector<std::string> Play(const GoldenCase& c, const std::string& path) {
  sim::DeviceServer server(sim::Registrator(sim::FactoryState(), [] { return kClock; }));
  if (!server.start()) {
    ADD_FAILURE() << "no pseudo-terminal";
    return {};
  }
  SimDeviceHost host(server);
  for (const std::string& line : c.device) EXPECT_TRUE(host.Configure(line)) << "device line: " << line;
  SimLink link(server.slavePath(), host.events);
  if (!link.open()) {
    ADD_FAILURE() << "cannot open " << server.slavePath();
    return {};
  }
  script::ScriptRunner runner(host);
  return PlayGoldenCase(c, path, host, runner, [&host](const std::string& verb, const std::string&) {
    if (verb == "tape") {
      host.ShowTape();
    } else if (verb == "journal") {
      host.ShowJournal();
    } else {
      ADD_FAILURE() << "unknown action " << verb;
    }
  });
}

class GoldenSim : public testing::TestWithParam<std::string> {};

TEST_P(GoldenSim, ProducesExpectedEvents) { ExpectGoldenFile(KOVRIX_SCRIPT_GOLDEN_SIM_DIR, GetParam(), Play); }

INSTANTIATE_TEST_SUITE_P(Scripts, GoldenSim, testing::ValuesIn(GoldenCaseFiles(KOVRIX_SCRIPT_GOLDEN_SIM_DIR)),
                         [](const auto& info) { return GoldenTestName(info.param); });

}  // namespace
}  // namespace kovrix::test
