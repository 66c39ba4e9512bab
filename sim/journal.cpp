#include "sim/journal.h"

#include <cstdio>
#include <ctime>

namespace kovrix::sim {

void Journal::Add(JournalEntry entry) {
  std::lock_guard lock(mutex_);
  entries_.push_back(std::move(entry));
  if (entries_.size() > kCapacity) entries_.pop_front();
}

std::vector<JournalEntry> Journal::Entries() const {
  std::lock_guard lock(mutex_);
  return {entries_.begin(), entries_.end()};
}

std::size_t Journal::Size() const {
  std::lock_guard lock(mutex_);
  return entries_.size();
}

void Journal::Clear() {
  std::lock_guard lock(mutex_);
  entries_.clear();
}

std::string Describe(const JournalEntry& e) {
  static const char* const kOutcomes[] = {"executed", "repeated", "failed", "naked", "dropped", "bad-checksum", "offline"};
  const auto t = std::chrono::system_clock::to_time_t(e.time);
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(e.time.time_since_epoch()).count() % 1000;
  std::tm local{};
  localtime_r(&t, &local);
  char head[96];
  std::snprintf(head, sizeof head, "%02d:%02d:%02d.%03d SEQ=%02X CMD=%02X %s %s ", local.tm_hour, local.tm_min,
                local.tm_sec, static_cast<int>(ms), e.seq, e.command, kOutcomes[static_cast<int>(e.outcome)],
                e.error.empty() ? "-" : e.error.c_str());
  return head + e.data;
}

}  // namespace kovrix::sim
