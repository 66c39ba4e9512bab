#pragma once
// The answers given to requests that carried an Idempotency-Key header, kept one file per key
// under the state directory so that a retry after a restart of the service still gets the first
// answer instead of printing again. Answers older than the retention period count as absent.

#include <chrono>
#include <optional>
#include <string>

namespace kovrix::server {

struct StoredAnswer {
  std::string request;  // method, path and body of the first request
  int status = 0;
  std::string body;
};

class IdempotencyStore {
 public:
  static constexpr std::chrono::hours kRetention{24};

  /// Keeps its files in directory (created on first use); an empty directory disables the store.
  explicit IdempotencyStore(std::string directory) : directory_(std::move(directory)) {}

  /// Answers whether answers can be kept at all.
  bool usable() const { return !directory_.empty(); }
  /// Answers the answer kept for the key within the retention period, if any.
  std::optional<StoredAnswer> Find(const std::string& key) const;
  /// Keeps the answer for the key (written whole or not at all); false when it could not be written.
  bool Keep(const std::string& key, const StoredAnswer& answer);
  /// Removes the files of answers older than the retention period.
  void Prune();

  /// Answers whether a key is acceptable: 1 to 128 printable ASCII characters.
  static bool ValidKey(const std::string& key);

 private:
  std::string PathOf(const std::string& key) const;
  std::string directory_;
};

}  // namespace kovrix::server
