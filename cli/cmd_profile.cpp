// profile read|diff|apply: the registrator's settings as one JSON profile, read to stdout,
// compared with a file, or applied from a file.
#include <algorithm>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

#include "cli/cli.h"
#include "cli/device.h"
#include "session/device_profile.h"
#include "session/render.h"

namespace kovrix::cli {
namespace {

using nlohmann::json;
using nlohmann::ordered_json;
using session::ApplyResult;

constexpr const char* kUsage =
    "usage: profile read [--areas LIST] [--with-passwords] | profile diff FILE | "
    "profile apply FILE [--dry-run] [--skip-refused] [--write-unreadable]";

struct ProfileArgs {
  std::string action;
  std::string file;
  std::vector<std::string> areas;
  bool withPasswords = false;
  bool dryRun = false;
  bool skipRefused = false;
  bool writeUnreadable = false;
  session::DeviceAccess access;
  std::vector<std::string> modePasswords;  // programming, reports, admin
};

std::vector<std::string> Split(const std::string& text, char by) {
  std::vector<std::string> parts;
  std::stringstream in(text);
  std::string part;
  while (std::getline(in, part, by)) parts.push_back(part);
  return parts;
}

bool Parse(const std::vector<std::string>& args, ProfileArgs& p, std::string& error) {
  if (args.empty()) return (error = kUsage), false;
  p.action = args[0];
  if (p.action != "read" && p.action != "diff" && p.action != "apply") return (error = kUsage), false;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](std::string& into) {
      if (i + 1 >= args.size()) return (error = "profile: " + a + " needs a value"), false;
      into = args[++i];
      return true;
    };
    std::string v;
    if (a == "--areas" && p.action == "read") {
      if (!value(v)) return false;
      for (const std::string& area : Split(v, ',')) {
        const auto& known = session::ProfileAreas();
        if (std::find(known.begin(), known.end(), area) == known.end() || !session::AreaReadable(area)) {
          error = "profile: '" + area + "' is not an area the registrator reads back";
          return false;
        }
        p.areas.push_back(area);
      }
    } else if (a == "--with-passwords" && p.action == "read") {
      p.withPasswords = true;
    } else if (a == "--mode-passwords" && p.action == "read") {
      if (!value(v)) return false;
      p.modePasswords = Split(v, ',');
      if (p.modePasswords.size() != 3) return (error = "profile: --mode-passwords takes PROGRAMMING,REPORTS,ADMIN"), false;
    } else if (a == "--dry-run" && p.action == "apply") {
      p.dryRun = true;
    } else if (a == "--skip-refused" && p.action == "apply") {
      p.skipRefused = true;
    } else if (a == "--write-unreadable" && p.action == "apply") {
      p.writeUnreadable = true;
    } else if (a == "--password") {
      if (!value(p.access.password)) return false;
    } else if (a == "--admin-password") {
      if (!value(p.access.adminPassword)) return false;
    } else if (a == "--reminder-password") {
      if (!value(v)) return false;
      p.access.reminderPassword = v;
    } else if (p.action != "read" && p.file.empty() && (a == "-" || a.rfind("-", 0) != 0)) {
      p.file = a;
    } else {
      error = "profile " + p.action + ": unknown argument '" + a + "'";
      return false;
    }
  }
  if (p.action != "read" && p.file.empty()) return (error = kUsage), false;
  return true;
}

// Reads the profile file ("-": standard input) as JSON; false with the reason.
bool LoadFile(const std::string& path, json& profile, std::string& error) {
  std::string text;
  if (path == "-") {
    text.assign(std::istreambuf_iterator<char>(std::cin), {});
  } else {
    std::ifstream in(path, std::ios::binary);
    if (!in) return (error = "cannot read " + path), false;
    text.assign(std::istreambuf_iterator<char>(in), {});
  }
  profile = json::parse(text, nullptr, false);
  if (profile.is_discarded()) return (error = path + " is not JSON"), false;
  return true;
}

int Refuse(Context& c, const std::vector<session::ProfileProblem>& problems) {
  if (c.options.json) c.out << session::DumpJson(ordered_json{{"status", "badInput"}, {"problems", session::ProblemsJson(problems)}}) << "\n";
  for (const auto& p : problems) c.err << "kovrix-cli: " << (p.path.empty() ? "/" : p.path) << " " << p.message << "\n";
  c.err << "kovrix-cli: the profile is refused whole; nothing was sent\n";
  return kExitUsage;
}

int FailureExit(const session::DeviceFailure& f) { return f.lost || f.errorCode.empty() ? kExitNoReply : kExitDeviceError; }

int ReportFailure(Context& c, const session::DeviceFailure& f) {
  c.err << "kovrix-cli: " << f.step << ": " << f.message << "\n";
  return FailureExit(f);
}

std::string Shown(const ordered_json& v) { return v.is_null() ? "-" : session::DumpJson(v); }

