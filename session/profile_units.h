#pragma once
// The profile's units: each is one read command and one write command of the registrator over
// one part of the profile (one tax, one header line, the registrator parameters, ...). Reading a
// profile reads units; applying one writes the units whose fields differ, and reads each back.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "driver/reply.h"
#include "session/device_profile.h"
#include "session/profile_fields.h"

namespace kovrix::session::profile {

/// What the units need to know of the run and of the registrator.
struct UnitContext {
  DeviceAccess access;
  int paymentTypes = kMaxPaymentTypes;
  bool fiscalised = false;
  bool shiftOpen = false;
  int logoBytes = 0;      // logo memory, diagnostic field 7
  int logoMaxWidth = 0;   // widest logo, diagnostic field 8
  bool writeUnreadable = false;
  nlohmann::json profile;  // the profile being applied (its passwords and the reminder's message)
};

/// When the registrator refuses a unit's write in its present state.
enum class Rule {
  None,
  ShiftClosed,       // while a shift is open
  NotFiscalised,     // once fiscalised, or while a shift is open
  OperatorPassword,  // without the operator's password to write the name with
};

/// A reply that does not say what it should (a field that is not a number, a bad address).
struct UnreadableReply {
  std::string message;  // English
  std::string russian;
};

struct Unit {
  std::string area;
  std::string name;                // "tax Б", for messages
  std::string russianName;         // in the genitive, as the Russian steps take it: "налога Б"
  std::vector<std::string> covers; // JSON Pointers of the profile fields it reads and writes
  std::vector<std::string> extra;  // JSON Pointers of fields it writes that cannot be read back
  Rule rule = Rule::None;
  /// Reads the unit: sends its command, fills `value` (an object of the covered fields relative
  /// to `base`, or a scalar) when the reply came. Throws UnreadableReply for a reply it cannot read.
  std::function<const ReplyRecord*(UnitContext&, nlohmann::json& value)> read;  // null: write-only
  /// Writes the unit's target value (the device's value with the profile's fields over it);
  /// answers the reply of the last command, err the argument check of the command API.
  std::function<const ReplyRecord*(UnitContext&, const nlohmann::json& target, int& err)> write;
  std::string base;  // the JSON Pointer `value` lives at
};

/// Answers the units of the areas (every area when empty), in the order of writing.
std::vector<Unit> MakeUnits(const std::vector<std::string>& areas, const UnitContext& context);

/// Answers whether a JSON Pointer is the prefix itself or lies under it.
bool Under(const std::string& path, const std::string& prefix);

/// Answers the leaves of a JSON value with their JSON Pointers, prefix first.
void Flatten(const nlohmann::json& value, const std::string& prefix,
             std::vector<std::pair<std::string, nlohmann::json>>& leaves);

/// Answers whether the registrator cannot read a profile field (a JSON Pointer) back.
bool Unreadable(const std::string& path);

}  // namespace kovrix::session::profile
