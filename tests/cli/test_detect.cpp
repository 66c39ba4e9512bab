// kovrix-cli detect: which ports it probes, what it prints and its exit status, over a stand-in
// probe and over the real one against the simulated registrator.

#include <gtest/gtest.h>

#include <pty.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/cli.h"
#include "cli/detect.h"
#include "sim/device_server.h"

namespace kovrix::cli {
namespace {

using session::DetectedPort;

const DetectedPort kFound{"ttyUSB0", "found", 9600, "Каса КР-23", "3.01", "KR230000001", ""};
const DetectedPort kNone{"ttyS0", "none", 0, "", "", "", "no registrator answered at 115200..110 baud"};
const DetectedPort kBusy{"ttyS1", "busy", 0, "", "", "", "another program is using ttyS1"};
const DetectedPort kError{"/dev/x", "error", 0, "", "", "", "cannot open port /dev/x"};

// Runs detect with the options and listed ports over a probe that answers the given entries;
// records the ports and speeds it was asked for.
struct DetectRun {
  int Run(const std::vector<std::string>& args, const std::vector<std::string>& listed,
          std::vector<DetectedPort> answer = {}) {
    Options options;
    std::string error;
    if (!ParseOptions(args, options, error)) return -1;
    out.str("");
    err.str("");
    probed.clear();
    calls = 0;
    Context context{options, out, err};
    return Detect(context, listed, [&](const std::vector<std::string>& ports, const std::vector<int>& speeds) {
      ++calls;
      probed = ports;
      this->speeds = speeds;
      return answer;
    });
  }
  std::ostringstream out;
  std::ostringstream err;
  std::vector<std::string> probed;
  std::vector<int> speeds;
  int calls = 0;
};

TEST(DetectCli, PrintsALinePerPortOrOneJsonArrayAndExitsByWhatWasFound) {
  struct Case {
    std::vector<DetectedPort> answer;
    int status;
    std::string text;
  } cases[] = {
      {{kFound, kNone},
       kExitOk,
       "ttyUSB0: found at 9600 baud, model Каса КР-23, version 3.01, serial number KR230000001\n"
       "ttyS0: none (no registrator answered at 115200..110 baud)\n"},
      {{kBusy, kError},
       kExitNoReply,
       "ttyS1: busy (another program is using ttyS1)\n/dev/x: error (cannot open port /dev/x)\n"},
      {{kNone}, kExitNoReply, "ttyS0: none (no registrator answered at 115200..110 baud)\n"},
  };
  for (const Case& c : cases) {
    DetectRun run;
    EXPECT_EQ(run.Run({"detect"}, {"ttyS0"}, c.answer), c.status) << c.text;
    EXPECT_EQ(run.out.str(), c.text);
    EXPECT_EQ(run.speeds, session::ProbeSpeeds());

    // --json after the subcommand or before it: one array, the same status.
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"detect", "--json"}, {"--json", "detect"}}) {
      EXPECT_EQ(run.Run(args, {"ttyS0"}, c.answer), c.status);
      const std::string json = run.out.str();
      EXPECT_EQ(json.substr(0, 10), R"([{"port":")") << json;
      EXPECT_EQ(json.substr(json.size() - 3), "}]\n") << json;
      for (const DetectedPort& entry : c.answer)
        EXPECT_NE(json.find(R"("state":")" + entry.state + R"(")"), std::string::npos) << json;
    }
  }
  DetectRun run;
  run.Run({"--json", "detect"}, {"ttyUSB0"}, {kFound});
  EXPECT_EQ(run.out.str(),
            R"([{"port":"ttyUSB0","state":"found","baud":9600,"model":"Каса КР-23","version":"3.01",)"
            R"("serial":"KR230000001","message":""}])"
            "\n");
}

