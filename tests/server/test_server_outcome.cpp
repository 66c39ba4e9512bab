// Receipts that never stay half-open and outcomes that are never hidden: lost replies at every
// step of a receipt, a registrator that stays silent, a receipt opened by someone else, and the
// article table, all over HTTP against the simulator with faults aimed at one command.
#include "server/service.h"
#include "outcome_fixture.h"
#include "tests/server/test_platform.h"

namespace kovrix::server {
namespace {

using test::ServedSimulator;
using nlohmann::json;

class ServerOutcome : public ServedSimulator {};

// One lost or spoilt reply at each kind of step: the answer says what the registrator did, and
// no receipt stays open. The registrator answers again right after the fault.
TEST_F(ServerOutcome, ALostReplyInsideAReceiptIsSettledFromTheRegistrator) {
  struct Case {
    const char* name;
    std::function<void(sim::FaultPlan&)> fault;
    int status;
    const char* outcome;  // "" for an ordinary answer
    const char* step;
  };
  const std::vector<Case> cases = {
      {"open dropped", [](sim::FaultPlan& f) { f.Aim(0x63, sim::LineFault::Drop, 1); }, 409, "not printed", "open receipt"},
      {"open muted", [](sim::FaultPlan& f) { f.Aim(0x63, sim::LineFault::Mute, 1); }, 409, "annulled", "open receipt"},
      {"sale cut", [](sim::FaultPlan& f) { f.Aim(0x64, sim::LineFault::Cut, 1); }, 409, "annulled", "sell item 1"},
      {"payment NAK", [](sim::FaultPlan& f) { f.Aim(0x67, sim::LineFault::Nak, 2); }, 409, "annulled", "payment 2"},
      {"close muted", [](sim::FaultPlan& f) { f.Aim(0x65, sim::LineFault::Mute, 1); }, 200, "printed", nullptr},
      {"close dropped", [](sim::FaultPlan& f) { f.Aim(0x65, sim::LineFault::Drop, 1); }, 409, "annulled", "close receipt"},
      {"close garbled", [](sim::FaultPlan& f) { f.Aim(0x65, sim::LineFault::BadChecksum, 1); }, 200, "printed", nullptr},
      // Briefly silent during a step and again during the annulment.
      {"silent sale and annulment",
       [](sim::FaultPlan& f) {
         f.SilenceAfter(0x64, 2, 350);
         f.SilenceAfter(0x6B, 1, 350);
       },
       409, "annulled", "sell item 2"},
      // A refusal, then silence during the annulment.
      {"refusal, silent annulment",
       [](sim::FaultPlan& f) {
         f.FailCommandTimes(0x67, sim::err::kPayTypeDisabled, 1);
         f.SilenceAfter(0x6B, 1, 350);
       },
       409, "annulled", "payment 1"},
  };
  int printed = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sim.faults().Clear();
    c.fault(sim.faults());
    const std::string tapeBefore = Tape();
    const Result r = Post("/v1/receipts", kTwoItems);
    EXPECT_EQ(r.status, c.status) << r.body.dump();
    EXPECT_EQ(r.body.value("outcome", ""), c.outcome) << r.body.dump();
    if (c.step) {
      EXPECT_EQ(r.body.value("step", ""), c.step);
    }
    EXPECT_EQ(ReceiptKind(), sim::kNoReceipt);
    const std::string tape = Tape().substr(tapeBefore.size());
    if (c.status == 200) {
      ++printed;
      EXPECT_EQ(r.body["number"], std::to_string(printed));
      EXPECT_EQ(r.body["total"], "22.50");
    }
    EXPECT_EQ(Occurrences(tape, "ЧЕК №"), c.status == 200 ? 1 : 0) << tape;
    EXPECT_EQ(Occurrences(tape, "ЧЕК АНУЛЬОВАНО"), std::string(c.outcome) == "annulled" ? 1 : 0) << tape;
    EXPECT_EQ(r.body.contains("annulled") && r.body["annulled"] == true, std::string(c.outcome) == "annulled");
  }
  EXPECT_EQ(ReceiptNumber(), printed);
  // Nothing is left behind: an ordinary receipt follows with no extra exchange before it.
  sim.faults().Clear();
  sim.journal().Clear();
  EXPECT_EQ(Post("/v1/receipts", kTwoItems).status, 200);
  EXPECT_EQ(Commands().front(), "24");
}

// The same for a non-fiscal receipt, which is closed rather than annulled.
TEST_F(ServerOutcome, ALostReplyInANonFiscalReceiptIsSettledToo) {
  struct Case {
    std::uint8_t command;
    sim::LineFault fault;
    int status;
    const char* outcome;
    int closings;  // closing lines printed
  };
  const Case cases[] = {
      {0x60, sim::LineFault::Drop, 409, "not printed", 0},
      {0x61, sim::LineFault::Mute, 409, "closed", 1},
      {0x65, sim::LineFault::Mute, 200, "printed", 1},
      {0x65, sim::LineFault::Drop, 200, "printed", 1},  // not closed yet: closing it completes it
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.command) + " " + std::to_string(static_cast<int>(c.fault)));
    sim.faults().Clear();
    sim.faults().Aim(c.command, c.fault, 1);
    const std::string before = Tape();
    const Result r = Post("/v1/non-fiscal", R"({"lines":["рядок"]})");
    EXPECT_EQ(r.status, c.status) << r.body.dump();
    EXPECT_EQ(r.body.value("outcome", ""), c.outcome);
    EXPECT_EQ(ReceiptKind(), sim::kNoReceipt);
    // The header and the closing both print the same title.
    EXPECT_EQ(Occurrences(Tape().substr(before.size()), "НЕФІСКАЛЬНИЙ ЧЕК"), c.closings ? 2 : 0);
  }
}

