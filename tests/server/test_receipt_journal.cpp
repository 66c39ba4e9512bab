// The receipt journal across restarts: the pending receipt, the request counter and the kept
// outcomes survive; a torn record reads as no record.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "server/receipt_journal.h"
#include "tests/server/test_platform.h"

namespace kovrix::server {
namespace {

class ReceiptJournalTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = testing::MakeTestDirectory("kovrix-journal");
    ASSERT_FALSE(dir.empty());
    path = dir + "/state/journal.json";
  }
  void TearDown() override { std::filesystem::remove_all(dir); }
  std::string dir, path;
};

TEST_F(ReceiptJournalTest, ThePendingReceiptCounterAndOutcomesSurviveARestart) {
  std::uint64_t first = 0;
  {
    ReceiptJournal j(path);
    first = j.NextRequest();
    ASSERT_TRUE(j.Begin(JournalEntry{first, 0x25, "fiscal", "open", ""}));
    j.Finish(Outcome{409, {{"annulled", true}}});
    ASSERT_TRUE(j.Begin(JournalEntry{j.NextRequest(), 0x30, "fiscal", "open", ""}));
    j.Step("close", "22.50");
  }
  ReceiptJournal again(path);
  ASSERT_TRUE(again.pending());
  EXPECT_EQ(again.pending()->request, first + 1);
  EXPECT_EQ(again.pending()->step, "close");
  EXPECT_EQ(again.pending()->total, "22.50");
  EXPECT_EQ(again.pending()->seq, 0x30);
  ASSERT_TRUE(again.Find(first));
  EXPECT_EQ(again.Find(first)->status, 409);
  EXPECT_FALSE(again.Find(first + 1));
  EXPECT_GT(again.NextRequest(), first + 1);
  EXPECT_TRUE(testing::OwnerOnlyFile(path));

  // A finished receipt leaves no record; a shorter record leaves nothing of the longer one.
  again.Finish();
  EXPECT_FALSE(ReceiptJournal(path).pending());
}

TEST_F(ReceiptJournalTest, ATornOrForeignFileReadsAsNoPendingReceipt) {
  for (const char* text : {"{\"lastRequest\":7,\"pending\":{\"request\":7,\"se", "[1,2]", "{\"pending\":{\"request\":\"x\"}}"}) {
    std::filesystem::create_directories(dir + "/state");
    std::ofstream(path, std::ios::trunc) << text;
    ReceiptJournal j(path);
    EXPECT_FALSE(j.pending()) << text;
    EXPECT_TRUE(j.Begin(JournalEntry{j.NextRequest(), 1, "fiscal", "open", ""}));
  }
  // Without a path the journal works in memory.
  ReceiptJournal memory("");
  EXPECT_TRUE(memory.Begin(JournalEntry{memory.NextRequest(), 1, "non-fiscal", "open", ""}));
  EXPECT_TRUE(memory.pending());
}

}  // namespace
}  // namespace kovrix::server
