#pragma once
// A script host over a fake registrator: replies are given per command code, and everything
// the engine shows (commands sent, trace lines, messages, delays, boxes, variable rows) is
// recorded as readable UTF-8 event lines.

#include <deque>
#include <map>
#include <string>
#include <vector>

#include "driver/reply.h"
#include "monitor/script/headless_host.h"

namespace kovrix::test {

class FakeDeviceHost : public script::HeadlessHost {
 public:
  /// Queues a reply for a command code: "ERR;DATA" as the device sends it after CMD, or
  /// "timeout". The last reply of a code is repeated; a code with none answers "0000;".
  void AddReply(int code, const std::string& reply);
  /// Sets the stop flag when the n-th command (counted from 1) is sent.
  void StopOnSend(int n) { stopOnSend_ = n; }
  /// Sets the stop flag during every Delay, as a user pressing "Стоп" while it waits.
  void StopOnDelay() { stopOnDelay_ = true; }

  const ReplyRecord* execute(int code, const std::string& data) override;
  const ReplyRecord* lastReply() const override { return sends_ > 0 ? &record_ : nullptr; }
  void appendTrace(const std::string& line) override { Record("trace", line); }
  void showMessage(const std::string& text) override { Record("message", text); }
  void setErrorBox(const std::string& text) override;
  void setStatusBox(const std::string& text) override;
  void sleepMs(int ms) override;
  unsigned randomSeed() override { return 12345; }
  void variableShown(int row, const std::string& name, const std::string& value) override;

  std::vector<std::string> events;
  std::vector<std::string> traces;  // the trace lines alone, cp1251

 private:
  void Record(const std::string& kind, const std::string& cp1251);

  std::map<int, std::deque<std::string>> replies_;
  ReplyRecord record_;
  int sends_ = 0;
  int stopOnSend_ = 0;
  bool stopOnDelay_ = false;
};

/// Answers cp1251 text as UTF-8 with control characters, a backslash and a final blank
/// written as \xNN escapes, so that event lines survive in text files.
std::string Readable(const std::string& cp1251);

}  // namespace kovrix::test
