#pragma once
// Golden script cases, shared by the suites that run scripts against the fake host and against
// the simulated registrator. A case file holds one or more cases; a case starts with
// "=== script" and may have "=== device" (how the device is set up; each suite reads it its own
// way), "=== actions" (run, step, continue and settings between them; "run" when absent) and
// "=== expect": every event the actions must show, in order. Outside the script, '#' starts a
// note. On a mismatch the actual events are printed in the file's own format.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "driver/codepage.h"
#include "fake_device_host.h"
#include "monitor/script/runner.h"

namespace kovrix::test {

struct GoldenCase {
  int line = 0;  // where the case starts in its file
  std::vector<std::string> script;
  std::vector<std::string> device;
  std::vector<std::string> actions;
  std::vector<std::string> expect;
};

/// Answers the cases of a file (none for a file that cannot be read).
inline std::vector<GoldenCase> LoadGoldenCases(const std::filesystem::path& path) {
  std::vector<GoldenCase> cases;
  std::ifstream in(path);
  std::vector<std::string>* section = nullptr;
  int number = 0;
  for (std::string line; std::getline(in, line);) {
    ++number;
    if (line == "=== script") {
      cases.push_back(GoldenCase{number, {}, {}, {}, {}});
      section = &cases.back().script;
    } else if (line == "=== device" && !cases.empty()) {
      section = &cases.back().device;
    } else if (line == "=== actions" && !cases.empty()) {
      section = &cases.back().actions;
    } else if (line == "=== expect" && !cases.empty()) {
      section = &cases.back().expect;
    } else if (section && (section == &cases.back().script || (!line.empty() && line[0] != '#'))) {
      section->push_back(line);  // script lines verbatim; elsewhere '#' starts a note
    }
  }
  return cases;
}

/// Answers the short name an expected "end" event gives a run's outcome.
inline const char* RunEndName(script::RunEnd end) {
  using script::RunEnd;
  switch (end) {
    case RunEnd::EndOfFile: return "eof";
    case RunEnd::Message: return "message";
    case RunEnd::Timeout: return "timeout";
    case RunEnd::Stopped: return "stopped";
    case RunEnd::NotStarted: return "not-started";
    case RunEnd::Busy: return "busy";
    case RunEnd::Done: return "done";
  }
  return "?";
}

/// Called with an action the shared player does not know: its verb and the rest of the line.
using ExtraAction = std::function<void(const std::string& verb, const std::string& arg)>;

/// Writes the case's script (cp1251) to path, carries out its actions on the runner and answers
/// the host's events, each run followed by an "end" event and the path shown as SCRIPT. The
/// shared verbs: run [missing|none], step, continue, quiet [off], password P, linebox N.
inline std::vector<std::string> PlayGoldenCase(const GoldenCase& c, const std::string& path, FakeDeviceHost& host,
                                               script::ScriptRunner& runner, const ExtraAction& extra) {
  std::string text;
  for (const std::string& line : c.script) text += Utf8ToCp1251(line) + "\n";
  std::ofstream(path, std::ios::binary) << text;

  const std::vector<std::string> actions = c.actions.empty() ? std::vector<std::string>{"run"} : c.actions;
  for (const std::string& action : actions) {
    std::istringstream words(action);
    std::string verb, arg;
    words >> verb;
    std::getline(words >> std::ws, arg);
    script::RunEnd end;
    if (verb == "run") {
      end = runner.Run(arg == "missing" ? path + ".missing" : arg == "none" ? "" : path);
    } else if (verb == "step") {
      end = runner.Step(path);
    } else if (verb == "continue") {
      end = runner.Continue(path);
    } else {
      if (verb == "quiet") {
        host.quietOutput = arg != "off";
      } else if (verb == "password") {
        host.setPasswordBox(arg);
      } else if (verb == "linebox") {
        host.setLineNumberBox(arg);
      } else {
        extra(verb, arg);
      }
      continue;
    }
    host.events.push_back(std::string("end ") + RunEndName(end) + " line " + host.lineNumberBox());
  }
  std::vector<std::string> events = host.events;
  for (std::string& e : events)
    if (const std::size_t at = e.find(path); at != std::string::npos) e.replace(at, path.size(), "SCRIPT");
  return events;
}

/// Answers the names of the .case files of a directory, sorted.
inline std::vector<std::string> GoldenCaseFiles(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir))
    if (entry.path().extension() == ".case") names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

/// Answers a test name made of a case file's stem.
inline std::string GoldenTestName(const std::string& file) {
  std::string name = std::filesystem::path(file).stem().string();
  for (char& ch : name)
    if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
  return name;
}

/// Plays every case of dir/file and checks its events; play answers the events of one case
/// given the path to write its script to.
inline void ExpectGoldenFile(const std::string& dir, const std::string& file,
                             const std::function<std::vector<std::string>(const GoldenCase&, const std::string&)>& play) {
  const std::filesystem::path path = std::filesystem::path(dir) / file;
  const std::vector<GoldenCase> cases = LoadGoldenCases(path);
  ASSERT_FALSE(cases.empty()) << path;
  for (const GoldenCase& c : cases) {
    SCOPED_TRACE(file + ":" + std::to_string(c.line));
    ASSERT_FALSE(c.expect.empty());
    const std::vector<std::string> actual =
        play(c, testing::TempDir() + "golden_" + std::to_string(getpid()) + "_" + GoldenTestName(file) + ".txt");
    std::string shown;
    for (const std::string& e : actual) shown += e + "\n";
    EXPECT_EQ(actual, c.expect) << "actual events:\n" << shown;
  }
}

}  // namespace kovrix::test
