#include <gtest/gtest.h>

#include <string>

#include "driver/ean13.h"

namespace kovrix {
namespace {

TEST(Ean13, CheckDigitOfKnownCodesAndRefusalOfOtherTexts) {
  EXPECT_EQ(Ean13CheckDigit("400638133393"), 1);
  EXPECT_EQ(Ean13CheckDigit("978020137962"), 4);
  EXPECT_EQ(Ean13CheckDigit("590123412345"), 7);
  EXPECT_EQ(Ean13CheckDigit("000000000000"), 0);
  for (const char* bad : {"", "40063813339", "4006381333931", "40063813339X", "4006381 3393", "-40063813339"}) {
    EXPECT_EQ(Ean13CheckDigit(bad), -1) << bad;
    EXPECT_FALSE(Ean13Modules(bad).has_value()) << bad;
    EXPECT_EQ(Ean13PixelText(bad), "") << bad;
  }
}

TEST(Ean13, PixelTextOfAKnownCode) { EXPECT_EQ(Ean13PixelText("400638133393"), "0051A9D7BD12CD50A142E90B35000000"); }

// Structure of the standard, checked on the drawn line for every first digit and every digit
// value in every position: guards and quiet zones in place; each left digit starts with a space
// and ends with a bar, each right digit the other way round; every digit is two bars and two
// spaces; and the parity of the left digits (odd bar count = set A) spells the first digit's pattern.
TEST(Ean13, ModuleLineFollowsTheStandardForEveryDigit) {
  const char* kParity[10] = {"AAAAAA", "AABABB", "AABBAB", "AABBBA", "ABAABB",
                             "ABBAAB", "ABBBAA", "ABABAB", "ABABBA", "ABBABA"};
  auto runs = [](const Ean13ModuleLine& m, std::size_t at) {
    int changes = 0;
    for (std::size_t i = at + 1; i < at + 7; ++i) changes += m[i] != m[i - 1];
    return changes + 1;
  };
  for (int first = 0; first <= 9; ++first) {
    for (int digit = 0; digit <= 9; ++digit) {
      const std::string code = std::to_string(first) + std::string(11, static_cast<char>('0' + digit));
      SCOPED_TRACE(code);
      const auto line = Ean13Modules(code);
      ASSERT_TRUE(line.has_value());
      const Ean13ModuleLine& m = *line;
      for (std::size_t i = 0; i < 9; ++i) EXPECT_EQ(m[i], 0) << i;
      EXPECT_EQ((std::array<int, 3>{m[9], m[10], m[11]}), (std::array<int, 3>{1, 0, 1}));
      EXPECT_EQ((std::array<int, 5>{m[54], m[55], m[56], m[57], m[58]}), (std::array<int, 5>{0, 1, 0, 1, 0}));
      EXPECT_EQ((std::array<int, 3>{m[101], m[102], m[103]}), (std::array<int, 3>{1, 0, 1}));
      for (std::size_t i = 104; i < kEan13Modules; ++i) EXPECT_EQ(m[i], 0) << i;

      std::string parity;
      for (std::size_t k = 0; k < 6; ++k) {
        const std::size_t at = 12 + 7 * k;
        EXPECT_EQ(m[at], 0);
        EXPECT_EQ(m[at + 6], 1);
        EXPECT_EQ(runs(m, at), 4);
        int bars = 0;
        for (std::size_t i = at; i < at + 7; ++i) bars += m[i];
        parity += bars % 2 == 1 ? 'A' : 'B';
      }
      EXPECT_EQ(parity, kParity[first]);
      for (std::size_t k = 0; k < 6; ++k) {
        const std::size_t at = 59 + 7 * k;
        EXPECT_EQ(m[at], 1);
        EXPECT_EQ(m[at + 6], 0);
        EXPECT_EQ(runs(m, at), 4);
      }
      const std::string text = PackEan13Modules(m);
      EXPECT_EQ(text.size(), 32u);
      EXPECT_EQ(text.substr(0, 3), "005");
      EXPECT_EQ(text.substr(26), "000000");
    }
  }
}

}  // namespace
}  // namespace kovrix
