// The check of a profile document before anything is sent: the same rules as
// docs/profile.schema.json, plus what a schema cannot say (characters cp1251 lacks, real dates,
// the mode passwords given together). Every problem is collected, none stops the check.

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <set>

#include "driver/codepage.h"
#include "session/device_profile.h"
#include "session/profile_fields.h"

namespace kovrix::session {
namespace profile {

std::optional<std::uint32_t> ParseDotted(std::string_view dotted) {
  std::uint32_t address = 0;
  int parts = 0;
  std::size_t at = 0;
  while (true) {
    const std::size_t end = std::min(dotted.find('.', at), dotted.size());
    const std::string_view part = dotted.substr(at, end - at);
    if (part.empty() || part.size() > 3) return std::nullopt;
    int value = 0;
    for (char c : part) {
      if (c < '0' || c > '9') return std::nullopt;
      value = value * 10 + (c - '0');
    }
    if (value > 255 || ++parts > 4) return std::nullopt;
    address = address << 8 | static_cast<std::uint32_t>(value);
    if (end == dotted.size()) break;
    at = end + 1;
  }
  if (parts != 4) return std::nullopt;
  return address;
}

std::string Dotted(std::uint32_t a) {
  char buf[20];
  std::snprintf(buf, sizeof buf, "%u.%u.%u.%u", a >> 24, (a >> 16) & 0xFF, (a >> 8) & 0xFF, a & 0xFF);
  return buf;
}

bool ValidShortDate(std::string_view t) {
  if (t.size() != 8 || t[2] != '.' || t[5] != '.') return false;
  for (std::size_t i : {0, 1, 3, 4, 6, 7}) {
    if (t[i] < '0' || t[i] > '9') return false;
  }
  const int day = (t[0] - '0') * 10 + (t[1] - '0');
  const int month = (t[3] - '0') * 10 + (t[4] - '0');
  const int year = 2000 + (t[6] - '0') * 10 + (t[7] - '0');
  if (month < 1 || month > 12 || day < 1) return false;
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = year % 4 == 0;  // 2000..2099
  return day <= kDays[month - 1] + (month == 2 && leap ? 1 : 0);
}

int HexPrefix(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  int value = 0;
  for (; i < text.size() && std::isxdigit(static_cast<unsigned char>(text[i])) && value < 0x10000; ++i) {
    const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(text[i])));
    value = value * 16 + (c <= '9' ? c - '0' : c - 'A' + 10);
  }
  return value;
}

}  // namespace profile

namespace {

using nlohmann::json;
using namespace profile;

// A message many fields share, in both languages.
struct Said {
  const char* english;
  const char* russian;
};

const Said kNotObject{"must be an object", "должно быть объектом"};
const Said kNotText{"must be a text", "должно быть текстом"};
const Said kNotField{"is not a field of this profile format", "такого поля нет в профиле этого формата"};

class Checker {
 public:
  std::vector<ProfileProblem> problems;

  // Every problem is told in English (kovrix-cli, the service) and in Russian (the window).
  void Problem(const std::string& path, const std::string& english, const std::string& russian) {
    problems.push_back({path, english, russian});
  }
  void Problem(const std::string& path, const Said& said) { Problem(path, said.english, said.russian); }

  // An object whose keys are all known; answers false (with the problem) when it is not an object.
  bool Object(const json& v, const std::string& path, std::initializer_list<const char*> keys) {
    if (!v.is_object()) {
      Problem(path, kNotObject);
      return false;
    }
    const std::set<std::string> known(keys.begin(), keys.end());
    for (const auto& [key, value] : v.items()) {
      if (!known.count(key)) Problem(path + "/" + key, kNotField);
    }
    return true;
  }

  bool Array(const json& v, const std::string& path, int most) {
    if (!v.is_array()) {
      Problem(path, "must be an array", "должно быть массивом");
      return false;
    }
    if (static_cast<int>(v.size()) > most) {
      const std::string has = std::to_string(v.size());
      Problem(path, "has " + has + " entries, at most " + std::to_string(most),
              "элементов: " + has + ", допустимо не более " + std::to_string(most));
    }
    return true;
  }

