// The read and write commands of every unit of the profile, with the conversions between the
// registrator's wire texts (cp1251, hexadecimal masks, DDMMYY) and the profile's values.

#include "session/profile_units.h"

#include <cstdio>

#include "driver/codepage.h"
#include "driver/commands.h"
#include "driver/driver.h"
#include "session/profile_fields.h"

namespace kovrix::session::profile {
namespace {

using nlohmann::json;

std::string Utf8(const std::string& cp1251) { return Cp1251ToUtf8(cp1251); }

// A text field of a reply. The reply splitter leaves ";" in empty fields at the end of a reply
// (";;" gives ";"), as the screens know: such a field is empty, and a trailing ";" is not text.
std::string Text(const ReplyRecord& r, int n) {
  const std::string& f = r.field(n);
  if (!f.empty() && f[0] == ';') return {};
  return Utf8(!f.empty() && f.back() == ';' ? f.substr(0, f.size() - 1) : f);
}
std::string Cp(const json& text) { return Utf8ToCp1251(text.get<std::string>()); }

long long Number(const ReplyRecord& r, int field, const std::string& what) {
  const std::string& t = r.field(field);
  std::size_t used = 0;
  long long value = 0;
  try {
    value = std::stoll(t, &used);
  } catch (const std::exception&) {
    used = 0;
  }
  if (t.empty() || used != t.size()) {
    throw UnreadableReply{"the reply to " + what + " has '" + Utf8(t) + "' where a number belongs (field " +
                              std::to_string(field) + ")",
                          "в поле " + std::to_string(field) + " ответа вместо числа '" + Utf8(t) + "'"};
  }
  return value;
}

template <std::size_t N>
json SwitchesOf(int mask, const std::array<Switch, N>& switches) {
  json out = json::object();
  for (const Switch& s : switches) out[s.name] = (mask & s.bit) != 0;
  return out;
}

template <std::size_t N>
int MaskOf(const json& value, const std::array<Switch, N>& switches) {
  int mask = 0;
  for (const Switch& s : switches) {
    if (value.value(s.name, false)) mask |= s.bit;
  }
  return mask;
}

template <std::size_t N>
json NameOf(long long index, const std::array<const char*, N>& names, const std::string& what) {
  if (index < 0 || index >= static_cast<long long>(N)) {
    throw UnreadableReply{"the reply to " + what + " has the unknown value " + std::to_string(index),
                          "в ответе неизвестное значение " + std::to_string(index)};
  }
  return names[static_cast<std::size_t>(index)];
}

int HexByte(const json& text) { return HexPrefix(text.get<std::string>()); }

std::string Upper(std::string s) {
  for (char& c : s) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return s;
}

// The network settings travel as eight hexadecimal digits per address (octets in order) and four
// per number, low byte first.
std::uint32_t WireAddress(const ReplyRecord& r, int field) {
  const std::string& t = r.field(field);
  if (t.size() != 8 || t.find_first_not_of("0123456789ABCDEF") != std::string::npos) {
    throw UnreadableReply{"the network settings' field " + std::to_string(field) + " is '" + Utf8(t) +
                              "', not eight hexadecimal digits",
                          "поле " + std::to_string(field) + " параметров связи — '" + Utf8(t) +
                              "', а не восемь шестнадцатеричных цифр"};
  }
  return static_cast<std::uint32_t>(std::stoul(t, nullptr, 16));
}

int WireLowFirst(const ReplyRecord& r, int field) {
  const std::string& t = r.field(field);
  if (t.size() != 4 || t.find_first_not_of("0123456789ABCDEF") != std::string::npos) {
    throw UnreadableReply{"the network settings' field " + std::to_string(field) + " is '" + Utf8(t) +
                              "', not four hexadecimal digits",
                          "поле " + std::to_string(field) + " параметров связи — '" + Utf8(t) +
                              "', а не четыре шестнадцатеричные цифры"};
  }
  const int v = static_cast<int>(std::stoul(t, nullptr, 16));
  return ((v & 0xFF) << 8) | (v >> 8);
}

std::string Hex8(std::uint32_t v) {
  char buf[12];
  std::snprintf(buf, sizeof buf, "%08X", v);
  return buf;
}

std::string LowFirst(int v) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "%02X%02X", v & 0xFF, (v >> 8) & 0xFF);
  return buf;
}

