#include <gtest/gtest.h>

#include "driver/reply.h"
#include "sim/model/fiscal_memory.h"
#include "sim_fixture.h"

namespace kovrix::sim {
namespace {

using test::Model;

// Decodes a packet's data field: "\" followed by c stands for c - 40h.
std::string Unescape(const std::string& field) {
  std::string out;
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 1 < field.size()) {
      out += static_cast<char>((static_cast<std::uint8_t>(field[++i]) - 0x40) & 0xFF);
    } else {
      out += field[i];
    }
  }
  return out;
}

// Drains the data buffer the way the host does; fails the test on a gap in the numbering.
std::string Drain(Model& m) {
  std::string data;
  for (int expected = 0;; ++expected) {
    const Reply r = m.Run(0xE8, "482916;");
    EXPECT_EQ(r.error.WireText(), "0000");
    const Args f(r.data);
    EXPECT_EQ(f.text(1), std::to_string(expected));
    EXPECT_LE(r.data.size(), 200u);
    if (f.optional(2).empty() || expected > 1000) return data;
    const std::string bytes = Unescape(f.text(2));
    EXPECT_LE(bytes.size(), 200u);
    data += bytes;
  }
}

TEST(SimMemory, FlashReadsComeInChunksOfFiftyAndEndShort) {
  Model m(FactoryState("Veltra KR-23", "3.01", 120));
  const Reply first = m.Run(0xF1, "482916;0;");
  const Args f(first.data);
  EXPECT_EQ(f.text(1), "50");
  EXPECT_EQ(f.text(2).substr(0, 8), "4B56464D");  // "KVFM"
  EXPECT_EQ(f.text(2).size(), 100u);
  EXPECT_EQ(m.Run(0xF1, "482916;100;").data, "20;" + std::string(40, 'F') + ";");
  EXPECT_EQ(m.Run(0xF1, "482916;120;").data, "0;");
  EXPECT_EQ(m.Code(0xF1, "482916;121;"), "0209");
}

TEST(SimMemory, FlashWritesLandAndClearingBlanksTheImage) {
  Model m;
  const std::string hex = "0102030405" + std::string(90, '0');
  EXPECT_EQ(m.Code(0xF2, "482916;1000;5;" + hex + ";"), "0000");
  EXPECT_EQ(m.Run(0xF1, "482916;998;").data.substr(0, 17), "50;FFFF0102030405");
  EXPECT_EQ(m.Code(0xF2, "482916;65534;5;" + hex + ";"), "0209");
  EXPECT_EQ(m.Code(0xF2, "482916;0;5;0102;"), "0403");
  EXPECT_EQ(m.Code(0xF2, "482916;0;51;" + hex + ";"), "0304");
  EXPECT_EQ(m.Code(0xF0, "482916;"), "0000");
  EXPECT_EQ(m.Run(0xF1, "482916;0;").data, "50;" + std::string(100, 'F') + ";");
}

TEST(SimMemory, DataBufferPacketsEscapeAndReassembleEveryByte) {
  Model m;
  // Bytes the line and the field splitting cannot carry raw, written into the fiscal memory.
  std::string tricky;
  for (int b = 0; b < 256; ++b) tricky += static_cast<char>(b);
  m.s().flash.replace(2000, tricky.size(), tricky);
  EXPECT_EQ(m.Run(0xE7, "482916;3;;2000;").data, "4096;");
  EXPECT_EQ(Drain(m), m.s().flash.substr(2000, 4096));

  const Reply source = m.Run(0xE7, "482916;5;;;");
  const std::string image = Drain(m);
  EXPECT_EQ(source.data, std::to_string(image.size()) + ";");
  EXPECT_GT(image.size(), 4000u);
  EXPECT_EQ(image.substr(0, 9), ":20000000");
  EXPECT_EQ(image.substr(image.size() - 13), ":00000001FF\r\n");

  EXPECT_EQ(m.Run(0xE7, "482916;0;;7;").data, "0;");  // no such daily report
  EXPECT_EQ(m.Code(0xE7, "482916;4;;;"), "0204");
}

TEST(SimMemory, EndRepliesSplitIntoABareNumberOnTheHost) {
  Model m(FactoryState("Veltra KR-23", "3.01", 120));
  ASSERT_EQ(m.Run(0xE7, "482916;3;;110;").data, "10;");
  EXPECT_EQ(SplitReplyFields(m.Run(0xE8, "482916;").data).size(), 2u);
  // The empty end packet, and a flash read at the end of the memory.
  EXPECT_EQ(SplitReplyFields(m.Run(0xE8, "482916;").data), (std::vector<std::string>{"1"}));
  EXPECT_EQ(SplitReplyFields(m.Run(0xF1, "482916;120;").data), (std::vector<std::string>{"0"}));
}

TEST(SimMemory, ReadingTheBufferWithoutASourceIsRefused) {
  Model m;
  EXPECT_EQ(m.Code(0xE8, "482916;"), "0109");
}

TEST(SimMemory, DailyReportsFillTheFiscalMemoryUntilItIsFull) {
  Model m(FactoryState("Veltra KR-23", "3.01", kFmHeaderSize + 31 * kFmRecordSize));
  for (int i = 0; i < 2; ++i) ASSERT_EQ(m.Code(0xA1, "482916;0;"), "0000");
  EXPECT_TRUE(m.reg.device().Status()[4] & 0x04);  // fewer than 30 reports left
  m.s().flash.resize(kFmHeaderSize + 2 * kFmRecordSize);
  EXPECT_TRUE(m.reg.device().Status()[4] & 0x08);
  EXPECT_EQ(m.Code(0xA1, "482916;0;"), "0005");
  EXPECT_EQ(m.Code(0x63, "482916;1;1;0;"), "0005");
  const auto records = ReadFmRecords(m.s().flash);
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[1].number, 2);
  EXPECT_TRUE(records[1].valid);
}

}  // namespace
}  // namespace kovrix::sim
