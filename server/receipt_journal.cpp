#include "server/receipt_journal.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/port_state.h"

namespace kovrix::server {
namespace {

namespace fs = std::filesystem;
using nlohmann::ordered_json;

bool WriteWhole(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

ReceiptJournal::ReceiptJournal(std::string path) : path_(std::move(path)) {
  if (path_.empty()) return;
  std::ifstream in(path_, std::ios::binary);
  if (!in) return;
  std::stringstream text;
  text << in.rdbuf();
  const ordered_json j = ordered_json::parse(text.str(), nullptr, false);
  if (j.is_discarded() || !j.is_object()) return;
  try {
    lastRequest_ = j.value("lastRequest", std::uint64_t{0});
    if (j.contains("pending") && j["pending"].is_object()) {
      const ordered_json& p = j["pending"];
      pending_ = JournalEntry{p.at("request").get<std::uint64_t>(), p.at("seq").get<int>(),
                              p.at("kind").get<std::string>(), p.at("step").get<std::string>(),
                              p.value("total", std::string())};
    }
    if (j.contains("outcomes") && j["outcomes"].is_array()) {
      for (const ordered_json& o : j["outcomes"]) {
        outcomes_.emplace_back(o.at("request").get<std::uint64_t>(), Outcome{o.at("status").get<int>(), o.at("body")});
      }
    }
  } catch (const nlohmann::json::exception&) {
    // A damaged file keeps what could be read; the request counter still only grows.
  }
  while (outcomes_.size() > kKeptOutcomes) outcomes_.pop_front();
}

bool ReceiptJournal::Begin(const JournalEntry& entry) {
  pending_ = entry;
  if (Save()) return true;
  pending_.reset();
  return false;
}

void ReceiptJournal::Step(const std::string& step, const std::string& total) {
  if (!pending_) return;
  pending_->step = step;
  if (!total.empty()) pending_->total = total;
  Save();
}

void ReceiptJournal::Finish(const std::optional<Outcome>& outcome) {
  if (outcome && pending_) {
    outcomes_.emplace_back(pending_->request, *outcome);
    while (outcomes_.size() > kKeptOutcomes) outcomes_.pop_front();
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

// Written to a new file that replaces the old one by rename: a crash leaves one or the other
// whole. Readable by the owner only, like the other state files.
bool ReceiptJournal::Save() {
  if (path_.empty()) return true;
  ordered_json j = {{"lastRequest", lastRequest_}};
  if (pending_) {
    j["pending"] = {{"request", pending_->request}, {"seq", pending_->seq}, {"kind", pending_->kind},
                    {"step", pending_->step},       {"total", pending_->total}};
  }
  ordered_json outcomes = ordered_json::array();
  for (const auto& [number, outcome] : outcomes_)
    outcomes.push_back({{"request", number}, {"status", outcome.status}, {"body", outcome.body}});
  j["outcomes"] = std::move(outcomes);

  std::error_code ec;
  fs::create_directories(fs::path(path_).parent_path(), ec);
  const std::string temp = path_ + ".tmp" + std::to_string(::getpid());
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  const bool written = WriteWhole(fd, j.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
  if (::close(fd) != 0 || !written || std::rename(temp.c_str(), path_.c_str()) != 0) {
    ::unlink(temp.c_str());
    return false;
  }
  return true;
}

std::string ReceiptJournalPath(const std::string& port) {
  const std::string dir = cli::StateDirectory();
  const std::string device = cli::ResolvedDevicePath(port);
  if (dir.empty() || device.empty()) return {};
  std::string name = cli::StateFileName(device);
  if (name.size() > 4 && name.compare(name.size() - 4, 4, ".seq") == 0) name.resize(name.size() - 4);
  return dir + "/server-receipt-" + name + ".json";
}

}  // namespace kovrix::server
