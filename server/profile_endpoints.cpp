#include "server/profile_endpoints.h"

#include <algorithm>
#include <sstream>

#include "driver/commands.h"
#include "server/request.h"
#include "session/device_session.h"

namespace kovrix::server {
namespace {

using nlohmann::json;
using nlohmann::ordered_json;
using session::ApplyResult;

bool Flag(const json& body, const char* key) {
  if (!body.contains(key)) return false;
  if (!body[key].is_boolean()) throw BadRequest(std::string(key) + " must be true or false");
  return body[key].get<bool>();
}

std::string Password(const json& body, const char* key, const std::string& fallback) {
  if (!body.contains(key)) return fallback;
  const json& v = body[key];
  if (!v.is_string() || v.get<std::string>().empty() || v.get<std::string>().size() > 6 ||
      v.get<std::string>().find_first_not_of("0123456789") != std::string::npos) {
    throw BadRequest(std::string(key) + " must be 1 to 6 digits");
  }
  return v.get<std::string>();
}

Answer Unavailable(const session::DeviceSession& s) { return Answer{503, {{"message", s.error()}}}; }

// A failed read has changed nothing: silence may simply be tried again.
Answer ReadFailure(const session::DeviceFailure& f) {
  if (f.errorCode.empty()) {
    return Answer{503, {{"message", "the registrator does not answer; nothing was written, try again"}, {"step", f.step},
                        {"detail", f.message}}};
  }
  return Answer{409, {{"message", f.message}, {"error", f.errorCode}, {"step", f.step}}};
}

}  // namespace

ProfilePut ReadProfilePut(const json& body) {
  if (!body.is_object()) throw BadRequest("the body must be an object with the profile in \"profile\"");
  for (const auto& [key, value] : body.items()) {
    static const char* const kKeys[] = {"profile", "dryRun", "skipRefused", "writeUnreadable", "password",
                                        "adminPassword", "reminderPassword"};
    if (std::none_of(std::begin(kKeys), std::end(kKeys), [&](const char* k) { return key == k; })) {
      throw BadRequest("unknown field " + key);
    }
  }
  if (!body.contains("profile") || !body["profile"].is_object()) throw BadRequest("profile must be an object");
  ProfilePut put;
  put.profile = body["profile"];
  put.options.dryRun = Flag(body, "dryRun");
  put.options.skipRefused = Flag(body, "skipRefused");
  put.options.writeUnreadable = Flag(body, "writeUnreadable");
  put.options.access.password = Password(body, "password", kDefaultPassword);
  put.options.access.adminPassword = Password(body, "adminPassword", "");
  if (body.contains("reminderPassword")) {
    const json& v = body["reminderPassword"];
    if (!v.is_string() || v.get<std::string>().size() > 6 ||
        v.get<std::string>().find_first_not_of("0123456789") != std::string::npos) {
      throw BadRequest("reminderPassword must be up to 6 digits");
    }
    put.options.access.reminderPassword = v.get<std::string>();
  }
  return put;
}

Answer ReadProfileAnswer(const session::DeviceOptions& device, const std::string& areas, const std::string& password) {
  session::ReadOptions options;
  if (!password.empty()) options.access.password = password;
  std::stringstream list(areas);
  for (std::string area; std::getline(list, area, ',');) {
    const auto& known = session::ProfileAreas();
    if (std::find(known.begin(), known.end(), area) == known.end() || !session::AreaReadable(area)) {
      return Answer{400, {{"message", "'" + area.substr(0, 64) + "' is not an area the registrator reads back"}}};
    }
    options.areas.push_back(area);
  }
  session::DeviceSession session(device);
  if (!session.open()) return Unavailable(session);
  const session::ReadResult r = session::ReadProfile(options);
  if (r.failure) return ReadFailure(*r.failure);
  return Answer{200, r.profile};
}

Answer ApplyProfileAnswer(const session::DeviceOptions& device, const ProfilePut& put) {
  if (const auto problems = session::CheckProfile(put.profile); !problems.empty()) {
    return Answer{400, {{"message", "the profile is refused whole; nothing was sent"},
                        {"problems", session::ProblemsJson(problems)}}};
  }
  session::DeviceSession session(device);
  if (!session.open()) return Unavailable(session);
  const ApplyResult r = session::ApplyProfile(put.profile, put.options);
  ordered_json body = session::ApplyResultJson(r);
  switch (r.status) {
    case ApplyResult::Status::Done:
      return Answer{200, body};
    case ApplyResult::Status::BadInput:
      body["message"] = "the profile does not fit this registrator; nothing was written";
      return Answer{400, body};
    case ApplyResult::Status::ReadFailed:
      return ReadFailure(*r.failure);
    case ApplyResult::Status::Lost:
      body["message"] = r.failure->message;
      body["outcome"] = "unknown";
      return Answer{504, body};
    case ApplyResult::Status::RefusedUpFront:
      body["message"] = "the registrator refuses some fields in its present state; nothing was written";
      return Answer{409, body};
    case ApplyResult::Status::Stopped:
      body["message"] = r.failure->message;
      return Answer{409, body};
  }
  return Answer{500, {{"message", "internal error"}}};
}

}  // namespace kovrix::server
