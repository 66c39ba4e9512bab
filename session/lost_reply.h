#pragma once
// Finding out what a command whose reply was lost did. A registrator keeps its last reply and
// answers a frame that repeats the last SEQ from that memory, without running it again; a frame
// that never arrived runs when it is repeated. So asking again with the same SEQ, before any other
// frame goes out, settles a lost reply exactly: the answer is what the command did, and the command
// has run once. Shared by the window and the service.

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

}  // namespace kovrix::session
