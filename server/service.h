#pragma once
// What the service does with the registrator, one operation per endpoint, each a whole exchange:
// it takes the port (lock, open, frame sequence shared with kovrix-cli), sends its commands and
// lets the port go again. Answers carry the HTTP status and the JSON body. Not thread-safe: the
// caller runs one operation at a time.
//
// A receipt never stays half-open and its outcome is never hidden: when a reply is lost inside a
// receipt, the service reads the receipt state from the registrator once it answers again (within
// a bounded wait), finishes what it opened (annuls a fiscal receipt, closes a non-fiscal one) and
// answers what happened. Only when the registrator stays silent is the answer 504 with
// "outcome":"unknown"; the receipt journal then lets a later request finish the receipt, and a
// retry of the request learn its outcome.

#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>

#include <nlohmann/json.hpp>

#include "session/device_options.h"
#include "session/lost_reply.h"
#include "driver/reply.h"
#include "server/receipt_journal.h"
#include "server/request.h"

namespace kovrix::server {

struct Answer {
  int status = 200;
  nlohmann::ordered_json body;
};

class Service {
 public:
  /// Items of one receipt request at most.
  static constexpr std::size_t kMaxItems = 500;
  /// Free article places below which the count is read again before programming.
  static constexpr int kLowArticles = 100;
  /// Article codes remembered as programmed, at most.
  static constexpr std::size_t kMaxKnownCodes = 50000;
  /// Diagnostic reads that wait for a silent registrator after a lost reply.
  static constexpr int kRecoveryReads = 3;

  /// The port, speed, repeat count and session log come from the options; the receipt journal
  /// lives in journalPath (empty: in memory only).
  explicit Service(session::DeviceOptions device) : Service(device, ReceiptJournalPath(device.port)) {}
  Service(session::DeviceOptions device, const std::string& journalPath);

  /// The options the registrator is reached with.
  const session::DeviceOptions& device() const { return device_; }

  /// Diagnostic information: model, version, serial, fiscalised, status bytes, status word.
  Answer DeviceInfo();
  /// Prints a whole fiscal receipt; on any refusal after opening it, annuls it.
  Answer PrintReceipt(const Receipt& receipt);
  /// Prints a non-fiscal receipt; on a refusal after opening it, closes it.
  Answer PrintNonFiscal(const NonFiscal& request);
  /// Cash in (positive amount) or out (negative).
  Answer CashInOut(const Cash& request);
  /// Daily report: 1 for X, 0 for Z.
  Answer Report(const std::string& password, int type);
  /// One raw exchange, answered with the command-line client's JSON object.
  Answer Raw(const RawCommand& command);
  /// Annuls the fiscal receipt open on the registrator, or closes the non-fiscal one, whoever
  /// opened it; 409 when none is open.
  Answer AnnulOpenReceipt(const std::string& password);
  /// Answers the real outcome of a receipt request whose answer said "outcome":"unknown" (the
  /// body of that answer), asking the registrator; never sends the request again.
  Answer ResolveOutcome(const nlohmann::json& unknownAnswer);

  /// Answers whether an answer leaves the outcome of its request unknown (or its receipt open).
  static bool OutcomeUnknown(const nlohmann::json& body);

  /// Takes the number of the request about to run (kept in the journal at once, never given
  /// again, also across restarts): a note written for its Idempotency-Key before anything is
  /// sent can carry it, so that a retry after a crash finds what became of the request.
  std::uint64_t ReserveRequest();
  /// Answers why the receipt journal cannot be kept; empty while it can.
  std::string JournalProblem() const { return journal_.problem(); }
  /// Ends the request that ReserveRequest numbered.
  void EndRequest() { reservedRequest_ = 0; }
  /// Answers whether a receipt of the service or a single command lost its reply and waits for
  /// the next request to settle it: the registrator is then left alone between requests.
  bool AwaitsSettling() const { return journal_.pending().has_value() || lostCommand_.has_value(); }

 private:
  using ReceiptState = session::ReceiptState;

  /// A single command (cash, a report) whose reply stayed lost, to be asked for again.
  struct LostCommand {
    std::uint64_t request = 0;
    session::LostCommand command;
  };

  Answer LostSingleCommand(const std::string& step, const std::string& what);
  Answer AskLostCommandAgain(const Answer& original);
  std::optional<Answer> FinishEarlier();
  Answer Settle(const Answer& failure, const std::string& password);
  Answer Decide(const Answer& failure, const std::string& password, const ReceiptState& state);
  Answer Unknown(const Answer& failure);
  std::optional<Answer> EnsureArticleRoom(const Receipt& receipt);
  std::optional<Answer> ForeignReceipt(const Answer& refusal);
  /// Opens a receipt with open(err), its journal entry written first; answers how the request
  /// ends when the receipt did not open (a lost reply settled from the registrator, a receipt of
  /// another program named), nothing when it opened.
  std::optional<Answer> OpenJournaled(const char* kind, const std::string& psw,
                                      const std::function<const ReplyRecord*(int&)>& open);

  session::DeviceOptions device_;
  ReceiptJournal journal_;
  bool checkBeforeNext_ = false;
  std::uint64_t reservedRequest_ = 0;  // of the request running now (0: none reserved)
  std::optional<LostCommand> lostCommand_;
  std::optional<int> freeArticles_;
  std::set<std::int64_t> knownCodes_;
};

}  // namespace kovrix::server
