// The receipt journal across restarts: the pending receipt, the request counter and the kept
// outcomes survive; a torn record reads as no record.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <iterator>
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

// The outcomes file across many receipts and crashes: the last kKeptOutcomes outcomes are found
// after a restart, a line a crash cut short is passed over (and the next outcome appended after it
// still reads), and a file of the earlier whole-array form is read.
TEST_F(ReceiptJournalTest, KeptOutcomesSurviveManyReceiptsATornLineAndTheEarlierForm) {
  const std::size_t kept = ReceiptJournal::kKeptOutcomes;
  const std::uint64_t total = 3 * kept + 5;
  {
    ReceiptJournal j(path);
    for (std::uint64_t i = 1; i <= total; ++i) {
      ASSERT_TRUE(j.Begin(JournalEntry{j.NextRequest(), 1, "fiscal", "open", ""}));
      j.Finish(Outcome{200, {{"number", std::to_string(i)}}});
    }
  }
  const std::string outcomes = path + ".outcomes";
  std::ifstream in(outcomes);
  const std::size_t lines = std::count(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>(), '\n');
  EXPECT_LE(lines, 2 * kept);
  EXPECT_TRUE(testing::OwnerOnlyFile(outcomes));

  std::ofstream(outcomes, std::ios::app) << R"({"request":)" << total + 1 << R"(,"status":200,"bo)";
  {
    ReceiptJournal j(path);
    EXPECT_FALSE(j.Find(total - kept));
    for (std::uint64_t r = total - kept + 1; r <= total; ++r) {
      ASSERT_TRUE(j.Find(r)) << r;
      EXPECT_EQ(j.Find(r)->body["number"], std::to_string(r));
    }
    EXPECT_FALSE(j.Find(total + 1));
    ASSERT_TRUE(j.Begin(JournalEntry{j.NextRequest(), 1, "fiscal", "open", ""}));
    j.Finish(Outcome{409, {{"annulled", true}}});
  }
  EXPECT_EQ(ReceiptJournal(path).Find(total + 1)->status, 409);

  std::ofstream(outcomes, std::ios::trunc) << R"([{"request":3,"status":409,"body":{"annulled":true}},{"request":4,"status":200,"body":{}}])";
  ReceiptJournal earlier(path);
  ASSERT_TRUE(earlier.Find(3));
  EXPECT_EQ(earlier.Find(3)->status, 409);
  EXPECT_TRUE(earlier.Find(4));
}

}  // namespace
}  // namespace kovrix::server
