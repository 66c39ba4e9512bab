// What became of a request whose reply was lost, as the tape tells it: cash and reports asked for
// again with the SEQ of their frame (run once either way), a retry after a crash that finds its
// request by the number its key's note carries, and a receipt finished by hand.
#include "server/idempotency.h"
#include "outcome_fixture.h"
#include "sim/model/values.h"

namespace kovrix::server {
namespace {

using test::ServedSimulator;
using nlohmann::json;

class ServerLostReply : public ServedSimulator {
 protected:
  int Executed(std::uint8_t command) {
    int n = 0;
    for (const auto& e : sim.journal().Entries()) n += e.command == command && e.outcome == sim::Outcome::Executed;
    return n;
  }
  std::int64_t Cash() {
    return sim.withDevice([](sim::Registrator& r) { return r.state().cash; });
  }
};

// The registrator ran the command and its reply was lost (Mute), or the frame never arrived
// (Drop): either way the answer is the registrator's own and the command ran once.
TEST_F(ServerLostReply, CashAndReportsWithALostReplyAnswerWhatTheRegistratorDid) {
  struct Case {
    const char* name;
    std::uint8_t command;
    sim::LineFault fault;
    const char* path;
    const char* body;
    const char* outcome;
    const char* printed;  // on the tape once
  } cases[] = {
      {"cash in, reply lost", 0x6E, sim::LineFault::Mute, "/v1/cash", R"({"amount":"100.00"})", "done", "СЛУЖБОВЕ ВНЕСЕННЯ"},
      {"cash out, frame lost", 0x6E, sim::LineFault::Drop, "/v1/cash", R"({"amount":"-40.00"})", "done", nullptr},
      {"X report, reply lost", 0xA1, sim::LineFault::Mute, "/v1/reports/x", "", "printed", "X-ЗВІТ"},
      {"Z report, reply lost", 0xA1, sim::LineFault::Mute, "/v1/reports/z", "", "printed", "Z-ЗВІТ №1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sim.journal().Clear();
    const std::int64_t before = Cash();
    const std::string tapeBefore = Tape();
    sim.faults().Aim(c.command, c.fault, 1);
    const Result r = Post(c.path, c.body);
    EXPECT_EQ(r.status, 200) << r.body.dump();
    EXPECT_EQ(r.body.value("outcome", ""), c.outcome);
    EXPECT_EQ(Executed(c.command), 1);
    if (c.command == 0x6E) {
      const std::int64_t moved = Cash() - before;
      EXPECT_EQ(moved, std::string(c.body).find('-') != std::string::npos ? -4000 : 10000);
      EXPECT_EQ(r.body["cash"], sim::Money(Cash()));
    }
    if (c.printed) {
      const std::string added = Tape().substr(tapeBefore.size());
      EXPECT_EQ(Occurrences(added, c.printed), 1) << added;
    }
  }
}

// Still silent after asking again: the answer says the outcome is unknown; the key's retry, once
// the registrator answers, asks for the same frame again and learns what it did, without a
// second cash-in.
TEST_F(ServerLostReply, ARetryOfALostCashInLearnsItsOutcomeAndNeverMovesCashTwice) {
  const httplib::Headers key{{"Idempotency-Key", "till-2-cash-1"}};
  const std::int64_t before = Cash();
  sim.faults().Aim(0x6E, sim::LineFault::Mute, 0);
  Result r = Post("/v1/cash", R"({"amount":"100.00"})", key);
  EXPECT_EQ(r.status, 504) << r.body.dump();
  EXPECT_EQ(r.body["outcome"], "unknown");
  EXPECT_TRUE(r.body.contains("request"));
  EXPECT_EQ(Cash() - before, 10000);
  sim.faults().Clear();
  r = Post("/v1/cash", R"({"amount":"100.00"})", key);
  EXPECT_EQ(r.status, 200) << r.body.dump();
  EXPECT_EQ(r.body["outcome"], "done");
  EXPECT_EQ(r.body["cash"], sim::Money(Cash()));
  EXPECT_EQ(Cash() - before, 10000);
  EXPECT_EQ(Executed(0x6E), 1);
  EXPECT_EQ(Post("/v1/cash", R"({"amount":"100.00"})", key).body, r.body);
}

// The service stopped between the note it writes for a key and the answer that replaces it (a
// kill -9): the note names the request, so the retry after the restart settles the receipt it
// left open and answers what the tape shows; a note whose receipt never began answers "not
// printed".
TEST_F(ServerLostReply, ARetryAfterACrashFindsItsRequestByTheNotesNumber) {
  const httplib::Headers key{{"Idempotency-Key", "till-3-order-1"}};
  sim.faults().Aim(0x64, sim::LineFault::Drop, 1);
  sim.faults().Aim(0x80, sim::LineFault::Drop);
  Result r = Post("/v1/receipts", kTwoItems, key);
  ASSERT_EQ(r.status, 504) << r.body.dump();
  const std::uint64_t request = r.body["request"].get<std::uint64_t>();
  Shut();
  sim.faults().Clear();
  // What the key held when the service died: its note, not the answer.
  IdempotencyStore answers(dir + "/answers");
  const std::string fingerprint = answers.Find("till-3-order-1")->request;
  const json note{{"outcome", "unknown"}, {"request", request}, {"receipt", true}};
  ASSERT_TRUE(answers.Keep("till-3-order-1", StoredAnswer{fingerprint, 504, note.dump()}));
  Serve();
  ASSERT_EQ(ReceiptKind(), sim::kSaleReceipt);
  r = Post("/v1/receipts", kTwoItems, key);
  EXPECT_EQ(r.status, 409) << r.body.dump();
  EXPECT_EQ(r.body["outcome"], "annulled");
  EXPECT_EQ(ReceiptKind(), sim::kNoReceipt);
  EXPECT_EQ(Occurrences(Tape(), "ЧЕК АНУЛЬОВАНО"), 1);

  const json later{{"outcome", "unknown"}, {"request", request + 100}, {"receipt", true}};
  ASSERT_TRUE(answers.Keep("till-3-order-2", StoredAnswer{fingerprint, 504, later.dump()}));
  r = Post("/v1/receipts", kTwoItems, {{"Idempotency-Key", "till-3-order-2"}});
  EXPECT_EQ(r.status, 409) << r.body.dump();
  EXPECT_EQ(r.body["outcome"], "not printed");
  EXPECT_EQ(Count("63"), 1);
}

// A receipt whose reply was lost and that was then finished by hand through the raw commands:
// the retry of its request answers "printed", with the number on the tape.
TEST_F(ServerLostReply, AReceiptFinishedByHandIsPrinted) {
  const httplib::Headers key{{"Idempotency-Key", "till-4-order-1"}};
  sim.faults().Aim(0x67, sim::LineFault::Drop, 1);
  sim.faults().Aim(0x80, sim::LineFault::Drop);
  Result r = Post("/v1/receipts", kTwoItems, key);
  ASSERT_EQ(r.status, 504) << r.body.dump();
  sim.faults().Clear();
  ASSERT_EQ(ReceiptKind(), sim::kSaleReceipt);
  for (const char* command : {R"({"command":"67","data":"482916;1;10.00;"})", R"({"command":"67","data":"482916;0;20.00;"})",
                              R"({"command":"65","data":"482916;0;"})"}) {
    EXPECT_EQ(Post("/v1/commands", command).status, 200) << command;
  }
  ASSERT_EQ(ReceiptKind(), sim::kNoReceipt);
  r = Post("/v1/receipts", kTwoItems, key);
  EXPECT_EQ(r.status, 200) << r.body.dump();
  EXPECT_EQ(r.body["outcome"], "printed");
  EXPECT_EQ(r.body["number"], std::to_string(ReceiptNumber()));
  EXPECT_EQ(Count("63"), 1);
}

// The registrator's port is a stable name that does not exist yet when the service starts (the
// registrator switched off at boot): its journal is still the registrator's, so a receipt left
// open by a lost reply and a restart is settled by the next request instead of being taken for
// another program's.
TEST_F(ServerLostReply, ARegistratorAbsentAtStartKeepsItsJournalAcrossARestart) {
  Shut();
  const std::string stable = dir + "/serial-by-id-registrator";
  config.device.port = stable;
  Serve();
  std::filesystem::create_symlink(sim.slavePath(), stable);
  sim.faults().Aim(0x64, sim::LineFault::Drop, 1);
  sim.faults().Aim(0x80, sim::LineFault::Drop);
  Result r = Post("/v1/receipts", kTwoItems);
  ASSERT_EQ(r.status, 504) << r.body.dump();
  ASSERT_EQ(ReceiptKind(), sim::kSaleReceipt);
  Shut();
  sim.faults().Clear();
  Serve();
  r = Post("/v1/receipts", kTwoItems);
  EXPECT_EQ(r.status, 200) << r.body.dump();
  EXPECT_EQ(Occurrences(Tape(), "ЧЕК АНУЛЬОВАНО"), 1);
  EXPECT_EQ(ReceiptNumber(), 1);
}

}  // namespace
}  // namespace kovrix::server