bool Selected(const std::vector<std::string>& areas, const char* area) {
  if (areas.empty()) return true;
  for (const std::string& a : areas) {
    if (a == area) return true;
  }
  return false;
}

const json* Given(const json& profile, const std::string& pointer) {
  const json::json_pointer p(pointer);
  return profile.contains(p) ? &profile.at(p) : nullptr;
}

void AddRegistratorParameters(std::vector<Unit>& units) {
  Unit u{"registratorParameters", "registrator parameters", "параметров регистратора", {"/registratorParameters"}, {},
         Rule::None, {}, {}, "/registratorParameters"};
  u.read = [](UnitContext& c, json& v) {
    int err = 0;
    const ReplyRecord* r = GetRegistratorParams(c.access.password, err);
    if (r->errorText != "0000" || r->fieldCount < 7) return r;
    v = json{{"contrast", NameOf(Number(*r, 2, "GetRegistratorParams"), kContrasts, "GetRegistratorParams")},
             {"document", SwitchesOf(HexPrefix(r->field(3)), kDocumentSwitches)},
             {"print", SwitchesOf(HexPrefix(r->field(4)), kPrintSwitches)},
             {"drawerOpenPulse", Upper(r->field(5))},
             {"drawerClosePulse", Upper(r->field(6))},
             {"nameLineChars", Number(*r, 7, "GetRegistratorParams")}};
    return r;
  };
  // The line speed is sent as 0, "leave unchanged": the link is the installation's, not the profile's.
  u.write = [](UnitContext& c, const json& t, int& err) {
    return SetRegistratorParams(c.access.password, 0, IndexOf(kContrasts, t["contrast"].get<std::string>()),
                                MaskOf(t["document"], kDocumentSwitches), MaskOf(t["print"], kPrintSwitches),
                                HexByte(t["drawerOpenPulse"]), HexByte(t["drawerClosePulse"]),
                                t["nameLineChars"].get<int>(), err);
  };
  units.push_back(std::move(u));
}

void AddDecimalPoint(std::vector<Unit>& units) {
  Unit u{"decimalPoint", "decimal point", "позиции десятичной точки", {"/decimalPoint"}, {}, Rule::ShiftClosed, {}, {},
         "/decimalPoint"};
  u.read = [](UnitContext& c, json& v) {
    int err = 0;
    const ReplyRecord* r = GetDecimalPoint(c.access.password, err);
    if (r->errorText == "0000") v = Number(*r, 1, "GetDecimalPoint");
    return r;
  };
  u.write = [](UnitContext& c, const json& t, int& err) { return SetDecimalPoint(c.access.password, t.get<int>(), err); };
  units.push_back(std::move(u));
}

void AddTaxes(std::vector<Unit>& units) {
  for (int n = 0; n < kTaxCount; ++n) {
    const std::string base = "/taxes/" + std::to_string(n);
    const std::string letter = kTaxLetters[static_cast<std::size_t>(n)];
    Unit u{"taxes", "tax " + letter, "налога " + letter, {base}, {}, Rule::ShiftClosed, {}, {}, base};
    u.read = [n](UnitContext& c, json& v) {
      int err = 0;
      const ReplyRecord* r = GetTaxes(c.access.password, n, err);
      if (r->errorText != "0000") return r;
      const long long link = Number(*r, 4, "GetTaxes");
      v = json{{"type", NameOf(Number(*r, 1, "GetTaxes"), kTaxTypes, "GetTaxes")},
               {"rate", r->field(2)},
               {"name", Text(*r, 3)},
               {"linked", link < 0 ? json(nullptr) : NameOf(link, kTaxLetters, "GetTaxes")}};
      return r;
    };
    u.write = [n](UnitContext& c, const json& t, int& err) {
      const int link = t["linked"].is_null() ? -1 : IndexOf(kTaxLetters, t["linked"].get<std::string>());
      return SetTaxesExt(c.access.password, n, IndexOf(kTaxTypes, t["type"].get<std::string>()),
                         t["rate"].get<std::string>(), Cp(t["name"]), link, err);
    };
    units.push_back(std::move(u));
  }
}

