#pragma once
// The answers given to requests that carried an Idempotency-Key header, kept one file per key
// under the state directory so that a retry after a restart of the service still gets the first
// answer instead of printing again. A file is named by the SHA-256 of its key, so every key of
// the accepted length gives a name of the same short length. Answers older than the retention
// period count as absent and are removed as they expire. The directory is the owner's alone
// (0700) and so are the files (0600): answers hold amounts and receipt numbers.

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace kovrix::server {

struct StoredAnswer {
  std::string request;  // fingerprint of the first request (method, path and body)
  int status = 0;
  std::string body;
};

class IdempotencyStore {
 public:
  static constexpr std::chrono::hours kRetention{24};
  /// How often Keep also removes expired answers.
  static constexpr std::chrono::minutes kPruneInterval{10};
  /// Answers the time now in seconds since the epoch (tests move it).
  using Clock = std::function<std::int64_t()>;

  /// Keeps its files in directory (created on first use); an empty directory disables the store.
  explicit IdempotencyStore(std::string directory, Clock clock = {});

  /// Answers whether answers can be kept at all.
  bool usable() const { return !directory_.empty(); }
  /// Answers the answer kept for the key within the retention period, if any.
  std::optional<StoredAnswer> Find(const std::string& key) const;
  /// Keeps the answer for the key (written whole or not at all; flushed to the disk unless
  /// durable is false, which survives a crash of the program but not of the machine); false
  /// when it could not be written. Removes expired answers every kPruneInterval.
  bool Keep(const std::string& key, const StoredAnswer& answer, bool durable = true);
  /// Removes the answer kept for the key.
  void Forget(const std::string& key);
  /// Removes the files of answers older than the retention period and damaged ones.
  void Prune();

  /// Answers whether a key is acceptable: 1 to 128 printable ASCII characters.
  static bool ValidKey(const std::string& key);

 private:
  std::string PathOf(const std::string& key) const;
  bool MakeDirectory() const;

  std::string directory_;
  Clock clock_;
  std::int64_t lastPrune_ = 0;
};

}  // namespace kovrix::server
