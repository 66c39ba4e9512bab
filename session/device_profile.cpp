// Reading, comparing and applying a device profile over the units of profile_units.cpp.

#include "session/device_profile.h"

#include <algorithm>

#include "driver/codepage.h"
#include "driver/commands.h"
#include "driver/error_text.h"
#include "session/device_options.h"
#include "session/lost_reply.h"
#include "session/profile_fields.h"
#include "session/profile_units.h"

namespace kovrix::session {
namespace {

using nlohmann::json;
using nlohmann::ordered_json;
using profile::Unit;
using profile::UnitContext;
using Leaves = std::vector<std::pair<std::string, json>>;

// A text of a run in its two languages: English for kovrix-cli and the service, Russian for the window.
struct Texts {
  std::string english;
  std::string russian;
};

const Texts kStoppedBeforeIt{"stopped before it", "остановлено перед этим шагом"};

Texts Reading(const Unit& u) { return {"reading the " + u.name, "чтение " + u.russianName}; }
Texts Writing(const Unit& u) { return {"writing the " + u.name, "запись " + u.russianName}; }
Texts ReadingBack(const Unit& u) { return {"reading back the " + u.name, "проверочное чтение " + u.russianName}; }

DeviceFailure Failed(bool lost, const Texts& step, const std::string& errorCode, const Texts& message) {
  return DeviceFailure{lost, step.english, errorCode, message.english, step.russian, message.russian};
}

// The outcome of one exchange: nothing when it went through, else why not.
std::optional<DeviceFailure> Failure(const ReplyRecord* r, int err, const Texts& step) {
  if (err < 0) {
    const std::string code = std::to_string(err);
    return Failed(false, step, "",
                  {"the command refused its arguments (" + code + ")",
                   "команда не приняла свои аргументы (" + code + ")"});
  }
  const bool linkFault = r->linkFault != LinkFault::None;
  const Texts fault = linkFault ? Texts{LinkFaultText(r->linkFault), LinkFaultRussianText(r->linkFault)} : Texts{};
  if (ReplyLost(*r)) {
    const Texts why = linkFault ? fault : Texts{"no reply", "нет ответа"};
    return Failed(true, step, "",
                  {why.english + ": what the registrator did is unknown",
                   why.russian + ": что сделал регистратор, неизвестно"});
  }
  if (r->status & ST_NO_REPLY) {
    const Texts why = linkFault ? fault : Texts{"the port is not open", "порт не открыт"};
    return Failed(false, step, "", {why.english + ": nothing was sent", why.russian + ": ничего не отправлено"});
  }
  std::string text;
  if (GetErrorText(*r, text)) return std::nullopt;
  // The registrator's own text of its error code, Russian in both languages.
  const std::string code = Cp1251ToUtf8(r->errorText);
  const std::string own = text.empty() ? std::string() : ": " + Cp1251ToUtf8(text);
  return Failed(false, step, code,
                {"the registrator refused it with " + code + own, "регистратор отказал (ошибка " + code + ")" + own});
}

// The diagnostic read every run starts with: the number of payment types and the state bits.
std::optional<DeviceFailure> Diagnose(UnitContext& c, ordered_json* source) {
  int err = 0;
  const ReplyRecord* r = GetDiagnosticInfo(c.access.password, err);
  if (auto failed = Failure(r, err, {"GetDiagnosticInfo", "чтение диагностической информации"})) return failed;
  int count = 0;
  ParseDecimalInt(r->field(11), count);
  c.paymentTypes = count <= 0 || count > profile::kMaxPaymentTypes ? profile::kMaxPaymentTypes : count;
  c.fiscalised = (r->statusBytes[4] & 0x02) != 0;
  ParseDecimalInt(r->field(7), c.logoBytes);
  ParseDecimalInt(r->field(8), c.logoMaxWidth);
  c.shiftOpen = (r->status & ST_SHIFT_OPEN) != 0;
  if (source) {
    *source = ordered_json{{"model", Cp1251ToUtf8(r->field(1))},
                           {"version", Cp1251ToUtf8(r->field(2))},
                           {"serial", Cp1251ToUtf8(r->field(3))}};
  }
  return std::nullopt;
}

std::optional<DeviceFailure> ReadUnit(Unit& u, UnitContext& c, json& value) {
  const Texts step = Reading(u);
  try {
    const ReplyRecord* r = u.read(c, value);
    return Failure(r, 0, step);
  } catch (const profile::UnreadableReply& e) {
    return Failed(false, step, "", {e.message, e.russian});
  }
}

// Places a unit's value into a document at its base, field by field (units may share a base).
void Place(json& doc, const Unit& u, const json& value) {
  if (!value.is_object()) {
    doc[json::json_pointer(u.base)] = value;
    return;
  }
  for (const auto& [key, v] : value.items()) doc[json::json_pointer(u.base + "/" + key)] = v;
}

bool Covered(const Unit& u, const std::string& path) {
  return std::any_of(u.covers.begin(), u.covers.end(), [&](const std::string& c) { return profile::Under(path, c); });
}

std::vector<std::string> AreasIn(const json& p) {
  std::vector<std::string> areas;
  for (const std::string& a : ProfileAreas()) {
    if (p.contains(a)) areas.push_back(a);
  }
  return areas;
}

// A JSON document in the area order, format first.
ordered_json Ordered(const json& doc, const ordered_json& source) {
  ordered_json out{{"format", kProfileFormat}};
  if (!source.is_null()) out["source"] = source;
  for (const std::string& a : ProfileAreas()) {
    if (doc.contains(a)) out[a] = ordered_json::parse(doc[a].dump());
  }
  return out;
}

std::optional<Texts> StateRefusal(const Unit& u, const UnitContext& c) {
  switch (u.rule) {
    case profile::Rule::None:
      return std::nullopt;
    case profile::Rule::NotFiscalised:
      if (c.fiscalised) {
        return Texts{"the registrator is fiscalised: its fiscal numbers are fixed",
                     "регистратор фискализирован: его фискальные номера изменить нельзя"};
      }
      [[fallthrough]];
    case profile::Rule::ShiftClosed:
      if (c.shiftOpen) {
        return Texts{"a shift is open: close it with a Z report first", "открыта смена: сначала закройте её Z-отчетом"};
      }
      return std::nullopt;
    case profile::Rule::OperatorPassword:
      if (!c.profile.contains(json::json_pointer(u.extra.front()))) {
        return Texts{"the registrator writes an operator's name only with the operator's password, and the profile "
                     "gives none at " + u.extra.front(),
                     "регистратор записывает имя оператора только вместе с его паролем, а профиль не задаёт " +
                         u.extra.front()};
      }
      return std::nullopt;
  }
  return std::nullopt;
}

struct Step {
  Unit* unit;
  json target;               // what the unit's write sends
  std::vector<std::size_t> fields;  // indexes into the result's fields
  std::optional<Texts> refusal;
};

// A password is never echoed; the logo's bitmap is summed up by its size.
json Shown(const std::string& path, const json& value) {
  if (profile::Under(path, "/passwords")) return json("******");
  if (path == "/logo" && value.is_object()) {
    return json{{"width", value.value("width", 0)}, {"height", value.value("height", 0)}};
  }
  if (path == "/logo/bitmap" && value.is_string()) return json(std::to_string(value.get<std::string>().size() / 2) + " bytes");
  return value;
}

}  // namespace

const std::vector<std::string>& ProfileAreas() {
  static const std::vector<std::string> areas{"registratorParameters", "decimalPoint", "taxes",   "fiscal",
                                              "paymentTypes",          "operators",    "header",  "communication",
                                              "idDev",                 "serviceReminder", "logo",
                                              "passwords"};
  return areas;
}

bool AreaReadable(const std::string& area) { return area != "logo" && area != "passwords"; }

ReadResult ReadProfile(const ReadOptions& options) {
  ReadResult result;
  UnitContext c;
  c.access = options.access;
  ordered_json source;
  json doc = json::object();
  if (auto failed = Diagnose(c, &source)) {
    result.failure = failed;
    result.profile = Ordered(doc, nullptr);
    return result;
  }
  std::vector<Unit> units = profile::MakeUnits(options.areas, c);
  int done = 0;
  const int total = static_cast<int>(std::count_if(units.begin(), units.end(), [](const Unit& u) { return u.read != nullptr; }));
  for (Unit& u : units) {
    if (!u.read) continue;
    if (options.progress && !options.progress(done, total)) {
      result.failure = Failed(false, Reading(u), "", kStoppedBeforeIt);
      break;
    }
    json value;
    if (auto failed = ReadUnit(u, c, value)) {
      result.failure = failed;
      break;
    }
    Place(doc, u, value);
    ++done;
  }
  if (options.progress && !result.failure) options.progress(total, total);
  if (options.passwords && !options.passwords->empty()) doc["passwords"] = *options.passwords;
  result.profile = Ordered(doc, source);
  return result;
}

std::vector<DiffRow> DiffProfiles(const json& device, const json& wanted) {
  std::vector<DiffRow> rows;
  for (const std::string& area : AreasIn(wanted)) {
    Leaves leaves;
    profile::Flatten(wanted[area], "/" + area, leaves);
    for (auto& [path, value] : leaves) {
      DiffRow row;
      row.area = area;
      row.path = path;
      row.profile = ordered_json::parse(Shown(path, value).dump());
      const json::json_pointer p(path);
      if (profile::Unreadable(path)) {
        row.state = DiffRow::State::NotCompared;
      } else {
        if (device.contains(p)) row.device = ordered_json::parse(device.at(p).dump());
        row.state = device.contains(p) && device.at(p) == value ? DiffRow::State::Equal : DiffRow::State::Different;
      }
      rows.push_back(std::move(row));
    }
  }
  return rows;
}

bool AnyDifferent(const std::vector<DiffRow>& rows) {
  return std::any_of(rows.begin(), rows.end(), [](const DiffRow& r) { return r.state == DiffRow::State::Different; });
}

int ApplyResult::count(FieldOutcome outcome) const {
  return static_cast<int>(std::count_if(fields.begin(), fields.end(), [&](const FieldResult& f) { return f.outcome == outcome; }));
}

int ApplyResult::written() const { return count(FieldOutcome::Written); }

ApplyResult ApplyProfile(const json& wanted, const ApplyOptions& options) {
  ApplyResult result;
  result.problems = CheckProfile(wanted);
  if (!result.problems.empty()) {
    result.status = ApplyResult::Status::BadInput;
    return result;
  }
  UnitContext c;
  c.access = options.access;
  c.writeUnreadable = options.writeUnreadable;
  c.profile = wanted;
  if (auto failed = Diagnose(c, nullptr)) {
    result.status = ApplyResult::Status::ReadFailed;
    result.failure = failed;
    return result;
  }
  // What the registrator's own size decides.
  if (wanted.contains("paymentTypes") && static_cast<int>(wanted["paymentTypes"].size()) > c.paymentTypes) {
    for (std::size_t k = static_cast<std::size_t>(c.paymentTypes); k < wanted["paymentTypes"].size(); ++k) {
      const std::string count = std::to_string(c.paymentTypes);
      const std::string last = std::to_string(c.paymentTypes - 1);
      result.problems.push_back({"/paymentTypes/" + std::to_string(k),
                                 "the registrator has " + count + " payment types (0.." + last + ")",
                                 "в регистраторе форм оплаты: " + count + " (номера 0.." + last + ")"});
    }
    result.status = ApplyResult::Status::BadInput;
    return result;
  }

  if (wanted.contains("logo")) {
    const json& logo = wanted["logo"];
    if (c.logoMaxWidth > 0 && logo["width"].get<int>() > c.logoMaxWidth) {
      const std::string most = std::to_string(c.logoMaxWidth);
      result.problems.push_back({"/logo/width", "the registrator takes a logo at most " + most + " pixels wide",
                                 "шире, чем принимает регистратор (наибольшая ширина в точках: " + most + ")"});
    }
    if (c.logoBytes > 0 && static_cast<int>(logo["bitmap"].get<std::string>().size() / 2) > c.logoBytes) {
      const std::string most = std::to_string(c.logoBytes);
      result.problems.push_back({"/logo/bitmap", "the registrator keeps at most " + most + " bytes of logo",
                                 "больше памяти логотипа регистратора (наибольший размер в байтах: " + most + ")"});
    }
    if (!result.problems.empty()) {
      result.status = ApplyResult::Status::BadInput;
      return result;
    }
  }

  Leaves leaves;
  for (const std::string& area : AreasIn(wanted)) profile::Flatten(wanted[area], "/" + area, leaves);
  std::vector<Unit> units = profile::MakeUnits(AreasIn(wanted), c);

  // Read what the profile names and plan a write for every unit with a field that differs.
  std::vector<Step> steps;
  json device = json::object();
  for (Unit& u : units) {
    std::vector<std::size_t> mine;
    for (std::size_t i = 0; i < leaves.size(); ++i) {
      if (!profile::Unreadable(leaves[i].first) && Covered(u, leaves[i].first)) mine.push_back(i);
    }
    std::vector<std::string> blind;
    if (options.writeUnreadable) {
      for (const std::string& e : u.extra) {
        if (wanted.contains(json::json_pointer(e))) blind.push_back(e);
      }
    }
    if (mine.empty() && blind.empty()) continue;
    json value = json::object();
    if (u.read) {
      if (auto failed = ReadUnit(u, c, value)) {
        result.status = ApplyResult::Status::ReadFailed;
        result.failure = failed;
        return result;
      }
      Place(device, u, value);
    }
    Step step{&u, value, {}, StateRefusal(u, c)};
    for (std::size_t i : mine) {
      const auto& [path, v] = leaves[i];
      const json::json_pointer p(path);
      if (device.contains(p) && device.at(p) == v) continue;
      // The unit's target: the device's value with the profile's field over it.
      const std::string rel = path.substr(u.base.size());
      if (rel.empty()) {
        step.target = v;
      } else {
        step.target[json::json_pointer(rel)] = v;
      }
      step.fields.push_back(result.fields.size());
      result.fields.push_back(FieldResult{path, FieldOutcome::NotTried, ordered_json::parse(v.dump()), "", "", false});
    }
    for (const std::string& e : blind) {
      step.fields.push_back(result.fields.size());
      result.fields.push_back(
          FieldResult{e, FieldOutcome::NotTried, Shown(e, wanted.at(json::json_pointer(e))), "", "", false});
    }
    if (!step.fields.empty()) steps.push_back(std::move(step));
  }

  // Fields the registrator refuses in its present state are named before anything is written.
  bool refusedUpFront = false;
  for (const Step& s : steps) {
    if (!s.refusal) continue;
    refusedUpFront = true;
    for (std::size_t i : s.fields) {
      result.fields[i].outcome = FieldOutcome::Refused;
      result.fields[i].reason = s.refusal->english;
      result.fields[i].russianReason = s.refusal->russian;
      result.fields[i].upFront = true;
    }
  }
  if (refusedUpFront && !options.skipRefused) {
    result.status = ApplyResult::Status::RefusedUpFront;
    return result;
  }
  if (options.dryRun) {
    for (FieldResult& f : result.fields) {
      if (f.outcome == FieldOutcome::NotTried) f.outcome = FieldOutcome::Planned;
    }
    return result;
  }

  int done = 0;
  const int total = static_cast<int>(std::count_if(steps.begin(), steps.end(), [](const Step& s) { return !s.refusal; }));
  for (Step& s : steps) {
    if (s.refusal) continue;
    Unit& u = *s.unit;
    auto mark = [&](FieldOutcome outcome, const Texts& reason) {
      for (std::size_t i : s.fields) {
        result.fields[i].outcome = outcome;
        result.fields[i].reason = reason.english;
        result.fields[i].russianReason = reason.russian;
      }
    };
    if (options.progress && !options.progress(done, total)) {
      result.status = ApplyResult::Status::Stopped;
      result.failure = Failed(false, Writing(u), "", kStoppedBeforeIt);
      return result;
    }
    int err = 0;
    const ReplyRecord* r = u.write(c, s.target, err);
    if (auto failed = Failure(r, err, Writing(u))) {
      mark(failed->lost ? FieldOutcome::Unknown : FieldOutcome::Refused, {failed->message, failed->russianMessage});
      result.status = failed->lost ? ApplyResult::Status::Lost : ApplyResult::Status::Stopped;
      result.failure = failed;
      return result;
    }
    // Verified by reading the unit back.
    if (u.read) {
      json back = json::object();
      if (auto failed = ReadUnit(u, c, back)) {
        mark(FieldOutcome::Unknown, {"written, but " + failed->step + " failed: " + failed->message,
                                     "записано, но " + failed->russianStep + " не удалось: " + failed->russianMessage});
        result.status = failed->lost ? ApplyResult::Status::Lost : ApplyResult::Status::Stopped;
        result.failure = failed;
        return result;
      }
      json readBack = json::object();
      Place(readBack, u, back);
      for (std::size_t i : s.fields) {
        FieldResult& f = result.fields[i];
        const json::json_pointer p(f.path);
        if (profile::Unreadable(f.path)) {
          f.outcome = FieldOutcome::Written;
        } else if (readBack.contains(p) && readBack.at(p) == json::parse(f.value.dump())) {
          f.outcome = FieldOutcome::Written;
        } else {
          f.outcome = FieldOutcome::Refused;
          const bool got = readBack.contains(p);
          f.reason = "the registrator took the write but reads back " + (got ? readBack.at(p).dump() : "nothing");
          f.russianReason =
              "регистратор принял запись, но при чтении возвращает " + (got ? readBack.at(p).dump() : "ничего");
          result.status = ApplyResult::Status::Stopped;
          result.failure = Failed(false, ReadingBack(u), "", {f.reason, f.russianReason});
        }
      }
      if (result.status == ApplyResult::Status::Stopped) return result;
    } else {
      mark(FieldOutcome::Written, {});
    }
    ++done;
  }
  if (options.progress) options.progress(total, total);
  return result;
}

const char* OutcomeName(FieldOutcome outcome) {
  switch (outcome) {
    case FieldOutcome::Planned: return "planned";
    case FieldOutcome::Written: return "written";
    case FieldOutcome::Refused: return "refused";
    case FieldOutcome::Unknown: return "unknown";
    case FieldOutcome::NotTried: return "notTried";
  }
  return "";
}

const char* StatusName(ApplyResult::Status status) {
  switch (status) {
    case ApplyResult::Status::Done: return "done";
    case ApplyResult::Status::BadInput: return "badInput";
    case ApplyResult::Status::RefusedUpFront: return "refusedUpFront";
    case ApplyResult::Status::Stopped: return "stopped";
    case ApplyResult::Status::Lost: return "lost";
    case ApplyResult::Status::ReadFailed: return "readFailed";
  }
  return "";
}

ordered_json FailureJson(const DeviceFailure& f) {
  ordered_json out{{"step", f.step}, {"message", f.message}};
  if (!f.errorCode.empty()) out["error"] = f.errorCode;
  if (f.lost) out["outcome"] = "unknown";
  return out;
}

ordered_json ProblemsJson(const std::vector<ProfileProblem>& problems) {
  ordered_json out = ordered_json::array();
  for (const ProfileProblem& p : problems) out.push_back({{"path", p.path}, {"message", p.message}});
  return out;
}

ordered_json ApplyResultJson(const ApplyResult& result) {
  ordered_json out{{"status", StatusName(result.status)}};
  if (!result.problems.empty()) out["problems"] = ProblemsJson(result.problems);
  for (FieldOutcome o : {FieldOutcome::Planned, FieldOutcome::Written, FieldOutcome::Refused, FieldOutcome::Unknown,
                         FieldOutcome::NotTried}) {
    if (o == FieldOutcome::Planned && result.count(o) == 0) continue;
    out[OutcomeName(o)] = result.count(o);
  }
  ordered_json fields = ordered_json::array();
  for (const FieldResult& f : result.fields) {
    ordered_json row{{"path", f.path}, {"outcome", OutcomeName(f.outcome)}, {"value", f.value}};
    if (!f.reason.empty()) row["reason"] = f.reason;
    if (f.upFront) row["upFront"] = true;
    fields.push_back(std::move(row));
  }
  out["fields"] = std::move(fields);
  if (result.failure) out["failure"] = FailureJson(*result.failure);
  return out;
}

ordered_json DiffJson(const std::vector<DiffRow>& rows) {
  ordered_json out = ordered_json::array();
  for (const DiffRow& r : rows) {
    const char* state = r.state == DiffRow::State::Equal       ? "equal"
                        : r.state == DiffRow::State::Different ? "different"
                                                               : "notCompared";
    out.push_back({{"area", r.area}, {"path", r.path}, {"device", r.device}, {"profile", r.profile}, {"state", state}});
  }
  return out;
}

}  // namespace kovrix::session