// An annulment the registrator refuses leaves the receipt open: the answer says so, the next
// request will not print over it, and a retry with the key settles it once the annulment goes through.
TEST_F(ServerOutcome, AReceiptThatCannotBeAnnulledBlocksUntilItIs) {
  const httplib::Headers key{{"Idempotency-Key", "till-2-order-1"}};
  sim.faults().Aim(0x64, sim::LineFault::Mute, 1);
  sim.faults().FailCommand(0x6B, sim::err::kPrinter);
  Result r = Post("/v1/receipts", kTwoItems, key);
  EXPECT_EQ(r.status, 409) << r.body.dump();
  EXPECT_EQ(r.body["outcome"], "open");
  EXPECT_EQ(r.body["annulled"], false);
  EXPECT_EQ(ReceiptKind(), sim::kSaleReceipt);
  r = Post("/v1/receipts", kTwoItems);
  EXPECT_EQ(r.status, 409);
  EXPECT_EQ(r.body["step"], "earlier receipt");
  EXPECT_EQ(Count("63"), 1);
  sim.faults().Clear();
  r = Post("/v1/receipts", kTwoItems, key);
  EXPECT_EQ(r.status, 409) << r.body.dump();
  EXPECT_EQ(r.body["outcome"], "annulled");
  EXPECT_EQ(r.replayed, "true");
  EXPECT_EQ(ReceiptKind(), sim::kNoReceipt);
  EXPECT_EQ(Post("/v1/receipts", kTwoItems).status, 200);
  EXPECT_EQ(Count("63"), 2);
}

