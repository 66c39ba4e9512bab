// Golden scripts. Each file of golden/ holds one or more cases; a case starts with
// "=== script" and may have "=== device" (replies per command code), "=== actions" (run, step,
// continue and the monitor settings between them; "run" when absent) and "=== expect": every
// event the actions must show, in order. On a mismatch the actual events are printed in the
// file's own format.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "driver/codepage.h"
#include "fake_device_host.h"
#include "monitor/script/runner.h"

namespace kovrix::test {
namespace {

namespace fs = std::filesystem;
using script::RunEnd;

struct GoldenCase {
  int line = 0;  // where the case starts in its file
  std::vector<std::string> script;
  std::vector<std::string> device;
  std::vector<std::string> actions;
  std::vector<std::string> expect;
};

std::vector<GoldenCase> Load(const fs::path& path) {
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

const char* EndName(RunEnd end) {
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

void WriteScript(const GoldenCase& c, const std::string& path) {
  std::string text;
  for (const std::string& line : c.script) text += Utf8ToCp1251(line) + "\n";
  std::ofstream(path, std::ios::binary) << text;
}

// Carries out the case's actions; answers the events recorded, the script's path shown as SCRIPT.
std::vector<std::string> Play(const GoldenCase& c, const std::string& path) {
  WriteScript(c, path);
  FakeDeviceHost host;
  for (const std::string& line : c.device) host.AddReply(std::stoi(line.substr(0, 2), nullptr, 16), Utf8ToCp1251(line.substr(3)));
  script::ScriptRunner runner(host);
  const std::vector<std::string> actions = c.actions.empty() ? std::vector<std::string>{"run"} : c.actions;
  for (const std::string& action : actions) {
    std::istringstream words(action);
    std::string verb, arg;
    words >> verb;
    std::getline(words >> std::ws, arg);
    RunEnd end;
    if (verb == "run") {
      end = runner.Run(arg == "missing" ? path + ".missing" : arg == "none" ? "" : path);
    } else if (verb == "step") {
      end = runner.Step(path);
    } else if (verb == "continue") {
      end = runner.Continue(path);
    } else {
      if (verb == "quiet") host.quietOutput = arg != "off";
      if (verb == "password") host.setPasswordBox(arg);
      if (verb == "linebox") host.setLineNumberBox(arg);
      if (verb == "stop-on-send") host.StopOnSend(std::stoi(arg));
      if (verb == "stop-on-delay") host.StopOnDelay();
      continue;
    }
    host.events.push_back(std::string("end ") + EndName(end) + " line " + host.lineNumberBox());
  }
  for (std::string& e : host.events)
    if (const std::size_t at = e.find(path); at != std::string::npos) e.replace(at, path.size(), "SCRIPT");
  return host.events;
}

class Golden : public testing::TestWithParam<std::string> {};

TEST_P(Golden, ProducesExpectedEvents) {
  const fs::path file = fs::path(KOVRIX_SCRIPT_GOLDEN_DIR) / GetParam();
  const std::vector<GoldenCase> cases = Load(file);
  ASSERT_FALSE(cases.empty()) << file;
  for (const GoldenCase& c : cases) {
    SCOPED_TRACE(GetParam() + ":" + std::to_string(c.line));
    ASSERT_FALSE(c.expect.empty());
    const std::vector<std::string> actual = Play(c, testing::TempDir() + "golden_" + std::to_string(getpid()) + "_" +
                                                       fs::path(GetParam()).stem().string() + ".txt");
    std::string shown;
    for (const std::string& e : actual) shown += e + "\n";
    EXPECT_EQ(actual, c.expect) << "actual events:\n" << shown;
  }
}

std::vector<std::string> CaseFiles() {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(KOVRIX_SCRIPT_GOLDEN_DIR))
    if (entry.path().extension() == ".case") names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

INSTANTIATE_TEST_SUITE_P(Scripts, Golden, testing::ValuesIn(CaseFiles()), [](const auto& info) {
  std::string name = fs::path(info.param).stem().string();
  for (char& ch : name)
    if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
  return name;
});

}  // namespace
}  // namespace kovrix::test