void AddFiscal(std::vector<Unit>& units) {
  Unit number{"fiscal", "fiscal number", "фискального номера", {"/fiscal/fiscalNumber"}, {}, Rule::NotFiscalised,
              {}, {}, "/fiscal"};
  number.read = [](UnitContext& c, json& v) {
    int err = 0;
    const ReplyRecord* r = GetFiscalNumber(c.access.password, err);
    if (r->errorText == "0000") v = json{{"fiscalNumber", Text(*r, 1)}};
    return r;
  };
  number.write = [](UnitContext& c, const json& t, int& err) {
    return SetFiscalNumber(c.access.password, t["fiscalNumber"].get<std::string>(), err);
  };
  units.push_back(std::move(number));

  Unit ids{"fiscal", "identification and tax numbers", "идентификационного и налогового номеров",
           {"/fiscal/taxId", "/fiscal/taxNumber"}, {}, Rule::NotFiscalised, {}, {}, "/fiscal"};
  ids.read = [](UnitContext& c, json& v) {
    int err = 0;
    const ReplyRecord* r = GetTaxIdNumber(c.access.password, err);
    if (r->errorText == "0000") v = json{{"taxId", Text(*r, 1)}, {"taxNumber", Text(*r, 2)}};
    return r;
  };
  ids.write = [](UnitContext& c, const json& t, int& err) {
    return SetTaxIdNumber(c.access.password, t["taxId"].get<std::string>(), t["taxNumber"].get<std::string>(), err);
  };
  units.push_back(std::move(ids));
}

void AddPaymentTypes(std::vector<Unit>& units, int count) {
  for (int k = 0; k < count; ++k) {
    const std::string base = "/paymentTypes/" + std::to_string(k);
    Unit u{"paymentTypes", "payment type " + std::to_string(k), "формы оплаты " + std::to_string(k), {base}, {},
           Rule::ShiftClosed, {}, {}, base};
    u.read = [k](UnitContext& c, json& v) {
      int err = 0;
      const ReplyRecord* r = GetPaymentParams(c.access.password, k, err);
      if (r->errorText != "0000") return r;
      v = SwitchesOf(HexPrefix(r->field(1)), kPaymentSwitches);
      v["name"] = Text(*r, 2);
      return r;
    };
    u.write = [k](UnitContext& c, const json& t, int& err) {
      return SetPaymentParams(c.access.password, k, MaskOf(t, kPaymentSwitches), Cp(t["name"]), err);
    };
    units.push_back(std::move(u));
  }
}

void AddOperators(std::vector<Unit>& units) {
  for (int k = 0; k < kOperatorCount; ++k) {
    const std::string base = "/operators/" + std::to_string(k);
    const std::string number = std::to_string(k + 1);
    Unit u{"operators", "operator " + number, "оператора " + number, {base}, {"/passwords/operators/" + number},
           Rule::OperatorPassword, {}, {}, base};
    u.read = [k](UnitContext& c, json& v) {
      int err = 0;
      const ReplyRecord* r = GetOperatorParams(c.access.password, k + 1, err);
      if (r->errorText == "0000") v = json{{"name", Text(*r, 2)}};
      return r;
    };
    // The registrator takes an operator's name only together with the operator's password.
    u.write = [k, number](UnitContext& c, const json& t, int& err) {
      const json* password = Given(c.profile, "/passwords/operators/" + number);
      return SetOperatorParams(c.access.password, k + 1, password ? password->get<std::string>() : std::string(),
                               Cp(t["name"]), err);
    };
    units.push_back(std::move(u));
  }
}

void AddHeader(std::vector<Unit>& units) {
  for (int line = 0; line < kHeaderLines + kAdvertisingLines; ++line) {
    const bool advertising = line >= kHeaderLines;
    const std::string base = advertising ? "/header/advertising/" + std::to_string(line - kHeaderLines)
                                         : "/header/lines/" + std::to_string(line);
    Unit u{"header", (advertising ? "advertising line " : "header line ") + std::to_string(line),
           (advertising ? "строки рекламного текста " : "строки заголовка ") + std::to_string(line), {base}, {},
           Rule::None, {}, {}, base};
    u.read = [line](UnitContext& c, json& v) {
      int err = 0;
      const ReplyRecord* r = GetHeaderFooter(c.access.password, line, err);
      if (r->errorText == "0000") {
        v = json{{"text", Text(*r, 1)}, {"width", r->field(2).rfind('1', 0) == 0 ? "double" : "single"}};
      }
      return r;
    };
    u.write = [line](UnitContext& c, const json& t, int& err) {
      return SetHeaderFooter(c.access.password, line, Cp(t["text"]), t["width"] == "double" ? 1 : 0, err);
    };
    units.push_back(std::move(u));
  }
}