  void Bool(const json& v, const std::string& path) {
    if (!v.is_boolean()) Problem(path, "must be true or false", "должно быть true или false");
  }

  void Integer(const json& v, const std::string& path, long long lo, long long hi) {
    if (!v.is_number_integer()) {
      Problem(path, "must be an integer", "должно быть целым числом");
      return;
    }
    const long long n = v.is_number_unsigned() && v.get<unsigned long long>() > 9223372036854775807ULL
                            ? hi + 1
                            : v.get<long long>();
    if (n < lo || n > hi) {
      Problem(path, "must be " + std::to_string(lo) + ".." + std::to_string(hi),
              "должно быть от " + std::to_string(lo) + " до " + std::to_string(hi));
    }
  }

  void Enum(const json& v, const std::string& path, const auto& names) {
    if (!v.is_string() || IndexOf(names, v.get<std::string>()) < 0) {
      std::string list;
      for (const char* n : names) list += std::string(list.empty() ? "" : ", ") + "\"" + n + "\"";
      Problem(path, "must be one of " + list, "должно быть одним из значений: " + list);
    }
  }

  // A text the registrator prints: cp1251 characters only, no ";" (it ends a command's field),
  // no control characters, at most `most` characters.
  void Text(const json& v, const std::string& path, int most) {
    if (!v.is_string()) {
      Problem(path, kNotText);
      return;
    }
    const std::string utf8 = v.get<std::string>();
    const std::string cp = Utf8ToCp1251(utf8);
    if (Cp1251ToUtf8(cp) != utf8) {
      Problem(path, "has characters the registrator's code page (cp1251) lacks",
              "содержит символы, которых нет в кодовой странице регистратора (cp1251)");
      return;
    }
    if (cp.find(';') != std::string::npos) {
      Problem(path, "must not contain \";\"", "не должно содержать \";\"");
      return;
    }
    for (unsigned char c : cp) {
      if (c < 0x20 || c == 0x7F) {
        Problem(path, "must not contain control characters (line breaks, tabs)",
                "не должно содержать управляющих символов (переводов строки, табуляций)");
        return;
      }
    }
    if (static_cast<int>(cp.size()) > most) {
      const std::string length = std::to_string(cp.size());
      Problem(path, "is " + length + " characters long, at most " + std::to_string(most),
              "символов: " + length + ", допустимо не более " + std::to_string(most));
    }
  }

  static bool AllDigits(const std::string& t) {
    return std::all_of(t.begin(), t.end(), [](char c) { return c >= '0' && c <= '9'; });
  }

  // A text of digits: empty or exactly one of the lengths.
  void Digits(const json& v, const std::string& path, std::initializer_list<std::size_t> lengths) {
    if (!v.is_string()) {
      Problem(path, kNotText);
      return;
    }
    const std::string t = v.get<std::string>();
    const bool digits = AllDigits(t);
    bool length = t.empty();
    std::string list;
    std::string russianList;
    for (std::size_t n : lengths) {
      length = length || t.size() == n;
      list += (list.empty() ? "" : " or ") + std::to_string(n);
      russianList += (russianList.empty() ? "" : " или ") + std::to_string(n);
    }
    if (!digits || !length) {
      Problem(path, "must be empty or " + list + " digits", "должно быть пустым или из " + russianList + " цифр");
    }
  }

  void Password(const json& v, const std::string& path, bool mayBeEmpty) {
    if (!v.is_string()) {
      Problem(path, kNotText);
      return;
    }
    const std::string t = v.get<std::string>();
    const bool digits = AllDigits(t);
    if (!digits || t.size() > 6 || (t.empty() && !mayBeEmpty)) {
      if (mayBeEmpty) {
        Problem(path, "must be up to 6 digits", "должно быть не длиннее 6 цифр");
      } else {
        Problem(path, "must be 1 to 6 digits", "должно быть от 1 до 6 цифр");
      }
    }
  }

  void Switches(const json& v, const std::string& path, const auto& switches) {
    std::set<std::string> known;
    for (const Switch& s : switches) known.insert(s.name);
    if (!v.is_object()) {
      Problem(path, kNotObject);
      return;
    }
    for (const auto& [key, value] : v.items()) {
      if (!known.count(key)) {
        Problem(path + "/" + key, kNotField);
      } else {
        Bool(value, path + "/" + key);
      }
    }
  }

