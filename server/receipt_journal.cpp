#include "server/receipt_journal.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "platform/files.h"
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

// The outcomes file holds one outcome per line; a file of an earlier version holds them as one
// array. A line that does not read (cut short by a crash) is passed over.
void ReadOutcomes(const std::string& path, std::deque<std::pair<std::uint64_t, Outcome>>& outcomes) {
  std::ifstream in(fs::u8path(path), std::ios::binary);
  std::vector<ordered_json> entries;
  std::string line;
  while (std::getline(in, line)) {
    const ordered_json j = ordered_json::parse(line, nullptr, false);
    if (j.is_array()) {
      entries.insert(entries.end(), j.begin(), j.end());
    } else if (j.is_object()) {
      entries.push_back(j);
    }
  }
  for (const ordered_json& e : entries) {
    try {
      outcomes.emplace_back(e.at("request").get<std::uint64_t>(), Outcome{e.at("status").get<int>(), e.at("body")});
    } catch (const nlohmann::json::exception&) {
    }
  }
}

std::string OutcomeLine(std::uint64_t request, const Outcome& outcome) {
  const ordered_json j = {{"request", request}, {"status", outcome.status}, {"body", outcome.body}};
  return j.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
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
  } catch (const nlohmann::json::exception&) {
    // A damaged file keeps what could be read; the request counter still only grows.
  }
  ReadOutcomes(path_ + ".outcomes", outcomes_);
  while (outcomes_.size() > kKeptOutcomes) outcomes_.pop_front();
  std::error_code ec;
  fs::create_directories(fs::u8path(path_).parent_path(), ec);
  file_.Open(path_);
  // Written whole at the start: a line a crash cut short goes, so that the next one appended
  // does not run on from it.
  CompactOutcomes();
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
    AppendOutcome(pending_->request, *outcome);
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

// Every finished receipt adds its outcome: one line appended to a file kept open costs one
// write, where rewriting the file would cost a new file and a rename per receipt. The file is
// written whole again (a new file renamed over it, so that a crash leaves one or the other whole)
// at the start and every kKeptOutcomes lines, which keeps it under twice that many.
bool ReceiptJournal::CompactOutcomes() {
  if (path_.empty()) return true;
  outcomesFile_.close();
  std::string text;
  for (const auto& [number, outcome] : outcomes_) text += OutcomeLine(number, outcome);
  const std::string path = path_ + ".outcomes";
  if (!platform::ReplaceFileWhole(path, text, /*durable*/ false)) return false;
  outcomesFile_.clear();
  outcomesFile_.open(fs::u8path(path), std::ios::binary | std::ios::app);
  appended_ = 0;
  return outcomesFile_.is_open();
}

bool ReceiptJournal::AppendOutcome(std::uint64_t request, const Outcome& outcome) {
  if (path_.empty()) return true;
  if (appended_ >= kKeptOutcomes || !outcomesFile_.is_open() || !outcomesFile_.good()) return CompactOutcomes();
  outcomesFile_ << OutcomeLine(request, outcome);
  outcomesFile_.flush();
  ++appended_;
  return outcomesFile_.good() || CompactOutcomes();
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