void AddCommunication(std::vector<Unit>& units) {
  Unit u{"communication", "network settings", "параметров связи", {"/communication"}, {}, Rule::None, {}, {},
         "/communication"};
  u.read = [](UnitContext& c, json& v) {
    const ReplyRecord* r = ExecuteCommand(0xFA, Utf8ToCp1251(c.access.password) + ";");
    if (r->errorText != "0000") return r;
    v = json{{"dhcp", r->field(1) != "0"},          {"address", Dotted(WireAddress(*r, 2))},
             {"mask", Dotted(WireAddress(*r, 3))},  {"gateway", Dotted(WireAddress(*r, 4))},
             {"server", Dotted(WireAddress(*r, 5))}, {"port", WireLowFirst(*r, 6)},
             {"period", WireLowFirst(*r, 7)},      {"retry", WireLowFirst(*r, 8)}};
    return r;
  };
  u.write = [](UnitContext& c, const json& t, int& err) {
    err = 0;
    std::string data = c.access.password + ";" + (t["dhcp"].get<bool>() ? "1" : "0") + ";";
    for (const char* a : {"address", "mask", "gateway", "server"}) data += Hex8(*ParseDotted(t[a].get<std::string>())) + ";";
    for (const char* n : {"port", "period", "retry"}) data += LowFirst(t[n].get<int>()) + ";";
    return ExecuteCommand(0xFB, Utf8ToCp1251(data));
  };
  units.push_back(std::move(u));
}

void AddIdDev(std::vector<Unit>& units) {
  Unit u{"idDev", "ID_DEV", "ID_DEV", {"/idDev"}, {}, Rule::None, {}, {}, "/idDev"};
  u.read = [](UnitContext& c, json& v) {
    const ReplyRecord* r = ExecuteCommand(0x4C, Utf8ToCp1251(c.access.password) + ";");
    if (r->errorText == "0000") v = Number(*r, 1, "the ID_DEV read");
    return r;
  };
  u.write = [](UnitContext& c, const json& t, int& err) {
    err = 0;
    return ExecuteCommand(0x4B, Utf8ToCp1251(c.access.password + ";" + std::to_string(t.get<long long>()) + ";"));
  };
  units.push_back(std::move(u));
}

std::string ReminderPassword(const UnitContext& c) {
  if (c.access.reminderPassword) return *c.access.reminderPassword;
  const json* given = Given(c.profile, "/passwords/reminder");
  return given ? given->get<std::string>() : std::string();
}

void AddServiceReminder(std::vector<Unit>& units) {
  Unit u{"serviceReminder", "service reminder", "напоминания о техническом обслуживании", {"/serviceReminder"},
         {"/serviceReminder/message", "/passwords/reminder"}, Rule::None, {}, {}, "/serviceReminder"};
  u.read = [](UnitContext& c, json& v) {
    int err = 0;
    const ReplyRecord* r = GetServiceInfo(c.access.password, err);
    if (r->errorText != "0000") return r;
    const std::string& d = r->field(1);
    if (d.size() != 6) {
      throw UnreadableReply{"the reminder's date '" + Utf8(d) + "' is not DDMMYY",
                            "дата обслуживания '" + Utf8(d) + "' не в виде ДДММГГ"};
    }
    v = json{{"date", d.substr(0, 2) + "." + d.substr(2, 2) + "." + d.substr(4, 2)},
             {"daysAhead", Number(*r, 2, "GetServiceInfo")},
             {"events", SwitchesOf(HexPrefix(r->field(3)), kReminderSwitches)}};
    return r;
  };
  // The message lines go to the registrator's buffer first; the reminder's own command takes them.
  u.write = [](UnitContext& c, const json& t, int& err) -> const ReplyRecord* {
    const json* message = Given(c.profile, "/serviceReminder/message");
    if (c.writeUnreadable && message && !message->empty()) {
      for (std::size_t i = 0; i < message->size(); ++i) {
        const ReplyRecord* r = AddServiceTextLine(c.access.password, i == 0 ? 0 : 1, Cp((*message)[i]), err);
        if (err != 0 || r->errorText != "0000") return r;
      }
    }
    const std::string current = ReminderPassword(c);
    const json* next = c.writeUnreadable ? Given(c.profile, "/passwords/reminder") : nullptr;
    const std::string date = t["date"].get<std::string>();
    return SetServiceInfo(current, next ? next->get<std::string>() : current,
                          date.substr(0, 2) + date.substr(3, 2) + date.substr(6, 2), t["daysAhead"].get<int>(),
                          MaskOf(t["events"], kReminderSwitches), err);
  };
  units.push_back(std::move(u));
}

