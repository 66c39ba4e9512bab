// The service's kept state on Windows, under a profile whose path holds letters outside the ANSI
// code page (a user named in Cyrillic, say): the Idempotency-Key answers and the receipt journal
// are written there and read back, through the system's wide-character calls.
#include <gtest/gtest.h>

#include <filesystem>

#include "server/idempotency.h"
#include "server/receipt_journal.h"
#include "session/port_state.h"
#include "tests/server/test_platform.h"

namespace kovrix::server {
namespace {

namespace fs = std::filesystem;

TEST(WindowsServerState, AProfilePathInAnyLettersHoldsTheAnswersAndTheJournal) {
  const std::string base = testing::MakeTestDirectory("kovrix-state");
  ASSERT_FALSE(base.empty());
  const std::string home = base + "/Користувач Ωμέγα";
  ASSERT_TRUE(fs::create_directories(fs::u8path(home)));
  testing::UseStateHome(home);
  const std::string state = session::StateDirectory();
  ASSERT_EQ(fs::u8path(state), fs::u8path(home) / "kovrix");

  const std::string answers = state + "/server-answers";
  ASSERT_TRUE(IdempotencyStore(answers).Keep("till-1", StoredAnswer{"POST /v1/cash\n{}", 200, "{\"ok\":1}"}));
  const auto kept = IdempotencyStore(answers).Find("till-1");
  ASSERT_TRUE(kept);
  EXPECT_EQ(kept->body, "{\"ok\":1}");

  const std::string journal = ReceiptJournalPath("tcp://127.0.0.1:4001");
  ASSERT_EQ(fs::u8path(journal).parent_path(), fs::u8path(state));
  std::uint64_t request = 0;
  {
    ReceiptJournal j(journal);
    request = j.NextRequest();
    ASSERT_TRUE(j.Begin(JournalEntry{request, 0x21, "fiscal", "open", ""}));
    j.Step("close", "12.00");
    // A settled outcome is written to a new file that replaces the old one whole: twice, so
    // that the second replaces an existing file.
    j.Finish(Outcome{200, {{"total", "12.00"}}});
    ASSERT_TRUE(j.Begin(JournalEntry{j.NextRequest(), 0x22, "fiscal", "open", ""}));
    j.Finish(Outcome{409, {{"annulled", true}}});
    ASSERT_TRUE(j.Begin(JournalEntry{j.NextRequest(), 0x23, "non-fiscal", "open", ""}));
  }
  {
    const ReceiptJournal again(journal);
    ASSERT_TRUE(again.pending());
    EXPECT_EQ(again.pending()->seq, 0x23);
    EXPECT_EQ(again.pending()->kind, "non-fiscal");
    ASSERT_TRUE(again.Find(request));
    EXPECT_EQ(again.Find(request)->status, 200);
    ASSERT_TRUE(again.Find(request + 1));
    EXPECT_EQ(again.Find(request + 1)->status, 409);
  }
  // Nothing but the answers' directory, the journal and its outcomes is left: no temporary file.
  EXPECT_EQ(std::distance(fs::directory_iterator(fs::u8path(state)), fs::directory_iterator()), 3);
  fs::remove_all(fs::u8path(base));
}

}  // namespace
}  // namespace kovrix::server
