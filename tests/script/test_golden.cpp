// Golden scripts against the fake host. A case's "=== device" lines give replies per command
// code ("21 0000;AB;" or "21 timeout"); besides the shared actions, stop-on-send N and
// stop-on-delay press "Стоп" at the n-th command sent or during every Delay.

#include <gtest/gtest.h>

#include "driver/codepage.h"
#include "fake_device_host.h"
#include "golden_case.h"
#include "monitor/script/runner.h"

namespace kovrix::test {
namespace {

std::vector<std::string> Play(const GoldenCase& c, const std::string& path) {
  FakeDeviceHost host;
  for (const std::string& line : c.device) host.AddReply(std::stoi(line.substr(0, 2), nullptr, 16), Utf8ToCp1251(line.substr(3)));
  script::ScriptRunner runner(host);
  return PlayGoldenCase(c, path, host, runner, [&host](const std::string& verb, const std::string& arg) {
    if (verb == "stop-on-send") host.StopOnSend(std::stoi(arg));
    if (verb == "stop-on-delay") host.StopOnDelay();
  });
}

class Golden : public testing::TestWithParam<std::string> {};

TEST_P(Golden, ProducesExpectedEvents) { ExpectGoldenFile(KOVRIX_SCRIPT_GOLDEN_DIR, GetParam(), Play); }

INSTANTIATE_TEST_SUITE_P(Scripts, Golden, testing::ValuesIn(GoldenCaseFiles(KOVRIX_SCRIPT_GOLDEN_DIR)),
                         [](const auto& info) { return GoldenTestName(info.param); });

}  // namespace
}  // namespace kovrix::test
