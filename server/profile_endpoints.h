#pragma once
// The registrator's profile over HTTP: GET reads it, PUT applies one (only the fields that differ
// are written, each read back). Each runs as a whole exchange in the registrator's turn, as the
// service's other operations do.

#include <string>

#include <nlohmann/json.hpp>

#include "server/service.h"
#include "session/device_profile.h"

namespace kovrix::server {

/// A PUT body: {"profile": {...}, "dryRun", "skipRefused", "writeUnreadable", "password",
/// "adminPassword", "reminderPassword"}.
struct ProfilePut {
  nlohmann::json profile;
  session::ApplyOptions options;
};

/// Reads a PUT body; BadRequest for options of the wrong type or a missing profile object (the
/// profile itself is checked whole when it runs, and answered with every bad field).
ProfilePut ReadProfilePut(const nlohmann::json& body);

/// Reads the profile of the areas (comma-separated; empty: all) with the password (empty: the
/// default one): 200 with the profile, 400 for an unknown area, 503 when the port cannot be had
/// or the registrator is silent, 409 when it refuses a read.
Answer ReadProfileAnswer(const session::DeviceOptions& device, const std::string& areas, const std::string& password);

/// Applies a profile: 200 done (or a dry run), 400 a bad profile (nothing sent), 409 refused (up
/// front, nothing written, or by the registrator, the rest not tried), 504 with "outcome":
/// "unknown" when a reply was lost; 503 when nothing could be sent.
Answer ApplyProfileAnswer(const session::DeviceOptions& device, const ProfilePut& put);

}  // namespace kovrix::server
