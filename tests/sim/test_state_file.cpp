#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "sim/model/state_file.h"
#include "sim_fixture.h"

namespace kovrix::sim {
namespace {

TEST(SimStateFile, AWorkedDeviceSurvivesSaveAndLoad) {
  test::Model m;
  for (const auto& [command, data] : std::vector<std::pair<int, std::string>>{
           {0x22, "482916;3;" + Cp("Рядок з % і \\") + ";0;"},
           {0x24, "482916;77;" + Cp("Кава") + ";45.00;0;3;"},
           {0x41, "482916;ZX9876543;"},
           {0x40, "482916;ZX9876543;654321;"},
           {0x4B, "482916;99;"},
           {0x34, "482916;0;line;"},
           {0xFB, "482916;0;0A000001;FFFFFF00;0A0000FE;0A000002;8813;3C00;1E00;"},
           {0x63, "482916;1;1;0;"},
           {0x64, "482916;77;1.000;45.00;"},
           {0x67, "482916;0;50.00;"},
           {0x65, "482916;0;"},
           {0xA1, "482916;0;"},
           {0x63, "482916;2;1;1;"},
           {0x64, "482916;77;0.500;45.00;"},
       }) {
    ASSERT_EQ(m.Code(command, data), "0000") << data;
  }
  m.s().controlTape.push_back(std::string("\x01\r\n%", 4));
  const std::string text = SaveStateText(m.s());
  DeviceState loaded = FactoryState("RQM707", "1.00", 1024);
  ASSERT_TRUE(LoadStateText(text, loaded));
  EXPECT_EQ(loaded, m.s());
  EXPECT_EQ(text.find('\r'), std::string::npos);
  EXPECT_LT(text.size(), 40000u);  // the blank part of the fiscal memory is not written out
}

TEST(SimStateFile, ForeignOrDamagedFilesLeaveTheStateAlone) {
  const DeviceState original = FactoryState();
  DeviceState s = original;
  EXPECT_FALSE(LoadStateText("model=Other\n", s));
  EXPECT_EQ(s, original);
  // Keys that do not parse keep the current values; absent keys too.
  ASSERT_TRUE(LoadStateText("kovrix-sim-state 1\nzNumber=abc\narticles.count=-4\nflash.size=99\nflash=ZZ\nmodel=X%zz\n", s));
  EXPECT_EQ(s.zNumber, 0);
  EXPECT_TRUE(s.articles.empty());
  EXPECT_EQ(s.flash, original.flash);
  EXPECT_EQ(s.model, "X%zz");
}

TEST(SimStateFile, IndexesFromAFileAreKeptInRange) {
  test::Model m;
  ASSERT_TRUE(LoadStateText("kovrix-sim-state 1\npaymentTypes.count=40\nlogoMaxWidth=0\n"
                            "articles.count=1\narticles.0.code=5\narticles.0.tax=9\n"
                            "receipt.kind=1\nreceipt.state=2\nreceipt.operator=0\n",
                            m.s()));
  EXPECT_EQ(m.s().paymentTypes.size(), 10u);
  EXPECT_TRUE(m.s().articles.empty());
  EXPECT_EQ(m.s().receipt.kind, kNoReceipt);
  EXPECT_EQ(m.Code(0x31, "482916;8;1;"), "0304");  // no logo lines yet; no division by zero
  EXPECT_EQ(m.Code(0x65, "482916;0;"), "000B");
}

TEST(SimStateFile, FilesAreWrittenWhole) {
  const std::string path = ::testing::TempDir() + "sim_state_test.txt";
  DeviceState s = FactoryState();
  s.zNumber = 41;
  ASSERT_TRUE(SaveStateFile(path, s));
  DeviceState back = FactoryState();
  ASSERT_TRUE(LoadStateFile(path, back));
  EXPECT_EQ(back.zNumber, 41);
  // Saved again over the existing file (which a plain rename on Windows refuses), nothing left beside it.
  s.zNumber = 42;
  ASSERT_TRUE(SaveStateFile(path, s));
  ASSERT_TRUE(LoadStateFile(path, back));
  EXPECT_EQ(back.zNumber, 42);
  for (const auto& entry : std::filesystem::directory_iterator(::testing::TempDir())) {
    EXPECT_EQ(entry.path().filename().string().rfind("sim_state_test.txt.", 0), std::string::npos) << entry.path();
  }
  EXPECT_FALSE(LoadStateFile(path + ".missing", back));
  EXPECT_FALSE(SaveStateFile("/nonexistent-dir/state.txt", s));
  std::remove(path.c_str());
}

}  // namespace
}  // namespace kovrix::sim
