// kovrix-cli profile against two simulated registrators: a reference read to a file, compared
// with a factory registrator, tried dry, applied, compared again; a bad file refused unsent.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/cli.h"
#include "driver/codepage.h"
#include "sim/device_server.h"

namespace kovrix::cli {
namespace {

class ProfileCli : public ::testing::Test {
 protected:
  void SetUp() override {
    char dir[] = "/tmp/kovrix-profile-cli-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    work = dir;
    setenv("XDG_STATE_HOME", dir, 1);
    ASSERT_TRUE(reference.start());
    ASSERT_TRUE(shop.start());
    reference.withDevice([](sim::Registrator& r) {
      r.state().header[0] = {sim::Cp("КАВ'ЯРНЯ \"ЗЕРНО\""), 0};
      r.state().taxes[0].rate = 700;
      return 0;
    });
  }
  void TearDown() override {
    reference.stop();
    shop.stop();
    unsetenv("XDG_STATE_HOME");
    std::filesystem::remove_all(work);
  }
  int Run(sim::DeviceServer& server, std::vector<std::string> args) {
    out.str("");
    err.str("");
    args.insert(args.begin(), {"-p", server.slavePath(), "-b", "115200"});
    return RunCli(args, out, err);
  }
  std::size_t Writes(sim::DeviceServer& server) {
    std::size_t n = 0;
    for (const auto& e : server.journal().Entries()) n += e.command == 0x22 || e.command == 0x47;
    return n;
  }

  std::filesystem::path work;
  sim::DeviceServer reference;
  sim::DeviceServer shop;
  std::ostringstream out;
  std::ostringstream err;
};

TEST_F(ProfileCli, AChainsProfileIsReadComparedTriedAppliedAndThenEqual) {
  ASSERT_EQ(Run(reference, {"profile", "read", "--areas", "header,taxes"}), kExitOk) << err.str();
  const std::string file = (work / "chain.json").string();
  std::ofstream(file) << out.str();
  EXPECT_NE(out.str().find("\"rate\": \"7.00\""), std::string::npos) << out.str();
  EXPECT_EQ(out.str().find("passwords"), std::string::npos);

  EXPECT_EQ(Run(shop, {"profile", "diff", file}), kExitDeviceError) << err.str();
  EXPECT_NE(out.str().find("header /header/lines/0/text: device \"ТОВ \\\"ДЕМО-МАГАЗИН\\\"\", profile "
                           "\"КАВ'ЯРНЯ \\\"ЗЕРНО\\\"\"\n"), std::string::npos) << out.str();
  EXPECT_NE(out.str().find("taxes /taxes/0/rate: device \"20.00\", profile \"7.00\"\n"), std::string::npos);
  EXPECT_NE(out.str().find("2 of 48 fields differ\n"), std::string::npos) << out.str();

  EXPECT_EQ(Run(shop, {"profile", "apply", file, "--dry-run"}), kExitOk) << err.str();
  EXPECT_NE(out.str().find("dry run: 2 fields would be written, 0 refused\n"), std::string::npos) << out.str();
  EXPECT_EQ(Writes(shop), 0u);

  EXPECT_EQ(Run(shop, {"--json", "profile", "apply", file}), kExitOk) << err.str();
  EXPECT_NE(out.str().find("{\"status\":\"done\",\"written\":2,\"refused\":0,\"unknown\":0,\"notTried\":0,"),
            std::string::npos) << out.str();
  EXPECT_EQ(Writes(shop), 2u);

  EXPECT_EQ(Run(shop, {"profile", "diff", file}), kExitOk) << out.str();
  EXPECT_EQ(out.str(), "equal: 48 fields compared\n");
}

TEST_F(ProfileCli, ABadFileIsRefusedWholeBeforeThePortIsOpened) {
  const std::string file = (work / "bad.json").string();
  std::ofstream(file) << R"({"format": 1, "decimalPoint": 7, "header": {"lines": [{"text": "Чай; кава"}]}})";
  EXPECT_EQ(Run(shop, {"profile", "apply", file}), kExitUsage);
  EXPECT_EQ(err.str(),
            "kovrix-cli: /decimalPoint must be 0..3\n"
            "kovrix-cli: /header/lines/0/text must not contain \";\"\n"
            "kovrix-cli: the profile is refused whole; nothing was sent\n");
  EXPECT_EQ(shop.journal().Size(), 0u);
  EXPECT_EQ(Run(shop, {"profile", "apply"}), kExitUsage);
  EXPECT_EQ(Run(shop, {"profile", "read", "--areas", "logo"}), kExitUsage);
  EXPECT_EQ(shop.journal().Size(), 0u);
}

}  // namespace
}  // namespace kovrix::cli
