#include "server/idempotency.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>

#include "server/sha256.h"

namespace kovrix::server {
namespace {

namespace fs = std::filesystem;

std::int64_t SystemSeconds() {
  return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count();
}

constexpr std::int64_t kRetentionSeconds = std::chrono::seconds(IdempotencyStore::kRetention).count();

std::optional<nlohmann::json> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::stringstream text;
  text << in.rdbuf();
  nlohmann::json j = nlohmann::json::parse(text.str(), nullptr, false);
  if (j.is_discarded() || !j.is_object() || !j.contains("at") || !j["at"].is_number_integer()) return std::nullopt;
  return j;
}

bool WriteAll(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
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

// The directory is made the owner's alone even when an earlier version left it open to others.
bool IdempotencyStore::MakeDirectory() const {
  std::error_code ec;
  const fs::path dir(directory_);
  if (dir.has_parent_path()) fs::create_directories(dir.parent_path(), ec);
  if (::mkdir(directory_.c_str(), 0700) != 0 && errno != EEXIST) return false;
  return ::chmod(directory_.c_str(), 0700) == 0;
}

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
  const std::string path = PathOf(key);
  const std::string temp = path + ".tmp" + std::to_string(::getpid());
  const nlohmann::json j = {{"at", now},
                            {"key", key},
                            {"request", answer.request},
                            {"status", answer.status},
                            {"body", answer.body}};
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return false;
  const bool written = WriteAll(fd, j.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace)) &&
                       (!durable || ::fsync(fd) == 0);
  const bool closed = ::close(fd) == 0;
  // The rename makes the answer appear whole: a crash leaves the old file or the new one.
  if (written && closed && ::rename(temp.c_str(), path.c_str()) == 0) return true;
  ::unlink(temp.c_str());
  return false;
}

void IdempotencyStore::Forget(const std::string& key) {
  if (usable()) ::unlink(PathOf(key).c_str());
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
      ::chmod(it->path().c_str(), 0600);
    }
  }
}

}  // namespace kovrix::server
