#include "app/connection_state.h"

namespace kovrix {

const ReplyRecord& ConnectionState::LastReply() const {
  static const ReplyRecord empty;
  return lastReply ? *lastReply : empty;
}

}  // namespace kovrix
