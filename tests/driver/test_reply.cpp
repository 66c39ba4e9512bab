#include <gtest/gtest.h>

#include "driver/codepage.h"
#include "driver/reply.h"

namespace kovrix {
namespace {

TEST(StatusWord, EachListedBitLandsOnItsWordBit) {
  struct Case {
    int byte, bit;
    std::uint32_t word;
  };
  const Case cases[] = {
      {0, 0, 1u << 0},  {0, 1, 1u << 1},  {0, 2, 1u << 2},  {0, 4, 1u << 3},  {1, 0, 1u << 4},
      {1, 1, 1u << 5},  {1, 2, 1u << 6},  {1, 3, 1u << 7},  {1, 4, 1u << 8},  {2, 0, 1u << 9},
      {2, 3, 1u << 10}, {2, 5, 1u << 11}, {1, 5, 1u << 12}, {4, 2, 1u << 13}, {5, 5, 1u << 14},
      {4, 0, 1u << 16}, {4, 4, 1u << 17}, {5, 0, 1u << 18}, {5, 2, 1u << 19}, {4, 3, 1u << 20},
      {5, 1, 1u << 21}, {5, 3, 1u << 22}, {5, 4, 1u << 23}, {0, 5, 1u << 27}, {4, 5, 1u << 28},
      // Bits that do not enter the word.
      {0, 3, 0},        {0, 6, 0},        {1, 6, 0},        {2, 1, 0},        {2, 2, 0},
      {2, 4, 0},        {2, 6, 0},        {3, 0, 0},        {4, 1, 0},        {4, 6, 0},
      {5, 6, 0},        {3, 7, 0},
  };
  for (const auto& c : cases) {
    StatusBytes b{};
    b[c.byte] = static_cast<std::uint8_t>(1u << c.bit);
    EXPECT_EQ(MapStatusBytes(b), c.word) << "byte " << c.byte << " bit " << c.bit;
  }
}

TEST(StatusWord, AllOnesSetsOnlyTheListedBits) {
  StatusBytes b;
  b.fill(0xFF);
  const std::uint32_t w = MapStatusBytes(b);
  EXPECT_EQ(w & ((1u << 15) | (1u << 24) | (1u << 25) | (1u << 26) | (0xEu << 28)), 0u);
  EXPECT_EQ(__builtin_popcount(w), 25);
}

TEST(ReplyFixUp, PerCommandEdits) {
  struct Case {
    int command;
    std::string in, out;
  };
  const Case cases[] = {
      {0x35, "AB", "A,B"},
      {0x32, "12345", "1,2345"},
      {0x35, "A", "A"},
      {0x3E, "123456789ABC", "12345678,ABC"},
      {0x3E, "12345678", "12345678"},  // no ninth character: nothing written past the end
      {0x5A, "a b c;d e f g h i j k l m", "a,b,c;d,e,f,g,h,i,j,k l m"},
      {0x21, "a b", "a b"},
  };
  for (const auto& c : cases) {
    std::string d = c.in;
    FixUpReplyData(c.command, d);
    EXPECT_EQ(d, c.out) << std::hex << c.command << " " << c.in;
  }
}

TEST(ReplyFields, SplittingRules) {
  using V = std::vector<std::string>;
  EXPECT_EQ(SplitReplyFields(""), V{});
  EXPECT_EQ(SplitReplyFields("A;B;"), (V{"A", "B"}));
  EXPECT_EQ(SplitReplyFields("A;;C;"), (V{"A", "", "C"}));
  EXPECT_EQ(SplitReplyFields("A"), (V{"A"}));
  EXPECT_EQ(SplitReplyFields(";"), (V{""}));
  EXPECT_EQ(SplitReplyFields("A;;;"), (V{"A", ""}));
}

TEST(ReplyFields, MoreThanTwentyFieldsKeepTheRestInTheLast) {
  std::string data;
  for (int i = 1; i <= 23; ++i) data += std::to_string(i) + ";";
  const auto f = SplitReplyFields(data);
  ASSERT_EQ(f.size(), 20u);
  EXPECT_EQ(f[18], "19");
  EXPECT_EQ(f[19], "20;21;22;23");
}

TEST(CommandNames, TableAndUnknownCodes) {
  EXPECT_EQ(Cp1251ToUtf8(GetCommandName(0x21)), "Команда 21h: Чтение даты и времени");
  EXPECT_EQ(Cp1251ToUtf8(GetCommandName(0x65)), "Команда 65h: Закрытие  фискального чека");
  EXPECT_EQ(Cp1251ToUtf8(GetCommandName(0xA3)), "Команда A3h: Печать периодического отчета");
  for (int code : {0x00, 0x1F, 0x31, 0x84, 0xA4, 0xFF, 0x1234}) {
    EXPECT_EQ(Cp1251ToUtf8(GetCommandName(code)), "Неверная команда") << code;
  }
}

ReceivedFrame Good() {
  ReceivedFrame rx;
  rx.endedProperly = true;
  rx.runningSum = rx.receivedBcc = 100;
  rx.errorField = "0000";
  rx.data = "A;B;";
  rx.statusBytes = {0x81, 0x80, 0x80, 0x80, 0x80, 0x90};
  return rx;
}

TEST(DecodeReply, FillsTheRecord) {
  ReplyRecord r;
  DecodeReply(Good(), 0x80, "482916;", r);
  EXPECT_EQ(r.status, ST_SERVICE_MODE | ST_SHIFT_OPEN);
  EXPECT_EQ(r.statusBytes[0], 0x01);
  EXPECT_EQ(r.fieldCount, 2);
  EXPECT_EQ(r.field(1), "A");
  EXPECT_EQ(r.field(2), "B");
  EXPECT_EQ(r.field(3), "");
  EXPECT_EQ(r.field(0), "");
  EXPECT_EQ(r.replyData, "A;B;");
  EXPECT_EQ(r.sentData, "482916;");
  EXPECT_EQ(r.command, 0x80);
  EXPECT_EQ(Cp1251ToUtf8(r.commandName), "Команда 80h: Диагностическая информация");
}

TEST(DecodeReply, LinkOutcomesTakePrecedenceAndStandAlone) {
  ReplyRecord r;
  ReceivedFrame none = Good();
  none.endedProperly = false;
  none.nakReceived = true;
  none.receivedBcc = 1;
  DecodeReply(none, 0x21, "", r);
  EXPECT_EQ(r.status, ST_NO_REPLY);

  ReceivedFrame nak = Good();
  nak.nakReceived = true;
  nak.receivedBcc = 1;
  DecodeReply(nak, 0x21, "", r);
  EXPECT_EQ(r.status, ST_NAK);

  ReceivedFrame bad = Good();
  bad.receivedBcc = 1;
  DecodeReply(bad, 0x21, "", r);
  EXPECT_EQ(r.status, ST_BAD_CHECKSUM);
  EXPECT_EQ(r.errorText, "0000") << "a frame that fails the checksum still shows its error field";
}

TEST(DecodeReply, FixUpChangesFieldsButNotReplyData) {
  ReplyRecord r;
  ReceivedFrame rx = Good();
  rx.data = "12;";
  DecodeReply(rx, 0x35, "", r);
  EXPECT_EQ(r.replyData, "12;");
  EXPECT_EQ(r.field(1), "1,2");
}

}  // namespace
}  // namespace kovrix