  void RegistratorParameters(const json& v, const std::string& p) {
    if (!Object(v, p, {"contrast", "document", "print", "drawerOpenPulse", "drawerClosePulse", "nameLineChars"})) return;
    if (v.contains("contrast")) Enum(v["contrast"], p + "/contrast", kContrasts);
    if (v.contains("document")) Switches(v["document"], p + "/document", kDocumentSwitches);
    if (v.contains("print")) Switches(v["print"], p + "/print", kPrintSwitches);
    for (const char* pulse : {"drawerOpenPulse", "drawerClosePulse"}) {
      if (!v.contains(pulse)) continue;
      const json& x = v[pulse];
      const bool ok = x.is_string() && x.get<std::string>().size() == 2 &&
                      x.get<std::string>().find_first_not_of("0123456789ABCDEF") == std::string::npos;
      if (!ok) {
        Problem(p + "/" + pulse, "must be two hexadecimal digits 0-9, A-F (\"32\")",
                "должно быть двумя шестнадцатеричными цифрами 0-9, A-F (\"32\")");
      }
    }
    if (v.contains("nameLineChars")) Integer(v["nameLineChars"], p + "/nameLineChars", 1, 99);
  }

  void Taxes(const json& v, const std::string& p) {
    if (!Array(v, p, kTaxCount)) return;
    for (std::size_t i = 0; i < v.size(); ++i) {
      const std::string q = p + "/" + std::to_string(i);
      const json& t = v[i];
      if (!Object(t, q, {"type", "rate", "name", "linked"})) continue;
      if (t.contains("type")) Enum(t["type"], q + "/type", kTaxTypes);
      if (t.contains("rate")) {
        const json& r = t["rate"];
        const std::string s = r.is_string() ? r.get<std::string>() : std::string();
        const bool ok = (s.size() == 4 || s.size() == 5) && s[s.size() - 3] == '.' &&
                        s.find_first_not_of("0123456789.") == std::string::npos && s.find('.') == s.size() - 3;
        if (!ok) {
          Problem(q + "/rate", "must be a percentage with two decimals, 0.00..99.99 (\"20.00\")",
                  "должно быть процентом с двумя знаками после точки, 0.00..99.99 (\"20.00\")");
        }
      }
      if (t.contains("name")) Text(t["name"], q + "/name", kTaxNameChars);
      if (t.contains("linked")) {
        const json& l = t["linked"];
        const int letter = l.is_string() ? IndexOf(kTaxLetters, l.get<std::string>()) : -1;
        if (!l.is_null() && letter < 0) {
          Problem(q + "/linked", "must be null or a tax letter А, Б, В, Г, Д",
                  "должно быть null или буквой налога А, Б, В, Г, Д");
        } else if (letter == static_cast<int>(i)) {
          Problem(q + "/linked", "a tax cannot be linked to itself", "налог не может быть связан сам с собой");
        }
      }
    }
  }

  void Fiscal(const json& v, const std::string& p) {
    if (!Object(v, p, {"fiscalNumber", "taxId", "taxNumber"})) return;
    if (v.contains("fiscalNumber")) Digits(v["fiscalNumber"], p + "/fiscalNumber", {10});
    if (v.contains("taxId")) Digits(v["taxId"], p + "/taxId", {12});
    if (v.contains("taxNumber")) Digits(v["taxNumber"], p + "/taxNumber", {12, 13});
  }

  void PaymentTypes(const json& v, const std::string& p) {
    if (!Array(v, p, kMaxPaymentTypes)) return;
    for (std::size_t i = 0; i < v.size(); ++i) {
      const std::string q = p + "/" + std::to_string(i);
      if (!Object(v[i], q, {"name", "sale", "refund", "changeInCash"})) continue;
      for (const auto& [key, value] : v[i].items()) {
        if (key == "name") {
          Text(value, q + "/name", kNameChars);
        } else {
          Bool(value, q + "/" + key);
        }
      }
    }
  }

