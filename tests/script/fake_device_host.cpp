#include "fake_device_host.h"

#include <cstdio>

#include "driver/codepage.h"
#include "driver/frame.h"

namespace kovrix::test {
namespace {

std::vector<std::string> SplitFields(const std::string& data) {
  std::vector<std::string> fields;
  std::size_t start = 0;
  for (std::size_t semi; (semi = data.find(';', start)) != std::string::npos; start = semi + 1)
    fields.push_back(data.substr(start, semi - start));
  if (start < data.size()) fields.push_back(data.substr(start));
  return fields;
}

}  // namespace

std::string Readable(const std::string& cp1251) {
  std::string out;
  const std::string utf8 = Cp1251ToUtf8(cp1251);
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(utf8[i]);
    const bool lastBlank = c == ' ' && i + 1 == utf8.size();
    if (c < 0x20 || c == 0x7F || c == '\\' || lastBlank) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02X", c);
      out += buf;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

void FakeDeviceHost::AddReply(int code, const std::string& reply) { replies_[code].push_back(reply); }

const ReplyRecord* FakeDeviceHost::execute(int code, const std::string& data) {
  ++sends_;
  char head[16];
  std::snprintf(head, sizeof head, "send %02X", static_cast<unsigned>(code));
  std::string event(head);
  if (!data.empty()) event.append(" ").append(Readable(data));
  events.push_back(event);
  if (sends_ == stopOnSend_) requestStop();

  std::deque<std::string>& queue = replies_[code];
  const std::string reply = queue.empty() ? "0000;" : queue.front();
  if (queue.size() > 1) queue.pop_front();

  const std::uint8_t seq = SeqByte(static_cast<std::uint8_t>(sends_));
  record_ = ReplyRecord{};
  record_.command = code;
  record_.sentData = data;
  record_.sentFrame = BuildRequestFrame(seq, static_cast<std::uint8_t>(code), data);
  if (reply == "timeout") {
    record_.status = ST_NO_REPLY;
    return &record_;
  }
  const std::size_t semi = reply.find(';');
  record_.errorText = reply.substr(0, semi);
  record_.replyData = semi == std::string::npos ? "" : reply.substr(semi + 1);
  record_.fields = SplitFields(record_.replyData);
  record_.fieldCount = static_cast<int>(record_.fields.size());
  record_.rawReply = BuildReplyFrame(seq, static_cast<std::uint8_t>(code), record_.errorText, record_.replyData,
                                     record_.statusBytes);
  return &record_;
}

void FakeDeviceHost::sleepMs(int ms) {
  events.push_back("delay " + std::to_string(ms));
  if (stopOnDelay_) requestStop();
}

void FakeDeviceHost::setErrorBox(const std::string& text) {
  HeadlessHost::setErrorBox(text);
  Record("error-box", text);
}

void FakeDeviceHost::setStatusBox(const std::string& text) {
  HeadlessHost::setStatusBox(text);
  Record("status-box", text);
}

void FakeDeviceHost::variableShown(int row, const std::string& name, const std::string& value) {
  Record("var", std::to_string(row) + " " + name + "=" + value);
}

void FakeDeviceHost::Record(const std::string& kind, const std::string& cp1251) {
  if (kind == "trace") traces.push_back(cp1251);
  events.push_back(kind + " " + Readable(cp1251));
}

}  // namespace kovrix::test