// The registrator stays silent after the lost reply: 504 "unknown" and the receipt may stay open.
// A retry with the same key asks the registrator again and answers the real outcome without
// running the request again; the next request, even after a restart, finishes the receipt first.
TEST_F(ServerOutcome, AnUnknownOutcomeResolvesOnARetryAndNeverPrintsTwice) {
  const httplib::Headers key{{"Idempotency-Key", "till-1-order-7"}};
  sim.faults().Aim(0x65, sim::LineFault::Mute, 1);
  sim.faults().Aim(0x80, sim::LineFault::Drop);
  Result r = Post("/v1/receipts", kTwoItems, key);
  EXPECT_EQ(r.status, 504) << r.body.dump();
  EXPECT_EQ(r.body["outcome"], "unknown");
  EXPECT_EQ(r.body["step"], "close receipt");
  EXPECT_FALSE(r.body.contains("annulled"));
  // Still silent: the retry stays unknown and sends nothing but the question.
  r = Post("/v1/receipts", kTwoItems, key);
  EXPECT_EQ(r.status, 504);
  EXPECT_EQ(r.replayed, "true");
  sim.faults().Clear();
  r = Post("/v1/receipts", kTwoItems, key);
  EXPECT_EQ(r.status, 200) << r.body.dump();
  EXPECT_EQ(r.body["outcome"], "printed");
  EXPECT_EQ(r.body["number"], "1");
  EXPECT_EQ(r.body["total"], "22.50");
  EXPECT_EQ(Post("/v1/receipts", kTwoItems, key).body, r.body);
  EXPECT_EQ(Count("63"), 1);
  EXPECT_EQ(ReceiptNumber(), 1);

  // A sale lost with the registrator then silent leaves the receipt open; after a restart of the
  // service the next request annuls it first, and the first request's retry learns so.
  const httplib::Headers second{{"Idempotency-Key", "till-1-order-8"}};
  sim.faults().Aim(0x64, sim::LineFault::Drop, 1);
  sim.faults().Aim(0x80, sim::LineFault::Drop);
  r = Post("/v1/receipts", kTwoItems, second);
  EXPECT_EQ(r.status, 504);
  EXPECT_EQ(ReceiptKind(), sim::kSaleReceipt);
  // The journal is the service's own: readable by its owner only.
  EXPECT_TRUE(testing::OwnerOnlyFile(RegistratorJournalPath("1", sim.slavePath())));
  Shut();
  sim.faults().Clear();
  Serve();
  r = Post("/v1/non-fiscal", R"({"lines":["після перезапуску"]})");
  EXPECT_EQ(r.status, 200) << r.body.dump();
  EXPECT_EQ(ReceiptKind(), sim::kNoReceipt);
  EXPECT_EQ(Occurrences(Tape(), "ЧЕК АНУЛЬОВАНО"), 1);
  r = Post("/v1/receipts", kTwoItems, second);
  EXPECT_EQ(r.status, 409) << r.body.dump();
  EXPECT_EQ(r.body["annulled"], true);
  EXPECT_EQ(r.body["outcome"], "annulled");
  EXPECT_EQ(Count("63"), 2);
  EXPECT_EQ(ReceiptNumber(), 1);
}

// A receipt someone else opened is not touched: 409 saying so, until it is annulled on request.
TEST_F(ServerOutcome, AReceiptOpenedElsewhereIsLeftAloneUntilAnnulledOnRequest) {
  EXPECT_EQ(Post("/v1/receipts/open/annul", "").status, 409);
  struct Case {
    const char* open;  // the raw command that opens it
    const char* kind;
    const char* undone;
  };
  for (const Case& c : {Case{R"({"command":"63","data":"482916;1;1;1;"})", "return", "annulled"},
                        Case{R"({"command":"60","data":"482916;"})", "non-fiscal", "closed"}}) {
    SCOPED_TRACE(c.kind);
    ASSERT_EQ(Post("/v1/commands", c.open).status, 200);
    const int kind = ReceiptKind();
    for (const char* path : {"/v1/receipts", "/v1/non-fiscal"}) {
      const Result r = Post(path, path == std::string("/v1/receipts") ? kTwoItems : R"({"lines":["x"]})");
      EXPECT_EQ(r.status, 409) << r.body.dump();
      EXPECT_NE(r.body.value("message", "").find("another program"), std::string::npos) << r.body.dump();
      EXPECT_NE(r.body.value("message", "").find("/v1/receipts/open/annul"), std::string::npos);
      EXPECT_EQ(r.body["openReceipt"], c.kind);
      EXPECT_EQ(ReceiptKind(), kind);
    }
    const Result annul = Post("/v1/receipts/open/annul", "");
    EXPECT_EQ(annul.status, 200) << annul.body.dump();
    EXPECT_EQ(annul.body[c.undone], true);
    EXPECT_EQ(annul.body["receipt"], c.kind);
    EXPECT_EQ(ReceiptKind(), sim::kNoReceipt);
  }
  EXPECT_EQ(Count("6B"), 1);
  EXPECT_EQ(Post("/v1/receipts", kTwoItems).status, 200);
}

