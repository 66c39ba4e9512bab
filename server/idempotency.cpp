#include "server/idempotency.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>

#include "server/sha256.h"
#include "platform/files.h"

namespace kovrix::server {
namespace {

namespace fs = std::filesystem;

std::int64_t SystemSeconds() {
  return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count();
}

constexpr std::int64_t kRetentionSeconds = std::chrono::seconds(IdempotencyStore::kRetention).count();

std::optional<nlohmann::json> ReadFile(const std::string& path) {
  std::ifstream in(fs::u8path(path), std::ios::binary);
  if (!in) return std::nullopt;
  std::stringstream text;
  text << in.rdbuf();
  nlohmann::json j = nlohmann::json::parse(text.str(), nullptr, false);
  if (j.is_discarded() || !j.is_object() || !j.contains("at") || !j["at"].is_number_integer()) return std::nullopt;
  return j;
}

}  // namespace

IdempotencyStore::IdempotencyStore(std::string directory, Clock clock)
    : directory_(std::move(directory)), clock_(clock ? std::move(clock) : Clock(SystemSeconds)) {}

bool IdempotencyStore::ValidKey(const std::string& key) {
  if (key.empty() || key.size() > 128) return false;
  for (unsigned char c : key)
    if (c < 0x21 || c > 0x7E) return false;
  return true;
}

std::string IdempotencyStore::PathOf(const std::string& key) const {
  return directory_ + "/" + Sha256Hex(key) + ".json";
}

bool IdempotencyStore::MakeDirectory() const { return platform::MakePrivateDirectory(directory_); }

std::optional<StoredAnswer> IdempotencyStore::Find(const std::string& key) const {
  if (!usable()) return std::nullopt;
  const auto j = ReadFile(PathOf(key));
  if (!j || clock_() - (*j)["at"].get<std::int64_t>() >= kRetentionSeconds) return std::nullopt;
  try {
    // The key itself is kept beside its digest, so that a file can only ever answer its own key.
    if ((*j).at("key").get<std::string>() != key) return std::nullopt;
    return StoredAnswer{(*j).at("request").get<std::string>(), (*j).at("status").get<int>(),
                        (*j).at("body").get<std::string>()};
  } catch (const nlohmann::json::exception&) {
    return std::nullopt;
  }
}

bool IdempotencyStore::Keep(const std::string& key, const StoredAnswer& answer, bool durable) {
  if (!usable() || !MakeDirectory()) return false;
  const std::int64_t now = clock_();
  if (now - lastPrune_ >= std::chrono::seconds(kPruneInterval).count()) {
    lastPrune_ = now;
    Prune();
  }
  const nlohmann::json j = {{"at", now},
                            {"key", key},
                            {"request", answer.request},
                            {"status", answer.status},
                            {"body", answer.body}};
  // The answer appears whole: a crash leaves the old file or the new one.
  return platform::ReplaceFileWhole(PathOf(key), j.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace), durable);
}

void IdempotencyStore::Forget(const std::string& key) {
  if (usable()) platform::RemoveFile(PathOf(key));
}

void IdempotencyStore::Prune() {
  if (!usable()) return;
  std::error_code ec;
  const std::int64_t now = clock_();
  for (fs::directory_iterator it(directory_, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code removeError;
    // A temporary file is left only by a write that a crash cut short.
    if (it->path().filename().string().find(".json.tmp") != std::string::npos) {
      fs::remove(it->path(), removeError);
      continue;
    }
    if (it->path().extension() != ".json") continue;
    const auto j = ReadFile(it->path().string());
    if (!j || now - (*j)["at"].get<std::int64_t>() >= kRetentionSeconds) {
      fs::remove(it->path(), removeError);
    } else {
      platform::MakePrivateFile(it->path());
    }
  }
}

}  // namespace kovrix::server
