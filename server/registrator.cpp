#include "server/registrator.h"

#include <algorithm>

#include "driver/codepage.h"
#include "driver/error_text.h"
#include "driver/commands.h"
#include "session/detect.h"
#include "session/device_session.h"

namespace kovrix::server {

TurnQueue::Turn::Turn(TurnQueue& q) : q_(q), held_(true) {
  std::unique_lock lock(q_.mutex_);
  const std::uint64_t mine = q_.next_++;
  q_.cv_.wait(lock, [&] { return q_.serving_ == mine; });
}

TurnQueue::Turn::Turn(TurnQueue& q, std::chrono::milliseconds wait) : q_(q) {
  std::unique_lock lock(q_.mutex_);
  const std::uint64_t mine = q_.next_++;
  held_ = q_.cv_.wait_for(lock, wait, [&] { return q_.serving_ == mine; });
  // Not yet served: the turn skips this place when it gets there.
  if (!held_) q_.givenUp_.insert(mine);
}

TurnQueue::Turn::~Turn() {
  if (!held_) return;
  {
    std::lock_guard lock(q_.mutex_);
    q_.Advance();
  }
  q_.cv_.notify_all();
}

void TurnQueue::Advance() {
  ++serving_;
  while (givenUp_.erase(serving_) != 0) ++serving_;
}

bool ValidRegistratorId(const std::string& id) {
  if (id.empty() || id.size() > 32 || id == "detect") return false;
  return std::all_of(id.begin(), id.end(), [](char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
  });
}

namespace {

// While it lives, a read on the link waits out at most kStateSilenceMs of silence and is not
// repeated: a list or a scrape must not wait out a silent registrator's full time-outs.
class BoundedSilence {
 public:
  explicit BoundedSilence(Link& link) : link_(link), kept_(link.Timing()) {
    LinkTiming bounded = kept_;
    bounded.silencePasses = std::clamp(Registrator::kStateSilenceMs / std::max(1, kept_.readTimeoutMs), 1,
                                       std::max(1, kept_.silencePasses));
    link_.SetTiming(bounded);
    SetRepeatCount(0);
  }
  ~BoundedSilence() { link_.SetTiming(kept_); }
  BoundedSilence(const BoundedSilence&) = delete;
  BoundedSilence& operator=(const BoundedSilence&) = delete;

 private:
  Link& link_;
  LinkTiming kept_;
};

}  // namespace

Registrator::Registrator(RegistratorConfig config, std::string answersDirectory, const LinkTiming& timing)
    : config_(std::move(config)),
      link_(MakeLink(log_)),
      monitor_(*link_),
      service_(config_.device, RegistratorJournalPath(config_.id, config_.device.port)),
      answers_(std::move(answersDirectory)) {
  link_->SetTiming(timing);
  // The link's own watcher: a registrator's link is never the window's.
  link_->SetExchangeWatcher(&monitor_);
  answers_.Prune();
}

nlohmann::ordered_json Registrator::State(std::chrono::milliseconds wait) {
  nlohmann::ordered_json state{{"id", config_.id}, {"port", config_.device.port}, {"speed", config_.device.baud}};
  const Turn turn(*this, wait);
  state["busy"] = !turn.held();
  if (!turn.held()) {
    state["message"] = "the registrator is busy with other requests; its state was not read";
    return state;
  }
  // Receipts are refused while their journal cannot be kept: the list says why.
  if (const std::string problem = service_.JournalProblem(); !problem.empty()) state["journal"] = problem;
  session::DeviceSession session(config_.device);
  if (!session.open()) {
    state["connected"] = false;
    state["message"] = session.error();
    return state;
  }
  int err = 0;
  const ReplyRecord* r = nullptr;
  {
    const BoundedSilence bounded(*link_);
    r = GetDiagnosticInfo(kDefaultPassword, err);
  }
  std::string text;
  const bool answered = err == 0 && (r->status & (ST_NO_REPLY | ST_NAK | ST_BAD_CHECKSUM)) == 0;
  state["connected"] = answered;
  if (!answered) {
    state["message"] = (err == 0 && (r->status & ST_NO_REPLY) == 0)
                           ? "the registrator's reply was spoilt (NAK or a wrong checksum)"
                           : "the registrator does not answer";
    return state;
  }
  if (!GetErrorText(*r, text)) {
    state["message"] = "the registrator refused the diagnostic read: " + Cp1251ToUtf8(r->errorText);
    return state;
  }
  state["model"] = Cp1251ToUtf8(r->field(1));
  state["version"] = Cp1251ToUtf8(r->field(2));
  state["serial"] = Cp1251ToUtf8(r->field(3));
  state["receiptOpen"] = (r->statusBytes[2] & 0x0F) != 0;
  return state;
}

nlohmann::ordered_json Registrator::Detect(bool inUse) {
  nlohmann::ordered_json entry{{"id", config_.id}};
  auto busy = [&] {
    session::DetectedPort port;
    port.port = config_.device.port;
    port.state = "busy";
    port.message = "the service is serving a request on this registrator";
    entry.update(session::DetectedPortJson(port));
    return entry;
  };
  // A registrator with a request running or waiting is in use: its port is not probed.
  if (inUse) return busy();
  const Turn turn(*this, std::chrono::milliseconds(0));
  if (!turn.held()) return busy();
  const std::vector<session::DetectedPort> found = session::DetectRegistrators({config_.device.port}, session::ProbeSpeeds());
  if (!found.empty()) entry.update(session::DetectedPortJson(found.front()));
  return entry;
}

void Registrator::Refresh(std::chrono::seconds interval, bool inUse) {
  if (inUse || !monitor_.Due(interval)) return;
  const Turn turn(*this, std::chrono::milliseconds(0));
  // Asked again in the turn: two scrapes at once read the registrator once.
  if (!turn.held() || service_.AwaitsSettling() || !monitor_.Due(interval)) return;
  monitor_.ReadingTried();
  session::DeviceSession session(config_.device);
  if (!session.open()) {
    monitor_.PortUnavailable(session.error());
    return;
  }
  const BoundedSilence bounded(*link_);
  monitor_.GaugesRead(ReadDeviceGauges(kDefaultPassword));
}

}  // namespace kovrix::server
