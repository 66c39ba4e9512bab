#include <gtest/gtest.h>

#include "driver/frame.h"
#include "sim/request_parser.h"

namespace kovrix::sim {
namespace {

std::vector<RequestFrame> FeedInPieces(RequestParser& p, const std::string& bytes, std::size_t piece) {
  std::vector<RequestFrame> out;
  for (std::size_t at = 0; at < bytes.size(); at += piece) p.Feed(std::string_view(bytes).substr(at, piece), out);
  return out;
}

TEST(SimRequestParser, FramesSurviveAnySplitAndDataMayHoldControlBytes) {
  const std::string data("pw;\x01\x03;", 6);
  const std::string two = BuildRequestFrame(0x21, 0x21, "482916;") + BuildRequestFrame(0x22, 0x61, data);
  for (std::size_t piece : {1u, 2u, 5u, 64u}) {
    RequestParser p;
    const auto frames = FeedInPieces(p, two, piece);
    ASSERT_EQ(frames.size(), 2u) << piece;
    EXPECT_EQ(frames[0].command, 0x21);
    EXPECT_EQ(frames[0].data, "482916;");
    EXPECT_EQ(frames[1].seq, 0x22);
    EXPECT_EQ(frames[1].data, data);
    EXPECT_TRUE(frames[1].checksumOk);
    EXPECT_EQ(frames[1].size, data.size() + 10);
    EXPECT_FALSE(p.HasPartial());
  }
}

TEST(SimRequestParser, NoiseAndBrokenFramesAreSkippedAndBadChecksumsReported) {
  std::string bad = BuildRequestFrame(0x23, 0x21, "482916;");
  bad[bad.size() - 2] ^= 0x01;
  std::string broken = BuildRequestFrame(0x24, 0x21, "482916;");
  broken.resize(broken.size() - 3);  // a cut frame followed by a whole one
  const std::string stream = std::string("\x16\x00zz", 4) + bad + broken + BuildRequestFrame(0x25, 0x80, "");
  RequestParser p;
  std::vector<RequestFrame> out;
  p.Feed(stream, out);
  ASSERT_EQ(out.size(), 2u);
  EXPECT_FALSE(out[0].checksumOk);
  EXPECT_EQ(out[0].seq, 0x23);
  EXPECT_TRUE(out[1].checksumOk);
  EXPECT_EQ(out[1].seq, 0x25);
  EXPECT_EQ(out[1].command, 0x80);
}

}  // namespace
}  // namespace kovrix::sim
