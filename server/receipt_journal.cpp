#include "server/receipt_journal.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "server/state_files.h"
#include "session/port_state.h"

namespace kovrix::server {
namespace {

namespace fs = std::filesystem;
using nlohmann::ordered_json;

// The pending record's fixed size: larger than any record (a total of at most 16 characters).
constexpr std::size_t kRecordSize = 512;

ordered_json ReadJson(const std::string& path) {
  std::ifstream in(fs::u8path(path), std::ios::binary);
  if (!in) return ordered_json();
  std::stringstream text;
  text << in.rdbuf();
  const ordered_json j = ordered_json::parse(text.str(), nullptr, false);
  return j.is_discarded() ? ordered_json() : j;
}

}  // namespace

ReceiptJournal::ReceiptJournal(std::string path) : path_(std::move(path)) {
  if (path_.empty()) return;
  const ordered_json j = ReadJson(path_);
  try {
    if (j.is_object()) {
      lastRequest_ = j.value("lastRequest", std::uint64_t{0});
      lastBegun_ = j.value("lastBegun", std::uint64_t{0});
      if (j.contains("pending") && j["pending"].is_object()) {
        const ordered_json& p = j["pending"];
        pending_ = JournalEntry{p.at("request").get<std::uint64_t>(), p.at("seq").get<int>(),
                                p.at("kind").get<std::string>(), p.at("step").get<std::string>(),
                                p.value("total", std::string())};
      }
    }
    const ordered_json o = ReadJson(path_ + ".outcomes");
    if (o.is_array()) {
      for (const ordered_json& e : o)
        outcomes_.emplace_back(e.at("request").get<std::uint64_t>(), Outcome{e.at("status").get<int>(), e.at("body")});
    }
  } catch (const nlohmann::json::exception&) {
    // A damaged file keeps what could be read; the request counter still only grows.
  }
  while (outcomes_.size() > kKeptOutcomes) outcomes_.pop_front();
  std::error_code ec;
  fs::create_directories(fs::u8path(path_).parent_path(), ec);
  file_.Open(path_);
}

ReceiptJournal::~ReceiptJournal() = default;

std::uint64_t ReceiptJournal::Reserve() {
  const std::uint64_t number = ++lastRequest_;
  Save();
  return number;
}

bool ReceiptJournal::Begin(const JournalEntry& entry) {
  const std::uint64_t before = lastBegun_;
  pending_ = entry;
  lastBegun_ = std::max(lastBegun_, entry.request);
  if (Save()) return true;
  pending_.reset();
  lastBegun_ = before;
  return false;
}

void ReceiptJournal::Step(const std::string& step, const std::string& total) {
  if (!pending_) return;
  pending_->step = step;
  if (!total.empty()) pending_->total = total.substr(0, 32);  // keeps the record within its size
  Save();
}

void ReceiptJournal::Finish(const std::optional<Outcome>& outcome) {
  if (outcome && pending_) {
    outcomes_.emplace_back(pending_->request, *outcome);
    while (outcomes_.size() > kKeptOutcomes) outcomes_.pop_front();
    SaveOutcomes();
  }
  pending_.reset();
  Save();
}

std::optional<Outcome> ReceiptJournal::Find(std::uint64_t request) const {
  for (const auto& [number, outcome] : outcomes_) {
    if (number == request) return outcome;
  }
  return std::nullopt;
}

// The pending record is small and rewritten in place on every step of every receipt, padded
// with blanks to a fixed size, so that a step costs one write on a file kept open. A record torn
// by a crash reads as no record: the receipt it named then counts as another program's, which is
// left alone (409 saying how to annul it), never annulled by mistake.
std::string ReceiptJournal::problem() const {
  if (path_.empty() || (file_.isOpen() && !lastSaveFailed_)) return {};
  return "the receipt journal " + path_ + " cannot be written";
}

bool ReceiptJournal::Save() {
  if (path_.empty()) return true;
  if (!file_.isOpen()) return false;
  ordered_json j = {{"lastRequest", lastRequest_}, {"lastBegun", lastBegun_}};
  if (pending_) {
    j["pending"] = {{"request", pending_->request}, {"seq", pending_->seq}, {"kind", pending_->kind},
                    {"step", pending_->step},       {"total", pending_->total}};
  }
  std::string text = j.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
  if (text.size() < kRecordSize) text.append(kRecordSize - text.size(), ' ');
  lastSaveFailed_ = !file_.WriteAtStart(text);
  return !lastSaveFailed_;
}

// The outcomes change only when a receipt was settled late: written to a new file that replaces
// the old one by rename, so that a crash leaves one or the other whole.
bool ReceiptJournal::SaveOutcomes() {
  if (path_.empty()) return true;
  ordered_json outcomes = ordered_json::array();
  for (const auto& [number, outcome] : outcomes_)
    outcomes.push_back({{"request", number}, {"status", outcome.status}, {"body", outcome.body}});
  return ReplaceFileWhole(path_ + ".outcomes", outcomes.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace),
                          /*durable*/ false);
}

std::string ReceiptJournalPath(const std::string& port) {
  const std::string dir = session::StateDirectory();
  const std::string device = session::ResolvedDevicePath(port);
  if (dir.empty() || device.empty()) return {};
  std::string name = session::StateFileName(device);
  if (name.size() > 4 && name.compare(name.size() - 4, 4, ".seq") == 0) name.resize(name.size() - 4);
  return dir + "/server-receipt-" + name + ".json";
}

std::string RegistratorJournalPath(const std::string& id, const std::string& port) {
  const std::string dir = session::StateDirectory();
  if (dir.empty()) return {};
  std::string name = session::StateFileName(id + "-" + port);
  if (name.size() > 4 && name.compare(name.size() - 4, 4, ".seq") == 0) name.resize(name.size() - 4);
  const std::string path = dir + "/server-receipt-" + name + ".json";
  std::error_code ec;
  const std::string older = ReceiptJournalPath(port);
  if (!older.empty() && older != path && !fs::exists(fs::u8path(path), ec) && fs::exists(fs::u8path(older), ec)) {
    fs::rename(fs::u8path(older), fs::u8path(path), ec);
    if (!ec) fs::rename(fs::u8path(older + ".outcomes"), fs::u8path(path + ".outcomes"), ec);
  }
  return path;
}

}  // namespace kovrix::server
