#include "sim/fault_plan.h"

namespace kovrix::sim {

void FaultPlan::Queue(LineFault kind, int n) {
  std::lock_guard lock(mutex_);
  for (int i = 0; i < n; ++i) steps_.push_back(FaultStep{kind, 0, 20});
}

void FaultPlan::SynBeforeReply(int ms, int n, int intervalMs) {
  std::lock_guard lock(mutex_);
  for (int i = 0; i < n; ++i) steps_.push_back(FaultStep{LineFault::Syn, ms, intervalMs < 1 ? 1 : intervalMs});
}

void FaultPlan::Aim(std::uint8_t command, LineFault kind, int nth) {
  std::lock_guard lock(mutex_);
  aimed_.push_back(AimedFault{command, FaultStep{kind, 0, 20, 0}, nth < 0 ? 0 : nth, 0});
}

void FaultPlan::SilenceAfter(std::uint8_t command, int nth, int ms) {
  std::lock_guard lock(mutex_);
  aimed_.push_back(AimedFault{command, FaultStep{LineFault::Mute, 0, 20, ms < 0 ? 0 : ms}, nth < 0 ? 0 : nth, 0});
}

void FaultPlan::FailCommand(std::uint8_t command, ErrorCode code) {
  std::lock_guard lock(mutex_);
  failures_[command] = code;
}

void FaultPlan::FailCommandTimes(std::uint8_t command, ErrorCode code, int n) {
  std::lock_guard lock(mutex_);
  if (n > 0) countedFailures_[command] = CountedFailure{code, n};
}

void FaultPlan::ForceStatusBit(int byte, int bit, bool on) {
  if (byte < 0 || byte > 5 || bit < 0 || bit > 6) return;
  std::lock_guard lock(mutex_);
  const auto b = static_cast<std::size_t>(byte);
  const auto m = static_cast<std::uint8_t>(1u << bit);
  if (on) {
    masks_.set[b] |= m;
    masks_.clear[b] &= static_cast<std::uint8_t>(~m);
  } else {
    masks_.clear[b] |= m;
    masks_.set[b] &= static_cast<std::uint8_t>(~m);
  }
}

void FaultPlan::Clear() {
  std::lock_guard lock(mutex_);
  steps_.clear();
  aimed_.clear();
  failures_.clear();
  countedFailures_.clear();
  replacedData_.clear();
  masks_ = StatusMasks{};
}

std::optional<FaultStep> FaultPlan::TakeNext() {
  std::lock_guard lock(mutex_);
  if (steps_.empty()) return std::nullopt;
  FaultStep step = steps_.front();
  steps_.pop_front();
  return step;
}

void FaultPlan::ReplaceReplyData(std::uint8_t command, std::string data) {
  std::lock_guard lock(mutex_);
  replacedData_[command].push_back(std::move(data));
}

std::optional<std::string> FaultPlan::ReplacedData(std::uint8_t command) {
  std::lock_guard lock(mutex_);
  const auto it = replacedData_.find(command);
  if (it == replacedData_.end() || it->second.empty()) return std::nullopt;
  std::string data = std::move(it->second.front());
  it->second.pop_front();
  return data;
}

std::optional<FaultStep> FaultPlan::TakeAimed(std::uint8_t command, bool repeat) {
  std::lock_guard lock(mutex_);
  std::optional<FaultStep> fired;
  for (auto it = aimed_.begin(); it != aimed_.end();) {
    if (it->command != command) {
      ++it;
      continue;
    }
    if (it->nth == 0) {
      if (!fired) fired = it->step;
      ++it;
      continue;
    }
    // A counted fault aims at one new frame; the host's repeat of it finds the reply kept.
    if (!repeat && ++it->seen == it->nth) {
      if (!fired) fired = it->step;
      it = aimed_.erase(it);
      continue;
    }
    ++it;
  }
  return fired;
}

std::optional<ErrorCode> FaultPlan::CommandFailure(std::uint8_t command) {
  std::lock_guard lock(mutex_);
  // Counted failures come first, so that a standing one resumes when they are used up.
  if (const auto counted = countedFailures_.find(command); counted != countedFailures_.end()) {
    const ErrorCode code = counted->second.code;
    if (--counted->second.left <= 0) countedFailures_.erase(counted);
    return code;
  }
  const auto it = failures_.find(command);
  if (it == failures_.end()) return std::nullopt;
  return it->second;
}

StatusMasks FaultPlan::Masks() const {
  std::lock_guard lock(mutex_);
  return masks_;
}

}  // namespace kovrix::sim
