#pragma once
// Finding out what a command whose reply was lost did. A registrator keeps its last reply and
// answers a frame that repeats the last SEQ from that memory, without running it again; a frame
// that never arrived runs when it is repeated. So asking again with the same SEQ, before any other
// frame goes out, settles a lost reply exactly: the answer is what the command did, and the command
// has run once. Once another frame went out, only what the registrator reports of its state tells:
// for a receipt, the receipt state and the last receipt number of the diagnostic reply. Shared by
// the window and the service.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "driver/reply.h"

namespace kovrix::session {

/// How many times RecoverLostReply asks by default.
inline constexpr int kLostReplyTries = 3;

/// Answers whether the record leaves the command's outcome unknown: no valid reply came (silence,
/// NAK or a bad checksum after the link's repeats) while the frame went out.
bool ReplyLost(const ReplyRecord& record);

/// Right after a command of the link bound to this thread lost its reply (ReplyLost), asks the
/// registrator for that frame's reply again with the same SEQ, up to tries times; answers the
/// first valid reply (the command's own, run once), or null when the registrator stayed silent
/// (the outcome is still unknown) or nothing can be sent.
const ReplyRecord* RecoverLostReply(int tries = kLostReplyTries);

/// A command whose reply stayed lost, kept to be asked for again later with its SEQ.
struct LostCommand {
  int command = 0;
  std::string data;
  std::uint8_t counter = 0;  // the link's sequence counter after its frame
};

/// Answers the command of the link's latest record when its reply was lost; nothing otherwise.
std::optional<LostCommand> LatestLostCommand();

/// Answers whether the lost command's frame is still the last one the link sent: only then does
/// asking again with its SEQ give its own reply.
bool StillLast(const LostCommand& lost);

/// Asks for a lost command's reply again with its SEQ when its frame is still the link's last
/// (the link may have been closed and opened since); answers the first valid reply, or null when
/// the registrator stayed silent or another frame went out meanwhile.
const ReplyRecord* AskLostAgain(const LostCommand& lost, int tries = kLostReplyTries);

/// What the registrator reports of its receipt: status byte 2 of the diagnostic reply (80h) and
/// the last fiscal receipt's number (its field 10).
struct ReceiptState {
  int byte = 0;            // status byte 2, top bit cleared
  std::string lastNumber;  // as the registrator writes it (cp1251)
  int low() const { return byte & 0x0F; }
  bool open() const { return low() != 0; }
  bool nonFiscal() const { return low() == 5; }
};

/// Reads the receipt state with the default password; a silent registrator is asked again, up to
/// reads times in all. Nothing when it stays silent or refuses.
std::optional<ReceiptState> ReadReceiptState(int reads);

/// The last step of a receipt whose effect is known to have been asked for.
enum class ReceiptStep {
  Opening,  // the opening was sent (its reply may be lost)
  Opened,   // the registrator confirmed the opening
  Closing,  // the closing (the payment that completes it, or 65h) was sent
  Undoing,  // its annulment (fiscal) or closing without the rest (non-fiscal) was sent
};

enum class ReceiptOutcome {
  Printed,            // closed by its own closing step
  Undone,             // annulled (fiscal) or closed before its end (non-fiscal)
  NotPrinted,         // never opened
  FinishedElsewhere,  // opened, then closed or annulled by something else
  StillOpen,          // open, and could not be finished now
  Unknown,            // the registrator stayed silent
};

struct ReceiptSettlement {
  ReceiptOutcome outcome = ReceiptOutcome::Unknown;
  std::optional<ReceiptState> state;  // the last state read
};

/// Settles a receipt after a lost reply, from the state the registrator reports (read up to reads
/// times when not given). A receipt of the kind still open is finished first: a fiscal one
/// annulled, a non-fiscal one closed (which completes it when its closing step was sent); an
/// annulment whose reply is lost is checked by reading the state again. finishing is told the
/// step before the finishing command goes out, so that a journal records it first.
ReceiptSettlement SettleReceipt(bool fiscal, ReceiptStep step, const std::string& password, int reads,
                                std::optional<ReceiptState> state = std::nullopt,
                                const std::function<void(ReceiptStep)>& finishing = {});

}  // namespace kovrix::session
