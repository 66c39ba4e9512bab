#include "monitor/trace_lines.h"

#include "monitor/script/script_text.h"

namespace kovrix {
namespace {

constexpr std::size_t kRequestHead = 4;   // SOH LEN SEQ CMD
constexpr std::size_t kRequestTail = 6;   // 05h, four BCC characters, ETX
constexpr std::size_t kReplyTail = 13;    // 04h, six status bytes, 05h, four BCC characters, ETX

// The bytes between a head and a tail of the given lengths; nothing when they overlap.
std::string_view Between(std::string_view frame, std::size_t head, std::size_t tail) {
  if (frame.size() <= head + tail) return {};
  return frame.substr(head, frame.size() - head - tail);
}

}  // namespace

std::string SendSentLine(std::string_view codeText, std::string_view sentFrame) {
  return "PC: (" + std::string(codeText) + ")" + std::string(Between(sentFrame, kRequestHead, kRequestTail));
}

std::string SendReceivedLine(std::string_view rawReply) {
  return "FP: " + std::string(Between(rawReply, 1, kReplyTail));
}

std::string WholeFrameLine(std::string_view prefix, std::string_view frame) {
  return std::string(prefix) + std::string(script::Mid(frame, 1));
}

std::string FrameErrorCode(std::string_view rawReply) { return std::string(script::Mid(rawReply, 4, 4)); }

QString CommandListEntry(const QString& code, const QString& data) { return code + QStringLiteral("->") + data; }

QString EntryCode(const QString& entry) { return entry.left(2); }

QString EntryData(const QString& entry) { return entry.mid(4); }

}  // namespace kovrix