// The article table: free places are read once and kept, a request that needs more than are
// free programs nothing, and a request has a bounded number of items.
TEST_F(ServerOutcome, ArticlePlacesAreCheckedBeforeAnythingIsProgrammed) {
  EXPECT_EQ(Post("/v1/receipts", kTwoItems).status, 200);
  EXPECT_EQ(Post("/v1/receipts", kTwoItems).status, 200);
  EXPECT_EQ(Count("A0"), 1);  // the second receipt costs no extra exchange

  json big = json::parse(kTwoItems);
  big["items"] = json::array();
  for (int i = 0; i < 5; ++i)
    big["items"].push_back({{"code", 200 + i}, {"name", "Товар"}, {"price", "1.00"}, {"taxGroup", 0}, {"quantity", 1}});
  big["items"].push_back(json::parse(kTwoItems)["items"][0]);  // already programmed: needs no place
  sim.withDevice([](sim::Registrator& r) { r.state().articleCapacity = static_cast<int>(r.state().articles.size()) + 4; });
  Shut();
  Serve();  // a fresh service knows neither the codes nor the count
  sim.journal().Clear();
  Result r = Post("/v1/receipts", big.dump());
  EXPECT_EQ(r.status, 409) << r.body.dump();
  EXPECT_EQ(r.body["free"], 4);
  EXPECT_EQ(r.body["needed"], 5);
  const std::string message = r.body.value("message", "");
  EXPECT_NE(message.find("room for 4"), std::string::npos) << message;
  EXPECT_NE(message.find("cannot change its price or name"), std::string::npos) << message;
  EXPECT_EQ(Count("24"), 0);
  EXPECT_EQ(Count("63"), 0);

  // A sold code given a new price is refused by the registrator; the answer says why in words.
  json changed = json::parse(kTwoItems);
  changed["items"][0]["price"] = "11.00";
  r = Post("/v1/receipts", changed.dump());
  EXPECT_EQ(r.status, 409);
  EXPECT_EQ(r.body["step"], "program item 1");
  EXPECT_NE(r.body.value("detail", "").find("cannot change its price or name"), std::string::npos) << r.body.dump();

  json huge = json::parse(kTwoItems);
  huge["items"] = json::array();
  for (std::size_t i = 0; i <= Service::kMaxItems; ++i) huge["items"].push_back(json::parse(kTwoItems)["items"][1]);
  sim.journal().Clear();
  r = Post("/v1/receipts", huge.dump());
  EXPECT_EQ(r.status, 400);
  EXPECT_NE(r.body.value("message", "").find("at most 500"), std::string::npos);
  EXPECT_EQ(sim.journal().Size(), 0u);
}

TEST_F(ServerOutcome, RawCommandFailuresNameTheirStep) {
  Result r = Post("/v1/commands", R"({"command":"21","data":"000000;"})");
  EXPECT_EQ(r.status, 409);
  EXPECT_EQ(r.body["step"], "command 21");
  sim.faults().Aim(0x21, sim::LineFault::Drop, 1);
  r = Post("/v1/commands", R"({"command":"21","data":"482916;"})");
  EXPECT_EQ(r.status, 504);
  EXPECT_EQ(r.body["step"], "command 21");
  EXPECT_FALSE(Post("/v1/commands", R"({"command":"21","data":"482916;"})").body.contains("step"));
}

}  // namespace
}  // namespace kovrix::server