  void Operators(const json& v, const std::string& p) {
    if (!Array(v, p, kOperatorCount)) return;
    for (std::size_t i = 0; i < v.size(); ++i) {
      const std::string q = p + "/" + std::to_string(i);
      if (!Object(v[i], q, {"name"})) continue;
      if (v[i].contains("name")) Text(v[i]["name"], q + "/name", kNameChars);
    }
  }

  void Lines(const json& v, const std::string& p, int most) {
    if (!Array(v, p, most)) return;
    for (std::size_t i = 0; i < v.size(); ++i) {
      const std::string q = p + "/" + std::to_string(i);
      const json& l = v[i];
      if (!Object(l, q, {"text", "width"})) continue;
      const bool dbl = l.contains("width") && l["width"] == "double";
      if (l.contains("width")) Enum(l["width"], q + "/width", std::array<const char*, 2>{"single", "double"});
      if (l.contains("text")) Text(l["text"], q + "/text", dbl ? kLineChars / 2 : kLineChars);
    }
  }

  void Header(const json& v, const std::string& p) {
    if (!Object(v, p, {"lines", "advertising"})) return;
    if (v.contains("lines")) Lines(v["lines"], p + "/lines", kHeaderLines);
    if (v.contains("advertising")) Lines(v["advertising"], p + "/advertising", kAdvertisingLines);
  }

  void Communication(const json& v, const std::string& p) {
    if (!Object(v, p, {"dhcp", "address", "mask", "gateway", "server", "port", "period", "retry"})) return;
    if (v.contains("dhcp")) Bool(v["dhcp"], p + "/dhcp");
    for (const char* a : {"address", "mask", "gateway", "server"}) {
      if (!v.contains(a)) continue;
      if (!v[a].is_string() || !ParseDotted(v[a].get<std::string>())) {
        Problem(p + "/" + a, "must be a dotted address of four parts 0..255 (\"10.0.0.1\")",
                "должно быть адресом из четырёх чисел 0..255 через точку (\"10.0.0.1\")");
      }
    }
    if (v.contains("port")) Integer(v["port"], p + "/port", 1, 65535);
    if (v.contains("period")) Integer(v["period"], p + "/period", 0, 1440);
    if (v.contains("retry")) Integer(v["retry"], p + "/retry", 0, 3600);
  }

  void Reminder(const json& v, const std::string& p) {
    if (!Object(v, p, {"date", "daysAhead", "events", "message"})) return;
    if (v.contains("date") && (!v["date"].is_string() || !ValidShortDate(v["date"].get<std::string>()))) {
      Problem(p + "/date", "must be a real date dd.mm.yy", "должно быть существующей датой дд.мм.гг");
    }
    if (v.contains("daysAhead")) Integer(v["daysAhead"], p + "/daysAhead", 0, 999);
    if (v.contains("events")) Switches(v["events"], p + "/events", kReminderSwitches);
    if (v.contains("message") && Array(v["message"], p + "/message", kReminderLines)) {
      for (std::size_t i = 0; i < v["message"].size(); ++i) {
        Text(v["message"][i], p + "/message/" + std::to_string(i), kLineChars);
      }
    }
  }

  // The logo's pixel rows, each (width + 7) / 8 bytes, the leftmost pixel the high bit, as
  // hexadecimal text; the registrator's own limits are checked against its diagnostic reply.
  void Logo(const json& v, const std::string& p) {
    if (!Object(v, p, {"width", "height", "bitmap"})) return;
    if (!v.contains("width") || !v.contains("height") || !v.contains("bitmap")) {
      Problem(p, "must give width, height and bitmap", "должно задавать width, height и bitmap");
      return;
    }
    Integer(v["width"], p + "/width", 1, 2040);
    Integer(v["height"], p + "/height", 1, 2040);
    const json& b = v["bitmap"];
    if (!b.is_string() || b.get<std::string>().find_first_not_of("0123456789ABCDEFabcdef") != std::string::npos) {
      Problem(p + "/bitmap", "must be hexadecimal text", "должно быть шестнадцатеричным текстом");
      return;
    }
    if (v["width"].is_number_integer() && v["height"].is_number_integer()) {
      const long long bytes = (v["width"].get<long long>() + 7) / 8 * v["height"].get<long long>();
      if (static_cast<long long>(b.get<std::string>().size()) != bytes * 2) {
        const std::string digits = std::to_string(bytes * 2);
        const std::string size = std::to_string(bytes);
        Problem(p + "/bitmap", "must be " + digits + " hexadecimal digits: " + size + " bytes, (width + 7) / 8 to a row",
                "шестнадцатеричных цифр должно быть " + digits + ": байт " + size + ", по (width + 7) / 8 на строку");
      }
    }
  }

