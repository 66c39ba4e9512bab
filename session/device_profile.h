#pragma once
// The device profile: one JSON document with every setting the registrator lets us read back
// (header and advertising lines, taxes, fiscal numbers, payment types, operators, registrator and
// communication parameters, decimal point, ID_DEV, service reminder), read from a registrator,
// compared with one, checked, and applied to one. Values are in the units the screens show:
// amounts with two decimals, texts in UTF-8, masks as named switches, addresses dotted.
//
// What the registrator cannot read back (its passwords, the reminder's message, the logo) is an
// optional input: read never invents it, and apply writes it only when asked to (it cannot be
// compared, so it would be written every time). Everything goes through the command API and ExecuteCommand of
// the link bound to the calling thread; the caller opens the port first.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "driver/commands.h"

namespace kovrix::session {

/// The format number of the profile documents this build reads and writes.
inline constexpr int kProfileFormat = 1;

/// Answers the profile's areas (their JSON keys), in the order apply writes them.
const std::vector<std::string>& ProfileAreas();

/// Answers whether the registrator can read an area back (the logo and the passwords it cannot).
bool AreaReadable(const std::string& area);

/// A field of a profile that cannot be taken, named by its JSON Pointer ("/taxes/2/rate").
/// Every text of a run comes in English (kovrix-cli, the service's JSON answers) and in Russian
/// (the window), both made where the text is made.
struct ProfileProblem {
  std::string path;
  std::string message;  // English: "must be an integer"
  std::string russian;  // the same in Russian: "должно быть целым числом"
};

/// Checks a profile document whole: its format, the types of its values and each field's limits
/// (lengths, ranges, characters cp1251 lacks, ";" which would split a command's fields). Answers
/// every problem found; empty when the profile can be applied. Nothing is cut to fit.
std::vector<ProfileProblem> CheckProfile(const nlohmann::json& profile);

/// The passwords a run talks to the registrator with.
struct DeviceAccess {
  std::string password = kDefaultPassword;  // sent with every read and write
  std::string adminPassword;         // the administrator's, for the mode passwords; empty: `password`
  std::optional<std::string> reminderPassword;  // the service reminder's present one; none: the
                                                // profile's, else empty (a factory registrator)
};

/// Tells how far a long run has got (done of total commands); answering false stops it between
/// two commands.
using ProfileProgress = std::function<bool(int done, int total)>;

struct ReadOptions {
  std::vector<std::string> areas;  // empty: every area
  DeviceAccess access;
  /// Passwords to put into the profile (keys of its "passwords" object); written only when set,
  /// because the registrator never tells its own.
  std::optional<nlohmann::json> passwords;
  ProfileProgress progress;
};

/// Why a run stopped talking to the registrator.
struct DeviceFailure {
  bool lost = false;        // no valid reply (silence, NAK, bad checksum): the outcome is unknown
  std::string step;         // what was being done: "reading the tax Б"
  std::string errorCode;    // the reply's error field when the device refused
  std::string message;      // English, the device's own text (UTF-8) after it when it has one
  std::string russianStep;     // the step in Russian: "чтение налога Б"
  std::string russianMessage;  // the message in Russian, the device's own text as in `message`
};

struct ReadResult {
  std::optional<DeviceFailure> failure;  // set when the read stopped
  nlohmann::ordered_json profile;        // what was read before any failure
  bool ok() const { return !failure; }
};

/// Reads the areas from the registrator into a profile document.
ReadResult ReadProfile(const ReadOptions& options);

/// One field compared: the registrator's value and the profile's.
struct DiffRow {
  enum class State { Equal, Different, NotCompared };  // NotCompared: the device cannot read it back
  std::string area;
  std::string path;
  nlohmann::ordered_json device;   // null when not read
  nlohmann::ordered_json profile;
  State state = State::Equal;
};

/// Answers every field the profile gives, in the area order, compared with the device's profile.
std::vector<DiffRow> DiffProfiles(const nlohmann::json& device, const nlohmann::json& profile);

/// Answers whether any row differs.
bool AnyDifferent(const std::vector<DiffRow>& rows);

struct ApplyOptions {
  DeviceAccess access;
  bool dryRun = false;           // read and plan only
  bool skipRefused = false;      // write the rest when some fields cannot be written in this state
  bool writeUnreadable = false;  // also write the passwords, the reminder's message and the logo the profile gives
  ProfileProgress progress;
};

/// What became of one field of an apply.
enum class FieldOutcome {
  Planned,   // a dry run would write it
  Written,   // written and read back equal (or accepted, when it cannot be read back)
  Refused,   // refused, by the registrator or before anything was written
  Unknown,   // its command's reply was lost: written or not, the registrator alone knows
  NotTried,  // a field after the one that stopped the run
};

struct FieldResult {
  std::string path;
  FieldOutcome outcome = FieldOutcome::NotTried;
  nlohmann::ordered_json value;  // the profile's value
  std::string reason;            // why refused or unknown
  std::string russianReason;     // the same in Russian
  bool upFront = false;          // refused before anything was written
};

struct ApplyResult {
  enum class Status {
    Done,          // every field that differed is written (or nothing differed)
    BadInput,      // the profile was refused whole; nothing was sent
    RefusedUpFront,// fields the registrator refuses in its state; nothing was written
    Stopped,       // the registrator refused a write; the fields after it were not tried
    Lost,          // a reply was lost; that field's outcome is unknown, the later ones not tried
    ReadFailed,    // the registrator could not be read; nothing was written
  };
  Status status = Status::Done;
  std::vector<ProfileProblem> problems;  // BadInput
  std::vector<FieldResult> fields;       // every field that differed, in the order of writing
  std::optional<DeviceFailure> failure;  // Stopped, Lost, ReadFailed
  int written() const;
  int count(FieldOutcome outcome) const;
};

/// Applies a profile: checks it whole, reads the areas it names, writes only the fields that
/// differ, in the order the registrator needs (passwords last), each write verified by reading
/// its area back. Fields the registrator refuses in its present state (fiscal numbers once
/// fiscalised; taxes, payment types, decimal point and fiscal numbers while a shift is open;
/// an operator without a password to write with) are named before anything is written, and
/// the whole apply is refused unless skipRefused. The first refusal or lost reply stops the run.
ApplyResult ApplyProfile(const nlohmann::json& profile, const ApplyOptions& options);

/// Answers the names of the outcomes and statuses as the JSON answers spell them.
const char* OutcomeName(FieldOutcome outcome);
const char* StatusName(ApplyResult::Status status);

/// Answers the JSON form of the results and of the comparison.
nlohmann::ordered_json ApplyResultJson(const ApplyResult& result);
nlohmann::ordered_json DiffJson(const std::vector<DiffRow>& rows);
nlohmann::ordered_json FailureJson(const DeviceFailure& failure);
nlohmann::ordered_json ProblemsJson(const std::vector<ProfileProblem>& problems);

}  // namespace kovrix::session
