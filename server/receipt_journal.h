#pragma once
// What the service keeps about the receipt it is printing, in one small file in its state
// directory, written before the receipt is opened ("receipt opened by request K at SEQ s"). A
// receipt left open by a lost reply, a crash or a power cut is then known as the service's own
// and finished later, while one opened by another program is left alone. A file beside it keeps
// the last outcomes of the receipts, so that a retry of a request whose answer was lost learns
// what became of it without running it again.

#include <cstdint>
#include <deque>
#include <fstream>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "platform/files.h"

namespace kovrix::server {

struct JournalEntry {
  std::uint64_t request = 0;  // the service's running request number
  int seq = 0;                // the link's frame sequence counter of the opening command
  std::string kind;           // "fiscal" or "non-fiscal"
  std::string step;           // the last step whose effect is open: "open" (sent), "opened" (the
                              // registrator opened it), "close" or "undo"
  std::string total;          // the receipt's total once the registrator printed it
};

/// One decided outcome: the HTTP status and body the request would have answered.
struct Outcome {
  int status = 0;
  nlohmann::ordered_json body;
};

class ReceiptJournal {
 public:
  /// How many decided outcomes are kept for retries.
  static constexpr std::size_t kKeptOutcomes = 64;

  /// Reads the journal file (an empty path keeps the journal in memory only); a missing or
  /// unreadable file reads as an empty journal.
  explicit ReceiptJournal(std::string path);
  ~ReceiptJournal();
  ReceiptJournal(const ReceiptJournal&) = delete;
  ReceiptJournal& operator=(const ReceiptJournal&) = delete;

  /// Answers the receipt the service opened and has not finished, if any.
  const std::optional<JournalEntry>& pending() const { return pending_; }
  /// Answers a new request number (never one used before, also across restarts, once a later
  /// step has saved the journal).
  std::uint64_t NextRequest() { return ++lastRequest_; }
  /// Answers a new request number and saves it at once, so that a note naming it outlives a crash
  /// without the number being given again.
  std::uint64_t Reserve();
  /// Answers the number of the last request that began a receipt (0: none yet).
  std::uint64_t lastBegun() const { return lastBegun_; }
  /// Records a receipt about to be opened; false when the file cannot be written.
  bool Begin(const JournalEntry& entry);
  /// Records the next step of the pending receipt (and its total once known).
  void Step(const std::string& step, const std::string& total = {});
  /// Ends the pending receipt; with an outcome, keeps it for a retry of the request.
  void Finish(const std::optional<Outcome>& outcome = std::nullopt);
  /// Answers the outcome kept for a request number, if any.
  std::optional<Outcome> Find(std::uint64_t request) const;
  /// Answers why the journal cannot be kept ("the receipt journal PATH cannot be written"), or
  /// an empty text while it can (or lives in memory only, without a state directory).
  std::string problem() const;

 private:
  bool Save();
  /// Rewrites the outcomes file whole with the kept outcomes (a file replaced in one step) and
  /// opens it again for appending.
  bool CompactOutcomes();
  /// Appends one outcome as a line of its own; compacts the file every kKeptOutcomes lines.
  bool AppendOutcome(std::uint64_t request, const Outcome& outcome);

  std::string path_;  // the pending receipt and the request counter; the outcomes beside it
  platform::RecordFile file_;   // the pending file, kept open: rewritten in place on every step
  std::uint64_t lastRequest_ = 0;
  std::uint64_t lastBegun_ = 0;
  std::optional<JournalEntry> pending_;
  std::deque<std::pair<std::uint64_t, Outcome>> outcomes_;
  std::ofstream outcomesFile_;  // the outcomes file, open for appending
  std::size_t appended_ = 0;    // lines appended since it was last written whole
  bool lastSaveFailed_ = false;
};

/// Answers the journal file for a port: server-receipt-<device path>.json in the state directory,
/// or an empty text when there is no state directory or no such device. The name earlier versions
/// kept their journal under.
std::string ReceiptJournalPath(const std::string& port);

/// Answers the journal file of a registrator, named after its id and its port as configured (not
/// the device file the port resolves to now, which may be missing at start or come back under
/// another name): server-receipt-<id>-<port>.json in the state directory; empty when there is no
/// state directory. A journal kept under the older name is moved to it, so that a receipt left
/// open before the update is still known as the service's own.
std::string RegistratorJournalPath(const std::string& id, const std::string& port);

}  // namespace kovrix::server