// The logo: its bitmap in lines of 24 bytes (48 hexadecimal characters, the last one padded), then
// its size, which closes the loading.
void AddLogo(std::vector<Unit>& units) {
  Unit u{"logo", "logo", "логотипа", {}, {"/logo"}, Rule::None, {}, {}, "/logo"};
  u.write = [](UnitContext& c, const json&, int& err) -> const ReplyRecord* {
    const json& logo = c.profile["logo"];
    std::string bitmap = logo["bitmap"].get<std::string>();
    for (char& ch : bitmap) ch = static_cast<char>(ch >= 'a' && ch <= 'f' ? ch - 'a' + 'A' : ch);
    bitmap.append((48 - bitmap.size() % 48) % 48, '0');
    for (std::size_t at = 0, line = 0; at < bitmap.size(); at += 48, ++line) {
      const ReplyRecord* r = SetUserLogo(c.access.password, static_cast<int>(line), bitmap.substr(at, 48), err);
      if (err != 0 || r->errorText != "0000") return r;
    }
    err = 0;
    return ExecuteCommand(0x31, Utf8ToCp1251(c.access.password + ";" + std::to_string(logo["width"].get<int>()) + ";" +
                                             std::to_string(logo["height"].get<int>()) + ";"));
  };
  units.push_back(std::move(u));
}

void AddModePasswords(std::vector<Unit>& units) {
  Unit u{"passwords", "mode passwords", "паролей режимов", {},
         {"/passwords/programming", "/passwords/reports", "/passwords/admin"}, Rule::None, {}, {}, "/passwords"};
  u.write = [](UnitContext& c, const json&, int& err) {
    const std::string admin = c.access.adminPassword.empty() ? c.access.password : c.access.adminPassword;
    const json& p = c.profile["passwords"];
    return SetModePsw(admin, p["programming"].get<std::string>(), p["reports"].get<std::string>(),
                      p["admin"].get<std::string>(), err);
  };
  units.push_back(std::move(u));
}

}  // namespace

bool Under(const std::string& path, const std::string& prefix) {
  return path.compare(0, prefix.size(), prefix) == 0 && (path.size() == prefix.size() || path[prefix.size()] == '/');
}

void Flatten(const json& value, const std::string& prefix, std::vector<std::pair<std::string, json>>& leaves) {
  if (value.is_object()) {
    for (const auto& [key, v] : value.items()) Flatten(v, prefix + "/" + key, leaves);
  } else if (value.is_array()) {
    for (std::size_t i = 0; i < value.size(); ++i) Flatten(value[i], prefix + "/" + std::to_string(i), leaves);
  } else {
    leaves.emplace_back(prefix, value);
  }
}

bool Unreadable(const std::string& path) {
  return Under(path, "/passwords") || Under(path, "/serviceReminder/message") || Under(path, "/logo");
}

std::vector<Unit> MakeUnits(const std::vector<std::string>& areas, const UnitContext& context) {
  std::vector<Unit> units;
  if (Selected(areas, "registratorParameters")) AddRegistratorParameters(units);
  if (Selected(areas, "decimalPoint")) AddDecimalPoint(units);
  if (Selected(areas, "taxes")) AddTaxes(units);
  if (Selected(areas, "fiscal")) AddFiscal(units);
  if (Selected(areas, "paymentTypes")) AddPaymentTypes(units, context.paymentTypes);
  if (Selected(areas, "operators")) AddOperators(units);
  if (Selected(areas, "header")) AddHeader(units);
  if (Selected(areas, "communication")) AddCommunication(units);
  if (Selected(areas, "idDev")) AddIdDev(units);
  if (Selected(areas, "serviceReminder")) AddServiceReminder(units);
  if (Selected(areas, "logo")) AddLogo(units);
  // Last: new mode passwords change what the commands before them must be sent with.
  if (Selected(areas, "passwords")) AddModePasswords(units);
  return units;
}

}  // namespace kovrix::session::profile
