#include <gtest/gtest.h>

#include "driver/codepage.h"
#include "driver/frame.h"

namespace kovrix {
namespace {

TEST(Frame, SeqByteFollowsTheCounterModulo95) {
  EXPECT_EQ(SeqByte(1), 0x21);
  EXPECT_EQ(SeqByte(94), 0x7E);
  EXPECT_EQ(SeqByte(95), 0x20);
  EXPECT_EQ(SeqByte(0), 0x20);
  EXPECT_EQ(SeqByte(255), 0x20 + 255 % 95);
}

TEST(Frame, RequestCarriesLenSeqCmdDataAndChecksum) {
  const std::string f = BuildRequestFrame(0x21, 0x21, "ab");
  const unsigned sum = 0x26 + 0x21 + 0x21 + 0x61 + 0x62 + 0x05;  // LEN through the 05
  std::string expected = "\x01\x26\x21\x21" "ab\x05";
  expected += static_cast<char>(0x30 + ((sum >> 12) & 15));
  expected += static_cast<char>(0x30 + ((sum >> 8) & 15));
  expected += static_cast<char>(0x30 + ((sum >> 4) & 15));
  expected += static_cast<char>(0x30 + (sum & 15));
  expected += '\x03';
  EXPECT_EQ(f, expected);
  EXPECT_EQ(f.size(), 2u + 10u);
}

TEST(Frame, ChecksumCharactersRunFrom0x30To0x3F) {
  EXPECT_EQ(EncodeBcc(0x0000), "0000");
  EXPECT_EQ(EncodeBcc(0xABCD), ":;<=");
  EXPECT_EQ(EncodeBcc(0x1F0E), "1?0>");
}

TEST(Frame, ReplyLenCountsDataOnlyAndStatusGoesOutWithTopBit) {
  const StatusBytes st{0x00, 0x01, 0x02, 0x03, 0x04, 0x7F};
  const std::string f = BuildReplyFrame(0x25, 0x80, "0000", "A;B;", st);
  ASSERT_EQ(f.size(), 1u + 3u + 5u + 4u + 1u + 6u + 1u + 4u + 1u);
  EXPECT_EQ(static_cast<unsigned char>(f[1]), 0x30 + 4);
  EXPECT_EQ(f.substr(4, 9), "0000;A;B;");
  EXPECT_EQ(f[13], '\x04');
  for (int i = 0; i < 6; ++i) EXPECT_EQ(static_cast<unsigned char>(f[14 + i]), st[i] | 0x80);
  EXPECT_EQ(f[20], '\x05');
  EXPECT_EQ(f.substr(21, 4), EncodeBcc(ByteSum(f.substr(1, 20))));
  // LEN - 0x20 is the number of bytes from LEN through the 05, as for a request.
  EXPECT_EQ(static_cast<unsigned char>(f[1]) - 0x20u, 20u);
}

TEST(Codepage, RussianTextRoundTripsThroughCp1251) {
  const std::string utf8 = "Таймаут устройства! Ёё №";
  const std::string cp = Utf8ToCp1251(utf8);
  EXPECT_EQ(cp.size(), 24u);
  EXPECT_EQ(static_cast<unsigned char>(cp[0]), 0xD2);  // Т
  EXPECT_EQ(static_cast<unsigned char>(cp[20]), 0xA8);  // Ё
  EXPECT_EQ(Cp1251ToUtf8(cp), utf8);
  EXPECT_EQ(Utf8ToCp1251("\xE4\xB8\xAD"), "?");      // not in the code page
  EXPECT_EQ(Utf8ToCp1251("a\xD0"), "a?");            // cut sequence
  EXPECT_EQ(Cp1251ToUtf8("\x98"), "\xEF\xBF\xBD");   // the unassigned byte
}

}  // namespace
}  // namespace kovrix
