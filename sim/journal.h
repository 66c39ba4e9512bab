#pragma once
// The journal of every request frame the simulated registrator received: when, its SEQ,
// command and data, and what the device did with it. Thread-safe.

#include <chrono>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

namespace kovrix::sim {

enum class Outcome {
  Executed,     // executed and answered (the reply may be faulted on the way out)
  Repeated,     // a repeat of the previous frame: answered with the previous reply, not executed
  Failed,       // answered with an error code forced by the fault plan, not executed
  Naked,        // answered with NAK by the fault plan
  Dropped,      // ignored by the fault plan
  BadChecksum,  // checksum wrong: answered with NAK
  Offline,      // ignored: the registrator is off the serial link
};

struct JournalEntry {
  std::chrono::system_clock::time_point time;
  std::uint8_t seq = 0;
  std::uint8_t command = 0;
  std::string data;
  Outcome outcome = Outcome::Executed;
  std::string error;  // error field of the reply sent, empty when none was sent
};

class Journal {
 public:
  /// Most entries kept; older ones drop out.
  static constexpr std::size_t kCapacity = 100000;

  void Add(JournalEntry entry);
  std::vector<JournalEntry> Entries() const;
  std::size_t Size() const;
  void Clear();

 private:
  mutable std::mutex mutex_;
  std::deque<JournalEntry> entries_;
};

/// Answers a one-line text of an entry: "hh:mm:ss.mmm SEQ=21 CMD=21 executed 0000 data".
std::string Describe(const JournalEntry& entry);

}  // namespace kovrix::sim
