#include <gtest/gtest.h>

#include "sim/sim_options.h"

namespace kovrix::sim {
namespace {

TEST(SimOptions, SwitchesParseAndBadOnesAreNamed) {
  std::string error;
  const auto o = ParseSimOptions({"--link", "/tmp/kr", "--model", "RQM707", "--pace", "9600", "--state", "s.txt",
                                  "--fault", "nak:2", "--terminal-fault", "silent"},
                                 error);
  ASSERT_TRUE(o);
  EXPECT_EQ(o->link, "/tmp/kr");
  EXPECT_EQ(o->model, "RQM707");
  EXPECT_EQ(o->pace, 9600);
  EXPECT_EQ(o->faults, std::vector<std::string>{"nak:2"});
  for (const std::vector<std::string>& bad : std::vector<std::vector<std::string>>{
           {"--pace", "fast"}, {"--pace"}, {"--fault", "nak:0"}, {"--bogus", "1"}, {"--terminal-fault", "x"},
           {"--tcp", "65536"}, {"--tcp", "-1"}, {"--tcp", "0", "--link", "/tmp/kr"}}) {
    EXPECT_FALSE(ParseSimOptions(bad, error)) << bad[0];
    EXPECT_FALSE(error.empty());
  }
}

// --version asks for the program's version and takes no value; the device's own version is
// --fw-version, so that "--version --model X" does not swallow the next switch.
TEST(SimOptions, VersionTakesNoValueAndFwVersionSetsTheDevice) {
  std::string error;
  const auto o = ParseSimOptions({"--version", "--model", "RQM707", "--fw-version", "4.10"}, error);
  ASSERT_TRUE(o) << error;
  EXPECT_TRUE(o->printVersion);
  EXPECT_EQ(o->model, "RQM707");
  EXPECT_EQ(o->version, "4.10");
  EXPECT_FALSE(ParseSimOptions({"--fw-version"}, error));
}

TEST(SimOptions, FaultSpecsFillThePlan) {
  FaultPlan plan;
  for (const char* fault : {"nak:1", "syn:250:2", "cut:1", "fail:A1=000B", "status:1.4=1", "status:5.4=0"}) {
    EXPECT_TRUE(ApplyFault(fault, plan)) << fault;
  }
  for (const char* fault : {"nak", "nak:x", "syn:0", "fail:A1=0B", "fail:123=000B", "status:6.1=1", "status:1.7=1",
                           "status:1.1=2", "boom:1"}) {
    EXPECT_FALSE(ApplyFault(fault, plan)) << fault;
  }
  EXPECT_EQ(plan.TakeNext()->kind, LineFault::Nak);
  const auto syn = plan.TakeNext();
  EXPECT_EQ(syn->kind, LineFault::Syn);
  EXPECT_EQ(syn->synMs, 250);
  EXPECT_EQ(plan.TakeNext()->kind, LineFault::Syn);
  EXPECT_EQ(plan.TakeNext()->kind, LineFault::Cut);
  EXPECT_FALSE(plan.TakeNext());
  EXPECT_EQ(plan.CommandFailure(0xA1), err::kDocState);
  EXPECT_EQ(plan.Masks().set[1], 0x10);
  EXPECT_EQ(plan.Masks().clear[5], 0x10);
}

TEST(SimOptions, AimedFaultSpecsNameACommandAndWhichOfItsFrames) {
  FaultPlan plan;
  for (const char* fault : {"mute:65@2", "drop:63@*", "cut:6B@1", "nak:64@3", "silent:6B@1:300"})
    EXPECT_TRUE(ApplyFault(fault, plan)) << fault;
  for (const char* fault : {"mute:65@", "mute:@2", "mute:123@1", "mute:65@0", "mute:XY@1", "silent:6B@1",
                            "silent:6B:300", "silent:6B@1:0"})
    EXPECT_FALSE(ApplyFault(fault, plan)) << fault;
  EXPECT_FALSE(plan.TakeNext());  // nothing queued for the next frames of any command
  EXPECT_FALSE(plan.TakeAimed(0x65, false));
  EXPECT_EQ(plan.TakeAimed(0x65, false)->kind, LineFault::Mute);
  EXPECT_FALSE(plan.TakeAimed(0x65, false));
  for (int i = 0; i < 3; ++i) EXPECT_EQ(plan.TakeAimed(0x63, i > 0)->kind, LineFault::Drop);  // every one
  EXPECT_EQ(plan.TakeAimed(0x6B, false)->kind, LineFault::Cut);  // the first aim that fires wins
  const auto silent = plan.TakeAimed(0x6B, false);
  EXPECT_FALSE(silent);  // the silence was counted on the same first frame and is used up
  std::string error;
  EXPECT_TRUE(ParseSimOptions({"--fault", "mute:65@2"}, error)) << error;
  EXPECT_NE(SimUsage().find("mute:CC@n"), std::string::npos);
}

}  // namespace
}  // namespace kovrix::sim
