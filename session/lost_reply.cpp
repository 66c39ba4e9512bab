#include "session/lost_reply.h"

#include "driver/commands.h"
#include "driver/driver.h"

namespace kovrix::session {
namespace {

bool Silent(const ReplyRecord* r) { return r == nullptr || ReplyLost(*r) || (r->status & ST_NO_REPLY) != 0; }
bool Accepted(const ReplyRecord* r, int err) { return err == 0 && r != nullptr && !Silent(r) && r->errorText == "0000"; }

}  // namespace

bool ReplyLost(const ReplyRecord& record) {
  return !record.sentFrame.empty() && (record.status & (ST_NO_REPLY | ST_NAK | ST_BAD_CHECKSUM)) != 0;
}

const ReplyRecord* RecoverLostReply(int tries) {
  for (int i = 0; i < tries; ++i) {
    // keepSequence false: the frame goes out again with the SEQ of the lost one.
    const ReplyRecord* r = RepeatCommand(false);
    // A line that is gone and cannot be made again sends nothing: asking more is futile.
    if (r == nullptr || r->sentFrame.empty()) return nullptr;
    if (!ReplyLost(*r)) return r;
  }
  return nullptr;
}

std::optional<LostCommand> LatestLostCommand() {
  const ReplyRecord* latest = LatestRecord();
  if (latest == nullptr || !ReplyLost(*latest)) return std::nullopt;
  return LostCommand{latest->command, latest->sentData, TheLink().SequenceCounter()};
}

bool StillLast(const LostCommand& lost) {
  const ReplyRecord& last = TheLink().Record();
  return TheLink().SequenceCounter() == lost.counter && last.command == lost.command && last.sentData == lost.data;
}

const ReplyRecord* AskLostAgain(const LostCommand& lost, int tries) {
  // The counter alone also says so in a link opened again since (a service request, a reconnect).
  if (TheLink().SequenceCounter() != lost.counter) return nullptr;
  TheLink().SetSequenceCounter(static_cast<std::uint8_t>(lost.counter - 1));
  const ReplyRecord* r = ExecuteCommand(lost.command, lost.data);
  if (r != nullptr && r->sentFrame.empty()) return nullptr;
  if (r != nullptr && ReplyLost(*r)) r = tries > 1 ? RecoverLostReply(tries - 1) : nullptr;
  return r;
}

std::optional<ReceiptState> ReadReceiptState(int reads) {
  for (int i = 0; i < reads; ++i) {
    int err = 0;
    const ReplyRecord* r = GetDiagnosticInfo(kDefaultPassword, err);
    if (err != 0) return std::nullopt;
    if (Silent(r)) continue;
    if (!Accepted(r, err)) return std::nullopt;
    return ReceiptState{r->statusBytes[2] & 0x7F, r->field(10)};
  }
  return std::nullopt;
}

ReceiptSettlement SettleReceipt(bool fiscal, ReceiptStep step, const std::string& password, int reads,
                                std::optional<ReceiptState> state, const std::function<void(ReceiptStep)>& finishing) {
  ReceiptSettlement out;
  if (!state) state = ReadReceiptState(reads);
  out.state = state;
  if (!state) return out;
  const auto ours = [fiscal](const ReceiptState& s) { return fiscal ? s.open() && !s.nonFiscal() : s.nonFiscal(); };
  if (ours(*state)) {
    // Closing a non-fiscal receipt whose lines were all printed completes it rather than undoes it.
    const ReceiptStep finish = !fiscal && step == ReceiptStep::Closing ? ReceiptStep::Closing : ReceiptStep::Undoing;
    if (finishing) finishing(finish);
    bool gone = false;
    // An annulment whose reply is lost may not have arrived: asked once more if still open.
    for (int attempt = 0; attempt < 2 && !gone; ++attempt) {
      int err = 0;
      const ReplyRecord* r = fiscal ? Annulment(password, 0, err) : CloseNonFiscalReceipt(password, err);
      gone = Accepted(r, err);
      if (gone || err != 0 || !Silent(r)) break;
      const auto after = ReadReceiptState(reads);
      if (!after) {
        out.outcome = ReceiptOutcome::Unknown;
        return out;
      }
      out.state = after;
      gone = !ours(*after);
    }
    if (!gone) {
      out.outcome = ReceiptOutcome::StillOpen;
      return out;
    }
    out.outcome = finish == ReceiptStep::Closing ? ReceiptOutcome::Printed : ReceiptOutcome::Undone;
    return out;
  }
  switch (step) {
    case ReceiptStep::Closing: out.outcome = ReceiptOutcome::Printed; break;
    case ReceiptStep::Undoing: out.outcome = ReceiptOutcome::Undone; break;
    case ReceiptStep::Opened: out.outcome = ReceiptOutcome::FinishedElsewhere; break;
    case ReceiptStep::Opening: out.outcome = ReceiptOutcome::NotPrinted; break;
  }
  return out;
}

}  // namespace kovrix::session
