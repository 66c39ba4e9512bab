#include "server/idempotency.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>
#include <unistd.h>

namespace kovrix::server {
namespace {

namespace fs = std::filesystem;

std::int64_t NowSeconds() {
  return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count();
}

bool Fresh(std::int64_t at) { return NowSeconds() - at < std::chrono::seconds(IdempotencyStore::kRetention).count(); }

std::optional<nlohmann::json> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::stringstream text;
  text << in.rdbuf();
  nlohmann::json j = nlohmann::json::parse(text.str(), nullptr, false);
  if (j.is_discarded() || !j.is_object() || !j.contains("at") || !j["at"].is_number_integer()) return std::nullopt;
  return j;
}

}  // namespace

bool IdempotencyStore::ValidKey(const std::string& key) {
  if (key.empty() || key.size() > 128) return false;
  for (unsigned char c : key)
    if (c < 0x21 || c > 0x7E) return false;
  return true;
}

// The key is written out in hexadecimal: any printable key gives a safe file name of its own.
std::string IdempotencyStore::PathOf(const std::string& key) const {
  static const char* digits = "0123456789abcdef";
  std::string name;
  for (unsigned char c : key) {
    name += digits[c >> 4];
    name += digits[c & 15];
  }
  return directory_ + "/" + name + ".json";
}

std::optional<StoredAnswer> IdempotencyStore::Find(const std::string& key) const {
  if (!usable()) return std::nullopt;
  const auto j = ReadFile(PathOf(key));
  if (!j || !Fresh((*j)["at"].get<std::int64_t>())) return std::nullopt;
  try {
    return StoredAnswer{(*j).at("request").get<std::string>(), (*j).at("status").get<int>(),
                        (*j).at("body").get<std::string>()};
  } catch (const nlohmann::json::exception&) {
    return std::nullopt;
  }
}

bool IdempotencyStore::Keep(const std::string& key, const StoredAnswer& answer) {
  if (!usable()) return false;
  std::error_code ec;
  fs::create_directories(directory_, ec);
  const std::string path = PathOf(key);
  const std::string temp = path + ".tmp" + std::to_string(::getpid());
  const nlohmann::json j = {
      {"at", NowSeconds()}, {"request", answer.request}, {"status", answer.status}, {"body", answer.body}};
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    out << j.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    out.flush();
    if (!out) {
      fs::remove(temp, ec);
      return false;
    }
  }
  // The rename makes the answer appear whole: a crash leaves the old file or the new one.
  fs::rename(temp, path, ec);
  if (!ec) return true;
  fs::remove(temp, ec);
  return false;
}

void IdempotencyStore::Prune() {
  if (!usable()) return;
  std::error_code ec;
  for (fs::directory_iterator it(directory_, ec), end; !ec && it != end; it.increment(ec)) {
    if (it->path().extension() != ".json") continue;
    const auto j = ReadFile(it->path().string());
    if (!j || !Fresh((*j)["at"].get<std::int64_t>())) fs::remove(it->path(), ec);
  }
}

}  // namespace kovrix::server
