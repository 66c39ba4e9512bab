#include "server/service.h"

#include <cstdio>
#include <cstdlib>
#include <optional>

#include "session/device_session.h"
#include "session/lost_reply.h"
#include "session/render.h"
#include "driver/codepage.h"
#include "driver/commands.h"
#include "driver/driver.h"
#include "driver/error_text.h"

namespace kovrix::server {
namespace {

constexpr std::uint32_t kNoValidReply = ST_NO_REPLY | ST_NAK | ST_BAD_CHECKSUM;
// The diagnostic command does not check its password; the recovery dialog sends this one too.
// The registrator's error code for a changed article that has sales since the last Z report.
const std::string kArticleSoldCode = "040A";

const char* const kForeignReceipt =
    "a receipt opened by another program (the desktop tool or kovrix-cli) is open on the registrator; "
    "the service does not touch it: finish it where it was opened, or annul it with "
    "POST /v1/receipts/open/annul";
const char* const kArticleRule =
    "an article code already sold this shift cannot change its price or name: the registrator refuses it "
    "until the next Z report; give a new price or name a new code";

std::string MessageOf(const ReplyRecord& record) {
  // A converter that closed the connection, or a flooding line, is said as such.
  if (record.linkFault != LinkFault::None) return LinkFaultText(record.linkFault);
  std::string text;
  GetErrorText(record, text);
  if (!text.empty()) return Cp1251ToUtf8(text);
  if (record.status & ST_NAK) return "the registrator answered NAK";
  if (record.status & ST_BAD_CHECKSUM) return "the registrator's reply had a wrong checksum";
  return "unknown error code " + Cp1251ToUtf8(record.errorText);
}

bool Silent(const ReplyRecord* record) { return (record->status & kNoValidReply) != 0; }

bool Accepted(const ReplyRecord* record, int err) {
  std::string text;
  return err == 0 && !Silent(record) && GetErrorText(*record, text);
}

// The outcome of one command: nothing when it went through, else the answer that reports it.
std::optional<Answer> Failure(const ReplyRecord* record, int err, const std::string& step) {
  if (err < 0) {
    return Answer{400, {{"message", "the command refused its arguments: " + session::RefusalText(step, err)}, {"step", step}}};
  }
  if (record->status & kNoValidReply) return Answer{504, {{"message", MessageOf(*record)}, {"step", step}}};
  std::string text;
  if (GetErrorText(*record, text)) return std::nullopt;
  return Answer{409, {{"error", Cp1251ToUtf8(record->errorText)}, {"message", MessageOf(*record)}, {"step", step}}};
}

// A read that changes nothing and found the registrator silent: the request may simply be sent
// again, so it is answered as unavailable (and its answer is not kept for its key).
Answer SilentBeforeAnything(const std::string& step) {
  return Answer{503, {{"message", "the registrator does not answer; nothing was printed, try again"}, {"step", step}}};
}

Answer PortUnavailable(const session::DeviceSession& session) { return Answer{503, {{"message", session.error()}}}; }

Answer Done(const ReplyRecord& record) {
  return Answer{200, {{"error", Cp1251ToUtf8(record.errorText)}, {"message", ""}}};
}

std::string ItemStep(const char* what, std::size_t i) { return std::string(what) + " item " + std::to_string(i + 1); }

std::string ReceiptKindText(int byte) {
  if ((byte & 0x0F) == 5) return "non-fiscal";
  return (byte & 0x10) ? "return" : "fiscal";
}

std::uint8_t NextSequence() { return static_cast<std::uint8_t>(TheLink().SequenceCounter() + 1); }

}  // namespace

Service::Service(session::DeviceOptions device, const std::string& journalPath)
    : device_(std::move(device)), journal_(journalPath) {}

bool Service::OutcomeUnknown(const nlohmann::json& body) {
  // A receipt left open (its annulment refused) is not settled either: a retry asks again.
  return body.is_object() && body.contains("outcome") && (body["outcome"] == "unknown" || body["outcome"] == "open");
}

// A single command whose reply stayed lost after asking again with its SEQ: the answer says so,
// and the command is remembered, so that a retry of the request asks once more (still with that
// SEQ, so it never runs twice) as long as no other frame went out meanwhile.
Answer Service::LostSingleCommand(const std::string& step, const std::string& what) {
  lostCommand_.reset();
  if (const auto lost = session::LatestLostCommand()) lostCommand_ = LostCommand{reservedRequest_, *lost};
  Answer a{504,
           {{"message", "the registrator's reply was lost: " + what + " is not known yet"},
            {"step", step},
            {"outcome", "unknown"},
            {"detail", "repeat this request with the same Idempotency-Key to learn its outcome: the registrator is "
                       "asked for the reply to the same frame, so it never runs twice"}}};
  if (reservedRequest_ != 0) a.body["request"] = reservedRequest_;
  return a;
}

std::uint64_t Service::ReserveRequest() {
  reservedRequest_ = journal_.Reserve();
  return reservedRequest_;
}

Answer Service::Unknown(const Answer& failure) {
  Answer a{504, failure.body};
  a.body.erase("annulled");
  a.body.erase("closed");
  a.body["outcome"] = "unknown";
  if (journal_.pending()) a.body["request"] = journal_.pending()->request;
  a.body["receipt"] = true;
  a.body["detail"] =
      "the registrator stopped answering, so whether the receipt was printed is not known; the service finishes "
      "it before its next request. Repeat this request with the same Idempotency-Key to learn its outcome: it is "
      "never printed twice";
  return a;
}

// After a lost reply the pending receipt is settled from what the registrator says once it
// answers again: what is still open of ours is annulled (fiscal) or closed (non-fiscal), and the
// last step sent tells a printed receipt from one that never was.
Answer Service::Settle(const Answer& failure, const std::string& password) {
  const auto state = session::ReadReceiptState(kRecoveryReads);
  if (!state) return Unknown(failure);
  return Decide(failure, password, *state);
}

Answer Service::Decide(const Answer& failure, const std::string& password, const ReceiptState& state) {
  const JournalEntry entry = *journal_.pending();
  const bool fiscal = entry.kind == "fiscal";
  Answer a{409, failure.body};
  a.body.erase("annulled");
  a.body.erase("closed");
  a.body.erase("outcome");
  a.body.erase("request");
  const auto finish = [&](Answer out) {
    journal_.Finish(Outcome{out.status, out.body});
    return out;
  };
  const auto undone = [&]() {
    a.body[fiscal ? "annulled" : "closed"] = true;
    a.body["outcome"] = fiscal ? "annulled" : "closed";
    a.body["detail"] = fiscal ? "the receipt was annulled: nothing was sold" : "the non-fiscal receipt was closed";
    return finish(a);
  };
  const auto printed = [&](const std::string& number) {
    Answer ok{200, {{"error", "0000"}, {"message", ""}}};
    if (fiscal) {
      ok.body = {{"total", entry.total}, {"error", "0000"}, {"number", number}};
    }
    ok.body["outcome"] = "printed";
    return finish(ok);
  };

  const auto step = [](const std::string& text) {
    if (text == "opened") return session::ReceiptStep::Opened;
    if (text == "close") return session::ReceiptStep::Closing;
    if (text == "undo") return session::ReceiptStep::Undoing;
    return session::ReceiptStep::Opening;
  };
  const session::ReceiptSettlement settled =
      session::SettleReceipt(fiscal, step(entry.step), password, kRecoveryReads, state, [&](session::ReceiptStep next) {
        journal_.Step(next == session::ReceiptStep::Closing ? "close" : "undo");
      });
  const std::string lastNumber = Cp1251ToUtf8(settled.state ? settled.state->lastNumber : state.lastNumber);
  switch (settled.outcome) {
    case session::ReceiptOutcome::Unknown:
      return Unknown(failure);
    case session::ReceiptOutcome::StillOpen:
      // Still open: the next request tries again; until then the answer says what to do.
      a.body[fiscal ? "annulled" : "closed"] = false;
      a.body["outcome"] = "open";
      a.body["request"] = entry.request;
      a.body["detail"] = "the receipt is still open and could not be finished: annul it with POST /v1/receipts/open/annul";
      return a;
    case session::ReceiptOutcome::Printed:
      return printed(lastNumber);
    case session::ReceiptOutcome::Undone:
      return undone();
    case session::ReceiptOutcome::FinishedElsewhere:
      // Opened by this service, then closed or annulled by something else (another program, or
      // a hand at the registrator): which of the two, only the tape tells.
      a.body[fiscal ? "annulled" : "closed"] = false;
      a.body["outcome"] = "finished elsewhere";
      a.body["number"] = lastNumber;
      a.body["detail"] = "the receipt was opened, then finished or annulled outside this service; the registrator's "
                         "last receipt number is " + lastNumber;
      return finish(a);
    case session::ReceiptOutcome::NotPrinted:
      break;
  }
  a.body[fiscal ? "annulled" : "closed"] = false;
  a.body["outcome"] = "not printed";
  a.body["detail"] = "the receipt was never opened: nothing was printed";
  return finish(a);
}

// A receipt of ours left unfinished by an earlier request is finished before anything new is
// sent, so that one silence never blocks the till.
std::optional<Answer> Service::FinishEarlier() {
  if (!journal_.pending()) return std::nullopt;
  const auto state = session::ReadReceiptState(1);
  if (!state) return SilentBeforeAnything("earlier receipt");
  const Answer earlier{504, {{"message", "an earlier request lost the registrator's reply"}, {"step", "earlier receipt"}}};
  const Answer settled = Decide(earlier, kDefaultPassword, *state);
  if (!journal_.pending()) return std::nullopt;
  if (settled.status == 504) return SilentBeforeAnything("earlier receipt");
  return Answer{409,
                {{"message", "a receipt this service opened earlier is still open and could not be finished: annul it "
                             "with POST /v1/receipts/open/annul"},
                 {"step", "earlier receipt"},
                 {"outcome", settled.body.value("outcome", "")}}};
}

// A refused opening may mean that a receipt is already open: if it is, and not ours, say so.
std::optional<Answer> Service::ForeignReceipt(const Answer& refusal) {
  const auto state = session::ReadReceiptState(1);
  if (!state || !state->open()) return std::nullopt;
  Answer a = refusal;
  a.body["message"] = kForeignReceipt;
  a.body["openReceipt"] = ReceiptKindText(state->byte);
  return a;
}

// Free article places are read before the first programming and again only when the count kept
// from the last read runs low, so that an ordinary receipt costs no extra exchange. Codes the
// service programmed before take no new place.
std::optional<Answer> Service::EnsureArticleRoom(const Receipt& receipt) {
  // More codes than any article table holds: the registrator's table was cleared meanwhile.
  if (knownCodes_.size() > kMaxKnownCodes) {
    knownCodes_.clear();
    freeArticles_.reset();
  }
  std::set<std::int64_t> fresh;
  for (const Item& item : receipt.items) {
    if (!knownCodes_.count(item.code)) fresh.insert(item.code);
  }
  int needed = static_cast<int>(fresh.size());
  if (needed == 0) return std::nullopt;
  if (!freeArticles_ || *freeArticles_ < needed + kLowArticles) {
    int err = 0;
    const ReplyRecord* r = GetFreeResources(receipt.password, err);
    if (auto failed = Failure(r, err, "free resources")) {
      if (failed->status == 504) return SilentBeforeAnything("free resources");
      return failed;
    }
    const std::string& field = r->field(11);
    char* end = nullptr;
    const long n = std::strtol(field.c_str(), &end, 10);
    // A registrator that does not report the count is left to refuse an article itself.
    if (field.empty() || *end != '\0' || n < 0) return std::nullopt;
    freeArticles_ = static_cast<int>(n);
  }
  if (*freeArticles_ < needed) {
    // Only when short: codes the registrator already has need no new place.
    for (std::int64_t code : fresh) {
      int err = 0;
      const ReplyRecord* r = FindArticulIndex(receipt.password, code, err);
      if (err == 0 && Silent(r)) return SilentBeforeAnything("find article");
      if (Accepted(r, err)) {
        knownCodes_.insert(code);
        --needed;
      }
    }
  }
  if (*freeArticles_ >= needed) return std::nullopt;
  const std::string free = std::to_string(*freeArticles_);
  const std::string need = std::to_string(needed);
  return Answer{409,
                {{"message", "the registrator has room for " + free + " more articles and this receipt needs " + need +
                                 " new ones; nothing was programmed or printed. Reuse the codes already programmed: " +
                                 kArticleRule},
                 {"step", "free resources"},
                 {"free", *freeArticles_},
                 {"needed", needed}}};
}

Answer Service::DeviceInfo() {
  session::DeviceSession session(device_);
  if (!session.open()) return PortUnavailable(session);
  int err = 0;
  const ReplyRecord* r = GetDiagnosticInfo(kDefaultPassword, err);
  if (auto failed = Failure(r, err, "diagnostic information")) return *failed;
  nlohmann::ordered_json bytes = nlohmann::ordered_json::array();
  for (std::uint8_t b : r->statusBytes) bytes.push_back(b & 0x7F);
  return Answer{200,
                {{"model", Cp1251ToUtf8(r->field(1))},
                 {"version", Cp1251ToUtf8(r->field(2))},
                 {"serial", Cp1251ToUtf8(r->field(3))},
                 {"fiscalised", (r->statusBytes[4] & 0x02) != 0},
                 {"statusBytes", bytes},
                 {"status", r->status}}};
}

std::optional<Answer> Service::OpenJournaled(const char* kind, const std::string& psw,
                                             const std::function<const ReplyRecord*(int&)>& open) {
  const std::uint64_t request = reservedRequest_ != 0 ? reservedRequest_ : journal_.NextRequest();
  reservedRequest_ = 0;
  if (!journal_.Begin(JournalEntry{request, NextSequence(), kind, "open", ""}))
    return Answer{503, {{"message", "the receipt journal cannot be written in the state directory; nothing was printed"}}};
  int err = 0;
  const ReplyRecord* r = open(err);
  auto failed = Failure(r, err, "open receipt");
  // Opened: from now on a receipt that is found closed was closed after it opened.
  if (!failed) {
    journal_.Step("opened");
    return std::nullopt;
  }
  if (failed->status == 504) return Settle(*failed, psw);
  // The answer is kept with the finished entry: a crash before it reaches the client leaves a
  // retry of the request something to learn.
  Answer refused = *failed;
  if (failed->status == 409) {
    if (auto foreign = ForeignReceipt(*failed)) refused = *foreign;
  }
  journal_.Finish(Outcome{refused.status, refused.body});
  return refused;
}

Answer Service::PrintReceipt(const Receipt& receipt) {
  if (receipt.items.size() > kMaxItems) {
    return Answer{400, {{"message", "items has " + std::to_string(receipt.items.size()) + " entries; one receipt takes at most " +
                                        std::to_string(kMaxItems)}}};
  }
  session::DeviceSession session(device_);
  if (!session.open()) return PortUnavailable(session);
  if (auto blocked = FinishEarlier()) return *blocked;
  if (auto full = EnsureArticleRoom(receipt)) return *full;
  const std::string& psw = receipt.password;
  int err = 0;

  // Articles are programmed before the receipt opens: a refused article leaves nothing to annul.
  for (std::size_t i = 0; i < receipt.items.size(); ++i) {
    const Item& item = receipt.items[i];
    const ReplyRecord* r =
        AddArticul(psw, ArticulLine(item.code, item.name, item.price, item.taxGroup, item.department), err);
    if (auto failed = Failure(r, err, ItemStep("program", i))) {
      // Nothing is printed before the receipt opens: a silent registrator here may simply be asked again.
      if (failed->status == 504) return SilentBeforeAnything(ItemStep("program", i));
      if (r->errorText == kArticleSoldCode) failed->body["detail"] = kArticleRule;
      return *failed;
    }
    if (knownCodes_.insert(item.code).second && freeArticles_ && *freeArticles_ > 0) --*freeArticles_;
  }

  if (auto notOpened = OpenJournaled("fiscal", psw, [&](int& e) {
        return OpenFiscalReceipt(psw, receipt.operatorNumber, 1, receipt.isReturn ? 1 : 0, e);
      })) {
    return *notOpened;
  }

  // From here on a receipt is open: whatever stops the sequence annuls it, so none stays open.
  std::string total;
  auto run = [&]() -> std::optional<Answer> {
    for (std::size_t i = 0; i < receipt.items.size(); ++i) {
      const Item& item = receipt.items[i];
      if (auto f = Failure(SellItemEx(psw, item.code, item.price, item.quantity, err), err, ItemStep("sell", i)))
        return f;
      if (item.discountPercent) {
        if (auto f = Failure(DiscountItemPercent(psw, *item.discountPercent, err), err, ItemStep("discount", i)))
          return f;
      }
      if (item.discountAmount) {
        if (auto f = Failure(DiscountItemAbsolute(psw, *item.discountAmount, err), err, ItemStep("discount", i)))
          return f;
      }
    }
    if (receipt.discountPercent) {
      if (auto f = Failure(DiscountSubtotalPercent(psw, *receipt.discountPercent, err), err, "discount subtotal"))
        return f;
    }
    if (receipt.discountAmount) {
      if (auto f = Failure(DiscountSubtotalAbsolute(psw, *receipt.discountAmount, err), err, "discount subtotal"))
        return f;
    }
    for (std::size_t i = 0; i < receipt.comments.size(); ++i) {
      if (auto f = Failure(PrintText(psw, receipt.comments[i], err), err, "comment " + std::to_string(i + 1)))
        return f;
    }
    const ReplyRecord* t = PrintTotal(psw, false, err);
    if (auto f = Failure(t, err, "total")) return f;
    total = Cp1251ToUtf8(t->field(1));
    for (std::size_t i = 0; i < receipt.payments.size(); ++i) {
      const Payment& p = receipt.payments[i];
      if (auto f = Failure(kovrix::Payment(psw, p.type, p.amount, err), err, "payment " + std::to_string(i + 1)))
        return f;
    }
    journal_.Step("close", total);
    return Failure(CloseFiscalReceipt(psw, 0, err), err, "close receipt");
  };
  if (auto failed = run()) {
    // A lost reply leaves the step's effect open: the registrator's state decides.
    if (failed->status == 504) return Settle(*failed, psw);
    journal_.Step("undo");
    int annulErr = 0;
    const ReplyRecord* a = Annulment(psw, 0, annulErr);
    if (annulErr == 0 && Silent(a)) return Settle(*failed, psw);
    failed->body["annulled"] = Accepted(a, annulErr);
    // An annulment the registrator refused leaves the receipt to the next request's check.
    if (Accepted(a, annulErr)) journal_.Finish(Outcome{failed->status, failed->body});
    return *failed;
  }
  const Answer printed{200, {{"total", total}, {"error", "0000"}, {"outcome", "printed"}}};
  journal_.Finish(Outcome{printed.status, printed.body});
  return printed;
}

Answer Service::PrintNonFiscal(const NonFiscal& request) {
  session::DeviceSession session(device_);
  if (!session.open()) return PortUnavailable(session);
  if (auto blocked = FinishEarlier()) return *blocked;
  const std::string& psw = request.password;
  int err = 0;
  if (auto notOpened = OpenJournaled("non-fiscal", psw, [&](int& e) { return OpenNonFiscalReceipt(psw, e); })) {
    return *notOpened;
  }
  const ReplyRecord* r = nullptr;
  for (std::size_t i = 0; i < request.lines.size(); ++i) {
    r = PrintText(psw, request.lines[i], err);
    if (auto failed = Failure(r, err, "line " + std::to_string(i + 1))) {
      if (failed->status == 504) return Settle(*failed, psw);
      // A non-fiscal receipt cannot be annulled; closing it is what leaves nothing open.
      journal_.Step("undo");
      int closeErr = 0;
      const ReplyRecord* c = CloseNonFiscalReceipt(psw, closeErr);
      if (closeErr == 0 && Silent(c)) return Settle(*failed, psw);
      failed->body["closed"] = Accepted(c, closeErr);
      if (Accepted(c, closeErr)) journal_.Finish(Outcome{failed->status, failed->body});
      return *failed;
    }
  }
  journal_.Step("close");
  r = CloseNonFiscalReceipt(psw, err);
  if (auto failed = Failure(r, err, "close receipt")) {
    if (failed->status == 504) return Settle(*failed, psw);
    failed->body["closed"] = false;
    return *failed;
  }
  Answer done = Done(*r);
  done.body["outcome"] = "printed";
  journal_.Finish(Outcome{done.status, done.body});
  return done;
}

Answer Service::CashInOut(const Cash& request) {
  session::DeviceSession session(device_);
  if (!session.open()) return PortUnavailable(session);
  if (auto blocked = FinishEarlier()) return *blocked;
  int err = 0;
  const std::string step = request.amount < 0 ? "cash out" : "cash in";
  const ReplyRecord* r = kovrix::CashInOut(request.password, request.operatorNumber, request.amount, err);
  if (err == 0 && session::ReplyLost(*r)) {
    r = session::RecoverLostReply(kRecoveryReads);
    if (!r) return LostSingleCommand(step, "whether the cash moved");
  }
  if (auto failed = Failure(r, err, step)) return *failed;
  Answer a = Done(*r);
  a.body["cash"] = Cp1251ToUtf8(r->field(1));
  a.body["outcome"] = "done";
  return a;
}

Answer Service::Report(const std::string& password, int type) {
  session::DeviceSession session(device_);
  if (!session.open()) return PortUnavailable(session);
  if (auto blocked = FinishEarlier()) return *blocked;
  int err = 0;
  const std::string step = type == 0 ? "Z report" : "X report";
  const ReplyRecord* r = PrintReport(password, type, err);
  if (err == 0 && session::ReplyLost(*r)) {
    r = session::RecoverLostReply(kRecoveryReads);
    if (!r) return LostSingleCommand(step, "whether the report was printed");
  }
  if (auto failed = Failure(r, err, step)) return *failed;
  Answer a = Done(*r);
  a.body["outcome"] = "printed";
  return a;
}

Answer Service::Raw(const RawCommand& command) {
  session::DeviceSession session(device_);
  if (!session.open()) return PortUnavailable(session);
  const ReplyRecord* r = ExecuteCommand(command.code, command.data);
  std::string text;
  const int status = (r->status & kNoValidReply) ? 504 : GetErrorText(*r, text) ? 200 : 409;
  // A receipt of ours finished by hand through this endpoint: closing prints it, annulling undoes
  // it, and a retry of its request is told so.
  if (status == 200 && journal_.pending()) {
    const bool fiscalPending = journal_.pending()->kind == "fiscal";
    if (command.code == 0x65 || (!fiscalPending && command.code == 0x62)) journal_.Step("close");
    if (command.code == 0x6B && fiscalPending && command.data.find(";0;") != std::string::npos) journal_.Step("undo");
  }
  Answer a{status, session::ReplyJson(*r)};
  if (status != 200) {
    char step[16];
    std::snprintf(step, sizeof step, "command %02X", command.code & 0xFF);
    a.body["step"] = step;
  }
  return a;
}

Answer Service::AnnulOpenReceipt(const std::string& password) {
  session::DeviceSession session(device_);
  if (!session.open()) return PortUnavailable(session);
  const auto state = session::ReadReceiptState(1);
  if (!state) return SilentBeforeAnything("receipt state");
  if (!state->open()) return Answer{409, {{"message", "no receipt is open on the registrator"}, {"step", "receipt state"}}};
  const bool nonFiscal = state->nonFiscal();
  // The open receipt may be the one of ours still pending: from now on it counts as undone.
  const bool ours = journal_.pending() && (journal_.pending()->kind == "non-fiscal") == nonFiscal;
  if (ours) journal_.Step("undo");
  int err = 0;
  const ReplyRecord* r = nonFiscal ? CloseNonFiscalReceipt(password, err) : Annulment(password, 0, err);
  if (auto failed = Failure(r, err, nonFiscal ? "close receipt" : "annul receipt")) return *failed;
  // One of ours, if it was pending, is now settled: a retry of its request learns so.
  if (ours) {
    const Answer earlier{504, {{"message", "the receipt was finished on request"}, {"step", "earlier receipt"}}};
    if (const auto after = session::ReadReceiptState(1)) Decide(earlier, password, *after);
  }
  return Answer{200, {{nonFiscal ? "closed" : "annulled", true}, {"receipt", ReceiptKindText(state->byte)}}};
}

// The lost single command asked for again with its SEQ, if no other frame went out since.
Answer Service::AskLostCommandAgain(const Answer& original) {
  session::DeviceSession session(device_);
  if (!session.open()) return PortUnavailable(session);
  const session::LostCommand lost = lostCommand_->command;
  const ReplyRecord* r = session::AskLostAgain(lost, kRecoveryReads + 1);
  if (!r) return original;
  lostCommand_.reset();
  const std::string step = original.body.value("step", "");
  if (auto failed = Failure(r, 0, step)) return *failed;
  Answer a = Done(*r);
  if (lost.command == 0x6E) {
    a.body["cash"] = Cp1251ToUtf8(r->field(1));
    a.body["outcome"] = "done";
  } else {
    a.body["outcome"] = "printed";
  }
  return a;
}

Answer Service::ResolveOutcome(const nlohmann::json& unknownAnswer) {
  const auto original = [&] { return Answer{504, nlohmann::ordered_json(unknownAnswer)}; };
  if (!unknownAnswer.contains("request") || !unknownAnswer["request"].is_number_unsigned()) return original();
  const std::uint64_t request = unknownAnswer["request"].get<std::uint64_t>();
  if (const auto kept = journal_.Find(request)) return Answer{kept->status, kept->body};
  if (lostCommand_ && lostCommand_->request == request) return AskLostCommandAgain(original());
  if (!journal_.pending() || journal_.pending()->request != request) {
    // Numbers are reserved before anything is sent, and a receipt's journal entry is written
    // before it opens: a receipt request whose number no entry took never sent its receipt.
    const bool receipt = unknownAnswer.value("receipt", false);
    if (receipt && request > journal_.lastBegun()) {
      return Answer{409, {{"message", "the request stopped before the receipt was opened"},
                          {"outcome", "not printed"},
                          {"detail", "nothing was printed; the request may be sent again with a new Idempotency-Key"}}};
    }
    return original();
  }
  session::DeviceSession session(device_);
  if (!session.open()) return PortUnavailable(session);
  Answer failure = original();
  failure.body.erase("detail");
  const auto state = session::ReadReceiptState(1);
  if (!state) return Unknown(failure);
  return Decide(failure, kDefaultPassword, *state);
}

}  // namespace kovrix::server