TEST(DetectCli, NoPortsOrABadArgumentProbeNothing) {
  DetectRun run;
  EXPECT_EQ(run.Run({"detect"}, {}), kExitNoReply);
  EXPECT_EQ(run.out.str(), "no serial ports to probe (none listed; give one with -p PORT)\n");
  EXPECT_EQ(run.Run({"detect", "--json"}, {}), kExitNoReply);
  EXPECT_EQ(run.out.str(), "[]\n");
  EXPECT_EQ(run.calls, 0);

  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{"detect", "ttyS0"}, {"detect", "--json", "-x"}}) {
    EXPECT_EQ(run.Run(args, {"ttyS0"}), kExitUsage);
    EXPECT_NE(run.err.str().find("usage: detect [--json]"), std::string::npos) << run.err.str();
    EXPECT_TRUE(run.out.str().empty());
    EXPECT_EQ(run.calls, 0);
  }
}

// The -p port joins the listed ones unless it is one of them under another name.
TEST(DetectCli, TheGivenPortIsProbedOnceBesideTheListedOnes) {
  char dir[] = "/tmp/kovrix-detect-cli-XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  const std::filesystem::path work = dir;
  std::ofstream(work / "ttyFAKE0");
  std::ofstream(work / "ttyFAKE1");
  std::filesystem::create_symlink(work / "ttyFAKE0", work / "by-id");
  const std::string a = (work / "ttyFAKE0").string(), b = (work / "ttyFAKE1").string();

  EXPECT_EQ(PortsToProbe({a, b, a}, (work / "by-id").string()), (std::vector<std::string>{a, b}));
  EXPECT_EQ(PortsToProbe({a}, "tcp://127.0.0.1:4001"), (std::vector<std::string>{a, "tcp://127.0.0.1:4001"}));
  EXPECT_EQ(PortsToProbe({}, b), (std::vector<std::string>{b}));
  EXPECT_EQ(PortsToProbe({"", a}, ""), (std::vector<std::string>{a}));

  DetectRun run;
  run.Run({"-p", b, "detect"}, {a}, {kNone, kNone});
  EXPECT_EQ(run.probed, (std::vector<std::string>{a, b}));
  std::filesystem::remove_all(work);
}

// The real probe through the command: the simulator is found, a silent line is not, and the next
// kovrix-cli run on the simulator's port continues the sequence the probe left.
TEST(DetectCli, FindsTheSimulatorAndTheNextRunContinuesTheSequence) {
  char dir[] = "/tmp/kovrix-detect-cli-XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  setenv("XDG_STATE_HOME", dir, 1);
  sim::DeviceServer server;
  ASSERT_TRUE(server.start());
  int master = -1, slave = -1;
  char silent[256] = {};
  ASSERT_EQ(openpty(&master, &slave, silent, nullptr, nullptr), 0);

  Options options;
  options.port = silent;
  std::ostringstream out, err;
  Context context{options, out, err};
  const session::ProbeTiming quick{/*silenceMs*/ 150, /*readSliceMs*/ 50, /*lockWaitMs*/ 50, /*allowLineTime*/ false};
  const int status = Detect(context, {server.slavePath()},
                            [&](const std::vector<std::string>& ports, const std::vector<int>& speeds) {
                              return session::DetectRegistrators(ports, speeds, quick);
                            });
  EXPECT_EQ(status, kExitOk);
  EXPECT_EQ(out.str(), server.slavePath() + ": found at 115200 baud, model Veltra KR-23, version 3.01, serial number " +
                           server.withDevice([](sim::Registrator& r) { return r.state().serial; }) + "\n" + silent +
                           ": none (no registrator answered at 115200..110 baud)\n");

  std::ostringstream next;
  EXPECT_EQ(RunCli({"-p", server.slavePath(), "-b", "115200", "--json", "exec", "80", "482916;"}, next, err), kExitOk)
      << err.str();
  const auto entries = server.journal().Entries();
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_NE(entries[1].seq, entries[0].seq);
  EXPECT_EQ(entries[1].outcome, sim::Outcome::Executed) << sim::Describe(entries[1]);

  close(master);
  close(slave);
  unsetenv("XDG_STATE_HOME");
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace kovrix::cli
