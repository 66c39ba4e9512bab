#include "session/lost_reply.h"

#include "driver/driver.h"

namespace kovrix::session {

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

}  // namespace kovrix::session
