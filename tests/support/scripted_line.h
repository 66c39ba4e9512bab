#pragma once
// A SerialLine double for unit tests of the link: records every frame written and answers
// each one from a script of replies. Each script step is the list of bytes to deliver after
// the corresponding write; an empty step means silence (every read times out).

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "driver/serial_line.h"

namespace kovrix::test {

class ScriptedLine final : public SerialLine {
 public:
  struct Shared {
    std::vector<std::string> written;   // frames, in order
    std::deque<std::string> replies;    // one per write; missing = silence
    std::string pending;                // bytes still to deliver
    int reads = 0;                      // read calls, delivered or not
    int timeouts = 0;                   // reads that timed out
    int errorsToReport = 0;             // the next n empty reads report Error
    int clearErrors = 0;                // clearError calls
    int purges = 0;                     // purge calls (drain, then discard)
    int discards = 0;                   // discard calls (no drain)
    bool openFails = false;
    std::string openedPort;
    int openedBaud = 0;
    bool open = false;
  };

  explicit ScriptedLine(Shared& s) : s_(s) {}

  bool open(const std::string& port, int baud) override {
    if (s_.openFails) return false;
    s_.openedPort = port;
    s_.openedBaud = baud;
    s_.open = true;
    return true;
  }
  bool close() override {
    const bool was = s_.open;
    s_.open = false;
    return was;
  }
  bool isOpen() const override { return s_.open; }
  ReadResult readByte(std::uint8_t& byte, int) override {
    ++s_.reads;
    if (s_.pending.empty()) {
      if (s_.errorsToReport > 0) {
        --s_.errorsToReport;
        return ReadResult::Error;
      }
      ++s_.timeouts;
      return ReadResult::Timeout;
    }
    byte = static_cast<std::uint8_t>(s_.pending.front());
    s_.pending.erase(0, 1);
    return ReadResult::Byte;
  }
  bool write(std::string_view bytes) override {
    s_.written.emplace_back(bytes);
    if (!s_.replies.empty()) {
      s_.pending = s_.replies.front();
      s_.replies.pop_front();
    }
    return true;
  }
  void purge() override {
    ++s_.purges;
    s_.pending.clear();
  }
  void discard() override {
    ++s_.discards;
    s_.pending.clear();
  }
  void clearError() override { ++s_.clearErrors; }

 private:
  Shared& s_;
};

}  // namespace kovrix::test
