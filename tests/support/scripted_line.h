#pragma once
// A SerialLine double for unit tests of the link: records every frame written and answers
// each one from a script of replies. Each script step is the list of bytes to deliver after
// the corresponding write; an empty step means silence (every read times out). As a device
// would, the line addresses each well-formed reply frame of a step to the frame just written
// (its SEQ and command, the checksum made anew); tests of replies to other frames turn that off.

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "driver/frame.h"
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
    bool writeFails = false;            // writes are refused (a device that vanished)
    std::string openedPort;
    int openedBaud = 0;
    bool open = false;
    bool addressReplies = true;         // reply frames take the SEQ and command of the frame written
    bool lost = false;                  // the connection is gone: reads fail until a new open
    bool loseWhenDrained = false;       // the connection goes once the pending bytes are read
    int opens = 0;
  };

  explicit ScriptedLine(Shared& s) : s_(s) {}

  bool open(const std::string& port, int baud) override {
    if (s_.openFails) return false;
    s_.openedPort = port;
    s_.openedBaud = baud;
    s_.open = true;
    s_.lost = false;
    ++s_.opens;
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
    if (s_.pending.empty() && s_.loseWhenDrained) {
      s_.loseWhenDrained = false;
      s_.lost = true;
    }
    if (s_.lost) return ReadResult::Error;
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
    if (s_.writeFails) return false;
    s_.written.emplace_back(bytes);
    if (!s_.replies.empty()) {
      s_.pending = s_.replies.front();
      s_.replies.pop_front();
      if (s_.addressReplies && bytes.size() >= 4 && static_cast<std::uint8_t>(bytes[0]) == kSOH) {
        Address(s_.pending, static_cast<char>(bytes[2]), static_cast<char>(bytes[3]));
      }
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
  bool lost() const override { return s_.open && s_.lost; }

 private:
  // Gives every reply frame with a good checksum in the bytes the SEQ and command given.
  static void Address(std::string& bytes, char seq, char command) {
    for (std::size_t soh = bytes.find(static_cast<char>(kSOH)); soh != std::string::npos;
         soh = bytes.find(static_cast<char>(kSOH), soh + 1)) {
      const std::size_t etx = bytes.find(static_cast<char>(kETX), soh);
      if (etx == std::string::npos || etx < soh + 10 || bytes[etx - 5] != static_cast<char>(kEndMark)) continue;
      const std::string_view summed = std::string_view(bytes).substr(soh + 1, etx - 5 - soh);
      if (EncodeBcc(ByteSum(summed)) != bytes.substr(etx - 4, 4)) continue;
      bytes[soh + 2] = seq;
      bytes[soh + 3] = command;
      bytes.replace(etx - 4, 4, EncodeBcc(ByteSum(std::string_view(bytes).substr(soh + 1, etx - 5 - soh))));
    }
  }

  Shared& s_;
};

}  // namespace kovrix::test