  void Passwords(const json& v, const std::string& p) {
    if (!Object(v, p, {"programming", "reports", "admin", "reminder", "operators"})) return;
    int modes = 0;
    for (const char* m : {"programming", "reports", "admin"}) {
      if (!v.contains(m)) continue;
      ++modes;
      Password(v[m], p + "/" + m, false);
    }
    // One command sets the three mode passwords together.
    if (modes != 0 && modes != 3) {
      Problem(p, "gives some of the mode passwords: give programming, reports and admin together",
              "задаёт не все пароли режимов: programming, reports и admin задаются вместе");
    }
    if (v.contains("reminder")) Password(v["reminder"], p + "/reminder", true);
    if (v.contains("operators")) {
      const json& ops = v["operators"];
      if (!ops.is_object()) {
        Problem(p + "/operators", "must be an object of operator numbers 1..16",
                "должно быть объектом с номерами операторов 1..16");
        return;
      }
      for (const auto& [key, value] : ops.items()) {
        int n = 0;
        const bool number = !key.empty() && key.size() <= 2 && key[0] != '0' &&
                            key.find_first_not_of("0123456789") == std::string::npos && (n = std::stoi(key)) >= 1 &&
                            n <= kOperatorCount;
        if (!number) {
          Problem(p + "/operators/" + key, "is not an operator number 1..16", "не является номером оператора 1..16");
        } else {
          Password(value, p + "/operators/" + key, false);
        }
      }
    }
  }
};

}  // namespace

std::vector<ProfileProblem> CheckProfile(const nlohmann::json& profile) {
  Checker c;
  if (!profile.is_object()) {
    c.Problem("", "a profile is a JSON object", "профиль должен быть объектом JSON");
    return c.problems;
  }
  if (!profile.contains("format")) {
    const std::string format = std::to_string(kProfileFormat);
    c.Problem("/format", "is missing: this build reads profiles of format " + format,
              "отсутствует: эта версия программы читает профили формата " + format);
  } else if (profile["format"] != kProfileFormat) {
    const std::string format = std::to_string(kProfileFormat);
    c.Problem("/format", "is not a profile format this build knows (it reads format " + format + ")",
              "неизвестный формат профиля (эта версия программы читает формат " + format + ")");
    return c.problems;  // the rest would be read by the wrong rules
  }
  for (const auto& [key, v] : profile.items()) {
    const std::string p = "/" + key;
    if (key == "format") {
    } else if (key == "source") {
      if (c.Object(v, p, {"model", "version", "serial"})) {
        for (const auto& [k, x] : v.items()) {
          if (!x.is_string()) c.Problem(p + "/" + k, kNotText);
        }
      }
    } else if (key == "registratorParameters") {
      c.RegistratorParameters(v, p);
    } else if (key == "decimalPoint") {
      c.Integer(v, p, 0, 3);
    } else if (key == "taxes") {
      c.Taxes(v, p);
    } else if (key == "fiscal") {
      c.Fiscal(v, p);
    } else if (key == "paymentTypes") {
      c.PaymentTypes(v, p);
    } else if (key == "operators") {
      c.Operators(v, p);
    } else if (key == "header") {
      c.Header(v, p);
    } else if (key == "communication") {
      c.Communication(v, p);
    } else if (key == "idDev") {
      c.Integer(v, p, -2147483648LL, 2147483647LL);
    } else if (key == "serviceReminder") {
      c.Reminder(v, p);
    } else if (key == "logo") {
      c.Logo(v, p);
    } else if (key == "passwords") {
      c.Passwords(v, p);
    } else {
      c.Problem(p, "is not an area of this profile format", "такой области нет в профиле этого формата");
    }
  }
  return c.problems;
}

}  // namespace kovrix::session