int Read(Context& c, const ProfileArgs& p) {
  session::ReadOptions options;
  options.areas = p.areas;
  options.access = p.access;
  if (p.withPasswords) {
    json passwords = json::object();
    if (!p.modePasswords.empty()) {
      passwords["programming"] = p.modePasswords[0];
      passwords["reports"] = p.modePasswords[1];
      passwords["admin"] = p.modePasswords[2];
    }
    if (p.access.reminderPassword) passwords["reminder"] = *p.access.reminderPassword;
    if (passwords.empty()) {
      c.err << "kovrix-cli: warning: the registrator does not tell its passwords; give them with --mode-passwords "
               "and --reminder-password to have them in the profile\n";
    }
    options.passwords = passwords;
  }
  const session::ReadResult r = session::ReadProfile(options);
  if (r.failure) return ReportFailure(c, *r.failure);
  c.out << r.profile.dump(2) << "\n";
  return kExitOk;
}

int Diff(Context& c, const json& profile, const ProfileArgs& p) {
  session::ReadOptions options;
  options.access = p.access;
  for (const std::string& a : session::ProfileAreas()) {
    if (profile.contains(a) && session::AreaReadable(a)) options.areas.push_back(a);
  }
  const session::ReadResult r = session::ReadProfile(options);
  if (r.failure) return ReportFailure(c, *r.failure);
  const auto rows = session::DiffProfiles(json::parse(r.profile.dump()), profile);
  const bool different = session::AnyDifferent(rows);
  if (c.options.json) {
    c.out << session::DumpJson(ordered_json{{"equal", !different}, {"fields", session::DiffJson(rows)}}) << "\n";
  } else {
    int count = 0;
    for (const auto& row : rows) {
      if (row.state == session::DiffRow::State::Equal) continue;
      if (row.state == session::DiffRow::State::Different) ++count;
      c.out << row.area << " " << row.path << ": device " << Shown(row.device) << ", profile " << Shown(row.profile)
            << (row.state == session::DiffRow::State::NotCompared ? " (not compared: the registrator cannot read it back)" : "")
            << "\n";
    }
    c.out << (different ? std::to_string(count) + " of " + std::to_string(rows.size()) + " fields differ"
                        : "equal: " + std::to_string(rows.size()) + " fields compared")
          << "\n";
  }
  return different ? kExitDeviceError : kExitOk;
}

int Apply(Context& c, const json& profile, const ProfileArgs& p) {
  session::ApplyOptions options;
  options.access = p.access;
  options.dryRun = p.dryRun;
  options.skipRefused = p.skipRefused;
  options.writeUnreadable = p.writeUnreadable;
  const ApplyResult r = session::ApplyProfile(profile, options);
  if (r.status == ApplyResult::Status::BadInput) return Refuse(c, r.problems);
  if (c.options.json) {
    c.out << session::DumpJson(session::ApplyResultJson(r)) << "\n";
  } else {
    for (const auto& f : r.fields) {
      c.out << session::OutcomeName(f.outcome) << " " << f.path << " = " << Shown(f.value)
            << (f.reason.empty() ? "" : " (" + f.reason + ")") << "\n";
    }
    if (p.dryRun) {
      c.out << "dry run: " << r.count(session::FieldOutcome::Planned) << " fields would be written, "
            << r.count(session::FieldOutcome::Refused) << " refused\n";
    } else {
      c.out << "written " << r.written() << ", refused " << r.count(session::FieldOutcome::Refused) << ", unknown "
            << r.count(session::FieldOutcome::Unknown) << ", not tried " << r.count(session::FieldOutcome::NotTried)
            << "\n";
    }
  }
  switch (r.status) {
    case ApplyResult::Status::Done:
      return kExitOk;
    case ApplyResult::Status::RefusedUpFront:
      c.err << "kovrix-cli: the registrator refuses some fields in its present state; nothing was written "
               "(--skip-refused writes the rest)\n";
      return kExitDeviceError;
    case ApplyResult::Status::BadInput:
      return kExitUsage;
    default:
      return ReportFailure(c, *r.failure);
  }
}

}  // namespace

int RunProfile(Context& context) {
  ProfileArgs p;
  std::string error;
  if (!Parse(context.options.args, p, error)) return Fail(context, error);
  json profile;
  if (p.action != "read") {
    if (!LoadFile(p.file, profile, error)) return Fail(context, "profile: " + error);
    // A bad file is refused before the port is even opened.
    if (const auto problems = session::CheckProfile(profile); !problems.empty()) return Refuse(context, problems);
  }
  session::DeviceSession session(context.options);
  if (!OpenOrReport(session, context)) return kExitUsage;
  if (p.action == "read") return Read(context, p);
  if (p.action == "diff") return Diff(context, profile, p);
  return Apply(context, profile, p);
}

}  // namespace kovrix::cli
